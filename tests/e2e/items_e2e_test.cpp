// The real program on a copy of the sample game folder, items as a player handles them:
// a new warrior opens the bag with the bag button, holds a wooden sword from the bag and
// wears it, sees the attack range of the status page grow, takes it off again, puts a
// potion on the belt and drinks it with key 1 after losing hit points, and rubs a
// blessing oil, whose use saves the game. The save on disk is then read back with the
// game's own loader.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

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
#include "world/equipment.h"
#include "world/items.h"
#include "world/save_game.h"

namespace {

using ui::Form1;

constexpr std::uint64_t kFramesToDrink = 400;  // the pool empties into the hit points
constexpr int kWeaponSlot = 1;
constexpr int kFirstBelt = 11;
constexpr int kHitPointsLost = 15;

ItemRecord& Slot(int i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

// The bag slot holding `name`; 0 when none does.
int BagSlotOf(const std::string& name) {
  for (int i = kBagFirst; i <= kBagLast; ++i) {
    if (Slot(i).Name == name) return i;
  }
  return 0;
}

std::vector<std::string> ItemNames() {
  std::vector<std::string> names;
  for (int i = 1; i <= kItemSlots; ++i) names.push_back(Slot(i).Name);
  return names;
}

void RightClickOn(const plat::Control* c) {
  const int x = c->ScreenX() + c->PixelWidth() / 2, y = c->ScreenY() + c->PixelHeight() / 2;
  e2e::PushButton(SDL_MOUSEBUTTONDOWN, x, y, SDL_BUTTON_RIGHT);
  e2e::PushButton(SDL_MOUSEBUTTONUP, x, y, SDL_BUTTON_RIGHT);
}

[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error(why); }

// What the run saw, kept for the checks after the program ended.
struct Seen {
  std::vector<std::string> newBag;  // what the new warrior carried in the bag
  bool bagShown = false, bagPageShown = false, equipmentShown = false;
  ItemRecord sword;
  int swordSlot = 0;
  bool swordHeld = false;
  std::string attackBefore, attackWorn, attackOff;
  std::int32_t dc = 0, dcMax = 0, dcWorn = 0, dcMaxWorn = 0;
  bool statusShown = false;
  ItemRecord wornAfter;  // slot 1 after the wearing click
  bool swordBackInBag = false;
  ItemRecord belt;
  std::int32_t hpBefore = 0, hpAfterKey = 0, poolAfterKey = 0, hpDrunk = 0, hpMax = 0;
  bool beltEmptied = false;
  bool oilGone = false;
  std::int32_t level = 0, money = 0, savedHpMax = 0, savedDc = 0, savedDcMax = 0;
  std::vector<std::string> savedItems;
  bool closed = false;
};

class ItemsE2e : public ::testing::Test {
 protected:
  void SetUp() override { e2e::CopyGameFolder(dir.path()); }

  testsupport::TempDir dir;
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::KeyboardAnswers answers;
};

TEST_F(ItemsE2e, AWarriorWearsAndTakesOffASwordDrinksFromTheBeltAndTheOilSaves) {
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_SPACE});
  Seen seen;
  std::uint64_t drinkFrame = 0;

  auto& steps = driver.steps;
  e2e::Append(steps, e2e::PastTheIntro(clock));
  // The bag button opens the character window with the worn items above the bag.
  steps.push_back([&](plat::SdlHost&) {
    for (int i = kBagFirst; i <= kBagLast; ++i) {
      if (!Slot(i).Name.empty()) seen.newBag.push_back(Slot(i).Name);
    }
    if (Form1.Psys2->Visible) Fail("the character window was open at the start");
    e2e::ClickOn(Form1.SysB3);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.bagShown = Form1.Psys2->IsShown();
    seen.bagPageShown = !Form1.Pmc->Visible;
    seen.equipmentShown = !Form1.Psx->Visible;
    if (!seen.bagShown) Fail("the bag button did not open the character window");
    // A new warrior carries nothing in the bag: a wooden sword is given as a script
    // gives it.
    ScriptGive("#give 木剑 1");
    seen.swordSlot = BagSlotOf("木剑");
    if (seen.swordSlot == 0) Fail("the sword did not reach the bag");
    seen.sword = Slot(seen.swordSlot);
    seen.dc = G.Player.Dc;
    seen.dcMax = G.Player.DcMax;
    e2e::ClickOn(Form1.Sys2B2);  // the status page
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.statusShown = Form1.Psx->IsShown();
    seen.attackBefore = Form1.Ldc->Caption;
    e2e::ClickOn(Form1.Sys2b1);  // back to the worn items
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (!Form1.Iitem(seen.swordSlot)->IsShown()) Fail("the sword's bag slot is not in view");
    e2e::ClickOn(Form1.Iitem(seen.swordSlot));
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.swordHeld = G.SelectedSlot == seen.swordSlot && Form1.ShItem->Visible;
    if (!Form1.Iitem(kWeaponSlot)->IsShown()) Fail("the weapon slot is not in view");
    e2e::ClickOn(Form1.Iitem(kWeaponSlot));
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.wornAfter = Slot(kWeaponSlot);
    seen.dcWorn = G.Player.Dc;
    seen.dcMaxWorn = G.Player.DcMax;
    e2e::ClickOn(Form1.Sys2B2);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.attackWorn = Form1.Ldc->Caption;
    e2e::ClickOn(Form1.Sys2b1);
    return true;
  });
  // A right click on a worn item takes it off into the bag.
  steps.push_back([&](plat::SdlHost&) {
    RightClickOn(Form1.Iitem(kWeaponSlot));
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.swordBackInBag = Slot(kWeaponSlot).Name.empty() && BagSlotOf("木剑") != 0;
    e2e::ClickOn(Form1.Sys2B2);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.attackOff = Form1.Ldc->Caption;
    e2e::ClickOn(Form1.Sys2b1);
    return true;
  });
  // A potion is given, held in the bag and put on the first belt slot.
  steps.push_back([&](plat::SdlHost&) {
    ScriptGive("#give 金创药小 1");
    const int potion = BagSlotOf("金创药小");
    if (potion == 0) Fail("the potion did not reach the bag");
    e2e::ClickOn(Form1.Iitem(potion));
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (G.SelectedSlot == 0) Fail("the potion was not held");
    e2e::ClickOn(Form1.Iitem(kFirstBelt));
    return true;
  });
  // Hit points lost, then key 1.
  steps.push_back([&](plat::SdlHost&) {
    seen.belt = Slot(kFirstBelt);
    if (seen.belt.Name != "金创药小") Fail("the belt's first slot holds '" + seen.belt.Name + "'");
    G.Player.HP = G.Player.HpMax - kHitPointsLost;
    G.HpPool = 0;
    seen.hpBefore = G.Player.HP;
    e2e::PushKey(SDLK_1);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.hpAfterKey = G.Player.HP;
    seen.poolAfterKey = G.HpPool;
    seen.beltEmptied = Slot(kFirstBelt).Name.empty();
    drinkFrame = driver.frames;
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (driver.frames > drinkFrame + kFramesToDrink) {
      std::ostringstream os;
      os << "the pool never emptied: hp " << G.Player.HP << "/" << G.Player.HpMax << ", pool " << G.HpPool;
      Fail(os.str());
    }
    if (G.HpPool != 0) return false;
    seen.hpDrunk = G.Player.HP;
    seen.hpMax = G.Player.HpMax;
    return true;
  });
  // A blessing oil, used by a right click in the bag, saves the game.
  steps.push_back([&](plat::SdlHost&) {
    ScriptGive("#give 祝福油 1");
    const int oil = BagSlotOf("祝福油");
    if (oil == 0) Fail("the oil did not reach the bag");
    RightClickOn(Form1.Iitem(oil));
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.oilGone = BagSlotOf("祝福油") == 0;
    seen.level = G.Player.Level;
    seen.money = G.Player.Money;
    seen.savedHpMax = G.Player.HpMax;
    seen.savedDc = G.Player.Dc;
    seen.savedDcMax = G.Player.DcMax;
    seen.savedItems = ItemNames();
    e2e::ClickOn(Form1.SysB3);  // a second click on the bag button closes the window
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.closed = !Form1.Psys2->Visible && G.SelectedSlot == 0;
    return true;
  });
  steps.push_back([&](plat::SdlHost&) -> bool { EndGame(); });

  e2e::RunNewWarrior(driver, answers, dir.path(), "林勇");
  EXPECT_TRUE(answers.shown.empty());
  EXPECT_TRUE(seen.newBag.empty()) << seen.newBag.front();

  // The bag button showed the worn items above and the bag below.
  EXPECT_TRUE(seen.bagShown);
  EXPECT_TRUE(seen.bagPageShown);
  EXPECT_TRUE(seen.equipmentShown);
  EXPECT_TRUE(seen.statusShown);

  // Wearing the sword adds its attack range; taking it off takes it away again.
  EXPECT_TRUE(seen.swordHeld);
  EXPECT_EQ(seen.wornAfter.Name, "木剑");
  ASSERT_GT(seen.sword.DcMax, 0);
  EXPECT_EQ(seen.dcWorn, seen.dc + seen.sword.Dc);
  EXPECT_EQ(seen.dcMaxWorn, seen.dcMax + seen.sword.DcMax);
  EXPECT_EQ(seen.attackBefore, std::to_string(seen.dc) + "-" + std::to_string(seen.dcMax));
  EXPECT_EQ(seen.attackWorn, std::to_string(seen.dcWorn) + "-" + std::to_string(seen.dcMaxWorn));
  EXPECT_EQ(seen.attackOff, seen.attackBefore);
  EXPECT_TRUE(seen.swordBackInBag);

  // Key 1 poured the potion into the pool, which filled the hit points.
  EXPECT_GT(seen.belt.Hp, 0);
  EXPECT_TRUE(seen.beltEmptied);
  EXPECT_GT(seen.hpAfterKey + seen.poolAfterKey, seen.hpBefore);
  EXPECT_EQ(seen.hpDrunk, std::min(seen.hpMax, seen.hpBefore + seen.belt.Hp));

  EXPECT_TRUE(seen.oilGone);
  EXPECT_TRUE(seen.closed);

  // The oil's save, read back by the game's own loader.
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame("林勇"));
  EXPECT_EQ(G.Player.Level, seen.level);
  EXPECT_EQ(G.Player.Money, seen.money);
  EXPECT_EQ(G.Player.HpMax, seen.savedHpMax);
  EXPECT_EQ(G.Player.Dc, seen.savedDc);
  EXPECT_EQ(G.Player.DcMax, seen.savedDcMax);
  EXPECT_EQ(ItemNames(), seen.savedItems);
  EXPECT_NE(BagSlotOf("木剑"), 0);
  EXPECT_EQ(BagSlotOf("金创药小"), 0);
  EXPECT_EQ(BagSlotOf("祝福油"), 0);
}

}  // namespace
