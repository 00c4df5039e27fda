#pragma once

#include <QChar>
#include <QString>

// A text shown as it is in a menu item: a single "&" would otherwise mark a shortcut key and vanish.
inline QString menuText(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// What a menu shows for `text`: a single "&" marks the mnemonic and is not shown, "&&" shows as "&".
inline QString withoutMnemonic(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && ++i == text.size())
            break;
        shown += text.at(i);
    }
    return shown;
}

// The letter a single "&" marks in `text`, lower-cased; a null QChar when there is none.
inline QChar mnemonicOf(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('&'))
            continue;
        if (text.at(i + 1) != QLatin1Char('&'))
            return text.at(i + 1).toLower();
        ++i;
    }
    return {};
}
