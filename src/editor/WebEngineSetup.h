#pragma once

// What a program must do before it creates its QApplication when it will show or load the editor page.
namespace WebEngineSetup {

// Shares OpenGL contexts between the window and the web engine, and lets Chromium start as root (it refuses
// its sandbox there; the page it loads is our own local file) unless the user said otherwise.
void prepareProcess();

} // namespace WebEngineSetup
