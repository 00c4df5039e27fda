#pragma once

#include <QStringList>

// brackwell-cli: the document model for terminals and scripts.
// Exit status: 0 success, 1 unreadable or invalid document, 2 bad usage or an invalid regular expression.
namespace Cli {

int run(const QStringList& arguments);

} // namespace Cli
