#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The page's XML and YAML conversions without a window: the editor page is loaded into a page that is never
// shown, and "toxml" or "toyaml" is evaluated in it. Needs a QGuiApplication (any platform, offscreen too).
namespace PageConversion {

// The text `function` ("toxml" or "toyaml") returns for `jsonText`, or nothing with `*why` set.
std::optional<QString> convert(const QString& function, const QByteArray& jsonText, const QString& pageDirectory,
                               QString* why);

} // namespace PageConversion
