#pragma once

#include "app/menus/MainMenus.h"

#include <vector>

class AppDelegate;

// The window's menu bar, every menu and item in order with its keys and the controller command it runs.
std::vector<MenuRow> mainMenuTable(AppDelegate& app);
// The outline's right-click menu.
std::vector<MenuRow> outlineMenuTable(AppDelegate& app);
