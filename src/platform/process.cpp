#include "platform/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace plat {

namespace {

struct EndState {
  std::mutex mutex;
  std::vector<std::function<void()>> hooks;
  bool throws = false;
  std::function<void()> onEndRequest;
  DesktopOpener opener;
};

// How long the handler's own verdict is waited for, and how often it is looked at.
constexpr int kHandlerWaitMs = 3000;
constexpr int kHandlerPollMs = 20;

EndState& State() {
  static EndState state;
  return state;
}

// Set by the signal handler, read by the waits: the only thing a handler may touch.
volatile std::sig_atomic_t gEndRequested = 0;

extern "C" void NoteEndRequest(int) { gEndRequested = 1; }

}  // namespace

void CatchEndSignals() {
  struct sigaction action {};
  action.sa_handler = NoteEndRequest;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

void IgnoreFileSizeSignal() {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGXFSZ, &action, nullptr);
}

bool EndRequested() { return gEndRequested != 0; }

void SetEndRequestHandler(std::function<void()> handler) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().onEndRequest = std::move(handler);
}

void CheckEndRequest() {
  if (gEndRequested == 0) return;
  std::function<void()> handler;
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    handler = State().onEndRequest;
  }
  if (!handler) return;
  handler();
  EndProgram(0);
}

void SetEndThrows(bool throws) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().throws = throws;
}

bool EndThrows() {
  std::lock_guard<std::mutex> lock(State().mutex);
  return State().throws;
}

void AddShutdownHook(std::function<void()> hook) {
  if (!hook) return;
  std::lock_guard<std::mutex> lock(State().mutex);
  State().hooks.push_back(std::move(hook));
}

void EndProgram(int code) {
  std::vector<std::function<void()>> hooks;
  bool throws;
  {
    // The hooks are taken out before they run, so each runs once even when a hook
    // itself ends the program.
    std::lock_guard<std::mutex> lock(State().mutex);
    hooks.swap(State().hooks);
    throws = State().throws;
  }
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
    try {
      (*it)();
    } catch (const ProgramEnded&) {
      // A hook that ended the program again: the end is already under way.
    } catch (...) {
      // A failing hook must not keep the program from ending.
    }
  }
  if (throws) throw ProgramEnded(code);
  std::exit(code);
}

bool ProcessRunning(long pid) {
  if (pid <= 0 || pid != static_cast<long>(static_cast<pid_t>(pid))) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

void SetDesktopOpener(DesktopOpener opener) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().opener = std::move(opener);
}

bool OpenWithDesktop(const std::string& target) {
  DesktopOpener opener;
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    opener = State().opener;
  }
  if (opener) return opener(target);

  // Everything the children need is prepared before fork.
  std::string program = "xdg-open";
  std::string arg = target;
  char* argv[] = {program.data(), arg.data(), nullptr};

  // The grandchild reports a failed exec through this pipe; a successful exec closes it.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;

  pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (child == 0) {
    // The middle child starts the handler and leaves at once, so the handler is
    // adopted by init and never lingers as our zombie.
    ::close(fds[0]);
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild < 0) {
      int err = errno;
      (void)!::write(fds[1], &err, sizeof err);
      ::_exit(1);
    }
    if (grandchild == 0) {
      // An ignored signal stays ignored across exec: the handler gets the default back.
      ::signal(SIGXFSZ, SIG_DFL);
      ::execvp(argv[0], argv);
      int err = errno;
      (void)!::write(fds[1], &err, sizeof err);
      ::_exit(127);
    }
    // A handler that gives up (no browser, no desktop) does so at once; one that is
    // still busy after a while has opened the page or is showing it.
    int status = 0;
    for (int waited = 0; waited < kHandlerWaitMs; waited += kHandlerPollMs) {
      const pid_t done = ::waitpid(grandchild, &status, WNOHANG);
      if (done == grandchild) {
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
          int err = ECHILD;
          (void)!::write(fds[1], &err, sizeof err);
        }
        break;
      }
      if (done < 0 && errno != EINTR) break;
      const struct timespec pause { 0, kHandlerPollMs * 1000000L };
      ::nanosleep(&pause, nullptr);
    }
    ::_exit(0);
  }

  ::close(fds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n;
  do {
    n = ::read(fds[0], &err, sizeof err);
  } while (n < 0 && errno == EINTR);
  ::close(fds[0]);
  return n == 0;  // end of pipe without a report: the handler started
}

}  // namespace plat
