#include "editor/EditorMessages.h"

#include "model/Log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace EditorMessages {

QJsonValue decodeJson(const QString& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError) {
        BW_LOG_ERROR("decodeJson(_:)",
                     QStringLiteral("%1 at offset %2").arg(error.errorString()).arg(error.offset));
        return QJsonObject();
    }
    if (document.isArray())
        return document.array();
    return document.object();
}

} // namespace EditorMessages
