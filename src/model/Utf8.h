#pragma once

#include <QString>
#include <QStringDecoder>
#include <string_view>

// UTF-8 text of names and values as a QString, keeping a leading U+FEFF: inside a document it is content,
// not a byte-order mark (QString::fromUtf8 would drop it).
inline QString utf8ToQString(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF")) {
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        return decoder(QByteArrayView(text.data(), qsizetype(text.size())));
    }
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}
