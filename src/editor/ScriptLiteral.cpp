#include "editor/ScriptLiteral.h"

namespace ScriptLiteral {

namespace {

void appendEscaped(QString& out, QStringView text)
{
    out.reserve(out.size() + text.size() + text.size() / 16 + 16);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const char* escape = nullptr;
        switch (c) {
        case u'\\': escape = "\\\\"; break;
        case u'\'': escape = "\\'"; break;
        case u'\n': escape = "\\n"; break;
        case u'\r': escape = "\\r"; break;
        default: continue;
        }
        out.append(text.mid(runStart, i - runStart));
        out.append(QLatin1String(escape));
        runStart = i + 1;
    }
    out.append(text.mid(runStart));
}

} // namespace

QString scriptStringLiteral(QStringView text)
{
    QString out;
    appendEscaped(out, text);
    return out;
}

} // namespace ScriptLiteral
