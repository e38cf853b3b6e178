// A fresh game and graphics state on a temporary program folder, with scripted dialogs
// and the end of the program turned into an exception.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/resources.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "support/test_support.h"

class GraphicsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFolder_ = plat::ProgramFolder();
    plat::SetProgramFolder(dir.path());
    G = GameState{};
    ResetGraphics();
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
  }
  void TearDown() override {
    if (HasFailure()) {
      for (const auto& d : Shown()) ADD_FAILURE() << "dialog shown: " << d.text;
    }
    ResetGraphics();
    G = GameState{};
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    plat::SetProgramFolder(savedFolder_);
  }

  // Starts the graphics on a headless device (the folder needs "\date\Item\1.bmp").
  void StartDevice() { InitD3D(); }

  // The dialogs shown so far.
  const std::vector<plat::ScriptedDialogs::Shown>& Shown() const { return dialogs.dialogs.shown; }

  testsupport::TempDir dir;
  testsupport::ScopedDialogs dialogs;
  testsupport::ScopedEndThrows ends;

 private:
  std::filesystem::path savedFolder_;
};
