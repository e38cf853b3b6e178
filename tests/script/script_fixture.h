// A fresh game and main window for script tests, with helpers to write scripts and read
// what they showed.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "common/game_state.h"
#include "script/script.h"
#include "window/form1.h"
#include "world/item_db.h"

namespace scripttest {

// Script lines joined by CR LF, as the NPC table and the part files hold them.
inline std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

class ScriptTest : public itemdb::GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    // The panels start hidden, as in play.
    for (plat::Control* c : {W().Pspt, W().Pbuy, W().Psell, W().Pbank, W().PwUP, W().Psys2}) c->Visible = false;
  }

  static ui::MainWindow& W() { return ui::Form1; }
  static const std::string& Say() { return ui::Form1.LSay->Caption; }
  static std::string Choice(int k) { return ui::Form1.Lb(k)->Caption; }

  // Runs a script as an NPC's dialogue: kept in ScriptText, as the NPC lookup does.
  static void Talk(const std::string& text) {
    G.ScriptText = text;
    RunScript(G.ScriptText, 1);
  }

  // The screen effects in use, as "kind@x,y:p".
  static std::vector<std::string> ScreenEffects() {
    std::vector<std::string> out;
    for (std::size_t i = 1; i < G.ScreenEffects.size(); ++i) {
      const ScreenEffect& e = G.ScreenEffects[i];
      if (e.Kind != 0) {
        out.push_back(std::to_string(e.Kind) + "@" + std::to_string(e.X) + "," + std::to_string(e.Y) + ":" +
                      std::to_string(e.P));
      }
    }
    return out;
  }
};

}  // namespace scripttest
