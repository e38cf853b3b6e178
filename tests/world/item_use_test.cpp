// Using an item from the belt or the bag, each use with its scripted draw.
#include "world/item_use.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "world/item_db.h"
#include "world/save_fixture.h"
#include "world/save_game.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ScriptedDraws;

ItemRecord& Slot(int i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

void Put(int slot, const std::string& name, int type, int hp = 0, int mp = 0) {
  Slot(slot) = ItemRecord{};
  Slot(slot).Name = name;
  Slot(slot).Type = type;
  Slot(slot).Hp = hp;
  Slot(slot).Mp = mp;
}

// What a use may change: HP, Mp, the two pools, poison and invisibility frames.
std::vector<int> State() {
  const PlayerRecord& p = G.Player;
  return {p.HP, p.Mp, G.HpPool, G.MpPool, p.PoisonTime, p.InvisTime};
}

std::vector<int> Colour(const SysMessage* m) {
  return m ? std::vector<int>{m->R, m->G, m->B} : std::vector<int>{};
}

class ItemUseTest : public itemdb::GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    UseItems(
        {{.Name = "金创药小", .Type = 1}, {.Name = "强效魔法药", .Type = 1}, {.Name = "回城卷", .Type = 0}});
    G.Player.ID = "阿木";
    G.Player.HP = 80;
    G.Player.HpMax = G.Player.MpMax = 100;
    G.Player.McMax = 10;
    G.SoundOn = 1;
    // On part 2 of map 1; the return point is cell (13, 13) of part 1.
    G.MainMap = G.GoMain = G.GoSub = 1;
    G.GoX = G.GoY = 13;
    SetPartSize(1, 40, 40);
    OnPart(2, 40, 40, 20, 20);
  }
  int Played(const std::string& wave) const {
    return static_cast<int>(std::count_if(sound.calls.begin(), sound.calls.end(), [&](const std::string& c) {
      return c.rfind("open ", 0) == 0 && c.find(wave) != std::string::npos;
    }));
  }
  static int InBag(const std::string& name) {
    int n = 0;
    for (int i = 21; i <= 56; ++i) n += Slot(i).Name == name ? 1 : 0;
    return n;
  }
};

TEST_F(ItemUseTest, EachKindChangesItsOwnFieldsAndIsUsedUp) {
  struct Case {
    const char* name;
    int type, hp, mp;
    std::vector<int> after;  // from HP 80, Mp 30, pools 70 and 0, poison 300, invisibility 0
    bool used;
  };
  const std::vector<Case> cases = {
      {"酒花玉露", 2, 50, 0, {100, 30, 70, 0, 300, 0}, true},  // 20 below the maximum gives 20
      {"神水", 2, INT_MAX, INT_MAX, {100, 100, 70, 0, 300, 0}, true},
      {"金创药大", 1, 50, 20, {80, 30, 100, 20, 300, 0}, true},  // the pool stops at HpMax
      {"蟾酥", 1, 0, 0, {80, 30, 70, 0, 0, 0}, true},
      {"金创药小", 1, 0, 0, {80, 30, 70, 0, 300, 0}, true},
      {"解毒药", 0, 0, 0, {80, 30, 70, 0, 0, 0}, true},
      {"隐身药水", 0, 0, 0, {80, 30, 70, 0, 300, 600}, true},
      {"木剑", 20, 50, 0, {80, 30, 70, 0, 300, 0}, false},
      {"铁矿石", 3, 50, 0, {80, 30, 70, 0, 300, 0}, false},
      {"石头", 0, 0, 0, {80, 30, 70, 0, 300, 0}, false},
      {"狐狸之灵", 0, 0, 0, {80, 30, 70, 0, 300, 0}, false},  // no spirit of the game
      {"无名包", 0, 0, 0, {80, 30, 70, 0, 300, 0}, false},    // no bundle of the game
  };
  for (const Case& c : cases) {
    G.Player.HP = 80, G.Player.Mp = 30, G.HpPool = 70, G.MpPool = 0, G.Player.PoisonTime = 300;
    G.Player.InvisTime = 0;
    Put(30, c.name, c.type, c.hp, c.mp);
    sound.calls.clear();
    ScriptedDraws draws({0.5});
    UseItem(30);
    EXPECT_EQ(draws.Left(), 0u) << c.name;
    EXPECT_EQ(State(), c.after) << c.name;
    EXPECT_EQ(Slot(30).Name.empty(), c.used) << c.name;
    EXPECT_EQ(Played("药水.wav"), c.used ? 1 : 0) << c.name;
    EXPECT_EQ(MessageCount(), 0) << c.name;
  }
}

TEST_F(ItemUseTest, NothingIsDrawnOrUsedOutsideTheBeltAndBagOrByTheDead) {
  ScriptedDraws none;
  for (int slot : {INT_MIN, 0, 1, 10, 17, 57, 61, 120, 121}) {
    if (slot >= 1 && slot <= 120) Put(slot, "酒花玉露", 2, 50);
    UseItem(slot);
  }
  EXPECT_EQ(Slot(61).Name, "酒花玉露");
  Put(21, "酒花玉露", 2, 50);
  for (auto [hp, state] : {std::pair{0, ActionState::Stand},
                           {-5, ActionState::Stand},
                           {40, ActionState::Dying},
                           {40, ActionState::Dead}}) {
    G.Player.HP = hp;
    G.Player.ActState = state;
    UseItem(21);
    UseItem(22);  // empty
    EXPECT_EQ(G.Player.HP, hp);
  }
  EXPECT_EQ(Slot(21).Name, "酒花玉露");
  EXPECT_TRUE(sound.calls.empty());
}

TEST_F(ItemUseTest, ABundleNeedsFiveFreeSlotsAndUnpacksSix) {
  struct Case {
    const char* bundle;
    int slot, free;
    const char* content;
    int inBag, onGround;
  };
  const std::vector<Case> cases = {
      {"金创药小包", 21, 4, "金创药小", 0, 0},    // refused: it stays
      {"金创药小包", 21, 5, "金创药小", 6, 0},    // its own slot makes the sixth
      {"回城卷包", 21, 5, "回城卷", 6, 0},        // the scroll unpacked into its slot is not read
      {"超级魔法药", 11, 5, "强效魔法药", 5, 1},  // from the belt the sixth lies on the ground
  };
  for (const Case& c : cases) {
    G.Player.Items.Reset();
    G.SysMessages = {};
    FillBag(c.free);
    Put(c.slot, c.bundle, 0);
    ScriptedDraws draws({0.0});
    UseItem(c.slot);
    const bool refused = c.inBag == 0;
    EXPECT_EQ(Slot(c.slot).Name == c.bundle, refused) << c.bundle;
    EXPECT_EQ(InBag(c.content), c.inBag) << c.bundle;
    EXPECT_EQ(G.GroundItemCount, c.onGround) << c.bundle;
    const std::vector<int> red = refused ? std::vector<int>{255, 0, 0} : std::vector<int>{};
    EXPECT_EQ(Colour(Message("没有足够的道具栏空间用于解包！")), red) << c.bundle;
    EXPECT_EQ(G.SubMap, 2) << c.bundle;
  }
}

TEST_F(ItemUseTest, TheScrollRecallsAndSpiritItemsTransformUnlessTheShieldLasts) {
  ui::Form1.Psys2->Visible = true;
  Put(12, "回城卷", 0);
  Put(21, "骷髅之灵", 0);
  ScriptedDraws draws({0.3, 0.1, 0.1, 0.1});
  UseItem(12);
  EXPECT_TRUE(Slot(12).Name.empty());
  EXPECT_FALSE(ui::Form1.Psys2->Visible);
  EXPECT_EQ(Played("传送.wav"), 1);
  EXPECT_EQ(std::vector<int>({G.SubMap, PlayerCellX(), PlayerCellY()}), std::vector<int>({1, 13, 13}));

  G.Player.McMax = 0;  // transformed already
  UseItem(21);
  G.Player.McMax = 10;
  G.SkillEffects[4].Kind = 7;  // the spirit shield
  UseItem(21);
  EXPECT_EQ(Slot(21).Name, "骷髅之灵");
  EXPECT_EQ(Colour(Message("精神之盾还未失效")), std::vector<int>({255, 0, 255}));
  G.SkillEffects[4].Kind = 0;
  UseItem(21);
  EXPECT_TRUE(Slot(21).Name.empty());
  const ScreenEffect& e = G.ScreenEffects[2];  // after the recall's teleport animation
  EXPECT_EQ(std::vector<int>({e.Kind, e.X, e.Y, e.P}), std::vector<int>({8, 0, 0, 4}));
}

// A form that cannot be queued (all twenty animations running) does not take the item.
TEST_F(ItemUseTest, ASpiritItemStaysWhenTheAnimationListIsFull) {
  Put(21, "鸡之灵", 0);
  for (ScreenEffect& e : G.ScreenEffects) e = ScreenEffect{0, 0, 4, 1, 0};
  G.ScreenEffects[0] = ScreenEffect{};  // entry 0 is not one of the twenty
  UseItem(21);
  EXPECT_EQ(Slot(21).Name, "鸡之灵");
  EXPECT_EQ(std::count_if(G.ScreenEffects.begin(), G.ScreenEffects.end(),
                          [](const ScreenEffect& e) { return e.Kind == 8; }),
            0);
  G.ScreenEffects[20].Kind = 0;  // the last one frees
  UseItem(21);
  EXPECT_TRUE(Slot(21).Name.empty());
  EXPECT_EQ(std::vector<int>({G.ScreenEffects[20].Kind, G.ScreenEffects[20].P}), std::vector<int>({8, 2}));
}

// r = 10 u rounded half to even: 0..2 raise (below 5 only), 7..10 lower (above 0 only).
// The player's total moves with the weapon, so taking it off later removes what it added.
TEST_F(ItemUseTest, OilsMoveTheWornWeaponAndThePlayerTogetherAndSave) {
  struct Case {
    const char* oil;
    bool weapon;
    int start;
    double u;
    int after;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"祝福油", true, 0, 0.0, 1, "你的武器被祝福了"},
      {"祝福油", true, 4, 0.25, 5, "你的武器被祝福了"},  // 2.5 rounds to 2
      {"祝福油", true, 5, 0.0, 5, "你的武器被祝福了"},   // at the cap: the message only
      {"祝福油", true, 2, 0.26, 2, "你使用了祝福油，没有什么效果。"},
      {"祝福油", false, 0, 0.0, 0, "你使用了祝福油，没有什么效果。"},
      {"战神油", true, 2, 0.65, 2, "你使用了战神油，没有什么效果。"},  // 6.5 rounds to 6
      {"战神油", true, 2, 0.66, 1, "你的武器痹效果衰减"},
      {"蜘蛛油", true, 3, 0.1, 4, "你的武器中毒效果增强"},
      {"蜘蛛油", true, 0, 0.999, 0, "你的武器中毒果衰减"},
  };
  fs::create_directories(dir / "Save");
  savetest::MakeSave(dir / "Save" / fs::u8path("阿木.kzs"), "阿木");
  for (const Case& c : cases) {
    const std::string oil = c.oil;
    auto field = oil == "祝福油" ? &ItemRecord::Luck : oil == "战神油" ? &ItemRecord::MaBi : &ItemRecord::zd;
    auto stat = oil == "祝福油"   ? &PlayerRecord::Luck
                : oil == "战神油" ? &PlayerRecord::MaBi
                                  : &PlayerRecord::zd;
    G.SysMessages = {};
    G.SoundOn = c.weapon ? 1 : 0;
    sound.calls.clear();
    Put(1, c.weapon ? "木剑" : "", c.weapon ? 20 : 0);
    Slot(1).*field = c.start;
    G.Player.*stat = 10 + c.start;  // the weapon's share and 10 from elsewhere
    Put(40, oil, 0);
    ScriptedDraws draws({c.u});
    UseItem(40);
    const std::string what = oil + " " + std::to_string(c.u);
    EXPECT_TRUE(Slot(40).Name.empty()) << what;
    EXPECT_EQ(std::vector<int>({Slot(1).*field, G.Player.*stat}), std::vector<int>({c.after, 10 + c.after}))
        << what;
    EXPECT_EQ(Colour(Message(c.message)), std::vector<int>({0, 255, 0})) << what;
    EXPECT_NE(Message("游戏已存档"), nullptr) << what;  // also without sound
    EXPECT_EQ(Played("药水.wav"), c.weapon ? 1 : 0) << what;
  }
  Slot(1).zd = 7;
  ASSERT_TRUE(LoadSaveGame("阿木"));
  EXPECT_EQ(Slot(1).Name, "木剑");
  EXPECT_EQ(Slot(1).zd, 0);
}

}  // namespace
