// The forge panel on the real main window: its buttons pressed through the window's hit
// test, the sample table's weapon and ore, scripted draws and a real save file.
#include "ui/forge.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/forms.h"
#include "support/test_support.h"
#include "ui/forge_text.h"
#include "window/form1.h"
#include "world/items.h"
#include "world/sample_items.h"
#include "world/save_fixture.h"
#include "world/save_game.h"

namespace {

namespace fs = std::filesystem;
using sampleitems::Slot;
using testsupport::ScriptedDraws;
using ui::Form1;

constexpr int kBagSlot = 21;
const std::string kId = "林勇";
const std::string kChoose = "请选择一件武器";
const std::string kNotEnough = "升级条件不足！";
const std::string kFailed = "真对不起，我失败了！";

class ForgeTest : public sampleitems::SampleItemsTest {
 protected:
  void SetUp() override {
    SampleItemsTest::SetUp();
    G.SoundOn = 1;
    G.Player.ID = kId;
    fs::create_directories(Folder() / "Save");
    savetest::MakeSave(SaveFile(), kId);
    G.SaveConnStr = SaveConnectionString(SaveFile().string());
    Form1.Psys2->Visible = Form1.PwUP->Visible = true;
    sword = Item("木剑");
    ore = Item("铁矿石");
  }

  static fs::path SaveFile() { return Folder() / "Save" / fs::u8path(kId + ".kzs"); }

  // A weapon of that forge level held in bag slot 21, `ores` pieces of ore behind it.
  // The save file starts afresh with every attempt set up.
  void Ready(int level, int ores, std::int32_t gold) {
    for (int i = 1; i <= kItemSlots; ++i) Slot(i) = ItemRecord{};
    savetest::MakeSave(SaveFile(), kId);
    Slot(kBagSlot) = sword;
    Slot(kBagSlot).dzlevel = level;
    for (int i = 0; i < ores; ++i) Slot(30 + i) = ore;
    G.Player.Money = gold;
    G.SelectedSlot = kBagSlot;
    Form1.ShItem->Visible = true;
  }

  static void Press(plat::Control* b) {
    const int x = b->ScreenX() + b->PixelWidth() / 2, y = b->ScreenY() + b->PixelHeight() / 2;
    ASSERT_EQ(Form1.Form->HitTest(x, y), b) << b->Name;
    Form1.Form->MouseDown(x, y, plat::kLeftButton, 0);
    Form1.Form->MouseUp(x, y, plat::kLeftButton, 0);
  }
  static void Forge() { Press(Form1.Command21); }

  int Count(std::string_view file) const {
    int n = 0;
    for (const auto& c : sound.calls) n += c.find(file) != std::string::npos ? 1 : 0;
    return n;
  }
  // The forge level of bag slot 21 as the save file holds it (-1 for no row).
  static int SavedLevel() {
    int level = -1;
    savetest::Inspect(SaveFile(), [&](plat::db::Connection& c) {
      level = static_cast<int>(c.Scalar("SELECT dzlevel FROM Save2 WHERE No = 21").AsInt());
    });
    return level;
  }

  ItemRecord sword, ore;
};

// Each level's charge and chance: the draw just under the chance succeeds, the draw at
// it destroys the weapon. Level 0 takes no draw at all.
struct Step {
  int level, ore, gold, chance, dc, dcMax;
  bool bonus;
};
constexpr Step kSteps[] = {
    {0, 1, 500, 100, 0, 1, false}, {1, 1, 800, 80, 0, 1, false}, {2, 1, 1000, 60, 0, 1, false},
    {3, 1, 1200, 50, 0, 1, true},  {4, 1, 1500, 40, 0, 1, true}, {5, 2, 1800, 30, 0, 1, true},
    {6, 2, 2000, 20, 0, 2, true},  {7, 2, 2500, 10, 1, 1, true}, {8, 3, 3000, 5, 1, 1, true},
};

TEST_F(ForgeTest, EachLevelChargesItsCostAndRollsItsChance) {
  for (const Step& s : kSteps) {
    for (const bool win : {true, false}) {
      if (!win && s.chance >= 100) continue;
      SCOPED_TRACE("level " + std::to_string(s.level) + (win ? " success" : " failure"));
      Ready(s.level, s.ore, s.gold);
      sound.calls.clear();
      std::vector<double> draws;
      if (s.chance < 100) draws.push_back(win ? s.chance / 100.0 - 1e-9 : s.chance / 100.0);
      if (win && s.bonus) draws.insert(draws.end(), 8, 0.99);
      ScriptedDraws scripted(draws);
      Forge();
      EXPECT_EQ(scripted.Left(), 0u);
      EXPECT_EQ(G.Player.Money, 0);
      EXPECT_EQ(CountItemInBag("铁矿石"), 0);
      if (win) {
        const ItemRecord& w = Slot(kBagSlot);
        EXPECT_EQ(w.dzlevel, s.level + 1);
        EXPECT_EQ(w.Dc, sword.Dc + s.dc);
        EXPECT_EQ(w.Mc, sword.Mc + s.dc);
        EXPECT_EQ(w.DcMax, sword.DcMax + s.dcMax);
        EXPECT_EQ(w.McMax, sword.McMax + s.dcMax);
        EXPECT_EQ(G.SelectedSlot, kBagSlot);
        EXPECT_EQ(Form1.LwUP->Caption.rfind("武器当前等级：" + std::to_string(s.level + 1) + "\r\r", 0), 0u);
        // From level 3 on the bonus draws end with the sound too: it starts twice.
        EXPECT_EQ(Count("升级成功.wav"), s.bonus ? 2 : 1);
        EXPECT_EQ(SavedLevel(), s.level + 1);
      } else {
        EXPECT_TRUE(Slot(kBagSlot).Name.empty());
        EXPECT_EQ(G.SelectedSlot, 0);
        EXPECT_FALSE(Form1.ShItem->Visible);
        EXPECT_EQ(Form1.LwUP->Caption, kFailed);
        EXPECT_EQ(Count("升级失败.wav"), 1);
        EXPECT_EQ(SavedLevel(), 0);  // the saved row is empty: the weapon is gone
        // Nothing is held any more.
        Forge();
        EXPECT_EQ(Form1.LwUP->Caption, kChoose);
      }
    }
  }
}

// Too little of either, or a held slot that is no weapon to forge: nothing is taken, no
// draw, no save.
TEST_F(ForgeTest, RefusalsTakeNothing) {
  struct Case {
    const char* name;
    int level, ores;
    std::int32_t gold;
    int held;  // 0: the bag weapon
    std::string text;
  };
  const Case cases[] = {
      {"one gold short", 0, 1, 499, 0, kNotEnough},
      {"no ore", 0, 0, 500, 0, kNotEnough},
      {"level 5 with one ore", 5, 1, 5000, 0, kNotEnough},
      {"debt", 0, 1, -1, 0, kNotEnough},
      {"nothing held", 0, 1, 500, -1, kChoose},
      {"worn weapon", 0, 1, 500, 1, kChoose},
      {"the ore itself", 0, 1, 500, 30, kChoose},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ready(c.level, c.ores, c.gold);
    Slot(1) = sword;
    if (c.held != 0) G.SelectedSlot = c.held < 0 ? 0 : c.held;
    const PlayerRecord before = G.Player;
    sound.calls.clear();
    ScriptedDraws none;
    Forge();
    EXPECT_EQ(Form1.LwUP->Caption, c.text);
    for (int i = 1; i <= kItemSlots; ++i) EXPECT_EQ(Slot(i), before.Items[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(G.Player.Money, c.gold);
    EXPECT_TRUE(sound.calls.empty());
    EXPECT_EQ(SavedLevel(), 0);
  }
}

TEST_F(ForgeTest, WornWeaponGetsNoRequirementText) {
  Slot(1) = sword;
  G.SelectedSlot = 1;
  ui::ShowForgeRequirement();
  EXPECT_EQ(Form1.LwUP->Caption, kChoose);
}

// The text starts past the worn slots: the last worn slot gets none, the first belt slot
// the ore and the fee of the weapon's next level.
TEST_F(ForgeTest, TheRequirementTextStartsAtTheFirstSlotPastTheWornOnes) {
  const struct {
    int slot, level;
    std::string text;
  } cases[] = {
      {10, 0, kChoose},
      {11, 0, "武器当前等级：0\r\r锻造材料：\r铁矿石1块\r\r锻造费用：500"},
      {11, 4, "武器当前等级：4\r\r锻造材料：\r铁矿石2块\r\r锻造费用：1800"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "slot " << c.slot << " level " << c.level);
    Slot(c.slot) = sword;
    Slot(c.slot).dzlevel = c.level;
    G.SelectedSlot = c.slot;
    Form1.LwUP->Caption = "旧";
    ui::ShowForgeRequirement();
    EXPECT_EQ(Form1.LwUP->Caption, c.text);
  }
}

TEST_F(ForgeTest, LevelNineIsTheLast) {
  Ready(9, 3, 9000);
  ScriptedDraws none;
  Forge();
  Forge();
  EXPECT_EQ(Form1.LwUP->Caption, "武器当前等级：9\r\r这件武器不能再锻造了");
  EXPECT_EQ(G.Player.Money, 9000);
  EXPECT_EQ(CountItemInBag("铁矿石"), 3);
  EXPECT_EQ(SavedLevel(), 0);
}

TEST_F(ForgeTest, BonusDrawsRaiseUpToTheirCaps) {
  struct Case {
    int zd, maBi, xiHP, acc;
    int gain;  // of each capped field
  };
  for (const Case c : {Case{0, 0, 0, 0, 1}, Case{3, 5, 3, 2, 0}}) {
    Ready(3, 1, 1200);
    ItemRecord& w = Slot(kBagSlot);
    w.zd = c.zd, w.MaBi = c.maBi, w.XiHP = c.xiHP, w.Acc = c.acc;
    ScriptedDraws scripted({0.0, 0.0999, 0.0999, 0.0999, 0.0999, 0.0499, 0.0499, 0.0499, 0.0499});
    Forge();
    EXPECT_EQ(scripted.Left(), 0u);
    EXPECT_EQ(w.dzlevel, 4);
    EXPECT_EQ(w.Dc, sword.Dc + 1);
    EXPECT_EQ(w.Mc, sword.Mc + 1);
    EXPECT_EQ(w.DcMax, sword.DcMax + 2);
    EXPECT_EQ(w.McMax, sword.McMax + 2);
    EXPECT_EQ(w.zd, c.zd + c.gain);
    EXPECT_EQ(w.MaBi, c.maBi + c.gain);
    EXPECT_EQ(w.XiHP, c.xiHP + c.gain);
    EXPECT_EQ(w.Acc, c.acc + c.gain);
  }
}

TEST_F(ForgeTest, ForgedWeaponSurvivesSaveAndReload) {
  Ready(7, 2, 2600);
  ScriptedDraws scripted({0.0, 0.0, 0.5, 0.0, 0.5, 0.0, 0.5, 0.0, 0.5});
  Forge();
  const ItemRecord forged = Slot(kBagSlot);
  ASSERT_EQ(forged.dzlevel, 8);
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(kId));
  EXPECT_EQ(Slot(kBagSlot), forged);
  EXPECT_EQ(G.Player.Money, 100);
  EXPECT_EQ(CountItemInBag("铁矿石"), 0);
}

TEST_F(ForgeTest, GiveUpClosesThePanels) {
  Ready(0, 1, 500);
  Press(Form1.Command13);
  EXPECT_FALSE(Form1.PwUP->Visible);
  EXPECT_EQ(G.SelectedSlot, 0);
  EXPECT_EQ(G.Player.Money, 500);
}

}  // namespace
