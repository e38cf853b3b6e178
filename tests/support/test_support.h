// Helpers shared by the tests: temporary folders, the fake clock, scripted random draws,
// scripted dialogs and the end of the program turned into an exception.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/process.h"

namespace testsupport {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / fs::u8path(name); }

 private:
  fs::path path_;
};

// Installs a fake clock for the lifetime of the object.
class ScopedFakeClock {
 public:
  explicit ScopedFakeClock(std::int64_t start = 86'400'000) : clock(start) { plat::SetClock(&clock); }
  ~ScopedFakeClock() { plat::SetClock(nullptr); }
  plat::FakeClock clock;
};

// Installs a scripted sequence of random draws; running dry fails the test.
class ScriptedDraws {
 public:
  explicit ScriptedDraws(std::vector<double> draws = {});
  ~ScriptedDraws();
  void Push(double u) { draws_.push_back(u); }
  std::size_t Left() const { return draws_.size(); }

 private:
  std::deque<double> draws_;
};

// Installs scripted dialogs for the lifetime of the object.
class ScopedDialogs {
 public:
  ScopedDialogs() { plat::SetDialogProvider(&dialogs); }
  ~ScopedDialogs() { plat::SetDialogProvider(nullptr); }
  plat::ScriptedDialogs dialogs;
};

// Makes the end of the program throw plat::ProgramEnded for the lifetime of the object.
class ScopedEndThrows {
 public:
  ScopedEndThrows() : was_(plat::EndThrows()) { plat::SetEndThrows(true); }
  ~ScopedEndThrows() { plat::SetEndThrows(was_); }

 private:
  bool was_;
};

// A file size limit (`ulimit -f`) for the processes this one starts while the object
// lives, with SIGXFSZ at its default, as a shell leaves it for them. The limit holds for
// this process too: start the children inside and write nothing else there.
class ChildFileSizeLimit {
 public:
  explicit ChildFileSizeLimit(std::uintmax_t bytes);
  ~ChildFileSizeLimit();
  ChildFileSizeLimit(const ChildFileSizeLimit&) = delete;
  ChildFileSizeLimit& operator=(const ChildFileSizeLimit&) = delete;

 private:
  std::uintmax_t savedLimit_ = 0;
  void (*savedHandler_)(int) = nullptr;
};

// Runs `work` in a child process and kills it (SIGKILL) at a random moment: `work` loops
// for ever and calls `started` once its first round is done; the kill comes after a
// pause of 0 to maxMicros microseconds from then, drawn from `draw`. False when the child
// failed or ended by itself instead (work that throws or returns ends it).
bool KillWhileRunning(const std::function<void(const std::function<void()>& started)>& work,
                      std::mt19937& draw, unsigned maxMicros);

// A process number that no process has: that of a child that has ended and been reaped.
long EndedProcess();

// The built sample game folder (next to the executable).
fs::path GameDir();
// The source tree's data/ folder.
fs::path DataDir();

}  // namespace testsupport
