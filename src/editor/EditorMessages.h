#pragma once

#include <QJsonValue>
#include <QString>

// Reading the editor page's messages.
namespace EditorMessages {

// The message body's JSON text parsed (the top level must be an object or an array). On a parse failure
// the parser's description goes to the error log and the result is an empty object.
QJsonValue decodeJson(const QString& text);

} // namespace EditorMessages
