#include "window/window_system.h"

namespace ui {

WindowSystem MainWindowSystem;

void MinimizeMainWindow() {
  if (MainWindowSystem.Minimize) MainWindowSystem.Minimize();
}

bool SaveMainWindowScreenshot(const std::string& path) {
  return MainWindowSystem.SaveScreenshot ? MainWindowSystem.SaveScreenshot(path) : false;
}

void ShowTopLevelForm(plat::Form& form) {
  if (MainWindowSystem.ShowForm) MainWindowSystem.ShowForm(form);
}

bool MainWindowMinimized() { return MainWindowSystem.Minimized ? MainWindowSystem.Minimized() : false; }

}  // namespace ui
