#pragma once

#include <QString>

class EditorPage;

// Where the editor page's files live and how the page is chosen and loaded.
namespace EditorPageFiles {

// <directory of the running program>/../share/brackwell/Core, in the build tree as when installed.
QString defaultDirectory();
// "index-dark.html" for a dark appearance, otherwise "index.html". There is no fallback between them.
QString pageFileName(bool dark);
// The desktop's colour scheme as Qt reports it: a window background darker than its text.
bool systemAppearanceIsDark();
// Reads the chosen page and loads it into `page` with the file's own URL as base, so the page's scripts and
// style sheets resolve beside it. A missing or unreadable file is logged under `function`; false then.
bool loadPage(EditorPage& page, const QString& directory, bool dark, const char* function);

} // namespace EditorPageFiles
