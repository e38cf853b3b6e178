// The end of the program and starting other programs.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace plat {

// Thrown instead of exiting while tests run (see SetEndThrows).
struct ProgramEnded : std::runtime_error {
  explicit ProgramEnded(int c) : std::runtime_error("program ended"), code(c) {}
  int code;
};

// Runs the registered shutdown hooks (last registered first), then ends the process
// with the code. With SetEndThrows(true) it throws ProgramEnded instead of exiting.
[[noreturn]] void EndProgram(int code = 0);
void SetEndThrows(bool throws);
bool EndThrows();
// A routine to run once when the program ends (closing the window, the sound device...).
void AddShutdownHook(std::function<void()> hook);

// Opens a file or address with the desktop's handler (xdg-open), without a shell.
// False when the handler could not be started.
bool OpenWithDesktop(const std::string& target);

}  // namespace plat
