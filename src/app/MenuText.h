#pragma once

#include <QString>

// A text shown as it is in a menu item: a single "&" would otherwise mark a shortcut key and vanish.
inline QString menuText(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
