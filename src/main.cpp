// The program: runs from its own folder, opens the main window and starts it; the title
// screen then waits for the player until the program ends (always through EndGame).
#include "platform/process.h"
#include "trade/trade_setup.h"
#include "ui/program.h"

int main() {
  // A write past the file size limit fails like any other, keeping the old save.
  plat::IgnoreFileSizeSignal();
  // SIGTERM and SIGINT (a logout, kill, Ctrl+C) end the program as the quit choice does.
  plat::CatchEndSignals();
  // The title screen's trade set-up belongs to the trade, not to the main window.
  ui::ProgramHooks hooks;
  hooks.attachHandlers = trade::AttachTradeSetupHandlers;
  return ui::RunProgram(hooks);
}
