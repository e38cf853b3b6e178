// The mouse on the game screen: the cursor cell, the target bar, talking to NPCs of the
// sample NPC database, dropping the held item; the dialogue's choices and its close.
#include "ui/game_screen_input.h"

#include <gtest/gtest.h>

#include <string>

#include "common/game_state.h"
#include "platform/forms.h"
#include "window/form1.h"
#include "ui/game_folder_fixture.h"

namespace {

using ui::Form1;

class GameScreenInputTest : public uitest::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    // A town part of 30 x 30 with the village elder on (10, 10) and a hidden girl on
    // (12, 10); the view origin (5, 5) puts the player on (13, 13).
    G.MainMap = 1;
    G.SubMap = 1;
    SetPartSize(1, 30, 30);
    G.PartNames[1] = "无名村";
    SetCellField(1, 10, 10, 3, "N村长1001");
    SetCellField(1, 12, 10, 3, "*N小翠1007");
    CopyPartGridToGrid(1);
    G.ViewX = 5;
    G.ViewY = 5;
    G.Player.HP = 30;
    G.Player.HpMax = 30;
    G.Player.Level = 1;
    G.Player.ActState = ActionState::Stand;
  }

  // Moves the cursor onto view cell (c, r) and presses a button there.
  void PressOn(int c, int r, int button = plat::kLeftButton) {
    ui::GameScreen_MouseMove(0, 0, c * 48 + 20, r * 32 + 10);
    ui::GameScreen_MouseDown(button, 0, 0, 0);
  }

  // View cell of a map cell.
  static int Col(int x) { return x - G.ViewX - 1; }
  static int Row(int y) { return y - G.ViewY - 1; }

  void HoldItem(int slot) {
    G.Player.Items[static_cast<std::size_t>(slot)].Name = "木剑";
    G.Player.Items[static_cast<std::size_t>(slot)].Type = 20;
    G.Player.Items[static_cast<std::size_t>(slot)].Pic1 = 5;
    G.SelectedSlot = slot;
    Form1.Psys2->Visible = true;
    Form1.ShItem->Visible = true;
    for (plat::Control* c : {Form1.Isell, Form1.IwUP, Form1.Ibank}) c->Picture = "x.bmp";
    Form1.Lsell->Caption = "100";
  }
};

TEST_F(GameScreenInputTest, TheCursorCellIsKeptInsideTheView) {
  const struct {
    int x, y, c, r;
  } cases[] = {
      {0, 0, 0, 0},       {47, 31, 0, 0},     {48, 32, 1, 1},   {100, 70, 2, 2},    {719, 447, 14, 13},
      {721, 449, 14, 13}, {900, 600, 14, 13}, {-1, -1, 0, 0},   {-60, -40, 0, 0},   {-100000, 100000, 0, 13},
  };
  for (const auto& c : cases) {
    ui::GameScreen_MouseMove(0, 0, c.x, c.y);
    EXPECT_EQ(G.MouseCellX, c.c) << c.x;
    EXPECT_EQ(G.MouseCellY, c.r) << c.y;
  }
  // On the title screen too, before any map: only the cell changes.
  G.PartWidths[1] = 0;
  Form1.PItemInf->Visible = true;
  ui::GameScreen_MouseMove(0, 0, 150, 100);
  EXPECT_EQ(G.MouseCellX, 3);
  EXPECT_EQ(G.MouseCellY, 3);
  EXPECT_TRUE(Form1.PItemInf->Visible);
}

TEST_F(GameScreenInputTest, PointingAtAMonsterOrTheCellAboveItShowsItsBar) {
  Form1.PItemInf->Visible = true;
  SetGridMonster(15, 12, 7);
  SetGridText(17, 12, "M0042");
  ui::GameScreen_MouseMove(0, 0, Col(15) * 48 + 5, Row(12) * 32 + 5);
  EXPECT_FALSE(Form1.PItemInf->Visible);
  EXPECT_EQ(G.TargetMon, 7);
  EXPECT_EQ(G.TargetTimer, 100);
  G.TargetTimer = 3;
  ui::GameScreen_MouseMove(0, 0, Col(17) * 48 + 5, Row(11) * 32 + 5);  // one row above
  EXPECT_EQ(G.TargetMon, 42);
  EXPECT_EQ(G.TargetTimer, 100);
  // Empty ground, and cells outside the part, keep the last target.
  G.TargetTimer = 50;
  ui::GameScreen_MouseMove(0, 0, Col(20) * 48 + 5, Row(20) * 32 + 5);
  G.ViewX = -20;
  ui::GameScreen_MouseMove(0, 0, 5, 5);
  G.ViewX = 190;
  ui::GameScreen_MouseMove(0, 0, 700, 400);
  EXPECT_EQ(G.TargetMon, 42);
  EXPECT_EQ(G.TargetTimer, 50);
}

TEST_F(GameScreenInputTest, ALeftPressOnAnNpcOrTheCellAboveItTalks) {
  PressOn(Col(10), Row(10));
  EXPECT_TRUE(Form1.Pspt->Visible);
  EXPECT_EQ(Form1.LSay->Caption.rfind("年轻人，欢迎来到无名村。", 0), 0u) << Form1.LSay->Caption;
  EXPECT_EQ(Form1.Lb(2)->Caption, "在此歇脚");
  EXPECT_EQ(G.ChoiceLabel[2], "REST");
  EXPECT_EQ(G.MouseLeftDown, 1);  // held until the release
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);

  Form1.Pspt->Visible = false;
  Form1.LSay->Caption.clear();
  ui::GameScreen_MouseUp(1, 0, 0, 0);
  PressOn(Col(10), Row(9));
  EXPECT_TRUE(Form1.Pspt->Visible);
  EXPECT_FALSE(Form1.LSay->Caption.empty());
}

TEST_F(GameScreenInputTest, NoTalkForHiddenNpcsRightPressesOrABusyOrDeadPlayer) {
  PressOn(Col(12), Row(10));  // hidden
  EXPECT_FALSE(Form1.Pspt->Visible);
  EXPECT_EQ(G.MouseLeftDown, 1);
  ui::GameScreen_MouseUp(1, 0, 0, 0);

  PressOn(Col(10), Row(10), plat::kRightButton);
  EXPECT_FALSE(Form1.Pspt->Visible);
  EXPECT_EQ(G.MouseRightDown, 1);
  EXPECT_EQ(G.MouseLeftDown, 0);
  ui::GameScreen_MouseUp(2, 0, 0, 0);

  for (ActionState s : {ActionState::Walk, ActionState::Run, ActionState::Attack, ActionState::Dead}) {
    G.Player.ActState = s;
    PressOn(Col(10), Row(10));
    EXPECT_FALSE(Form1.Pspt->Visible) << ActionText(s);
    EXPECT_EQ(G.MouseLeftDown, 1);
    EXPECT_EQ(G.Player.ActState, s);
    ui::GameScreen_MouseUp(1, 0, 0, 0);
  }
  G.Player.ActState = ActionState::Stand;
  G.Player.HP = 0;
  PressOn(Col(10), Row(10));
  EXPECT_FALSE(Form1.Pspt->Visible);
  G.Player.HP = 30;
  G.PartWidths[1] = 0;  // no map
  PressOn(Col(10), Row(10));
  EXPECT_FALSE(Form1.Pspt->Visible);
}

TEST_F(GameScreenInputTest, PressesOutsideThePartFindNothing) {
  G.ViewX = -30;
  G.ViewY = 195;
  for (int c : {0, 7, 14}) {
    for (int r : {0, 7, 13}) {
      PressOn(c, r);
      ui::GameScreen_MouseUp(1, 0, 0, 0);
    }
  }
  EXPECT_FALSE(Form1.Pspt->Visible);
  EXPECT_EQ(G.GroundItemCount, 0);
}

TEST_F(GameScreenInputTest, ALeftPressOnTheGroundDropsTheHeldBagOrBeltItem) {
  for (int slot : {11, 40}) {
    SCOPED_TRACE(slot);
    HoldItem(slot);
    const int items = G.GroundItemCount;
    PressOn(Col(20), Row(20));
    EXPECT_EQ(G.GroundItemCount, items + 1);
    EXPECT_EQ(G.GroundItems[static_cast<std::size_t>(items + 1)].Name, "木剑");
    EXPECT_TRUE(G.Player.Items[static_cast<std::size_t>(slot)].Name.empty());
    EXPECT_EQ(G.SelectedSlot, 0);
    EXPECT_FALSE(Form1.ShItem->Visible);
    EXPECT_EQ(G.MouseLeftDown, 0);
    EXPECT_EQ(Form1.Lsell->Caption, "");
    for (plat::Control* c : {Form1.Isell, Form1.IwUP, Form1.Ibank}) EXPECT_TRUE(c->Picture.empty()) << c->Name;
  }
}

TEST_F(GameScreenInputTest, AWornItemOrAClosedBagIsNotDropped) {
  HoldItem(3);
  PressOn(Col(20), Row(20));
  EXPECT_EQ(G.GroundItemCount, 0);
  EXPECT_EQ(G.SelectedSlot, 3);
  EXPECT_EQ(G.MouseLeftDown, 1);  // the player walks instead
  EXPECT_EQ(Form1.Isell->Picture, "x.bmp");
  ui::GameScreen_MouseUp(1, 0, 0, 0);

  HoldItem(30);
  Form1.Psys2->Visible = false;
  PressOn(Col(20), Row(20));
  EXPECT_EQ(G.GroundItemCount, 0);
  EXPECT_EQ(G.SelectedSlot, 30);
  // A press on an NPC talks first, also with an item held.
  Form1.Psys2->Visible = true;
  ui::GameScreen_MouseUp(1, 0, 0, 0);
  PressOn(Col(10), Row(10));
  EXPECT_TRUE(Form1.Pspt->Visible);
  EXPECT_EQ(G.GroundItemCount, 0);
}

TEST_F(GameScreenInputTest, AnyReleaseClearsBothButtons) {
  for (int released : {1, 2, 4}) {
    G.MouseLeftDown = 1;
    G.MouseRightDown = 1;
    ui::GameScreen_MouseUp(released, 0, 0, 0);
    EXPECT_EQ(G.MouseLeftDown, 0);
    EXPECT_EQ(G.MouseRightDown, 0);
  }
}

TEST_F(GameScreenInputTest, AChoiceRunsTheScriptFromItsLabelWithTheClickSound) {
  G.SoundOn = 0;
  PressOn(Col(10), Row(10));
  ui::GameScreen_MouseUp(1, 0, 0, 0);
  Form1.Lbuy->Caption = "50";
  Form1.Ibuy->Picture = "y.bmp";
  sound.calls.clear();
  // The handler behind the control: "在此歇脚" makes the player's cell the return point.
  Form1.Lb(2)->OnClick();
  EXPECT_TRUE(Played("Sound\\按键1.wav"));
  EXPECT_EQ(Form1.Lbuy->Caption, "");
  EXPECT_TRUE(Form1.Ibuy->Picture.empty());
  EXPECT_EQ(G.GoX, 13);
  EXPECT_EQ(G.GoY, 13);
  EXPECT_EQ(G.Player.MapS, 0);  // the start village counts for no town progress
  EXPECT_EQ(Form1.LSay->Caption.rfind("好，以后你用回城卷就会回到这里。", 0), 0u);
  EXPECT_EQ(Form1.Lb(1)->Caption, "多谢");
  // Its "OVER" closes the dialogue.
  ui::Lb_Click(1);
  EXPECT_FALSE(Form1.Pspt->Visible);
  // A choice the script never set runs nothing; an index outside 1..6 is ignored.
  ui::Lb_Click(5);
  ui::Lb_Click(0);
  ui::Lb_Click(7);
  EXPECT_FALSE(Form1.Pspt->Visible);
}

TEST_F(GameScreenInputTest, CloseHidesEveryServicePanelAndResumes) {
  G.SoundOn = 0;
  for (plat::Control* p : {Form1.Pspt, Form1.Pbank, Form1.Psell, Form1.Pbuy, Form1.PwUP, Form1.PItemInf, Form1.ShItem,
                           Form1.Psys2}) {
    p->Visible = true;
  }
  for (plat::Control* c : {Form1.Ibuy, Form1.Isell, Form1.IwUP, Form1.Ibank}) c->Picture = "z.bmp";
  Form1.Lbuy->Caption = "10";
  Form1.Lsell->Caption = "20";
  G.SelectedSlot = 25;
  G.GamePaused = 1;
  Form1.Lquit->OnClick();
  EXPECT_TRUE(Played("Sound\\按键1.wav"));
  for (plat::Control* p : {Form1.Pspt, Form1.Pbank, Form1.Psell, Form1.Pbuy, Form1.PwUP, Form1.PItemInf, Form1.ShItem}) {
    EXPECT_FALSE(p->Visible) << p->Name;
  }
  EXPECT_TRUE(Form1.Psys2->Visible);  // the character window stays
  for (plat::Control* c : {Form1.Ibuy, Form1.Isell, Form1.IwUP, Form1.Ibank}) EXPECT_TRUE(c->Picture.empty()) << c->Name;
  EXPECT_EQ(Form1.Lbuy->Caption, "");
  EXPECT_EQ(Form1.Lsell->Caption, "");
  EXPECT_EQ(G.SelectedSlot, 0);
  EXPECT_EQ(G.GamePaused, 0);
}

TEST(NpcCode, TheNameWithoutThePictureNumber) {
  EXPECT_EQ(ui::NpcCodeOf("N村长1001"), "N村长");
  EXPECT_EQ(ui::NpcCodeOf("N传送使者1004"), "N传送使者");
  EXPECT_EQ(ui::NpcCodeOf("*N小翠1007"), "");
  EXPECT_EQ(ui::NpcCodeOf("M0001"), "");
  EXPECT_EQ(ui::NpcCodeOf(""), "");
  EXPECT_EQ(ui::NpcCodeOf("N12"), "");
}

}  // namespace
