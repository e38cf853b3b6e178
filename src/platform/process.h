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

// Requests to end from outside the program: SIGTERM and SIGINT (a logout, `kill`,
// Ctrl+C in a terminal). The signal handler only notes the request; the program's waits
// look at it through CheckEndRequest, which then ends the program through the routine
// set with SetEndRequestHandler, at once and without asking.
//
// Installs the handlers of SIGTERM and SIGINT (the real program, before anything else).
void CatchEndSignals();
// A request came.
bool EndRequested();
// The routine that ends the program on a request (it should not return).
void SetEndRequestHandler(std::function<void()> handler);
// When a request came and a routine is set: runs it; should it return, the program
// ends with EndProgram(0). Otherwise nothing.
void CheckEndRequest();

// A write past the file size limit (`ulimit -f`) fails with an error like any other
// failed write, instead of ending the process with SIGXFSZ: the program's writers then
// take their own failure path (the old file kept, the partial copy removed). Called at
// start-up, before any file is written. Programs started from here (OpenWithDesktop)
// get the signal back at its default.
void IgnoreFileSizeSignal();

// Whether a process with this number runs (ourselves included). A process of another
// user counts as running.
bool ProcessRunning(long pid);

// Opens a file or address with the desktop's handler (xdg-open), without a shell.
// False when the handler could not be started or reported a failure (it ended with an
// error within a few seconds, as it does where no desktop or browser is found). Waits
// at most those few seconds; a handler still running then counts as a success.
bool OpenWithDesktop(const std::string& target);

// Replaces the desktop's handler for OpenWithDesktop (tests record the targets instead of
// starting a browser); an empty function puts xdg-open back.
using DesktopOpener = std::function<bool(const std::string& target)>;
void SetDesktopOpener(DesktopOpener opener);

}  // namespace plat
