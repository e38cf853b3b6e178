#include "window/window_system.h"

namespace ui {

WindowSystem MainWindowSystem;

void MinimizeMainWindow() {
  if (MainWindowSystem.Minimize) MainWindowSystem.Minimize();
}

bool MainWindowMinimized() { return MainWindowSystem.Minimized ? MainWindowSystem.Minimized() : false; }

}  // namespace ui
