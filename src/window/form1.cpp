// The main window's controls with their design values. Positions in twips relative to
// the parent's client area; the children of the pixel-scaled game screen in pixels.
#include "window/form1.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "window/builders.h"

namespace ui {

MainWindow Form1;

namespace {

using build::Button;
using build::Put;
using plat::Control;
using plat::ControlKind;

// The window itself; Form1.Form points here.
std::unique_ptr<plat::Form> gWindow;

// Panels without their background picture yet show a dark fill; their texts are light.
constexpr std::uint32_t kPanelBack = 0x202020;
constexpr std::uint32_t kText = 0xE0E0E0;

Control* Panel(Control* parent, const std::string& name, int l, int t, int w, int h, bool visible) {
  Control* c = Put(parent, ControlKind::Panel, name, l, t, w, h);
  c->Visible = visible;
  c->BackColor = kPanelBack;
  c->BackTransparent = false;
  return c;
}

Control* Label(Control* parent, const std::string& name, const std::string& caption, int l, int t, int w,
               int h, int index = -1) {
  Control* c = Put(parent, ControlKind::Label, name, l, t, w, h, index);
  c->Caption = caption;
  c->ForeColor = kText;
  return c;
}

Control* Image(Control* parent, const std::string& name, int l, int t, int w, int h, int index = -1) {
  return Put(parent, ControlKind::Image, name, l, t, w, h, index);
}

Control* Check(Control* parent, const std::string& name, const std::string& caption, int l, int t, int w,
               int h, int value) {
  Control* c = Put(parent, ControlKind::CheckBox, name, l, t, w, h);
  c->Caption = caption;
  c->ForeColor = kText;
  c->SetValue(value);  // no handler is attached yet: nothing runs
  return c;
}

Control* List(Control* parent, const std::string& name, int l, int t, int w, int h) {
  Control* c = Put(parent, ControlKind::ListBox, name, l, t, w, h);
  c->BackTransparent = false;
  return c;
}

Control* Combo(Control* parent, const std::string& name, const std::string& text, int l, int t, int w,
               int h) {
  Control* c = Put(parent, ControlKind::ComboBox, name, l, t, w, h);
  c->Text = text;
  c->BackTransparent = false;
  return c;
}

Control* Line(Control* parent, const std::string& name, int x1, int y1, int x2, int y2, int width) {
  Control* c = parent->Add(ControlKind::Line, name);
  c->X1 = x1;
  c->Y1 = y1;
  c->X2 = x2;
  c->Y2 = y2;
  c->Move(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1));
  c->BorderWidth = width;
  c->BorderColor = 0x808080;
  return c;
}

Control* Timer(Control* parent, const std::string& name, int interval) {
  Control* c = parent->Add(ControlKind::Timer, name);
  c->Interval = interval;
  c->TimerEnabled = true;
  c->Visible = false;  // never drawn
  return c;
}

// ---------------------------------------------------------------------------

void BuildSystemMenu(MainWindow& w, Control* p) {
  // The eight option boxes, top to bottom; the sound and damage-number options are on.
  struct Box {
    Control** slot;
    const char* name;
    const char* caption;
    int top;
    int value;
  };
  const Box boxes[] = {
      {&w.LGameMusic, "LGameMusic", "游戏音效", 580, 1},
      {&w.LMgcLock, "LMgcLock", "魔法锁定", 840, 0},
      {&w.LlistMinMap, "LlistMinMap", "小地图显示", 1100, 0},
      {&w.LActNumber, "LActNumber", "伤害数值显示", 1350, 1},
      {&w.LFullHP, "LFullHP", "全屏显示怪物体力", 1610, 0},
      {&w.LFullItem, "LFullItem", "全屏显示道具名称", 1860, 0},
      {&w.LAutoItem, "LAutoItem", "自动拣取脚下道具", 2120, 0},
      {&w.LshowID, "LshowID", "角色ID显示", 2380, 0},
  };
  for (const Box& b : boxes) *b.slot = Check(p, b.name, b.caption, 315, b.top, 1920, 255, b.value);
  w.Label2 = Label(p, "Label2", "继续游戏", 315, 2730, 840, 240);
  w.Label4 = Label(p, "Label4", "游戏存档", 1260, 2730, 840, 240);
  w.Label3 = Label(p, "Label3", "游戏帮助", 315, 2970, 840, 240);
  w.Label1 = Label(p, "Label1", "放弃退出", 1260, 2970, 840, 240);
}

void BuildStatusPage(MainWindow& w, Control* p) {
  // One row per value; the "+" of the four ranges beside them.
  struct Row {
    Control** slot;
    const char* name;
  };
  const Row rows[] = {{&w.Llevel, "Llevel"}, {&w.Lex, "Lex"}, {&w.Lspot, "Lspot"}, {&w.Lhp, "Lhp"},
                      {&w.Lmp, "Lmp"},       {&w.Ldc, "Ldc"}, {&w.Lmc, "Lmc"},     {&w.Ldf, "Ldf"},
                      {&w.Lmf, "Lmf"},       {&w.Lnb, "Lnb"}, {&w.Lacc, "Lacc"}};
  int top = 300;
  for (const Row& r : rows) {
    *r.slot = Label(p, r.name, "", 1200, top, 1200, 225);
    top += 240;
  }
  w.LDcAdd = Label(p, "LDcAdd", "+", 2460, w.Ldc->Top, 240, 225);
  w.LMcAdd = Label(p, "LMcAdd", "+", 2460, w.Lmc->Top, 240, 225);
  w.LDfAdd = Label(p, "LDfAdd", "+", 2460, w.Ldf->Top, 240, 225);
  w.LMfAdd = Label(p, "LMfAdd", "+", 2460, w.Lmf->Top, 240, 225);
}

void BuildSkillsPage(MainWindow& w, Control* p) {
  w.Label10 = Label(p, "Label10", "技能点：", 120, 90, 900, 225);
  w.LspPoint = Label(p, "LspPoint", "", 1020, 90, 600, 225);

  // Three rows of five icons (skills 1-5, 6-10, 11-15), the key label under each.
  constexpr int kIcon = 420, kFirstLeft = 210, kStep = 660;
  const int rowTops[3] = {780, 1500, 2220};
  auto iconLeft = [&](int col) { return kFirstLeft + kStep * col; };
  for (int k = 1; k <= 15; ++k) {
    const int row = (k - 1) / 5, col = (k - 1) % 5;
    Control* icon = Image(p, "McI", iconLeft(col), rowTops[row], kIcon, kIcon, k);
    w.McI.Set(k, icon);
    Control* key = Label(p, "Lsp", "", iconLeft(col), rowTops[row] + kIcon + 15, kIcon, 225, k);
    key->Alignment = 2;
    w.Lsp.Set(k, key);
  }

  // The skill tree: 1-2-3-4 in the first row, 1 down to 6, 6-7-8-9-10 in the second row,
  // 11-12-13-14-15 in the third.
  auto across = [&](const char* name, int row, int col) {
    const int y = rowTops[row] + kIcon / 2;
    return Line(p, name, iconLeft(col) + kIcon, y, iconLeft(col + 1), y, 5);
  };
  w.Line11 = across("Line11", 0, 0);
  w.Line12 = across("Line12", 0, 1);
  w.Line13 = across("Line13", 0, 2);
  const int x1 = iconLeft(0) + kIcon / 2;
  w.Line21 = Line(p, "Line21", x1, rowTops[0] + kIcon + 240, x1, rowTops[1], 5);
  w.Line22 = across("Line22", 1, 0);
  w.Line23 = across("Line23", 1, 1);
  w.Line24 = across("Line24", 1, 2);
  w.Line25 = across("Line25", 1, 3);
  w.Line31 = across("Line31", 2, 0);
  w.Line32 = across("Line32", 2, 1);
  w.Line33 = across("Line33", 2, 2);
  w.Line34 = across("Line34", 2, 3);

  // The hotkey row under the skill points: F(n) at 360 x (n - 1).
  w.Pf = Panel(p, "Pf", 30, 360, 2895, 375, false);
  for (int n = 1; n <= 8; ++n) w.F.Set(n, Image(w.Pf, "F", 360 * (n - 1), 0, 375, 375, n));

  // The learn / raise question.
  w.Psplyn = Panel(p, "Psplyn", 300, 1140, 2350, 960, false);
  w.Lsplynm = Label(w.Psplyn, "Lsplynm", "", 120, 90, 2110, 450);
  w.Lsply = Label(w.Psplyn, "Lsply", "是", 600, 630, 400, 225);
  w.Lsply->Alignment = 2;
  w.Lspln = Label(w.Psplyn, "Lspln", "否", 1350, 630, 400, 225);
  w.Lspln->Alignment = 2;
}

void BuildCharacterWindow(MainWindow& w, Control* p) {
  // Worn equipment, upper half.
  const int worn[10][2] = {{480, 340},  {2030, 340},  {480, 840},   {2030, 840},  {2030, 1340},
                           {480, 1850}, {2030, 1850}, {480, 2370},  {2030, 2370}, {1210, 2370}};
  for (int s = 1; s <= 10; ++s) w.Iitem.Set(s, Image(p, "Iitem", worn[s - 1][0], worn[s - 1][1], 420, 400, s));
  // The bag, lower half: six rows of six.
  const int lefts[6] = {230, 735, 1250, 1760, 2270, 2780};
  const int tops[6] = {3280, 3750, 4210, 4680, 5145, 5610};
  for (int s = 21; s <= 56; ++s) {
    const int i = s - 21;
    w.Iitem.Set(s, Image(p, "Iitem", lefts[i % 6], tops[i / 6], 450, 405, s));
  }
  // The frame around the held slot.
  w.ShItem = Put(p, ControlKind::Shape, "ShItem", lefts[0], tops[0], 495, 450);
  w.ShItem->BorderWidth = 2;
  w.ShItem->BorderColor = 0x00FFFF;
  w.ShItem->Visible = false;

  // Side buttons.
  w.Sys2b1 = Image(p, "Sys2b1", 3000, 120, 330, 525);
  w.Sys2B2 = Image(p, "Sys2B2", 3000, 760, 330, 525);
  w.Sys2B3 = Image(p, "Sys2B3", 3000, 1410, 330, 525);
  w.Sys2b4 = Image(p, "Sys2b4", 3000, 2060, 330, 525);
  w.Sys2b5 = Image(p, "Sys2b5", 3000, 2700, 335, 350);

  w.Lmoney = Label(p, "Lmoney", "", 1200, 6150, 1700, 225);
  w.Lfz = Label(p, "Lfz", "", 1200, 6420, 1700, 225);

  // The status page covers the worn equipment, the skills page the bag.
  w.Psx = Panel(p, "Psx", 0, 0, 2950, 3150, false);
  BuildStatusPage(w, w.Psx);
  w.Pmc = Panel(p, "Pmc", 0, 3150, 3450, 2950, false);
  BuildSkillsPage(w, w.Pmc);
}

void BuildBottomBar(MainWindow& w, Control* p) {
  auto sysButton = [&](const char* name, int left, int width, const char* tip) {
    Control* c = Put(p, ControlKind::Panel, name, left, 90, width, 490);
    c->ToolTip = tip;
    return c;
  };
  w.SysB1 = sysButton("SysB1", 90, 495, "");
  w.SysB2 = sysButton("SysB2", 630, 490, "快捷键（U）");
  w.SysB3 = sysButton("SysB3", 1165, 490, "快捷键（I）");
  w.SysB4 = sysButton("SysB4", 1710, 490, "快捷键（O）");
  // The quick belt. Its key labels sit on the slots' lower left corners; they are
  // disabled so that a click there still reaches the slot beneath.
  for (int s = 11; s <= 16; ++s) {
    const int left = 2280 + 540 * (s - 11);
    w.Iitem.Set(s, Image(p, "Iitem", left, 120, 480, 435, s));
  }
  for (int n = 1; n <= 6; ++n) {
    const int left = 2280 + 540 * (n - 1);
    Control* key = Label(p, "LKey", std::to_string(n), left, 120 + 435 - 195, 135, 195, n);
    key->Enabled = false;
    w.LKey.Set(n, key);
  }
  w.Qmc = Image(p, "Qmc", 2280 + 540 * 6, 120, 480, 435);
  w.LMgc = Label(p, "LMgc", "Mgc", w.Qmc->Left, 120 + 435 - 195, 420, 195);
  w.LMgc->Enabled = false;
}

void BuildTitleScreen(MainWindow& w, Control* p) {
  w.IdList = List(p, "IdList", 600, 360, 4800, 2700);
  w.IdList->Visible = false;
  w.ID = Put(p, ControlKind::TextBox, "ID", 600, 3300, 1200, 300);
  w.ID->MaxLength = 4;
  w.ID->BackTransparent = false;
  w.Cb = Combo(p, "Cb", "选择", 1920, 3300, 1200, 300);
  for (const char* cls : {"战士", "道士", "法师"}) w.Cb->AddItem(cls);
  w.Lzj = Check(p, "Lzj", "专家模式", 3240, 3315, 1140, 255, 0);
  w.Command1 = Button(p, "Command1", "登记", 4500, 3270, 900, 360);
  w.Command2 = Button(p, "Command2", "故事继续", 420, 3990, 1240, 400);
  w.Command3 = Button(p, "Command3", "自废武功", 1740, 3990, 1240, 400);
  w.Command4 = Button(p, "Command4", "江湖买卖", 3060, 3990, 1240, 400);
  w.Command16 = Button(p, "Command16", "暂隐江湖", 4380, 3990, 1240, 400);

  // The class description; its text keeps 40 twips from the panel's edges.
  w.Phelp = Panel(p, "Phelp", 1200, 1680, 3480, 1530, false);
  w.HelpText = Label(w.Phelp, "HelpText", "", 40, 40, 3400, 1450);

  // The trade set-up.
  w.Pnet = Panel(p, "Pnet", 120, 1440, 5775, 2955, false);
  w.Lnet = Label(w.Pnet, "Lnet", "装备交易系统 - 请选择交易方式", 600, 360, 4725, 255);
  w.Lnet->Alignment = 2;
  w.Lnet->FontBold = true;
  w.O1 = Put(w.Pnet, ControlKind::OptionButton, "O1", 900, 990, 1455, 255);
  w.O1->Caption = "创建交易主机";
  w.O1->ForeColor = kText;
  w.O2 = Put(w.Pnet, ControlKind::OptionButton, "O2", 3120, 990, 1455, 255);
  w.O2->Caption = "加入交易主机";
  w.O2->ForeColor = kText;
  w.O1->SetValue(1);
  w.Label8 = Label(w.Pnet, "Label8", "对方IP地址：", 1440, 1500, 1335, 255);
  w.DIP = Put(w.Pnet, ControlKind::TextBox, "DIP", 2490, 1470, 1575, 270);
  w.DIP->Text = "0.0.0.0";
  w.DIP->Enabled = false;
  w.DIP->BackTransparent = false;
  w.Command15 = Button(w.Pnet, "Command15", "开始", 1170, 2070, 1695, 375);
  w.Command14 = Button(w.Pnet, "Command14", "取消", 2850, 2070, 1575, 375);
}

void BuildCheatPanel(MainWindow& w, Control* p) {
  w.Label9 = Label(p, "Label9", "道具制造", 120, 90, 1200, 225);
  // Its rows are the item table's names, filled from the game data.
  w.Citem = Combo(p, "Citem", "绝强金创药包", 120, 330, 2400, 300);
  w.Command17 = Button(p, "Command17", "得到", 2640, 315, 800, 330);

  w.Label16 = Label(p, "Label16", "属性上限修改", 120, 750, 1800, 225);
  w.Cchange = Combo(p, "Cchange", "血量", 120, 990, 1500, 300);
  for (const char* item : {"HP上限", "MP上限", "魔法上限", "防御上限", "魔防上限", "等级", "属性点", "技能点", "钱"}) {
    w.Cchange->AddItem(item);
  }
  w.Tcc = Put(p, ControlKind::TextBox, "Tcc", 1680, 990, 840, 300);
  w.Tcc->Text = "0";
  w.Tcc->BackTransparent = false;
  w.Command18 = Button(p, "Command18", "确认", 2640, 975, 800, 330);

  w.Label19 = Label(p, "Label19", "地图移动", 120, 1410, 1200, 225);
  w.Cmap = Combo(p, "Cmap", "无名村", 120, 1650, 2400, 300);
  for (const char* place : {"无名村", "镇安村", "齐扬城", "神秘家园", "小鱼村", "新月村", "野猪洞", "蜘蛛洞", "修魔洞",
                            "罗魔洞", "扎克圣地", "魔窟", "牛魔洞", "古墓", "新月树林南", "山谷村庄", "修罗神殿",
                            "恶魔巢穴"}) {
    w.Cmap->AddItem(place);
  }
  w.Command19 = Button(p, "Command19", "移动", 2640, 1635, 800, 330);

  w.Label20 = Label(p, "Label20", "", 120, 2040, 3300, 60);
  w.Command22 = Button(p, "Command22", "解锁全部技能", 120, 2160, 1600, 330);
  w.Command23 = Button(p, "Command23", "生命魔法加满", 1800, 2160, 1640, 330);

  w.Lys = Check(p, "Lys", "隐身模式", 120, 2580, 1600, 255, 0);
  w.LhpLck = Check(p, "LhpLck", "生命锁定", 1800, 2580, 1600, 255, 0);
  w.Lddzk = Check(p, "Lddzk", "刀刀斩空", 120, 2880, 1600, 255, 0);
  w.LmpLck = Check(p, "LmpLck", "魔法锁定", 1800, 2880, 1600, 255, 0);
  w.Lddhl = Check(p, "Lddhl", "刀刀火龙", 120, 3180, 1600, 255, 0);

  w.Label21 = Label(p, "Label21", "怪物召唤", 120, 3540, 1200, 225);
  // Its rows are the monster tables' names, filled from the game data.
  w.MobList = List(p, "MobList", 120, 3780, 2400, 1050);
  w.Command24 = Button(p, "Command24", "召唤", 2640, 3780, 800, 330);
}

void BuildGameScreen(MainWindow& w, Control* gs) {
  // Children of the game screen are placed in pixels.
  w.BBTimer = Timer(gs, "BBTimer", 2500);

  w.PLevel = Panel(gs, "PLevel", 3840 / 15, 1800 / 15, 2730 / 15, 3030 / 15, false);
  w.I_Nm = Image(w.PLevel, "I_Nm", 600, 1080, 1500, 375);
  w.I_Hd = Image(w.PLevel, "I_Hd", 600, 1680, 1500, 375);
  w.I_vHd = Image(w.PLevel, "I_vHd", 600, 2280, 1500, 375);

  // Left of the character window (which starts at pixel 492), so the bag and the whole
  // panel are in view together.
  w.Pzb = Panel(gs, "Pzb", 250, 15, 3600 / 15, 4950 / 15, false);
  BuildCheatPanel(w, w.Pzb);
}

// The design pictures of the window: every panel's background lies in "\date\Panel"
// under its own name; the system buttons and hotkey images show their released pictures.
void SetDesignPictures(MainWindow& w) {
  std::vector<plat::Control*> stack{w.Form};
  while (!stack.empty()) {
    plat::Control* c = stack.back();
    stack.pop_back();
    if (c->Kind == ControlKind::Panel) c->Picture = "\\date\\Panel\\" + c->Name + ".bmp";
    for (const auto& child : c->Children()) stack.push_back(child.get());
  }
  const std::pair<plat::Control*, const char*> buttons[] = {
      {w.SysB1, "bt11"}, {w.SysB2, "bt21"}, {w.SysB3, "bt31"},  {w.SysB4, "bt91"}, {w.Sys2b1, "bt41"},
      {w.Sys2B2, "bt51"}, {w.Sys2B3, "bt61"}, {w.Sys2b4, "bt71"}, {w.Sys2b5, "bt81"}};
  for (const auto& [control, file] : buttons) {
    if (control) control->Picture = std::string("\\date\\button\\") + file + ".dat";
  }
  for (const auto& [n, image] : w.F.All()) image->Picture = "\\DATE\\Button\\F" + std::to_string(n) + "1.dat";
  if (w.Pminimap && w.Image1) w.Image1->Picture = "\\date\\button\\minimap.dat";
  // The difficulty buttons: normal is always open, the other two show as locked until
  // a continued character has unlocked them.
  if (w.I_Nm) w.I_Nm->Picture = "date\\button\\level1.dat";
  if (w.I_Hd) w.I_Hd->Picture = "date\\button\\level2lock.dat";
  if (w.I_vHd) w.I_vHd->Picture = "date\\button\\level3lock.dat";
}

}  // namespace

void BuildMainWindow() {
  auto& app = plat::Application::Get();
  if (gWindow) app.RemoveForm(gWindow.get());
  Form1 = MainWindow{};
  gWindow.reset();

  auto form = std::make_unique<plat::Form>("Form1");
  plat::Form* f = form.get();
  MainWindow& w = Form1;
  w.Form = f;
  f->Caption = "Orvanth";
  f->Move(0, 0, 10830, 6720);  // the client area
  f->BackColor = 0x000000;
  f->BackTransparent = false;
  f->KeyPreview = true;

  // The window's control list is Psys1, Psys2, PbkDown2, PDead, PItemInf, PbkRight, PbkUp,
  // PBkDown1, PbkLeft, TimerFps, TimerNPC, Pminimap, Pspt, PwUP, Pbuy, Pbank, Psell,
  // MainMeun, GameScreen. The children are added here in drawing order instead, bottom
  // first: the game screen under everything, the frame, the minimap, the trading
  // panels, the description, the character window, the system menu, the death panel and
  // the title screen on top.
  w.GameScreen = Put(f, ControlKind::PictureBox, "GameScreen", 10, 10, 9315, 5400);
  w.GameScreen->PixelScale = true;
  w.GameScreen->BackColor = 0x000000;
  w.GameScreen->BackTransparent = false;
  BuildGameScreen(w, w.GameScreen);

  w.TimerFps = Timer(f, "TimerFps", 1000);
  w.TimerNPC = Timer(f, "TimerNPC", 400);

  w.PbkUp = Panel(f, "PbkUp", 10, 0, 10800, 105, false);
  w.PbkLeft = Panel(f, "PbkLeft", 0, 10, 105, 6060, false);
  w.PbkRight = Panel(f, "PbkRight", 10720, 0, 105, 6680, false);
  w.PbkDown2 = Panel(f, "PbkDown2", 5630, 6620, 5175, 105, false);
  w.PBkDown1 = Panel(f, "PBkDown1", 0, 6050, 6165, 675, false);
  BuildBottomBar(w, w.PBkDown1);

  w.Pminimap = Panel(f, "Pminimap", 9210, 120, 1500, 1500, false);
  w.Pminimap->HasBorder = true;
  w.Iminimap = Image(w.Pminimap, "Iminimap", 0, 0, 1440, 1440);
  w.Line1 = Line(w.Pminimap, "Line1", 705, 690, 705, 750, 4);
  w.Line1->BorderColor = 0x0000FF;
  w.Image1 = Image(w.Pminimap, "Image1", 0, 1250, 225, 225);

  w.Pspt = Panel(f, "Pspt", 3045, 840, 4200, 2250, false);
  w.LSay = Label(w.Pspt, "LSay", "", 240, 360, 3720, 960);
  for (int k = 1; k <= 6; ++k) {
    const int col = (k - 1) / 3, row = (k - 1) % 3;
    w.Lb.Set(k, Label(w.Pspt, "Lb", "", 360 + 1800 * col, 1380 + 240 * row, 1680, 225, k));
  }
  w.Lquit = Label(w.Pspt, "Lquit", "关闭", 3600, 90, 480, 225);

  w.PwUP = Panel(f, "PwUP", 570, 2990, 4200, 2010, false);
  w.LwUP = Label(w.PwUP, "LwUP", "", 240, 240, 2010, 1420);
  w.IwUP = Image(w.PwUP, "IwUP", 3000, 210, 600, 495);
  w.Command21 = Button(w.PwUP, "Command21", "武器升级", 2730, 1125, 1170, 330);
  w.Command13 = Button(w.PwUP, "Command13", "放弃", 2730, 1530, 1170, 330);

  w.Pbuy = Panel(f, "Pbuy", 570, 2990, 4200, 2010, false);
  w.BuyList = List(w.Pbuy, "BuyList", 330, 250, 2010, 1410);
  w.Ibuy = Image(w.Pbuy, "Ibuy", 3000, 210, 600, 495);
  w.Lbuy = Label(w.Pbuy, "Lbuy", "", 2730, 810, 1170, 225);
  w.Lbuy->Alignment = 2;
  w.Command12 = Button(w.Pbuy, "Command12", "购买", 2730, 1125, 1170, 330);
  w.Command11 = Button(w.Pbuy, "Command11", "放弃", 2730, 1530, 1170, 330);

  w.Pbank = Panel(f, "Pbank", 570, 2990, 4200, 2010, false);
  w.BankList = List(w.Pbank, "BankList", 330, 250, 2010, 1110);
  for (int i = 0; i < 60; ++i) w.BankList->AddItem("空位");
  w.Ibank = Image(w.Pbank, "Ibank", 3000, 210, 600, 495);
  w.Bmoney = Label(w.Pbank, "Bmoney", "", 585, 1590, 900, 180);
  w.Bmoney->Alignment = 2;
  w.Command5 = Button(w.Pbank, "Command5", "存储道具", 2730, 810, 1170, 330);
  w.Command6 = Button(w.Pbank, "Command6", "取出道具", 2730, 1125, 1170, 330);
  w.Command7 = Button(w.Pbank, "Command7", "存钱", 1785, 1530, 1170, 300);
  w.Command8 = Button(w.Pbank, "Command8", "取钱", 2940, 1530, 1065, 300);

  w.Psell = Panel(f, "Psell", 3045, 3080, 1725, 1920, false);
  w.Isell = Image(w.Psell, "Isell", 562, 300, 600, 495);
  w.Lsell = Label(w.Psell, "Lsell", "", 240, 900, 1245, 225);
  w.Lsell->Alignment = 2;
  w.Command10 = Button(w.Psell, "Command10", "卖掉", 150, 1380, 660, 330);
  w.Command9 = Button(w.Psell, "Command9", "放弃", 915, 1380, 660, 330);

  w.PItemInf = Panel(f, "PItemInf", 570, 4890, 6300, 825, false);
  w.ItemInf.Set(1, Label(w.PItemInf, "ItemInf", "", 210, 210, 5880, 210, 1));
  w.ItemInf.Set(2, Label(w.PItemInf, "ItemInf", "", 210, 420, 5880, 210, 2));

  w.Psys2 = Panel(f, "Psys2", 7380, 0, 3450, 6720, false);
  BuildCharacterWindow(w, w.Psys2);

  w.Psys1 = Panel(f, "Psys1", 3840, 1800, 2400, 3255, false);
  BuildSystemMenu(w, w.Psys1);

  w.PDead = Panel(f, "PDead", 3150, 4305, 3780, 1380, false);
  w.Label18 = Label(w.PDead, "Label18", "放弃存档，退出游戏", 240, 180, 3300, 255);
  w.Label17 = Label(w.PDead, "Label17", "回到城镇（损失 3%经验、1%金钱）", 240, 540, 3300, 255);
  w.Label11 = Label(w.PDead, "Label11", "原地复活（损失15%经验、10%金钱）", 240, 900, 3300, 255);

  w.MainMeun = Panel(f, "MainMeun", 2280, 600, 6030, 5730, false);
  w.MainMeun->HasBorder = true;
  BuildTitleScreen(w, w.MainMeun);

  SetDesignPictures(w);

  gWindow = std::move(form);
  app.AddForm(f);
  plat::SetAppTitle("Orvanth");
}

}  // namespace ui
