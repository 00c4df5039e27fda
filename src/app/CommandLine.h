#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The window program's own options, answered before any window exists so that they work without a display
// (the manual page is made from them at build time).
namespace CommandLine {

// The text to print for --help or --version; nothing for a launch with files (every other argument is a file).
std::optional<QString> informationRequested(const QStringList& arguments);

} // namespace CommandLine
