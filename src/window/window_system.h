// The main window's hooks into the window system, set by the program when it opens the
// window; empty in tests (nothing is minimised then).
#pragma once

#include <functional>
#include <string>

namespace plat {
class Form;
}

namespace ui {

struct WindowSystem {
  std::function<void()> Minimize;   // minimises the main window
  std::function<bool()> Minimized;  // true while it is minimised
  // Saves the game view as the window shows it, as a bitmap file at the path; false
  // when the file cannot be written.
  std::function<bool(const std::string& path)> SaveScreenshot;
  // Shows that top-level window in the program's window instead of the one shown now
  // (the trade window while the main window is hidden, and back).
  std::function<void(plat::Form& form)> ShowForm;
};

extern WindowSystem MainWindowSystem;

// Minimises the main window (nothing without a window system).
void MinimizeMainWindow();
// True while the main window is minimised (false without a window system).
bool MainWindowMinimized();
// Saves the main window's game view as a bitmap file; false without a window system or
// when the file cannot be written.
bool SaveMainWindowScreenshot(const std::string& path);
// Shows another top-level window in the program's window (nothing without a window
// system).
void ShowTopLevelForm(plat::Form& form);

}  // namespace ui
