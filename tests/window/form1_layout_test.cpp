#include "window/form1.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "support/test_support.h"

namespace {

using plat::Control;
using plat::ControlKind;
using ui::Form1;

class MainWindowLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::Application::Get().Reset();
    ui::BuildMainWindow();
  }
  void TearDown() override { plat::Application::Get().Reset(); }
};

struct TopLevel {
  const char* name;
  Control* MainWindowPtr;
  ControlKind kind;
  int l, t, w, h;
  bool visible;
};

TEST_F(MainWindowLayout, TopLevelControlsHaveTheirDesignRectanglesAndVisibility) {
  ASSERT_NE(Form1.Form, nullptr);
  EXPECT_EQ(Form1.Form->Width, 10830);
  EXPECT_EQ(Form1.Form->Height, 6720);
  EXPECT_EQ(Form1.Form->PixelWidth(), 722);
  EXPECT_EQ(Form1.Form->PixelHeight(), 448);
  EXPECT_EQ(Form1.Form->Caption, "Orvanth");
  EXPECT_EQ(plat::AppTitle(), "Orvanth");

  // In the order of the window's control list (timers apart).
  const TopLevel table[] = {
      {"Psys1", Form1.Psys1, ControlKind::Panel, 3840, 1800, 2400, 3255, false},
      {"Psys2", Form1.Psys2, ControlKind::Panel, 7380, 0, 3450, 6720, false},
      {"PbkDown2", Form1.PbkDown2, ControlKind::Panel, 5630, 6620, 5175, 105, false},
      {"PDead", Form1.PDead, ControlKind::Panel, 3150, 4305, 3780, 1380, false},
      {"PItemInf", Form1.PItemInf, ControlKind::Panel, 570, 4890, 6300, 825, false},
      {"PbkRight", Form1.PbkRight, ControlKind::Panel, 10720, 0, 105, 6680, false},
      {"PbkUp", Form1.PbkUp, ControlKind::Panel, 10, 0, 10800, 105, false},
      {"PBkDown1", Form1.PBkDown1, ControlKind::Panel, 0, 6050, 6165, 675, false},
      {"PbkLeft", Form1.PbkLeft, ControlKind::Panel, 0, 10, 105, 6060, false},
      {"Pminimap", Form1.Pminimap, ControlKind::Panel, 9210, 120, 1500, 1500, false},
      {"Pspt", Form1.Pspt, ControlKind::Panel, 3045, 840, 4200, 2250, false},
      {"PwUP", Form1.PwUP, ControlKind::Panel, 570, 2990, 4200, 2010, false},
      {"Pbuy", Form1.Pbuy, ControlKind::Panel, 570, 2990, 4200, 2010, false},
      {"Pbank", Form1.Pbank, ControlKind::Panel, 570, 2990, 4200, 2010, false},
      {"Psell", Form1.Psell, ControlKind::Panel, 3045, 3080, 1725, 1920, false},
      {"MainMeun", Form1.MainMeun, ControlKind::Panel, 2280, 600, 6030, 5730, false},
      {"GameScreen", Form1.GameScreen, ControlKind::PictureBox, 10, 10, 9315, 5400, true},
  };
  for (const TopLevel& row : table) {
    SCOPED_TRACE(row.name);
    Control* c = row.MainWindowPtr;
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Name, row.name);
    EXPECT_EQ(c->Parent, Form1.Form);
    EXPECT_EQ(c->Kind, row.kind);
    EXPECT_EQ(c->Left, row.l);
    EXPECT_EQ(c->Top, row.t);
    EXPECT_EQ(c->Width, row.w);
    EXPECT_EQ(c->Height, row.h);
    EXPECT_EQ(c->Visible, row.visible);
    EXPECT_EQ(Form1.Form->Find(row.name), c);
  }
  EXPECT_TRUE(Form1.GameScreen->PixelScale);
  EXPECT_TRUE(Form1.Pminimap->HasBorder);
  EXPECT_TRUE(Form1.MainMeun->HasBorder);
  EXPECT_FALSE(Form1.Psys2->HasBorder);

  // The window's timers run from the start; the spirit timer sits on the game screen.
  struct TimerRow {
    Control* t;
    Control* parent;
    int interval;
  };
  for (const TimerRow& r : {TimerRow{Form1.TimerFps, Form1.Form, 1000}, TimerRow{Form1.TimerNPC, Form1.Form, 400},
                            TimerRow{Form1.BBTimer, Form1.GameScreen, 2500}}) {
    ASSERT_NE(r.t, nullptr);
    SCOPED_TRACE(r.t->Name);
    EXPECT_EQ(r.t->Kind, ControlKind::Timer);
    EXPECT_EQ(r.t->Parent, r.parent);
    EXPECT_EQ(r.t->Interval, r.interval);
    EXPECT_TRUE(r.t->TimerEnabled);
  }
  // At start only the game screen is visible among the top-level controls.
  for (const auto& c : Form1.Form->Children()) {
    if (c->Kind != ControlKind::Timer) {
      EXPECT_EQ(c->Visible, c.get() == Form1.GameScreen) << c->Name;
    }
  }
}

TEST_F(MainWindowLayout, GameScreenLiesUnderEveryPanel) {
  // The title screen, then the character window: the mouse finds them, not the screen.
  Form1.MainMeun->Visible = true;
  const int x = Form1.Command2->ScreenX() + 2, y = Form1.Command2->ScreenY() + 2;
  EXPECT_EQ(Form1.Form->HitTest(x, y), Form1.Command2);
  Form1.MainMeun->Visible = false;
  EXPECT_EQ(Form1.Form->HitTest(x, y), Form1.GameScreen);
  Form1.Psys2->Visible = true;
  Form1.Pminimap->Visible = true;
  EXPECT_EQ(Form1.Form->HitTest(Form1.Iitem(21)->ScreenX() + 2, Form1.Iitem(21)->ScreenY() + 2), Form1.Iitem(21));
  // The character window lies over the minimap, so its first side button stays reachable.
  EXPECT_EQ(Form1.Form->HitTest(Form1.Sys2b1->ScreenX() + 2, Form1.Sys2b1->ScreenY() + 2), Form1.Sys2b1);
  // The frame around the held slot lets the clicks through to the slot.
  Form1.ShItem->Visible = true;
  EXPECT_EQ(Form1.Form->HitTest(Form1.Iitem(21)->ScreenX() + 1, Form1.Iitem(21)->ScreenY() + 1), Form1.Iitem(21));
}

// The cheat panel is used with the bag in view: the open character window covers none
// of its controls.
TEST_F(MainWindowLayout, TheCheatPanelLiesBesideTheCharacterWindow) {
  Form1.Pzb->Visible = true;
  Form1.Psys2->Visible = true;
  for (const auto& child : Form1.Pzb->Children()) {
    Control* c = child.get();
    if (c->Kind == ControlKind::Timer || c->Kind == ControlKind::Line || c->PixelWidth() == 0) continue;
    for (const auto& [dx, dy] : {std::pair{1, 1}, std::pair{c->PixelWidth() - 2, c->PixelHeight() - 2}}) {
      EXPECT_EQ(Form1.Form->HitTest(c->ScreenX() + dx, c->ScreenY() + dy), c)
          << c->Name << " at " << dx << "," << dy;
    }
  }
}

TEST_F(MainWindowLayout, EveryNamedControlIsInTheTreeUnderItsName) {
  // name, member, parent
  struct Named {
    const char* name;
    Control* c;
    Control* parent;
  };
  const Named named[] = {
      {"LGameMusic", Form1.LGameMusic, Form1.Psys1}, {"LMgcLock", Form1.LMgcLock, Form1.Psys1},
      {"LlistMinMap", Form1.LlistMinMap, Form1.Psys1}, {"LActNumber", Form1.LActNumber, Form1.Psys1},
      {"LFullHP", Form1.LFullHP, Form1.Psys1}, {"LFullItem", Form1.LFullItem, Form1.Psys1},
      {"LAutoItem", Form1.LAutoItem, Form1.Psys1}, {"LshowID", Form1.LshowID, Form1.Psys1},
      {"Label2", Form1.Label2, Form1.Psys1}, {"Label4", Form1.Label4, Form1.Psys1},
      {"Label3", Form1.Label3, Form1.Psys1}, {"Label1", Form1.Label1, Form1.Psys1},
      {"Psx", Form1.Psx, Form1.Psys2}, {"Llevel", Form1.Llevel, Form1.Psx}, {"Lex", Form1.Lex, Form1.Psx},
      {"Lspot", Form1.Lspot, Form1.Psx}, {"Lhp", Form1.Lhp, Form1.Psx}, {"Lmp", Form1.Lmp, Form1.Psx},
      {"Ldc", Form1.Ldc, Form1.Psx}, {"Lmc", Form1.Lmc, Form1.Psx}, {"Ldf", Form1.Ldf, Form1.Psx},
      {"Lmf", Form1.Lmf, Form1.Psx}, {"Lnb", Form1.Lnb, Form1.Psx}, {"Lacc", Form1.Lacc, Form1.Psx},
      {"LDcAdd", Form1.LDcAdd, Form1.Psx}, {"LMcAdd", Form1.LMcAdd, Form1.Psx},
      {"LDfAdd", Form1.LDfAdd, Form1.Psx}, {"LMfAdd", Form1.LMfAdd, Form1.Psx},
      {"Pmc", Form1.Pmc, Form1.Psys2}, {"ShItem", Form1.ShItem, Form1.Psys2},
      {"Sys2b1", Form1.Sys2b1, Form1.Psys2}, {"Sys2B2", Form1.Sys2B2, Form1.Psys2},
      {"Sys2B3", Form1.Sys2B3, Form1.Psys2}, {"Sys2b4", Form1.Sys2b4, Form1.Psys2},
      {"Sys2b5", Form1.Sys2b5, Form1.Psys2}, {"Lmoney", Form1.Lmoney, Form1.Psys2},
      {"Lfz", Form1.Lfz, Form1.Psys2}, {"Label10", Form1.Label10, Form1.Pmc},
      {"LspPoint", Form1.LspPoint, Form1.Pmc}, {"Line11", Form1.Line11, Form1.Pmc},
      {"Line12", Form1.Line12, Form1.Pmc}, {"Line13", Form1.Line13, Form1.Pmc},
      {"Line21", Form1.Line21, Form1.Pmc}, {"Line22", Form1.Line22, Form1.Pmc},
      {"Line23", Form1.Line23, Form1.Pmc}, {"Line24", Form1.Line24, Form1.Pmc},
      {"Line25", Form1.Line25, Form1.Pmc}, {"Line31", Form1.Line31, Form1.Pmc},
      {"Line32", Form1.Line32, Form1.Pmc}, {"Line33", Form1.Line33, Form1.Pmc},
      {"Line34", Form1.Line34, Form1.Pmc}, {"Psplyn", Form1.Psplyn, Form1.Pmc},
      {"Lsplynm", Form1.Lsplynm, Form1.Psplyn}, {"Lsply", Form1.Lsply, Form1.Psplyn},
      {"Lspln", Form1.Lspln, Form1.Psplyn}, {"Pf", Form1.Pf, Form1.Pmc},
      {"Label18", Form1.Label18, Form1.PDead}, {"Label17", Form1.Label17, Form1.PDead},
      {"Label11", Form1.Label11, Form1.PDead}, {"SysB1", Form1.SysB1, Form1.PBkDown1},
      {"SysB2", Form1.SysB2, Form1.PBkDown1}, {"SysB3", Form1.SysB3, Form1.PBkDown1},
      {"SysB4", Form1.SysB4, Form1.PBkDown1}, {"Qmc", Form1.Qmc, Form1.PBkDown1},
      {"LMgc", Form1.LMgc, Form1.PBkDown1}, {"Iminimap", Form1.Iminimap, Form1.Pminimap},
      {"Line1", Form1.Line1, Form1.Pminimap}, {"Image1", Form1.Image1, Form1.Pminimap},
      {"LSay", Form1.LSay, Form1.Pspt}, {"Lquit", Form1.Lquit, Form1.Pspt},
      {"IwUP", Form1.IwUP, Form1.PwUP}, {"LwUP", Form1.LwUP, Form1.PwUP},
      {"Command21", Form1.Command21, Form1.PwUP}, {"Command13", Form1.Command13, Form1.PwUP},
      {"BuyList", Form1.BuyList, Form1.Pbuy}, {"Ibuy", Form1.Ibuy, Form1.Pbuy},
      {"Lbuy", Form1.Lbuy, Form1.Pbuy}, {"Command12", Form1.Command12, Form1.Pbuy},
      {"Command11", Form1.Command11, Form1.Pbuy}, {"BankList", Form1.BankList, Form1.Pbank},
      {"Ibank", Form1.Ibank, Form1.Pbank}, {"Bmoney", Form1.Bmoney, Form1.Pbank},
      {"Command5", Form1.Command5, Form1.Pbank}, {"Command6", Form1.Command6, Form1.Pbank},
      {"Command7", Form1.Command7, Form1.Pbank}, {"Command8", Form1.Command8, Form1.Pbank},
      {"Isell", Form1.Isell, Form1.Psell}, {"Lsell", Form1.Lsell, Form1.Psell},
      {"Command10", Form1.Command10, Form1.Psell}, {"Command9", Form1.Command9, Form1.Psell},
      {"IdList", Form1.IdList, Form1.MainMeun}, {"ID", Form1.ID, Form1.MainMeun},
      {"Cb", Form1.Cb, Form1.MainMeun}, {"Lzj", Form1.Lzj, Form1.MainMeun},
      {"Command1", Form1.Command1, Form1.MainMeun}, {"Command2", Form1.Command2, Form1.MainMeun},
      {"Command3", Form1.Command3, Form1.MainMeun}, {"Command4", Form1.Command4, Form1.MainMeun},
      {"Command16", Form1.Command16, Form1.MainMeun}, {"Phelp", Form1.Phelp, Form1.MainMeun},
      {"HelpText", Form1.HelpText, Form1.Phelp}, {"Pnet", Form1.Pnet, Form1.MainMeun},
      {"Lnet", Form1.Lnet, Form1.Pnet}, {"O1", Form1.O1, Form1.Pnet}, {"O2", Form1.O2, Form1.Pnet},
      {"Label8", Form1.Label8, Form1.Pnet}, {"DIP", Form1.DIP, Form1.Pnet},
      {"Command15", Form1.Command15, Form1.Pnet}, {"Command14", Form1.Command14, Form1.Pnet},
      {"PLevel", Form1.PLevel, Form1.GameScreen}, {"I_Nm", Form1.I_Nm, Form1.PLevel},
      {"I_Hd", Form1.I_Hd, Form1.PLevel}, {"I_vHd", Form1.I_vHd, Form1.PLevel},
      {"Pzb", Form1.Pzb, Form1.GameScreen}, {"Label9", Form1.Label9, Form1.Pzb},
      {"Citem", Form1.Citem, Form1.Pzb}, {"Command17", Form1.Command17, Form1.Pzb},
      {"Label16", Form1.Label16, Form1.Pzb}, {"Cchange", Form1.Cchange, Form1.Pzb},
      {"Tcc", Form1.Tcc, Form1.Pzb}, {"Command18", Form1.Command18, Form1.Pzb},
      {"Label19", Form1.Label19, Form1.Pzb}, {"Cmap", Form1.Cmap, Form1.Pzb},
      {"Command19", Form1.Command19, Form1.Pzb}, {"Label20", Form1.Label20, Form1.Pzb},
      {"Command22", Form1.Command22, Form1.Pzb}, {"Command23", Form1.Command23, Form1.Pzb},
      {"Lys", Form1.Lys, Form1.Pzb}, {"LhpLck", Form1.LhpLck, Form1.Pzb},
      {"Lddzk", Form1.Lddzk, Form1.Pzb}, {"LmpLck", Form1.LmpLck, Form1.Pzb},
      {"Lddhl", Form1.Lddhl, Form1.Pzb}, {"Label21", Form1.Label21, Form1.Pzb},
      {"MobList", Form1.MobList, Form1.Pzb}, {"Command24", Form1.Command24, Form1.Pzb},
  };
  for (const Named& n : named) {
    SCOPED_TRACE(n.name);
    ASSERT_NE(n.c, nullptr);
    EXPECT_EQ(n.c->Name, n.name);
    EXPECT_EQ(n.c->Parent, n.parent);
    EXPECT_EQ(Form1.Form->Find(n.name), n.c);
  }

  // Names are unique in the window, apart from the members of one array.
  std::map<std::string, std::set<int>> seen;
  std::vector<Control*> stack{Form1.Form};
  while (!stack.empty()) {
    Control* c = stack.back();
    stack.pop_back();
    if (c != Form1.Form) {
      EXPECT_TRUE(seen[c->Name].insert(c->Index).second) << "two controls named " << c->Name << "(" << c->Index << ")";
    }
    for (const auto& k : c->Children()) stack.push_back(k.get());
  }
}

TEST_F(MainWindowLayout, ControlArraysHoldTheirIndexes) {
  for (int s = 1; s <= 56; ++s) {
    const bool slot = s <= 16 || s >= 21;
    ASSERT_EQ(Form1.Iitem.Has(s), slot) << s;
    if (!slot) continue;
    Control* c = Form1.Iitem(s);
    EXPECT_EQ(c->Kind, ControlKind::Image);
    EXPECT_EQ(c->Index, s);
    EXPECT_EQ(c->Parent, (s >= 11 && s <= 16) ? Form1.PBkDown1 : Form1.Psys2) << s;
    EXPECT_EQ(Form1.Form->Find("Iitem", s), c);
  }
  EXPECT_EQ(Form1.Iitem.All().size(), 52u);
  // The bag: six rows of six.
  EXPECT_EQ(Form1.Iitem(21)->Left, 230);
  EXPECT_EQ(Form1.Iitem(21)->Top, 3280);
  EXPECT_EQ(Form1.Iitem(26)->Left, 2780);
  EXPECT_EQ(Form1.Iitem(27)->Top, 3750);
  EXPECT_EQ(Form1.Iitem(56)->Left, 2780);
  EXPECT_EQ(Form1.Iitem(56)->Top, 5610);
  EXPECT_EQ(Form1.Iitem(56)->Width, 450);
  EXPECT_EQ(Form1.Iitem(10)->Left, 1210);
  EXPECT_EQ(Form1.Iitem(10)->Top, 2370);
  // The belt, with its key labels on the slots' lower left corners.
  for (int n = 1; n <= 6; ++n) {
    Control* slot = Form1.Iitem(10 + n);
    Control* key = Form1.LKey(n);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(slot->Left, 2280 + 540 * (n - 1));
    EXPECT_EQ(slot->Top, 120);
    EXPECT_EQ(key->Caption, std::to_string(n));
    EXPECT_EQ(key->Left, slot->Left);
    EXPECT_EQ(key->Top + key->Height, slot->Top + slot->Height);
    // A click on the key label reaches the slot.
    Form1.PBkDown1->Visible = true;
    EXPECT_EQ(Form1.Form->HitTest(key->ScreenX() + 1, key->ScreenY() + key->PixelHeight() - 1), slot);
  }
  // Skills: three rows of five with the key labels under the icons.
  for (int k = 1; k <= 15; ++k) {
    Control* icon = Form1.McI(k);
    Control* key = Form1.Lsp(k);
    ASSERT_NE(icon, nullptr);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(icon->Parent, Form1.Pmc);
    EXPECT_EQ(key->Left, icon->Left);
    EXPECT_GE(key->Top, icon->Top + icon->Height);
    if (k % 5 != 1) {
      EXPECT_EQ(icon->Top, Form1.McI(k - 1)->Top);
    }
    if (k > 5) {
      EXPECT_GT(icon->Top, Form1.McI(k - 5)->Top + Form1.McI(k - 5)->Height);
    }
  }
  for (int n = 1; n <= 8; ++n) {
    ASSERT_NE(Form1.F(n), nullptr);
    EXPECT_EQ(Form1.F(n)->Parent, Form1.Pf);
    EXPECT_EQ(Form1.F(n)->Left, 360 * (n - 1));
    EXPECT_EQ(Form1.F(n)->Width, 375);
  }
  for (int k = 1; k <= 6; ++k) ASSERT_NE(Form1.Lb(k), nullptr);
  EXPECT_EQ(Form1.Lb(7), nullptr);
  EXPECT_EQ(Form1.ItemInf(1)->Top, 210);
  EXPECT_EQ(Form1.ItemInf(2)->Top, 420);
}

TEST_F(MainWindowLayout, PagesCoverTheirSlotsAndChildrenStayInsideTheirPanels) {
  auto inside = [](const Control* c, const Control* area) {
    return c->Left >= area->Left && c->Top >= area->Top && c->Left + c->Width <= area->Left + area->Width &&
           c->Top + c->Height <= area->Top + area->Height;
  };
  for (int s = 1; s <= 10; ++s) EXPECT_TRUE(inside(Form1.Iitem(s), Form1.Psx)) << s;
  for (int s = 21; s <= 56; ++s) EXPECT_TRUE(inside(Form1.Iitem(s), Form1.Pmc)) << s;
  EXPECT_FALSE(inside(Form1.Sys2b1, Form1.Psx)) << "the side buttons stay in view";

  // Every child lies within its parent (the minimap's toggle reaches into the border).
  std::vector<Control*> stack{Form1.Form};
  while (!stack.empty()) {
    Control* p = stack.back();
    stack.pop_back();
    for (const auto& k : p->Children()) {
      stack.push_back(k.get());
      if (k->Kind == ControlKind::Timer || k->Kind == ControlKind::Line || p == Form1.Form) continue;
      SCOPED_TRACE(k->Name + "(" + std::to_string(k->Index) + ") in " + p->Name);
      EXPECT_GE(k->Left, 0);
      EXPECT_GE(k->Top, 0);
      EXPECT_LE(k->ScreenX() + k->PixelWidth(), p->ScreenX() + p->PixelWidth());
      EXPECT_LE(k->ScreenY() + k->PixelHeight(), p->ScreenY() + p->PixelHeight());
    }
  }
}

TEST_F(MainWindowLayout, DesignValuesOfTheBoxesListsAndTexts) {
  struct Box {
    Control* c;
    const char* caption;
    int value;
    int top;
  };
  const Box boxes[] = {
      {Form1.LGameMusic, "游戏音效", 1, 580},        {Form1.LMgcLock, "魔法锁定", 0, 840},
      {Form1.LlistMinMap, "小地图显示", 0, 1100},     {Form1.LActNumber, "伤害数值显示", 1, 1350},
      {Form1.LFullHP, "全屏显示怪物体力", 0, 1610},   {Form1.LFullItem, "全屏显示道具名称", 0, 1860},
      {Form1.LAutoItem, "自动拣取脚下道具", 0, 2120}, {Form1.LshowID, "角色ID显示", 0, 2380},
  };
  for (const Box& b : boxes) {
    SCOPED_TRACE(b.caption);
    EXPECT_EQ(b.c->Kind, ControlKind::CheckBox);
    EXPECT_EQ(b.c->Caption, b.caption);
    EXPECT_EQ(b.c->Value(), b.value);
    EXPECT_EQ(b.c->Left, 315);
    EXPECT_EQ(b.c->Top, b.top);
  }

  EXPECT_EQ(Form1.BankList->ListCount(), 60);
  for (const std::string& row : Form1.BankList->Items) EXPECT_EQ(row, "空位");
  EXPECT_EQ(Form1.BankList->ListIndex(), -1);

  EXPECT_EQ(Form1.Cb->Kind, ControlKind::ComboBox);
  EXPECT_EQ(Form1.Cb->Text, "选择");
  EXPECT_EQ(Form1.Cb->Items, (std::vector<std::string>{"战士", "道士", "法师"}));
  EXPECT_EQ(Form1.Cb->ListIndex(), -1);
  EXPECT_EQ(Form1.ID->Kind, ControlKind::TextBox);
  EXPECT_EQ(Form1.ID->MaxLength, 4);
  EXPECT_EQ(Form1.ID->Text, "");
  EXPECT_FALSE(Form1.IdList->Visible);
  EXPECT_EQ(Form1.IdList->Kind, ControlKind::ListBox);
  EXPECT_EQ(Form1.Lzj->Value(), 0);

  EXPECT_EQ(Form1.O1->Value(), 1);
  EXPECT_EQ(Form1.O2->Value(), 0);
  EXPECT_EQ(Form1.DIP->Text, "0.0.0.0");
  EXPECT_FALSE(Form1.DIP->Enabled);
  EXPECT_EQ(Form1.Lnet->Caption, "装备交易系统 - 请选择交易方式");
  EXPECT_EQ(Form1.Label8->Caption, "对方IP地址：");
  EXPECT_EQ(Form1.Command4->Left, 3060);
  EXPECT_EQ(Form1.Command4->Top, 3990);

  // A sample of captions.
  EXPECT_EQ(Form1.Label2->Caption, "继续游戏");
  EXPECT_EQ(Form1.Label1->Caption, "放弃退出");
  EXPECT_EQ(Form1.Label17->Caption, "回到城镇（损失 3%经验、1%金钱）");
  EXPECT_EQ(Form1.Label11->Caption, "原地复活（损失15%经验、10%金钱）");
  EXPECT_EQ(Form1.Lquit->Caption, "关闭");
  EXPECT_EQ(Form1.Command21->Caption, "武器升级");
  EXPECT_EQ(Form1.Command5->Caption, "存储道具");
  EXPECT_EQ(Form1.Command16->Caption, "暂隐江湖");
  EXPECT_EQ(Form1.Label10->Caption, "技能点：");
  EXPECT_EQ(Form1.Lsply->Caption, "是");
  EXPECT_EQ(Form1.LMgc->Caption, "Mgc");
  EXPECT_EQ(Form1.Command24->Caption, "召唤");
  EXPECT_EQ(Form1.SysB1->ToolTip, "");
  EXPECT_EQ(Form1.SysB2->ToolTip, "快捷键（U）");
  EXPECT_EQ(Form1.SysB4->ToolTip, "快捷键（O）");

  // The bank's stated places.
  EXPECT_EQ(Form1.BankList->Left, 330);
  EXPECT_EQ(Form1.BankList->Height, 1110);
  EXPECT_EQ(Form1.Command8->Left, 2940);

  // The selection frame and the skill tree lines.
  EXPECT_EQ(Form1.ShItem->Kind, ControlKind::Shape);
  EXPECT_EQ(Form1.ShItem->BorderWidth, 2);
  EXPECT_FALSE(Form1.ShItem->Visible);
  EXPECT_EQ(Form1.ShItem->Width, 495);
  for (Control* line : {Form1.Line11, Form1.Line25, Form1.Line34}) {
    EXPECT_EQ(line->Kind, ControlKind::Line);
    EXPECT_EQ(line->BorderWidth, 5);
  }
  EXPECT_EQ(Form1.Line1->BorderWidth, 4);

  // The cheat panel: hidden, with its designed texts and lists.
  EXPECT_FALSE(Form1.Pzb->Visible);
  EXPECT_EQ(Form1.Citem->Text, "绝强金创药包");
  EXPECT_EQ(Form1.Cchange->Text, "血量");
  EXPECT_EQ(Form1.Cchange->ListCount(), 9);
  EXPECT_EQ(Form1.Cchange->Items.front(), "HP上限");
  EXPECT_EQ(Form1.Cchange->Items.back(), "钱");
  EXPECT_EQ(Form1.Cmap->Text, "无名村");
  EXPECT_EQ(Form1.Cmap->ListCount(), 18);
  EXPECT_EQ(Form1.Cmap->Items[15], "山谷村庄");
  EXPECT_EQ(Form1.Tcc->Text, "0");
  for (Control* box : {Form1.Lys, Form1.LhpLck, Form1.Lddzk, Form1.LmpLck, Form1.Lddhl}) EXPECT_EQ(box->Value(), 0);

  // The difficulty panel on the pixel-scaled game screen: its twips turned into pixels.
  EXPECT_EQ(Form1.PLevel->Left, 256);
  EXPECT_EQ(Form1.PLevel->Top, 120);
  EXPECT_EQ(Form1.I_Hd->Top, 1680);
  EXPECT_EQ(Form1.I_Nm->ScreenX(), Form1.GameScreen->ScreenX() + 256 + 40);
}

TEST_F(MainWindowLayout, BuildingAgainGivesAFreshTree) {
  testsupport::ScopedFakeClock clock;
  auto& app = plat::Application::Get();
  int ticks = 0;
  Form1.LGameMusic->OnClick = [&] { ++ticks; };
  Form1.LGameMusic->SetValue(0);
  Form1.Psys1->Visible = true;
  Form1.BankList->Items[3] = "金创药";
  Form1.ID->Text = "张三";
  Form1.TimerFps->OnTimer = [&] { ++ticks; };

  ui::BuildMainWindow();
  EXPECT_EQ(ticks, 1);
  ASSERT_NE(Form1.Form, nullptr);
  EXPECT_EQ(Form1.LGameMusic->Value(), 1);
  EXPECT_FALSE(Form1.LGameMusic->OnClick);
  EXPECT_FALSE(Form1.Psys1->Visible);
  EXPECT_EQ(Form1.BankList->Items[3], "空位");
  EXPECT_EQ(Form1.ID->Text, "");
  EXPECT_EQ(Form1.LGameMusic->OwnerForm(), Form1.Form);

  // The new window is the one the pump serves; the old window's timers are gone.
  int keys = 0;
  Form1.Form->OnFormKeyDown = [&](int&, int) { ++keys; };
  plat::InputEvent e{};
  e.type = plat::InputEvent::KeyDown;
  e.form = Form1.Form;
  e.key = 65;
  app.Post(std::move(e));
  app.DoEvents();
  clock.clock.Advance(5000);
  app.DoEvents();
  EXPECT_EQ(keys, 1);
  EXPECT_EQ(ticks, 1);
}

}  // namespace
