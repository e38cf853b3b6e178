#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <thread>

#include "platform/clock.h"
#include "platform/input.h"
#include "platform/process.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ScopedEndThrows;
using testsupport::ScopedFakeClock;
using testsupport::ScriptedDraws;
using testsupport::TempDir;

// ---------------------------------------------------------------------------------------
// Clock

TEST(Clock, FakeClockMovesOnlyWhenTold) {
  ScopedFakeClock fake(1000);
  EXPECT_EQ(plat::Tick(), 1000);
  plat::SleepMs(40);
  plat::SleepMs(-5);  // a negative sleep does not turn the clock back
  fake.clock.Advance(10);
  EXPECT_EQ(plat::Tick(), 1050);
  EXPECT_EQ(fake.clock.TotalSlept(), 40);
}

TEST(Clock, NullPutsTheRealClockBack) {
  plat::FakeClock fake(5);
  plat::SetClock(&fake);
  EXPECT_EQ(&plat::CurrentClock(), &fake);
  plat::SetClock(nullptr);
  EXPECT_NE(&plat::CurrentClock(), &fake);
  std::int64_t a = plat::Tick();
  std::int64_t b = plat::Tick();
  EXPECT_LE(a, b);  // monotonic
}

// ---------------------------------------------------------------------------------------
// Random draw

TEST(Random, RealDrawLiesInTheUnitInterval) {
  plat::SetRandomSource(nullptr);
  bool sawDifferent = false;
  double first = plat::Rnd();
  for (int i = 0; i < 10000; ++i) {
    double u = plat::Rnd();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
    if (u != first) sawDifferent = true;
    long k = plat::RandomInt(6);
    ASSERT_GE(k, 0);
    ASSERT_LT(k, 6);
  }
  EXPECT_TRUE(sawDifferent);
}

TEST(Random, RandomIntIsIntOfNTimesTheDraw) {
  ScriptedDraws draws({0.0, 0.5, 0.999, 0.3333, 0.25});
  EXPECT_EQ(plat::RandomInt(10), 0);
  EXPECT_EQ(plat::RandomInt(10), 5);
  EXPECT_EQ(plat::RandomInt(10), 9);
  EXPECT_EQ(plat::RandomInt(3), 0);
  EXPECT_EQ(plat::RandomInt(4), 1);
  EXPECT_EQ(draws.Left(), 0u);
}

TEST(Random, RandomIntNeverReachesN) {
  const double justBelowOne = std::nextafter(1.0, 0.0);
  const long maxLong = std::numeric_limits<long>::max();
  ScriptedDraws draws({justBelowOne, justBelowOne, justBelowOne, 1.0, 1.0, 0.7, 0.5});
  EXPECT_EQ(plat::RandomInt(1), 0);
  EXPECT_EQ(plat::RandomInt(2147483647L), 2147483646L);
  long big = plat::RandomInt(maxLong);
  EXPECT_GT(big, maxLong / 2);
  EXPECT_LT(big, maxLong);
  // A scripted 1.0 still stays below n, even where n * u no longer fits a whole number.
  EXPECT_EQ(plat::RandomInt(7), 6);
  EXPECT_EQ(plat::RandomInt(maxLong), maxLong - 1);
  // No whole numbers below 0 or 1: nothing but 0, and the draw is still taken.
  EXPECT_EQ(plat::RandomInt(0), 0);
  EXPECT_EQ(plat::RandomInt(-5), 0);
  EXPECT_EQ(draws.Left(), 0u);
}

TEST(Random, EmptySourceRestoresTheRealDraw) {
  plat::SetRandomSource([] { return 0.75; });
  EXPECT_EQ(plat::Rnd(), 0.75);
  plat::SetRandomSource(plat::RandomSource{});
  int same = 0;
  for (int i = 0; i < 100; ++i) same += plat::Rnd() == 0.75;
  EXPECT_LT(same, 100);
}

// ---------------------------------------------------------------------------------------
// Key state

TEST(Keys, HeldIsNegativeAndToggleFlipsAtEachPress) {
  plat::ResetKeyStates();
  EXPECT_EQ(plat::GetKeyState(plat::vk::Tab), 0);
  plat::SetKeyHeld(plat::vk::Tab, true);
  EXPECT_LT(plat::GetKeyState(plat::vk::Tab), 0);
  EXPECT_EQ(plat::GetKeyState(plat::vk::Tab) & 1, 1);
  plat::SetKeyHeld(plat::vk::Tab, true);  // a repeat of the held key is not a new press
  EXPECT_EQ(plat::GetKeyState(plat::vk::Tab) & 1, 1);
  plat::SetKeyHeld(plat::vk::Tab, false);
  EXPECT_EQ(plat::GetKeyState(plat::vk::Tab), 1);
  plat::SetKeyHeld(plat::vk::Tab, true);
  EXPECT_LT(plat::GetKeyState(plat::vk::Tab), 0);
  EXPECT_EQ(plat::GetKeyState(plat::vk::Tab) & 1, 0);
  plat::SetKeyHeld(plat::vk::Tab, false);
  EXPECT_EQ(plat::GetKeyState(plat::vk::Tab), 0);
  // Other keys are untouched.
  EXPECT_EQ(plat::GetKeyState(plat::vk::Control), 0);
}

TEST(Keys, OutOfRangeCodesReadZeroAndAreIgnored) {
  plat::ResetKeyStates();
  for (int code : {-1, 256, 100000, -100000}) {
    plat::SetKeyHeld(code, true);
    EXPECT_EQ(plat::GetKeyState(code), 0);
  }
  plat::SetKeyHeld(255, true);
  EXPECT_LT(plat::GetKeyState(255), 0);
  plat::SetKeyHeld(0, true);
  EXPECT_LT(plat::GetKeyState(0), 0);
  plat::ResetKeyStates();
  EXPECT_EQ(plat::GetKeyState(255), 0);
  EXPECT_EQ(plat::GetKeyState(0), 0);
}

TEST(Keys, PressesAreCountedEvenWhenReleasedAgainAtOnce) {
  plat::ResetKeyStates();
  EXPECT_EQ(plat::KeyPressCount(plat::vk::Return), 0u);
  plat::SetKeyHeld(plat::vk::Return, true);
  plat::SetKeyHeld(plat::vk::Return, false);
  // Nothing is held any more, but the press is still seen.
  EXPECT_EQ(plat::GetKeyState(plat::vk::Return) & 0x8000, 0);
  EXPECT_EQ(plat::KeyPressCount(plat::vk::Return), 1u);
  plat::SetKeyHeld(plat::vk::Return, true);
  plat::SetKeyHeld(plat::vk::Return, true);  // key repeat: no new press
  plat::SetKeyHeld(plat::vk::Return, false);
  plat::SetKeyHeld(plat::vk::Return, false);  // a second release adds nothing
  EXPECT_EQ(plat::KeyPressCount(plat::vk::Return), 2u);
  EXPECT_EQ(plat::KeyPressCount(plat::vk::Space), 0u);  // each key counts its own
  plat::ClearKeyToggle(plat::vk::Return);
  EXPECT_EQ(plat::KeyPressCount(plat::vk::Return), 2u);
  for (int code : {-1, 256}) EXPECT_EQ(plat::KeyPressCount(code), 0u);
  plat::ResetKeyStates();
  EXPECT_EQ(plat::KeyPressCount(plat::vk::Return), 0u);
}

// ---------------------------------------------------------------------------------------
// End of the program

TEST(EndProgram, ThrowsAndRunsHooksOnceLastFirst) {
  ScopedEndThrows endThrows;
  std::vector<int> order;
  plat::AddShutdownHook([&] { order.push_back(1); });
  plat::AddShutdownHook([&] { order.push_back(2); });
  plat::AddShutdownHook([&] { order.push_back(3); });
  try {
    plat::EndProgram(7);
    FAIL() << "EndProgram returned";
  } catch (const plat::ProgramEnded& e) {
    EXPECT_EQ(e.code, 7);
  }
  EXPECT_EQ(order, (std::vector<int>{3, 2, 1}));
  EXPECT_THROW(plat::EndProgram(0), plat::ProgramEnded);
  EXPECT_EQ(order.size(), 3u);
}

TEST(EndProgram, FailingHookDoesNotStopTheEnd) {
  ScopedEndThrows endThrows;
  bool ran = false;
  plat::AddShutdownHook([&] { ran = true; });
  plat::AddShutdownHook([] { throw std::runtime_error("device lost"); });
  plat::AddShutdownHook([] { plat::EndProgram(3); });  // a hook that ends again
  EXPECT_THROW(plat::EndProgram(1), plat::ProgramEnded);
  EXPECT_TRUE(ran);
}

TEST(EndProgram, ExitsWithTheCodeWhenNotThrowing) {
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    plat::SetEndThrows(false);
    plat::AddShutdownHook([] { ::_exit(40); });  // proves the hook ran
    plat::EndProgram(5);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 40);

  pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    plat::SetEndThrows(false);
    plat::EndProgram(5);
  }
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 5);
}

// ---------------------------------------------------------------------------------------
// Desktop handler

// Puts a folder holding our own "xdg-open" first on the search path.
class FakeHandler : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    oldPath_ = path ? path : "";
    fs::path script = bin_ / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << (bin_ / "opened.tmp").string() << "\"\nmv \""
                          << (bin_ / "opened.tmp").string() << "\" \"" << (bin_ / "opened").string() << "\"\n";
    fs::permissions(script, fs::perms::owner_all);
  }
  void TearDown() override { ::setenv("PATH", oldPath_.c_str(), 1); }
  TempDir bin_;
  std::string oldPath_;
};

TEST_F(FakeHandler, OpensTheTargetWithoutAShellAndLeavesNoChild) {
  ::setenv("PATH", (bin_.path().string() + ":/usr/bin:/bin").c_str(), 1);
  const std::string target = "/tmp/a b;echo 'x' $(id)/帮助.htm";
  ASSERT_TRUE(plat::OpenWithDesktop(target));
  // No child of ours remains, not even a zombie.
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  // The handler runs on its own; wait for its report (bounded).
  fs::path opened = bin_ / "opened";
  for (int i = 0; i < 1000 && !fs::exists(opened); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(fs::exists(opened));
  std::ifstream in(opened);
  std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(got, target);
}

TEST_F(FakeHandler, AHandlerThatFailsIsReported) {
  std::ofstream(bin_ / "xdg-open") << "#!/bin/sh\necho 'xdg-open: no method available' >&2\nexit 3\n";
  ::setenv("PATH", (bin_.path().string() + ":/usr/bin:/bin").c_str(), 1);
  EXPECT_FALSE(plat::OpenWithDesktop("help.htm"));
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

// The program ignores SIGXFSZ (a write past the file size limit fails instead); the
// handler it starts gets the signal back at its default.
TEST_F(FakeHandler, TheHandlerGetsTheFileSizeSignalBackAtItsDefault) {
  const fs::path report = bin_ / "ignored";
  std::ofstream(bin_ / "xdg-open") << "#!/bin/sh\ngrep SigIgn /proc/$$/status > \"" << report.string()
                                   << ".tmp\"\nmv \"" << report.string() << ".tmp\" \"" << report.string()
                                   << "\"\n";
  ::setenv("PATH", (bin_.path().string() + ":/usr/bin:/bin").c_str(), 1);
  auto* handler = std::signal(SIGXFSZ, SIG_DFL);
  plat::IgnoreFileSizeSignal();
  const bool opened = plat::OpenWithDesktop("help.htm");
  std::signal(SIGXFSZ, handler);
  ASSERT_TRUE(opened);
  for (int i = 0; i < 1000 && !fs::exists(report); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::ifstream in(report);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  const auto ignored = std::stoull(line.substr(line.find(':') + 1), nullptr, 16);
  EXPECT_EQ(ignored & (std::uint64_t{1} << (SIGXFSZ - 1)), 0u) << line;
}

TEST_F(FakeHandler, MissingHandlerIsReported) {
  ::setenv("PATH", (bin_.path() / "nothing-here").c_str(), 1);
  EXPECT_FALSE(plat::OpenWithDesktop("help.htm"));
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

}  // namespace
