// The program: runs from its own folder, opens the main window and starts it; the title
// screen then waits for the player until the program ends (always through EndGame).
#include "ui/program.h"

int main() { return ui::RunProgram(); }
