#pragma once

#include "model/Result.h"

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// Fetching a JSON document over HTTP: building the request, and judging the answer.
namespace Downloader {

enum class Method { Get, Post };

// The URL typed by the user, or nothing when it is not one (empty, or holding characters a URL cannot).
std::optional<QUrl> parseUrl(const QString& text);

// Header rows as sent: names compared without letter case, each sent once with its values joined by
// commas in row order.
QList<QPair<QByteArray, QByteArray>> mergedHeaders(const QList<QPair<QString, QString>>& rows);

// A transfer that stalls this long fails.
constexpr std::chrono::milliseconds kTransferTimeout{60 * 1000};
// Tests wait less than a minute for a stalled server.
void setTransferTimeout(std::chrono::milliseconds timeout);

QNetworkRequest makeRequest(const QUrl& url, const QList<QPair<QString, QString>>& rows);
// Sends without a body for either method.
QNetworkReply* send(QNetworkAccessManager& manager, const QNetworkRequest& request, Method method);

// The standard reason phrase of an HTTP status code ("Not Found" for 404).
QString reasonPhrase(int status);

// Judges what came back: the body, when it is a UTF-8 JSON array or object, or the failure the user is alerted
// to: Transfer, HttpStatus (the status in the error), EmptyResponse (no body, or not UTF-8), NotJson.
Result<QString> judge(const std::optional<QString>& transportError, std::optional<int> httpStatus,
                      const QByteArray& body, bool hasBody);
// The same for a finished reply.
Result<QString> judge(QNetworkReply& reply);
// The checks that need no parsing (a failed transfer, an HTTP error status) for a finished reply; success when
// the body is to be judged.
Result<void> judgeHead(QNetworkReply& reply);
// The failure for a body that is not UTF-8, and the one for a body that is not a JSON array or object.
Error emptyResponse();
Error notValidJson();
// The title of the alert for a failed download: "Request failed", "HTTP 404", "Empty response" or "Not valid JSON".
QString alertTitle(const Error& failure);

} // namespace Downloader
