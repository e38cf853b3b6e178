// SIGTERM and SIGINT end the program at once, with status 0, without the quit question
// and without touching a save: the real executable under a start-up logo and under a
// message box, and the program on the title screen and in a game (this test program run
// again as a child, driven into that place).
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/game_state.h"
#include "e2e/child_process.h"
#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "ui/program.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::Child;

// The child run of this program reads its game folder from here.
constexpr const char* kChildFolderVar = "ORVANTH_SIGNAL_CHILD";
// Longer than any start needs: only a program that hangs reaches it.
constexpr auto kHangLimit = 60s;

struct Signal {
  int number;
  const char* name;
};
constexpr Signal kSignals[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}};

// Every file of the Save folder with its bytes, but for the lock file of a character in
// play (it goes with the program).
std::map<std::string, std::vector<std::uint8_t>> SaveFiles(const fs::path& game) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto& e : fs::directory_iterator(game / "Save")) {
    if (e.path().extension() == ".lock") continue;
    files[e.path().filename().string()] = plat::ReadAllBytes(e.path()).value_or(std::vector<std::uint8_t>{});
  }
  return files;
}

// Waits until the child is done reading the file `name` of the folder `watch` looks at
// (it closes the file), or ends, or the limit passes. True when the file was read.
bool WaitForRead(Child& child, const std::string& name, int watch) {
  const auto until = std::chrono::steady_clock::now() + kHangLimit;
  alignas(inotify_event) char buf[4096];
  while (std::chrono::steady_clock::now() < until && !child.Ended()) {
    const ssize_t n = ::read(watch, buf, sizeof buf);
    if (n <= 0) {
      std::this_thread::sleep_for(5ms);
      continue;
    }
    for (ssize_t i = 0; i < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buf + i);
      if (e->len > 0 && name == e->name) return true;
      i += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
  return false;
}

std::string Slurp(const fs::path& p) {
  const auto b = plat::ReadAllBytes(p);
  return b ? std::string(b->begin(), b->end()) : std::string();
}

class SignalE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    e2e::CopyGameFolder(dir.path());
    e2e::WriteSave(dir.path(), {"阿青", "战士", 7, "2024-03-05 08:09:10", "普通"});
  }

  // The real executable in its own copy of the game folder: started, signalled once it
  // has read `name` in the folder `watched`, and seen to end at once with status 0,
  // every save as it was.
  void SignalTheProgramAfterItReads(const fs::path& watched, const std::string& name) {
    fs::copy_file(testsupport::GameDir() / "orvanth", dir / "orvanth");
    for (const Signal& s : kSignals) {
      SCOPED_TRACE(s.name);
      const auto saves = SaveFiles(dir.path());
      const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
      ASSERT_GE(watch, 0);
      ASSERT_GE(::inotify_add_watch(watch, watched.c_str(), IN_CLOSE_NOWRITE), 0);
      Child child({(dir / "orvanth").string()}, {}, dir / "log.txt");
      ASSERT_TRUE(child.Started());
      const bool read = WaitForRead(child, name, watch);
      ::close(watch);
      ASSERT_TRUE(read) << "the program never read " << name << "; it said: " << Slurp(dir / "log.txt");
      ExpectEndsAtOnce(child, s.number);
      EXPECT_EQ(SaveFiles(dir.path()), saves);
    }
  }

  // This test program run again as a child in the given place; signalled once it says
  // it is there. `noSaves`: each run starts without a save (it makes its own).
  void SignalTheChildIn(const std::string& childTest, bool noSaves = false) {
    for (const Signal& s : kSignals) {
      SCOPED_TRACE(s.name);
      fs::remove(dir / "ready");
      if (noSaves) {
        for (const auto& e : fs::directory_iterator(dir / "Save")) fs::remove(e.path());
      }
      Child child({fs::read_symlink("/proc/self/exe").string(), "--gtest_filter=SignalChild." + childTest},
                  {std::string(kChildFolderVar) + "=" + dir.path().string()}, dir / "log.txt");
      ASSERT_TRUE(child.Started());
      const auto until = std::chrono::steady_clock::now() + kHangLimit;
      while (!fs::exists(dir / "ready") && !child.Ended() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(10ms);
      }
      ASSERT_TRUE(fs::exists(dir / "ready")) << "the child never got there; it said: " << Slurp(dir / "log.txt");
      const auto saves = SaveFiles(dir.path());
      ExpectEndsAtOnce(child, s.number);
      EXPECT_EQ(SaveFiles(dir.path()), saves);
    }
  }

  void ExpectEndsAtOnce(Child& child, int sig) {
    child.Send(sig);
    const auto status = child.WaitEnd(10s);
    ASSERT_TRUE(status.has_value()) << "still running after the signal; it said: " << Slurp(dir / "log.txt");
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << (WIFSIGNALED(*status) ? WTERMSIG(*status) : 0);
    EXPECT_EQ(WEXITSTATUS(*status), 0) << Slurp(dir / "log.txt");
  }

  testsupport::TempDir dir;
};

TEST_F(SignalE2e, TheProgramEndsUnderAStartUpLogo) {
  // The logo is the first picture of the game pack; then the program waits for a key.
  SignalTheProgramAfterItReads(dir / "date", "Game.dat");
}

TEST_F(SignalE2e, TheProgramEndsUnderAMessageBox) {
  // A damaged first item picture: the start-up shows the missing-file box and waits.
  ASSERT_TRUE(plat::WriteAllBytes(dir / "date/Item/1.bmp", {'B', 'M', 0, 1, 2}));
  SignalTheProgramAfterItReads(dir / "date/Item", "1.bmp");
}

// The signals a process ignores, from its status in /proc.
std::uint64_t IgnoredSignals(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("SigIgn:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
  }
  return 0;
}

// From its start the program ignores SIGXFSZ: under a file size limit (`ulimit -f`) a
// write past it then fails like any other and takes its failure path (the old save kept,
// the partial copy removed) instead of ending the program.
TEST_F(SignalE2e, TheProgramIgnoresTheFileSizeSignalFromItsStart) {
  fs::copy_file(testsupport::GameDir() / "orvanth", dir / "orvanth");
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, (dir / "date").c_str(), IN_CLOSE_NOWRITE), 0);
  auto* handler = std::signal(SIGXFSZ, SIG_DFL);  // as a shell starts it
  Child child({(dir / "orvanth").string()}, {}, dir / "log.txt");
  std::signal(SIGXFSZ, handler);
  ASSERT_TRUE(child.Started());
  const bool read = WaitForRead(child, "Game.dat", watch);  // the start-up logo
  ::close(watch);
  ASSERT_TRUE(read) << "the program never started; it said: " << Slurp(dir / "log.txt");
  EXPECT_NE(IgnoredSignals(child.Pid()) & (std::uint64_t{1} << (SIGXFSZ - 1)), 0u);
  ExpectEndsAtOnce(child, SIGTERM);
}

TEST_F(SignalE2e, TheProgramEndsOnTheTitleScreen) { SignalTheChildIn("WaitsOnTheTitleScreen"); }

TEST_F(SignalE2e, TheProgramEndsInTheGame) { SignalTheChildIn("WaitsInTheGame", true); }

// ---------------------------------------------------------------------------------
// The child runs: skipped unless the tests above start them.

// The folder of a child run, or nothing.
std::optional<fs::path> ChildFolder() {
  const char* dir = std::getenv(kChildFolderVar);
  if (dir == nullptr) return std::nullopt;
  return fs::path(dir);
}

void SayReady(const fs::path& folder) { ASSERT_TRUE(plat::WriteAllBytes(folder / "ready", {'1'})); }

TEST(SignalChild, WaitsOnTheTitleScreen) {
  const auto folder = ChildFolder();
  if (!folder) GTEST_SKIP() << "started by SignalE2e";
  plat::CatchEndSignals();
  e2e::WatchingClock clock;
  e2e::LogoKeys logoKeys(clock, {SDLK_RETURN, SDLK_SPACE});
  ui::ProgramHooks hooks;
  hooks.folder = *folder;
  hooks.windowOpened = [&](plat::SdlHost& host) { logoKeys.Attach(host); };
  hooks.leaveTitle = [&](plat::SdlHost&) {
    if (!fs::exists(*folder / "ready")) SayReady(*folder);
    return false;
  };
  ui::RunProgram(hooks);
  ADD_FAILURE() << "the title screen was left";
}

TEST(SignalChild, WaitsInTheGame) {
  const auto folder = ChildFolder();
  if (!folder) GTEST_SKIP() << "started by SignalE2e";
  plat::CatchEndSignals();
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_SPACE}, 20000);
  e2e::Append(driver.steps, e2e::PastTheIntro(clock));
  driver.steps.push_back([&](plat::SdlHost&) {
    SayReady(*folder);
    return true;
  });
  // The game runs on, a frame now and then, until the signal ends it.
  driver.steps.push_back([](plat::SdlHost&) {
    std::this_thread::sleep_for(1ms);
    return false;
  });
  ui::ProgramHooks hooks;
  hooks.folder = *folder;
  hooks.windowOpened = [&](plat::SdlHost& host) { driver.Attach(host); };
  hooks.leaveTitle = driver.TitleHook(e2e::NewCharacterToNormal("阿风", 0));
  ui::RunProgram(hooks);
  ADD_FAILURE() << "the program came back from the game";
}

}  // namespace
