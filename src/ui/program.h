// The whole program as one routine: the entry point runs it, and so do the end-to-end
// tests and the start-up benchmark, so all of them go through the same start.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace plat {
class SdlHost;
}

namespace ui {

struct ProgramHooks {
  // The game folder to run from; empty means the executable's own folder.
  std::filesystem::path folder;
  // Attaches the handlers that code beside the main window's own puts on its controls
  // (the entry point gives the trade set-up's), right after the main window's handlers.
  std::function<void()> attachHandlers;
  // Runs once the window and its host exist and the display is attached, before the
  // start-up sequence (a test may wrap the event source or the dialogs here).
  std::function<void(plat::SdlHost& host)> windowOpened;
  // Asked after each pass of the title screen (its events ran, the window was shown);
  // true leaves the title screen and RunProgram returns.
  std::function<bool(plat::SdlHost& host)> leaveTitle;
};

// Makes the folder the program folder and the working folder, builds the main window,
// opens it, attaches the display, runs the start-up and then the title screen until
// the program ends (always through EndGame; this then does not return). Returns 1 when
// the window cannot be opened, and 0 when leaveTitle left the title screen; the
// graphics are released then and the window is closed.
int RunProgram(const ProgramHooks& hooks = {});

// The width and height of a screenshot: the game view at the window's top-left corner.
constexpr int kScreenshotWidth = 720;
constexpr int kScreenshotHeight = 448;

// Draws the window as it stands and saves its game view, as shown with every panel over
// it, as a 24-bit bitmap file at the path. False when the file cannot be written; a
// file that could not be written whole is not left behind.
bool SaveGameView(plat::SdlHost& host, const std::string& path);

}  // namespace ui
