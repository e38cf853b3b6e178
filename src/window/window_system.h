// The main window's hooks into the window system, set by the program when it opens the
// window; empty in tests (nothing is minimised then).
#pragma once

#include <functional>

namespace ui {

struct WindowSystem {
  std::function<void()> Minimize;   // minimises the main window
  std::function<bool()> Minimized;  // true while it is minimised
};

extern WindowSystem MainWindowSystem;

// Minimises the main window (nothing without a window system).
void MinimizeMainWindow();
// True while the main window is minimised (false without a window system).
bool MainWindowMinimized();

}  // namespace ui
