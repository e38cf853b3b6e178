// Characters whose numbers stand at the ends of the 32-bit range (an edited save, the
// cheat panel's level row), loaded from a real save and run through the rules that raise
// or multiply them: a kill with its level gains, dying and both revivals, wearing a
// weapon, an oil and forging. Nothing may wrap; the sanitizer build stops on any signed
// overflow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "common/numbers.h"
#include "graphics/effects.h"
#include "platform/clock.h"
#include "ui/death_panel.h"
#include "ui/forge.h"
#include "window/form1.h"
#include "world/equipment.h"
#include "world/item_use.h"
#include "world/monster_death.h"
#include "world/monsters.h"
#include "world/player.h"
#include "world/sample_items.h"
#include "world/save_fixture.h"
#include "world/save_game.h"
#include "world/skills.h"

namespace {

namespace fs = std::filesystem;
using sampleitems::Slot;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kExtremes[] = {0, -1, kMax, kMin};
const std::string kId = "极值";
const char* const kStats[] = {"HP",    "HpMax", "Mp",    "MpMax", "Dc",    "DcMax",      "Mc",
                              "McMax", "Df",    "DfMax", "Mf",    "MfMax", "Nb",         "Acc",
                              "XiHP",  "MaBi",  "zd",    "Luck",  "Heavy", "LevelPoint", "SpPoint"};

class ExtremeNumbersTest : public sampleitems::SampleItemsTest {
 protected:
  void SetUp() override {
    SampleItemsTest::SetUp();
    fs::create_directories(Folder() / "Save");
    MonsterKind kind;
    kind.MonName = "极";
    kind.Hp = 10;
    G.MonsterKinds = {MonsterKind{}, kind};
    G.MonsterKindCount = 1;
  }
  void TearDown() override {
    plat::SetRandomSource(nullptr);
    SampleItemsTest::TearDown();
  }

  // The save of a character at `level` with as much gold, and experience and every stat
  // at `value`, loaded the way the title screen loads it.
  static void LoadExtremeSave(std::int32_t level, std::int32_t value) {
    const fs::path file = Folder() / "Save" / fs::u8path(kId + ".kzs");
    savetest::MakeSave(file, kId, "战士", true, {}, [&](plat::db::Connection& c) {
      std::string sql = "UPDATE Save1 SET Level = ?, Money = ?, Bank = ?, Ex = ?";
      std::vector<plat::db::Value> values{plat::db::Value(level), plat::db::Value(level),
                                          plat::db::Value(level), plat::db::Value(value)};
      for (const char* column : kStats) {
        sql += std::string(", ") + column + " = ?";
        values.emplace_back(value);
      }
      c.Execute(sql, values);
    });
    ASSERT_TRUE(LoadSaveGame(kId));
  }

  // A weapon whose every number stands at `value`, wearable whatever the character.
  static ItemRecord ExtremeWeapon(std::int32_t value) {
    ItemRecord w = Item("木剑");
    for (std::int32_t ItemRecord::*f :
         {&ItemRecord::Dc, &ItemRecord::DcMax, &ItemRecord::Mc, &ItemRecord::McMax, &ItemRecord::Df,
          &ItemRecord::DfMax, &ItemRecord::Mf, &ItemRecord::MfMax, &ItemRecord::Nb, &ItemRecord::Acc,
          &ItemRecord::Luck, &ItemRecord::Hp, &ItemRecord::Mp, &ItemRecord::Weight}) {
      w.*f = value;
    }
    w.NdLevel = w.NdDc = w.NdMc = kMin;
    w.dzlevel = 7;  // the step with bonus rolls and +1 on every attack field
    return w;
  }
};

TEST_F(ExtremeNumbersTest, NoRuleWrapsANumberAtTheEndsOfItsRange) {
  plat::SetRandomSource([] { return 0.0; });  // every chance succeeds, every roll is lowest
  for (const std::int32_t level : kExtremes) {
    for (const std::int32_t value : kExtremes) {
      SCOPED_TRACE(::testing::Message() << "level " << level << ", experience and stats " << value);
      LoadExtremeSave(level, value);
      PlayerRecord& p = G.Player;
      for (int i = 21; i <= kItemSlots; ++i) Slot(i) = ItemRecord{};

      // A kill worth `value` experience, with whatever levels it pays for.
      G.MonsterKinds[1].Ex = value;
      G.Monsters[1] = MonsterInstance{};
      G.Monsters[1].Kind = 1;
      const std::int32_t exBefore = p.Ex;
      StartMonsterDeath(1);
      if (level < -1 || level > 119) {
        EXPECT_EQ(p.Level, level);  // far from the table: no level is ever reached
        EXPECT_EQ(p.Ex, level < 120 ? Saturate32(static_cast<std::int64_t>(exBefore) + value) : exBefore);
      } else {
        EXPECT_GE(p.Level, level);
        EXPECT_LE(p.Level, 120);
      }

      // Wearing, an oil on the worn weapon, taking it off, forging it.
      Slot(21) = ExtremeWeapon(value);
      Slot(22) = Item("祝福油");
      Slot(23) = Slot(24) = Item("铁矿石");
      MoveItemToSlot(21, 1);
      ASSERT_EQ(Slot(1).Name, "木剑");
      p.HP = 1;  // alive, to use the oil
      UseItem(22);
      EXPECT_EQ(Slot(1).Luck, value < 5 ? value + 1 : value);
      UnequipItem(1);
      ASSERT_EQ(Slot(21).Name, "木剑");
      G.SelectedSlot = 21;
      p.Money = kMax;  // the fee, whatever the save holds
      ui::Command21_Click();
      EXPECT_EQ(Slot(21).dzlevel, 8);
      EXPECT_EQ(Slot(21).Dc, Saturate32(static_cast<std::int64_t>(value) + 2));  // step and bonus
      EXPECT_EQ(Slot(21).McMax, Saturate32(static_cast<std::int64_t>(value) + 2));
      p.Money = level;

      // A monster's blow on those defences, then a rock and a lightning bolt cast with
      // that magic and luck on a monster with every number at the same end.
      G.MonsterKinds[1].Dc = G.MonsterKinds[1].DcMax = value;
      G.MonsterKinds[1].Df = G.MonsterKinds[1].DfMax = G.MonsterKinds[1].mf = G.MonsterKinds[1].MfMax = value;
      p.HP = 1;
      MonsterStrike(1, 8, 7);
      EXPECT_GE(p.HP, 0);
      SetPartSize(G.SubMap, 60, 60);
      G.ViewX = G.ViewY = 20;
      G.Monsters[2] = MonsterInstance{};
      G.Monsters[2].Kind = 1;
      G.Monsters[2].HP = kMax;
      SetGridMonster(30, 30, 2);
      p.Mp = 100;
      p.M[11] = p.M[12] = "??3";
      AddSkillEffect(11, 30, 30, 0, 0);
      AddSkillEffect(12, 30, 30, 2, 0);
      for (int f = 0; f < 30; ++f) RunSkills();
      EXPECT_LT(G.Monsters[2].HP, kMax);
      G.SkillEffects = {};

      // Dying offers the revival on the spot only when it can be paid; a revival never
      // raises the experience and never leaves it below 0.
      p.HP = 0;
      p.ActState = ActionState::Stand;
      UpdatePlayer();
      const double onTheSpot = std::floor(static_cast<double>(level) * level * 8 * 0.25);
      EXPECT_EQ(ui::Form1.Label11->Visible, p.Ex > onTheSpot);
      for (const bool expert : {false, true}) {
        const std::int32_t ex = p.Ex;
        G.ExpertMode = expert ? 1 : 0;
        ui::Label11_Click();
        EXPECT_GE(p.Ex, 0);
        EXPECT_LE(p.Ex, std::max(ex, 0));
        if (level == kMax || level == kMin) {
          EXPECT_EQ(p.Ex, 0);
        }
        ui::ApplyRevivalLoss(ui::InTownLoss(expert));
        EXPECT_GE(p.Ex, 0);
      }
    }
  }
}

}  // namespace
