// The skills page: learning and raising with skill points, the question panel, the
// descriptions, and binding the function keys.
#include "ui/skills_panel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/game_state.h"
#include "ui/game_folder_fixture.h"
#include "window/form1.h"
#include "world/equipment.h"

namespace {

using ui::Form1;

constexpr int kLeft = 1;
constexpr int kRight = 2;
constexpr int kF1 = 112;

class SkillsPanelTest : public uitest::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    for (int k = 1; k <= 15; ++k) Set(k, "??0");
    Form1.Psplyn->Visible = false;
    Form1.Pf->Visible = false;
  }
  static std::string& M(int k) { return G.Player.M[static_cast<std::size_t>(k)]; }
  static void Set(int k, const std::string& m) { M(k) = m; }
  static void Press(int k, int button) { Form1.McI(k)->OnMouseDown(button, 0, 0, 0); }
  static void Bind(int n) {
    Form1.F(n)->OnMouseDown(kLeft, 0, 0, 0);
    Form1.F(n)->OnMouseUp(kLeft, 0, 0, 0);
  }
  static bool Asking() { return Form1.Psplyn->Visible; }
  static int Messages() {
    int n = 0;
    for (const auto& m : G.SysMessages) n += m.Life > 0 ? 1 : 0;
    return n;
  }
};

// Every skill from its level with exactly its cost and with one point less.
TEST_F(SkillsPanelTest, CostsAndPrerequisitesOfEachSkill) {
  struct Case {
    int k;
    std::string from;
    int needs;        // prerequisite skill set to level 2 first (0 = none)
    int cost;
    std::string to;
  };
  const std::vector<Case> cases = {
      {1, "??0", 0, 1, "??1"},  {1, "F12", 0, 3, "F13"},  {2, "??0", 1, 3, "??1"},  {3, "??0", 2, 6, "??1"},
      {4, "??0", 3, 9, "??1"},  {5, "??1", 0, 2, "??2"},  {6, "??0", 1, 2, "??1"},  {7, "??0", 6, 2, "??1"},
      {8, "??1", 7, 4, "??2"},  {9, "??0", 8, 5, "??1"},  {10, "??0", 9, 6, "??1"}, {11, "??0", 0, 1, "??1"},
      {12, "??0", 11, 3, "??1"}, {13, "??2", 12, 6, "??3"}, {14, "??0", 13, 6, "??1"}, {15, "??0", 14, 7, "??1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("skill " + std::to_string(c.k) + " from " + c.from);
    for (int k = 1; k <= 15; ++k) Set(k, "??0");
    Set(c.k, c.from);
    if (c.needs != 0) {
      // Below level 2 the prerequisite holds the skill back, whatever the points.
      Set(c.needs, "??1");
      G.Player.SpPoint = 100;
      Press(c.k, kLeft);
      EXPECT_FALSE(Asking());
      Set(c.needs, "??2");
    }
    G.Player.SpPoint = c.cost - 1;
    Press(c.k, kLeft);
    EXPECT_FALSE(Asking());
    G.Player.SpPoint = c.cost;
    Press(c.k, kLeft);
    ASSERT_TRUE(Asking());
    EXPECT_EQ(Form1.Lsplynm->Caption, std::string("学习『") + ui::SkillAt(c.k)->name + "』这个技能吗");
    Form1.Lsply->OnClick();
    EXPECT_FALSE(Asking());
    EXPECT_EQ(M(c.k), c.to);
    EXPECT_EQ(G.Player.SpPoint, 0);
    EXPECT_EQ(Form1.LspPoint->Caption, "0");
  }
}

TEST_F(SkillsPanelTest, RefusedPressesOpenNothing) {
  struct Case {
    int k;
    std::string m;
    int button;
    std::int32_t body;
  };
  const Case cases[] = {
      {5, "??0", kLeft, 0},    // only a script grants its first level
      {11, "??3", kLeft, 0},   // top level
      {11, "??4", kLeft, 0},   // raised by equipment
      {11, "??0", kLeft, 100},  // transformed
      {11, "??0", 3, 0},       // middle button
      {11, "?", kLeft, 0},     // no level digit
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.k) + " " + c.m);
    Set(c.k, c.m);
    G.Player.SpPoint = 50;
    G.BodyNo = c.body;
    Press(c.k, c.button);
    EXPECT_FALSE(Asking());
    EXPECT_EQ(M(c.k), c.m);
    EXPECT_EQ(G.Player.SpPoint, 50);
  }
}

TEST_F(SkillsPanelTest, QuestionKeepsItsSkillAndNoDoesNothing) {
  G.Player.SpPoint = 10;
  Press(11, kLeft);
  Press(1, kLeft);  // ignored while the question is open
  EXPECT_EQ(Form1.Lsplynm->Caption, "学习『雷电术』这个技能吗");
  Form1.Lspln->OnClick();
  EXPECT_FALSE(Asking());
  EXPECT_EQ(M(11), "??0");
  EXPECT_EQ(G.Player.SpPoint, 10);
  Press(11, kLeft);
  Press(1, kLeft);
  Form1.Lsply->OnClick();
  EXPECT_EQ(M(11), "??1");
  EXPECT_EQ(M(1), "??0");
  EXPECT_EQ(G.Player.SpPoint, 9);
  EXPECT_EQ(G.ScreenEffects[1].Kind, 1);
  Form1.Lsply->OnMouseMove(0, 0, 0, 0);
  Form1.Lspln->OnMouseMove(0, 0, 0, 0);
  EXPECT_EQ(Form1.Lsply->ForeColor + Form1.Lspln->ForeColor, 2 * 255u);
  Form1.Psplyn->OnMouseMove(0, 0, 0, 0);
  EXPECT_EQ(Form1.Lsply->ForeColor, 0x80000009u);
  EXPECT_EQ(Form1.Lspln->ForeColor, 0x80000009u);
}

// The worn slots stay clickable while the question is open: an item worn or taken off
// then can put the skill at its top or take its prerequisite away, and "是" refuses.
TEST_F(SkillsPanelTest, YesTestsTheRaiseAgainAfterEquipmentChanged) {
  struct Case {
    const char* what;
    int k;
    bool wornFirst;  // the item raising skill 11 is worn before the press
  };
  const Case cases[] = {
      {"wearing puts the skill at its top", 11, false},
      {"taking off loses the prerequisite", 12, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int i = 1; i <= kItemSlots; ++i) G.Player.Items[static_cast<std::size_t>(i)] = ItemRecord{};
    G.ScreenEffects = {};
    Set(11, c.wornFirst ? "??1" : "??2");
    Set(12, "??0");
    ItemRecord sword;
    sword.Name = "雷剑";
    sword.Type = 20;
    sword.SP = 11;
    G.Player.Items[21] = sword;
    if (c.wornFirst) MoveItemToSlot(21, 1);
    ASSERT_EQ(M(11), "??2");
    G.Player.SpPoint = 3;
    Press(c.k, kLeft);
    ASSERT_TRUE(Asking());
    if (c.wornFirst) {
      UnequipItem(1);
    } else {
      MoveItemToSlot(21, 1);
    }
    const std::string before = M(c.k);
    Form1.Lsply->OnClick();
    EXPECT_FALSE(Asking());
    EXPECT_EQ(G.Player.SpPoint, 3);
    EXPECT_EQ(M(c.k), before);
    EXPECT_EQ(G.ScreenEffects[1].Kind, 0);  // no level-up animation
  }
}

TEST_F(SkillsPanelTest, RaisesWithAnEffectAtOnce) {
  G.Player.SpPoint = 100;
  G.Player.Acc = 5;
  auto raise = [](int k) {
    Press(k, kLeft);
    Form1.Lsply->OnClick();
  };
  raise(1);
  EXPECT_EQ(G.Player.Acc, 6);
  raise(1);
  EXPECT_EQ(Form1.Line11->BorderColor, 0x0000FFu);
  const std::int32_t regen[] = {6000, 5000, 3500};
  for (std::int32_t interval : regen) {
    raise(6);
    EXPECT_EQ(G.RegenInterval, interval);
  }
  Set(8, "??2");
  raise(9);
  EXPECT_EQ(G.Spirit.Level, 0);  // no spirit out
  G.Spirit.Level = 1;
  raise(9);
  EXPECT_EQ(G.Spirit.Level, 2);
}

TEST_F(SkillsPanelTest, DescriptionLines) {
  struct Case {
    int k;
    std::string m, line1, line2;
  };
  const Case cases[] = {
      {1, "??0", "精准打击（被动）0级，下一级需要技能点：1点。", "修炼使用近战武器的熟练度，提高近战攻击精度"},
      {4, "F13", "震气斩3级 消耗MP：4", "集全身之精气，使其在挥剑瞬间爆发，重创周围的敌人"},
      {14, "??4", "疾风奔驰4级 消耗MP：12", "召唤一个奔驰的风阵，重创前方大范围敌人。"},
      {9, "??1", "精灵召唤1级，下一级需要技能点：6点。 每2.5秒消耗MP：1", "召唤一个精灵，来帮助你战斗"},
      {5, "??0", "???", "???"},
  };
  G.BodyNo = 120;  // shown also while transformed
  Form1.PItemInf->Visible = false;
  for (const auto& c : cases) {
    Set(c.k, c.m);
    Form1.McI(c.k)->OnMouseMove(0, 0, 0, 0);
    EXPECT_TRUE(Form1.PItemInf->Visible);
    EXPECT_EQ(Form1.PItemInf->Top, 4200);
    EXPECT_EQ(Form1.ItemInf(1)->Caption, c.line1);
    EXPECT_EQ(Form1.ItemInf(2)->Caption, c.line2);
  }
}

TEST_F(SkillsPanelTest, RightPressChoosesActiveSkillsAndRefusesPassiveOnes) {
  Set(1, "??1");
  Press(1, kRight);
  EXPECT_FALSE(Form1.Pf->Visible);
  ASSERT_EQ(Messages(), 1);
  EXPECT_EQ(G.SysMessages[1].Text, "被动技能，无须快捷键！");
  EXPECT_EQ(G.SysMessages[1].B, 0);
  Press(2, kRight);  // an unlearned passive skill says nothing
  Press(11, kRight);  // nor an unlearned active one
  EXPECT_EQ(Messages(), 1);
  EXPECT_FALSE(Form1.Pf->Visible);

  Set(12, "F31");
  Press(12, kRight);
  EXPECT_TRUE(Form1.Pf->Visible);
  EXPECT_EQ(G.HotkeySkill, 12);
  for (int n = 1; n <= 8; ++n) {
    EXPECT_EQ(Form1.F(n)->Picture, "\\date\\button\\F" + std::to_string(n) + (n == 3 ? "2" : "1") + ".dat");
  }
  Press(1, kLeft);  // resets the images, keeps the choice and the row
  EXPECT_EQ(Form1.F(3)->Picture, "\\date\\button\\F31.dat");
  EXPECT_TRUE(Form1.Pf->Visible);
  EXPECT_EQ(G.HotkeySkill, 12);
}

TEST_F(SkillsPanelTest, BindingMovesTheKeyAndKeepsOneKeyPerSkill) {
  struct Case {
    std::vector<std::pair<int, std::string>> before;
    int skill, key, button;
    std::vector<std::pair<int, std::string>> after;
  };
  const Case cases[] = {
      {{{11, "F32"}, {13, "??1"}}, 13, 3, kLeft, {{11, "??2"}, {13, "F31"}}},
      {{{12, "F34"}}, 12, 3, kRight, {{12, "F34"}}},
      {{{12, "F24"}}, 12, 5, 3, {{12, "F54"}}},
      {{{7, "F12"}, {8, "F21"}}, 7, 2, kLeft, {{7, "F22"}, {8, "??1"}}},
  };
  for (const auto& c : cases) {
    for (int k = 1; k <= 15; ++k) Set(k, "??0");
    for (const auto& [k, m] : c.before) Set(k, m);
    Press(c.skill, kRight);
    ASSERT_TRUE(Form1.Pf->Visible);
    Form1.F(c.key)->OnMouseDown(c.button, 0, 0, 0);
    EXPECT_EQ(Form1.F(c.key)->Picture, "\\date\\button\\F" + std::to_string(c.key) + "2.dat");
    Form1.F(c.key)->OnMouseUp(c.button, 0, 0, 0);
    EXPECT_FALSE(Form1.Pf->Visible);
    EXPECT_EQ(Form1.F(c.key)->Picture, "\\date\\button\\F" + std::to_string(c.key) + "1.dat");
    for (const auto& [k, m] : c.after) {
      EXPECT_EQ(M(k), m) << k;
      EXPECT_EQ(Form1.Lsp(k)->Caption, m.substr(0, 2));
    }
    for (int n = 1; n <= 8; ++n) {
      int holders = 0;
      const std::string key{'F', static_cast<char>('0' + n)};
      for (int k = 1; k <= 15; ++k) holders += M(k).rfind(key, 0) == 0 ? 1 : 0;
      EXPECT_LE(holders, 1) << "F" << n;
    }
  }
}

TEST_F(SkillsPanelTest, SkillNumbersOutOfRangeChangeNoSkill) {
  Set(11, "F61");
  M(0) = "??0";
  G.HotkeySkill = 0;  // a key pressed with no skill chosen is only freed
  Bind(6);
  EXPECT_EQ(M(11), "??1");
  EXPECT_EQ(M(0), "??0");
  G.Player.SpPoint = 5;
  for (const char* tag : {"0", "16", "-3", "x"}) {
    Form1.Lsplynm->Tag = tag;
    Form1.Psplyn->Visible = true;
    Form1.Lsply->OnClick();
    EXPECT_FALSE(Asking());
    EXPECT_EQ(G.Player.SpPoint, 5);
  }
}

TEST_F(SkillsPanelTest, TheBoundKeyCastsTheSkill) {
  G.Player.SpPoint = 1;
  Press(11, kLeft);
  Form1.Lsply->OnClick();
  Press(11, kRight);
  Bind(1);
  ASSERT_EQ(M(11), "F11");
  int key = kF1;
  Form1.Form->KeyDown(key, 0);
  EXPECT_EQ(G.Player.NowMc, 11);
}

}  // namespace
