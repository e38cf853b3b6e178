#include "support/test_support.h"

#include <atomic>
#include <random>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  path_ = fs::temp_directory_path() /
          ("orvanth-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(rd() % 1000000));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

ScriptedDraws::ScriptedDraws(std::vector<double> draws) : draws_(draws.begin(), draws.end()) {
  plat::SetRandomSource([this]() {
    if (draws_.empty()) {
      ADD_FAILURE() << "the rule drew more random numbers than the test scripted";
      return 0.0;
    }
    double u = draws_.front();
    draws_.pop_front();
    return u;
  });
}

ScriptedDraws::~ScriptedDraws() { plat::SetRandomSource(nullptr); }

fs::path GameDir() { return fs::path(ORVANTH_GAME_DIR); }
fs::path DataDir() { return fs::path(ORVANTH_SOURCE_DIR) / "data"; }

ChildFileSizeLimit::ChildFileSizeLimit(std::uintmax_t bytes) {
  struct rlimit limit {};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  savedLimit_ = limit.rlim_cur;
  savedHandler_ = ::signal(SIGXFSZ, SIG_DFL);
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
}

ChildFileSizeLimit::~ChildFileSizeLimit() {
  struct rlimit limit {};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(savedLimit_);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  ::signal(SIGXFSZ, savedHandler_);
}

long EndedProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

bool KillWhileRunning(const std::function<void(const std::function<void()>& started)>& work,
                      std::mt19937& draw, unsigned maxMicros) {
  int ready[2];
  if (::pipe(ready) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::close(ready[0]);
    try {
      work([&] {
        if (ready[1] < 0) return;
        (void)!::write(ready[1], "x", 1);
        ::close(ready[1]);
        ready[1] = -1;
      });
    } catch (...) {
    }
    ::_exit(3);
  }
  ::close(ready[1]);
  char x;
  const bool started = ::read(ready[0], &x, 1) == 1;
  ::close(ready[0]);
  if (started) ::usleep(std::uniform_int_distribution<unsigned>(0, maxMicros)(draw));
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  return started && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

}  // namespace testsupport
