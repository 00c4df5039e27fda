#pragma once

#include <QString>

class QAction;
class QMenu;
class QMenuBar;

// Where the controller's menu additions go in the window's menus.
namespace MenuPlacement {

// The top-level item whose title reads `title` once mnemonics are set aside ("&File" is "File"), or nullptr.
QAction* topLevelItem(QMenuBar* bar, const QString& title);
// Inserts `item` directly after `anchor`; without the anchor in the menu at index 1 (0 in an empty menu).
void insertAfter(QMenu* menu, QAction* item, QAction* anchor);
// View goes before "Format"; without one before "Help", where desktop users look for it; else last.
void insertViewMenu(QMenuBar* bar, QMenu* view);
// Tools goes just before the last top-level item (normally Help); first in an empty menu bar.
void insertToolsMenu(QMenuBar* bar, QMenu* tools);

} // namespace MenuPlacement
