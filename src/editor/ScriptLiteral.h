#pragma once

#include <QString>
#include <QStringView>

// Scripts that hand text to the editor page. The text travels between single quotes, with backslash,
// single quote, line feed and carriage return escaped, so the page receives exactly the text given.
namespace ScriptLiteral {

QString scriptStringLiteral(QStringView text);

} // namespace ScriptLiteral
