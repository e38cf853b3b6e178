// Tests on a copy of the built sample game folder (made once per test suite), with the
// main window built and its handlers attached, the graphics started on a headless
// device, recorded sounds and scripted dialogs. The game loop is switched off
// (GameRunning = 0), so a game start runs its data reading and ends the program at the
// loop, which ScopedEndThrows turns into plat::ProgramEnded.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/resources.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/sound.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "ui/startup.h"

namespace uitest {

namespace fs = std::filesystem;

class GameFolderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<testsupport::TempDir>();
    for (const auto& entry : fs::directory_iterator(testsupport::GameDir())) {
      if (entry.path().filename() == "orvanth") continue;
      fs::copy(entry.path(), folder_->path() / entry.path().filename(), fs::copy_options::recursive);
    }
  }
  static void TearDownTestSuite() { folder_.reset(); }

  void SetUp() override {
    savedFolder_ = plat::ProgramFolder();
    savedCwd_ = fs::current_path();
    plat::SetProgramFolder(Folder());
    fs::current_path(Folder());
    plat::SetSoundDevice(&sound);
    plat::SetClock(&clock);
    G = GameState{};
    ResetGraphics();
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    ui::BuildMainWindow();
    ui::AttachStartupHandlers();
    InitD3D();
    G.GameRunning = 0;
  }

  void TearDown() override {
    ResetGraphics();
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    ui::BuildMainWindow();
    G = GameState{};
    plat::SetClock(nullptr);
    plat::SetSoundDevice(nullptr);
    fs::current_path(savedCwd_);
    plat::SetProgramFolder(savedFolder_);
  }

  static const fs::path& Folder() { return folder_->path(); }

  // The sounds played, as "wave <path>" / "open <path> <n>" lines.
  bool Played(std::string_view file) const {
    const std::string name = fs::path(plat::ResolvePath(file)).filename().string();
    for (const auto& call : sound.calls) {
      if (call.find(name) != std::string::npos) return true;
    }
    return false;
  }

  plat::RecordingSound sound;
  plat::FakeClock clock;
  testsupport::ScopedDialogs dialogs;
  testsupport::ScopedEndThrows ends;

 private:
  static inline std::unique_ptr<testsupport::TempDir> folder_;
  fs::path savedFolder_, savedCwd_;
};

}  // namespace uitest
