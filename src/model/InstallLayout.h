#pragma once

#include <QString>

// Where a program finds its companions, relative to its own folder: the same in the build tree and under any
// installation prefix (bin/, libexec/brackwell/, share/brackwell/), and never looked up on PATH.
namespace InstallLayout {

// The folder of the running program.
QString programDirectory();
// brackwell-cli, beside the window's program; it writes the property lists.
QString cliProgram(const QString& programDirectory = InstallLayout::programDirectory());
// The jq that Brackwell ships.
QString jqProgram(const QString& programDirectory = InstallLayout::programDirectory());
// The code editor page's folder (index.html, index-dark.html and their scripts).
QString editorPageDirectory(const QString& programDirectory = InstallLayout::programDirectory());

} // namespace InstallLayout
