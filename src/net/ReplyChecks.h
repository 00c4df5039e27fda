#pragma once

class QNetworkReply;

// Judging a finished reply the same way wherever the application talks HTTP.
namespace ReplyChecks {

// Whether the transfer itself failed (the connection lost, a time-out, a broken encoding), whatever status line
// came before it. An HTTP error status, which Qt reports as an error too, is not a failed transfer.
bool transferFailed(const QNetworkReply& reply);

} // namespace ReplyChecks
