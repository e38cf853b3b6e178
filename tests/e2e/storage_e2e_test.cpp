// The real program on a copy of the sample game folder: a new warrior is given a wooden
// sword, clicks the druggist of the first village, chooses "存取东西" in the dialogue,
// holds the sword in the bag and stores it. A blessing oil used from the bag saves the
// game. The program ends, starts again on the same folder, the character is continued,
// and the sword is found in the storage box: in its slot and on the list's first row.
#include <SDL.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "common/game_state.h"
#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "graphics/device.h"
#include "platform/process.h"
#include "platform/sdl_host.h"
#include "script/script.h"
#include "support/test_support.h"
#include "ui/program.h"
#include "window/form1.h"
#include "world/items.h"

namespace {

using ui::Form1;

constexpr int kFirstStorage = 61;
const e2e::Cell kDruggist{17, 10};

ItemRecord& Slot(int i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

int BagSlotOf(const std::string& name) {
  for (int i = kBagFirst; i <= kBagLast; ++i) {
    if (Slot(i).Name == name) return i;
  }
  return 0;
}

[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error(why); }

struct Seen {
  bool dialogue = false, panel = false, held = false;
  std::string row0, bankCaption, slot61;
  bool swordLeftBag = false, oilGone = false;
  std::string reloadedRow0, reloadedSlot61;
  bool reloadedInBag = true;
};

class StorageE2e : public e2e::ProgramFolderTest {};

// Runs the program again on the folder and continues its only character on normal.
void RunContinued(e2e::GameDriver& driver, e2e::KeyboardAnswers& answers, const std::filesystem::path& folder) {
  e2e::RunGame(driver, answers, folder,
               {
                   [](plat::SdlHost&) {
                     ASSERT_EQ(Form1.IdList->ListCount(), 1);
                     e2e::ClickAt(Form1.IdList->ScreenX() + 8, Form1.IdList->ScreenY() + 7);
                   },
                   [](plat::SdlHost&) {
                     ASSERT_EQ(Form1.IdList->ListIndex(), 0);
                     e2e::ClickOn(Form1.Command2);
                   },
                   [](plat::SdlHost&) {
                     ASSERT_TRUE(Form1.PLevel->IsShown());
                     e2e::ClickOn(Form1.I_Nm);
                   },
               });
}

TEST_F(StorageE2e, AStoredSwordIsInTheBoxAfterASaveAndARestart) {
  Seen seen;
  {
    e2e::FastClock clock;
    e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_SPACE});
    auto& steps = driver.steps;
    e2e::Append(steps, e2e::PastTheIntro(clock));
    steps.push_back([&](plat::SdlHost&) {
      ScriptGive("#give 木剑 1");
      if (BagSlotOf("木剑") == 0) Fail("the sword did not reach the bag");
      e2e::ClickCell(kDruggist);
      return true;
    });
    steps.push_back([&](plat::SdlHost&) {
      if (!Form1.Pspt->IsShown()) return false;
      seen.dialogue = true;
      e2e::ClickOn(Form1.Lb(3));  // "存取东西"
      return true;
    });
    steps.push_back([&](plat::SdlHost&) {
      if (!Form1.Pbank->IsShown()) return false;
      seen.panel = Form1.Psys2->IsShown();
      seen.bankCaption = Form1.Bmoney->Caption;
      const int sword = BagSlotOf("木剑");
      if (!Form1.Iitem(sword)->IsShown()) Fail("the sword's bag slot is not in view");
      e2e::ClickOn(Form1.Iitem(sword));
      return true;
    });
    steps.push_back([&](plat::SdlHost&) {
      seen.held = G.SelectedSlot == BagSlotOf("木剑") && Form1.ShItem->Visible;
      e2e::ClickOn(Form1.Command5);
      return true;
    });
    steps.push_back([&](plat::SdlHost&) {
      seen.row0 = Form1.BankList->Items[0];
      seen.slot61 = Slot(kFirstStorage).Name;
      seen.swordLeftBag = BagSlotOf("木剑") == 0;
      e2e::ClickOn(Form1.Lquit);
      return true;
    });
    // The oil's use saves the game.
    steps.push_back([&](plat::SdlHost&) {
      if (Form1.Pbank->Visible) return false;
      ScriptGive("#give 祝福油 1");
      const int oil = BagSlotOf("祝福油");
      if (oil == 0) Fail("the oil did not reach the bag");
      const plat::Control* c = Form1.Iitem(oil);
      const int x = c->ScreenX() + c->PixelWidth() / 2, y = c->ScreenY() + c->PixelHeight() / 2;
      e2e::PushButton(SDL_MOUSEBUTTONDOWN, x, y, SDL_BUTTON_RIGHT);
      e2e::PushButton(SDL_MOUSEBUTTONUP, x, y, SDL_BUTTON_RIGHT);
      return true;
    });
    steps.push_back([&](plat::SdlHost&) {
      seen.oilGone = BagSlotOf("祝福油") == 0;
      return true;
    });
    steps.push_back([&](plat::SdlHost&) -> bool { EndGame(); });
    e2e::RunNewWarrior(driver, answers, dir.path(), "仓管");
  }
  EXPECT_TRUE(seen.dialogue);
  EXPECT_TRUE(seen.panel);
  EXPECT_EQ(seen.bankCaption, "0");
  EXPECT_TRUE(seen.held);
  EXPECT_EQ(seen.row0, "木剑");
  EXPECT_EQ(seen.slot61, "木剑");
  EXPECT_TRUE(seen.swordLeftBag);
  ASSERT_TRUE(seen.oilGone);

  G = GameState{};
  {
    e2e::FastClock clock;
    e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_SPACE});
    driver.steps.push_back([&](plat::SdlHost&) {
      if (G.LoopStartTick == 0) return false;
      seen.reloadedRow0 = Form1.BankList->Items[0];
      seen.reloadedSlot61 = Slot(kFirstStorage).Name;
      seen.reloadedInBag = BagSlotOf("木剑") != 0;
      return true;
    });
    driver.steps.push_back([&](plat::SdlHost&) -> bool { EndGame(); });
    RunContinued(driver, answers, dir.path());
  }
  EXPECT_TRUE(answers.shown.empty());
  EXPECT_EQ(seen.reloadedSlot61, "木剑");
  EXPECT_EQ(seen.reloadedRow0, "木剑");
  EXPECT_FALSE(seen.reloadedInBag);
}

}  // namespace
