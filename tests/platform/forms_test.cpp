#include "platform/forms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using plat::Control;
using plat::ControlKind;
using plat::Form;

// A 300 x 200 pixel window.
std::unique_ptr<Form> MakeForm() {
  auto f = std::make_unique<Form>("F");
  f->Move(0, 0, 300 * 15, 200 * 15);
  return f;
}

Control* Add(Control* parent, ControlKind kind, const std::string& name, int l, int t, int w, int h) {
  Control* c = parent->Add(kind, name);
  c->Move(l, t, w, h);
  return c;
}

// Press and release at one client pixel.
void ClickAt(Form& f, int x, int y, int button = plat::kLeftButton) {
  f.MouseDown(x, y, button, 0);
  f.MouseUp(x, y, button, 0);
}

// ---------------------------------------------------------------------------
// Values set from code

TEST(FormsValues, CheckBoxRunsItsHandlerOnlyWhenTheValueChanges) {
  Control box(ControlKind::CheckBox, "Box");
  std::vector<int> seen;
  box.OnClick = [&] { seen.push_back(box.Value()); };
  box.SetValue(0);  // already clear
  EXPECT_TRUE(seen.empty());
  box.SetValue(1);
  box.SetValue(1);
  box.SetValue(0);
  EXPECT_EQ(seen, (std::vector<int>{1, 0}));
}

TEST(FormsValues, OptionButtonsOfOneContainerAreExclusive) {
  Control panel(ControlKind::Panel, "P");
  Control* a = panel.Add(ControlKind::OptionButton, "A");
  Control* b = panel.Add(ControlKind::OptionButton, "B");
  Control* box = panel.Add(ControlKind::CheckBox, "Box");
  Control other(ControlKind::Panel, "Other");
  Control* c = other.Add(ControlKind::OptionButton, "C");
  int aClicks = 0, bClicks = 0;
  a->OnClick = [&] { ++aClicks; };
  b->OnClick = [&] { ++bClicks; };
  box->SetValue(1);
  c->SetValue(1);
  a->SetValue(1);
  b->SetValue(1);
  EXPECT_EQ(a->Value(), 0);
  EXPECT_EQ(b->Value(), 1);
  EXPECT_EQ(box->Value(), 1) << "a check box is not part of the group";
  EXPECT_EQ(c->Value(), 1) << "another container is another group";
  EXPECT_EQ(aClicks, 1) << "the button cleared by its neighbour does not click";
  EXPECT_EQ(bClicks, 1);
  b->SetValue(1);
  EXPECT_EQ(bClicks, 1);
}

TEST(FormsValues, ListIndexFromCodeRunsTheClickOnAChangeOnly) {
  Control list(ControlKind::ListBox, "L");
  for (const char* s : {"甲", "乙", "丙"}) list.AddItem(s);
  std::vector<int> clicks;
  list.OnClick = [&] { clicks.push_back(list.ListIndex()); };
  EXPECT_EQ(list.ListIndex(), -1);
  list.SetListIndex(1);
  list.SetListIndex(1);   // the same row: nothing
  list.SetListIndex(3);   // out of range: refused
  list.SetListIndex(-2);  // out of range: refused
  EXPECT_EQ(list.SelectedItem(), "乙");
  list.SetListIndex(-1);  // deselecting is a change too
  EXPECT_EQ(clicks, (std::vector<int>{1, -1}));
  EXPECT_EQ(list.SelectedItem(), "");

  list.SetListIndex(2);
  clicks.clear();
  list.Clear();
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_EQ(list.ListIndex(), -1);
  EXPECT_TRUE(clicks.empty()) << "clearing runs no handler";
}

TEST(FormsValues, RemovingRowsKeepsTheSelectionOnItsRow) {
  Control list(ControlKind::ListBox, "L");
  for (const char* s : {"a", "b", "c", "d"}) list.AddItem(s);
  int clicks = 0;
  list.SetListIndex(2);
  list.OnClick = [&] { ++clicks; };
  list.RemoveItem(0);
  EXPECT_EQ(list.ListIndex(), 1);
  EXPECT_EQ(list.SelectedItem(), "c");
  list.RemoveItem(1);  // the selected row
  EXPECT_EQ(list.ListIndex(), -1);
  list.RemoveItem(7);
  EXPECT_EQ(list.ListCount(), 2);
  EXPECT_EQ(clicks, 0);
  // Rows erased behind the list's back never give an index out of range.
  list.SetListIndex(1);
  list.Items.clear();
  EXPECT_EQ(list.ListIndex(), -1);
  EXPECT_EQ(list.SelectedItem(), "");
}

TEST(FormsValues, ComboShowsTheChosenRowAsItsText) {
  Control combo(ControlKind::ComboBox, "C");
  combo.Text = "选择";
  combo.AddItem("战士");
  combo.AddItem("道士");
  combo.SetListIndex(1);
  EXPECT_EQ(combo.Text, "道士");
}

TEST(FormsValues, FindIgnoresCaseAndTellsArraysApart) {
  Control root(ControlKind::Panel, "Root");
  Control* p = root.Add(ControlKind::Panel, "Inner");
  Control* one = p->Add(ControlKind::Image, "Iitem", 1);
  Control* two = p->Add(ControlKind::Image, "Iitem", 2);
  Control* plain = p->Add(ControlKind::Label, "Lsay");
  EXPECT_EQ(root.Find("IITEM", 2), two);
  EXPECT_EQ(root.Find("iitem", 1), one);
  EXPECT_EQ(root.Find("Iitem"), nullptr);
  EXPECT_EQ(root.Find("LSay"), plain);
  EXPECT_EQ(root.Find("Nothing"), nullptr);
}

// ---------------------------------------------------------------------------
// Geometry and hit-testing

TEST(FormsGeometry, TwipsBecomePixelsAndBordersMoveTheClientArea) {
  auto f = MakeForm();
  Control* p = Add(f.get(), ControlKind::Panel, "P", 150, 300, 1500, 1500);
  Control* child = Add(p, ControlKind::Image, "I", 30, 45, 150, 150);
  EXPECT_EQ(child->ScreenX(), 12);
  EXPECT_EQ(child->ScreenY(), 23);
  p->HasBorder = true;
  EXPECT_EQ(child->ScreenX(), 12 + plat::kBorderPixels);
  // A panel parked partly outside the window lands on the right pixel.
  p->Move(-1155, -1155);
  EXPECT_EQ(p->ScreenX(), -77);
  p->Move(-1150, 0);
  EXPECT_EQ(p->ScreenX(), -77) << "-76.7 pixels: to the nearest";
  // Children of a pixel-scaled picture box are placed in pixels.
  Control* gs = Add(f.get(), ControlKind::PictureBox, "GS", 150, 150, 3000, 1500);
  gs->PixelScale = true;
  Control* inGs = Add(gs, ControlKind::Panel, "Q", 20, 30, 40, 50);
  EXPECT_EQ(inGs->ScreenX(), 30);
  EXPECT_EQ(inGs->ScreenY(), 40);
  EXPECT_EQ(inGs->PixelWidth(), 40);
  EXPECT_EQ(gs->PixelWidth(), 200);
}

// Twips go to the nearest pixel, alike on both sides of 0: a third of a pixel or less
// down, two thirds or more up.
TEST(FormsGeometry, TwipsRoundToTheNearestPixel) {
  const struct {
    int twips, pixels;
  } cases[] = {{0, 0},      {7, 0},       {8, 1},      {15, 1},    {22, 1},     {23, 2},
               {-7, 0},     {-8, -1},     {-1155, -77}, {10, 1},   {105, 7},    {10720, 715},
               {10830, 722}, {6680, 445}, {6050, 403}, {2147483647, 143165576}, {-2147483647 - 1, -143165577}};
  for (const auto& c : cases) EXPECT_EQ(plat::TwipsToPixels(c.twips), c.pixels) << c.twips;
  // A strip ending five twips short of the window's edge still covers its last column.
  auto f = MakeForm();
  f->Move(0, 0, 10830, 6720);
  Control* strip = Add(f.get(), ControlKind::Panel, "Strip", 10720, 0, 105, 6680);
  EXPECT_EQ(strip->ScreenX() + strip->PixelWidth(), f->PixelWidth());
  EXPECT_EQ(f->HitTest(721, 100), strip);
  EXPECT_EQ(f->HitTest(714, 100), f.get());
}

TEST(FormsHitTest, PanelsLieAboveImagesWhateverTheOrder) {
  auto f = MakeForm();
  Control* panel = Add(f.get(), ControlKind::Panel, "P", 0, 0, 1500, 1500);
  Control* image = Add(f.get(), ControlKind::Image, "I", 0, 0, 1500, 1500);  // added later
  EXPECT_EQ(f->HitTest(50, 50), panel);
  panel->Visible = false;
  EXPECT_EQ(f->HitTest(50, 50), image);
  panel->Visible = true;
  panel->Enabled = false;
  EXPECT_EQ(f->HitTest(50, 50), image) << "a disabled control lets the mouse through";
  EXPECT_EQ(f->HitTest(200, 150), f.get()) << "nothing there: the form";
}

TEST(FormsHitTest, LaterSiblingsLieAboveEarlierOnesOfTheirLayer) {
  auto f = MakeForm();
  Add(f.get(), ControlKind::Panel, "A", 0, 0, 1500, 1500);
  Control* b = Add(f.get(), ControlKind::Button, "B", 0, 0, 1500, 1500);
  Add(f.get(), ControlKind::Label, "L1", 1500, 0, 1500, 1500);
  Control* l2 = Add(f.get(), ControlKind::Label, "L2", 1500, 0, 1500, 1500);
  EXPECT_EQ(f->HitTest(10, 10), b);
  EXPECT_EQ(f->HitTest(110, 10), l2);
}

TEST(FormsHitTest, ContainersClipTheirChildren) {
  auto f = MakeForm();
  Control* back = Add(f.get(), ControlKind::Image, "Back", 0, 0, 4500, 3000);
  Control* p = Add(f.get(), ControlKind::Panel, "P", 0, 0, 1500, 1500);  // 100 x 100
  Control* wide = Add(p, ControlKind::Button, "Wide", 750, 0, 3000, 750);  // sticks out to the right
  EXPECT_EQ(f->HitTest(80, 20), wide);
  EXPECT_EQ(f->HitTest(150, 20), back) << "the part outside the panel is not there";
  // The border is outside the client area.
  p->HasBorder = true;
  Control* corner = Add(p, ControlKind::Button, "Corner", 0, 0, 300, 300);
  EXPECT_EQ(f->HitTest(0, 0), p);
  EXPECT_EQ(f->HitTest(3, 3), corner);
}

TEST(FormsHitTest, LinesShapesAndTimersTakeNoMouse) {
  auto f = MakeForm();
  Control* slot = Add(f.get(), ControlKind::Image, "Slot", 0, 0, 1500, 1500);
  Add(f.get(), ControlKind::Shape, "Frame", 0, 0, 1500, 1500);
  Add(f.get(), ControlKind::Line, "Line", 0, 0, 1500, 1500);
  Add(f.get(), ControlKind::Timer, "T", 0, 0, 1500, 1500);
  EXPECT_EQ(f->HitTest(10, 10), slot);
}

TEST(FormsHitTest, HiddenContainerHidesItsChildren) {
  auto f = MakeForm();
  Control* p = Add(f.get(), ControlKind::Panel, "P", 0, 0, 1500, 1500);
  Add(p, ControlKind::Button, "B", 0, 0, 750, 750);
  p->Visible = false;
  EXPECT_EQ(f->HitTest(10, 10), f.get());
}

// ---------------------------------------------------------------------------
// Mouse

TEST(FormsMouse, ThePressedControlKeepsTheMouseUntilRelease) {
  auto f = MakeForm();
  Control* a = Add(f.get(), ControlKind::Button, "A", 150, 150, 1500, 750);  // pixels 10..110, 10..60
  Control* b = Add(f.get(), ControlKind::Button, "B", 1800, 150, 1500, 750);
  std::vector<std::string> log;
  auto record = [&](const char* what) {
    return [&log, what](int button, int, int x, int y) {
      log.push_back(std::string(what) + " " + std::to_string(button) + " " + std::to_string(x) + "," +
                    std::to_string(y));
    };
  };
  a->OnMouseDown = record("a-down");
  a->OnMouseMove = record("a-move");
  a->OnMouseUp = record("a-up");
  b->OnMouseMove = record("b-move");
  b->OnMouseUp = record("b-up");
  int aClicks = 0, bClicks = 0;
  a->OnClick = [&] { ++aClicks; };
  b->OnClick = [&] { ++bClicks; };

  f->MouseDown(20, 20, plat::kLeftButton, 0);
  EXPECT_EQ(f->Capture, a);
  f->MouseMove(130, 20, plat::kLeftButton, 0);  // over B
  f->MouseUp(130, 20, plat::kLeftButton, 0);    // released over B
  EXPECT_EQ(f->Capture, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"a-down 1 150,150", "a-move 1 1800,150", "a-up 1 1800,150"}));
  EXPECT_EQ(aClicks, 0) << "a release elsewhere is no click";
  EXPECT_EQ(bClicks, 0);

  log.clear();
  f->MouseMove(130, 20, 0, 0);  // no button held: the control under the pointer
  EXPECT_EQ(log, (std::vector<std::string>{"b-move 0 150,150"}));
  ClickAt(*f, 30, 30);
  EXPECT_EQ(aClicks, 1);
  ClickAt(*f, 30, 30, plat::kRightButton);
  EXPECT_EQ(aClicks, 1) << "buttons click with the left button only";
}

TEST(FormsMouse, LabelsClickWithEitherButtonAndPictureBoxesReportPixels) {
  auto f = MakeForm();
  Control* label = Add(f.get(), ControlKind::Label, "L", 0, 0, 1500, 300);
  int clicks = 0;
  label->OnClick = [&] { ++clicks; };
  ClickAt(*f, 5, 5, plat::kRightButton);
  EXPECT_EQ(clicks, 1);

  Control* gs = Add(f.get(), ControlKind::PictureBox, "GS", 150, 1500, 3000, 1500);
  gs->PixelScale = true;
  int gx = -1, gy = -1;
  gs->OnMouseDown = [&](int, int, int x, int y) { gx = x, gy = y; };
  f->MouseDown(25, 107, plat::kLeftButton, 0);
  f->MouseUp(25, 107, plat::kLeftButton, 0);
  EXPECT_EQ(gx, 15);
  EXPECT_EQ(gy, 7);
}

TEST(FormsMouse, ClickingACheckBoxTogglesItAndAnOptionButtonSelectsIt) {
  auto f = MakeForm();
  Control* box = Add(f.get(), ControlKind::CheckBox, "Box", 0, 0, 1500, 300);
  Control* o1 = Add(f.get(), ControlKind::OptionButton, "O1", 0, 600, 1500, 300);
  Control* o2 = Add(f.get(), ControlKind::OptionButton, "O2", 0, 1200, 1500, 300);
  int boxClicks = 0, o2Clicks = 0;
  box->OnClick = [&] { ++boxClicks; };
  o2->OnClick = [&] { ++o2Clicks; };
  o1->SetValue(1);
  ClickAt(*f, 5, 5);
  EXPECT_EQ(box->Value(), 1);
  ClickAt(*f, 5, 5);
  EXPECT_EQ(box->Value(), 0);
  EXPECT_EQ(boxClicks, 2);
  ClickAt(*f, 5, 85);
  EXPECT_EQ(o2->Value(), 1);
  EXPECT_EQ(o1->Value(), 0);
  EXPECT_EQ(o2Clicks, 1);
}

TEST(FormsMouse, AClickOnAListChoosesTheRowUnderThePointer) {
  auto f = MakeForm();
  Control* list = Add(f.get(), ControlKind::ListBox, "L", 0, 150, 1500, 900);  // 4 rows from y 10
  for (int i = 0; i < 20; ++i) list->AddItem("row" + std::to_string(i));
  list->TopIndex = 5;
  std::vector<int> clicks;
  list->OnClick = [&] { clicks.push_back(list->ListIndex()); };
  ClickAt(*f, 10, 10 + 2 * 15 + 3);  // third row shown
  EXPECT_EQ(list->ListIndex(), 7);
  ClickAt(*f, 10, 10 + 2 * 15 + 3);  // the same row again: clicked again
  EXPECT_EQ(clicks, (std::vector<int>{7, 7}));

  list->Items.resize(6);  // rows 0..5 only: TopIndex 5 shows one row
  clicks.clear();
  ClickAt(*f, 10, 10 + 3 * 15);  // below the last row
  EXPECT_TRUE(clicks.empty());
  ClickAt(*f, 10, 12, plat::kRightButton);
  EXPECT_TRUE(clicks.empty()) << "the right button chooses no row";

  // Below the last whole row of a list whose height leaves a strip: no row.
  Control* tall = Add(f.get(), ControlKind::ListBox, "T", 3000, 150, 1500, 1000);  // 67 px: 4 rows
  for (int i = 0; i < 20; ++i) tall->AddItem("row" + std::to_string(i));
  ClickAt(*f, 210, 10 + 4 * 15 + 3);
  EXPECT_EQ(tall->ListIndex(), -1);
  ClickAt(*f, 210, 10 + 3 * 15 + 3);
  EXPECT_EQ(tall->ListIndex(), 3);
}

TEST(FormsMouse, AComboOpensItsListAndAClickThereChoosesARow) {
  auto f = MakeForm();
  Control* combo = Add(f.get(), ControlKind::ComboBox, "C", 0, 0, 1500, 300);  // 20 px high
  Control* under = Add(f.get(), ControlKind::Button, "Under", 0, 300, 1500, 1500);
  for (const char* s : {"战士", "道士", "法师"}) combo->AddItem(s);
  combo->Text = "选择";
  int clicks = 0, underClicks = 0;
  combo->OnClick = [&] { ++clicks; };
  under->OnClick = [&] { ++underClicks; };

  ClickAt(*f, 10, 10);
  EXPECT_EQ(f->Focus, combo);
  EXPECT_TRUE(combo->Dropped);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(f->HitTest(10, 20 + 15 + 5), combo) << "the open list lies above the button";
  EXPECT_EQ(f->HitTest(0, 20 + 15 + 5), combo) << "its first column too";
  EXPECT_EQ(f->HitTest(99, 20 + 3 * 15 - 1), combo) << "and its last pixel";
  EXPECT_NE(f->HitTest(100, 20 + 15 + 5), combo);
  EXPECT_EQ(f->HitTest(10, 20 + 3 * 15), under);
  ClickAt(*f, 10, 20 + 15 + 5);  // second row
  EXPECT_FALSE(combo->Dropped);
  EXPECT_EQ(combo->Text, "道士");
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(underClicks, 0);

  // Choosing the row already chosen puts its text back over what was typed.
  combo->Text = "攻击上限";
  ClickAt(*f, 10, 10);
  ClickAt(*f, 10, 20 + 15 + 5);
  EXPECT_EQ(combo->Text, "道士");
  EXPECT_EQ(clicks, 2);

  // A press elsewhere closes an open list.
  ClickAt(*f, 10, 10);
  ClickAt(*f, 10, 80);
  EXPECT_FALSE(combo->Dropped);
  EXPECT_EQ(underClicks, 1);
  EXPECT_EQ(clicks, 2);

  // The arrow keys walk the rows of the focused combo.
  f->Focus = combo;
  f->KeyDown(40, 0);
  EXPECT_EQ(combo->Text, "法师");
  f->KeyDown(40, 0);
  EXPECT_EQ(combo->ListIndex(), 2);
  EXPECT_EQ(clicks, 3);
}

TEST(FormsMouse, TheWheelScrollsAListWithinItsRows) {
  auto f = MakeForm();
  Control* list = Add(f.get(), ControlKind::ListBox, "L", 0, 0, 1500, 450);  // 2 rows
  for (int i = 0; i < 5; ++i) list->AddItem("r");
  f->MouseWheel(5, 5, 2);
  EXPECT_EQ(list->TopIndex, 2);
  f->MouseWheel(5, 5, 10);
  EXPECT_EQ(list->TopIndex, 3);
  f->MouseWheel(5, 5, -10);
  EXPECT_EQ(list->TopIndex, 0);
}

// ---------------------------------------------------------------------------
// Keys and text

TEST(FormsKeys, TheFormSeesEveryKeyFirstAndMaySwallowIt) {
  auto f = MakeForm();
  Control* box = Add(f.get(), ControlKind::TextBox, "T", 0, 0, 1500, 300);
  f->Focus = box;
  std::vector<std::string> log;
  f->OnFormKeyDown = [&](int& key, int) {
    log.push_back("form " + std::to_string(key));
    if (key == 27) key = 0;    // the form keeps Esc
    if (key == 65) key = 66;   // and rewrites A into B
  };
  box->OnKeyDown = [&](int& key, int) { log.push_back("box " + std::to_string(key)); };
  f->KeyDown(27, 0);
  f->KeyDown(65, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"form 27", "form 65", "box 66"}));

  // Without key preview the focused control alone has it.
  log.clear();
  f->KeyPreview = false;
  f->KeyDown(27, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"box 27"}));
}

TEST(FormsKeys, BackspaceTakesOneWholeCharacterFromATextBox) {
  auto f = MakeForm();
  Control* box = Add(f.get(), ControlKind::TextBox, "T", 0, 0, 1500, 300);
  box->Text = "名字";
  int changes = 0;
  box->OnChange = [&] { ++changes; };
  f->Focus = box;
  f->KeyDown(8, 0);
  EXPECT_EQ(box->Text, "名");
  f->KeyDown(8, 0);
  f->KeyDown(8, 0);  // nothing left
  EXPECT_EQ(box->Text, "");
  EXPECT_EQ(changes, 2);
  // The form can keep Backspace from the box.
  box->Text = "a";
  f->OnFormKeyDown = [](int& key, int) { key = 0; };
  f->KeyDown(8, 0);
  EXPECT_EQ(box->Text, "a");
}

TEST(FormsKeys, TypedTextRespectsTheLengthLimitInCharacters) {
  auto f = MakeForm();
  Control* id = Add(f.get(), ControlKind::TextBox, "ID", 0, 0, 1500, 300);
  id->MaxLength = 4;
  int changes = 0;
  id->OnChange = [&] { ++changes; };
  ClickAt(*f, 5, 5);  // a press gives the box the focus
  ASSERT_EQ(f->Focus, id);
  f->TextInput("天下");
  f->TextInput("无敌手");
  EXPECT_EQ(id->Text, "天下无敌");
  EXPECT_EQ(changes, 4);
  f->TextInput("x");
  EXPECT_EQ(id->Text, "天下无敌");
  f->KeyDown(8, 0);
  f->TextInput("a\rb");  // control characters are not typed into a one-line box
  EXPECT_EQ(id->Text, "天下无a");

  // A hidden box takes no text, even with the focus.
  id->Visible = false;
  f->TextInput("b");
  EXPECT_EQ(id->Text, "天下无a");
}

TEST(FormsKeys, ASelectedTextIsReplacedOrClearedAndALockedBoxTakesNothing) {
  auto f = MakeForm();
  Control* box = Add(f.get(), ControlKind::TextBox, "T", 0, 0, 1500, 300);
  f->Focus = box;
  box->Text = "0.0.0.0";
  box->AllSelected = true;
  f->KeyDown('1', 0);  // the key comes before the text it types
  f->TextInput("1");
  f->KeyDown('0', 0);
  f->TextInput("0");
  EXPECT_EQ(box->Text, "10");
  EXPECT_FALSE(box->AllSelected);
  box->AllSelected = true;
  f->KeyDown(8, 0);
  EXPECT_EQ(box->Text, "");
  box->Text = "abc";
  box->AllSelected = true;
  f->KeyDown(37, 0);  // any other key ends the selection and keeps the text
  f->TextInput("d");
  EXPECT_EQ(box->Text, "abcd");
  box->AllSelected = true;
  ClickAt(*f, 5, 5);  // so does a press in the box
  EXPECT_FALSE(box->AllSelected);

  box->Locked = true;
  f->TextInput("e");
  f->KeyDown(8, 0);
  EXPECT_EQ(box->Text, "abcd");
}

TEST(FormsKeys, TheWheelScrollsAMultiLineBoxBackAndNeverPastItsNewestLine) {
  auto f = MakeForm();
  Control* log = Add(f.get(), ControlKind::TextBox, "Log", 0, 0, 1500, 600);
  log->MultiLine = true;
  f->MouseWheel(5, 5, -3);  // towards the start
  EXPECT_EQ(log->ScrolledBack, 3);
  f->MouseWheel(5, 5, 2);
  EXPECT_EQ(log->ScrolledBack, 1);
  f->MouseWheel(5, 5, 6);
  EXPECT_EQ(log->ScrolledBack, 0);
}

TEST(FormsKeys, KeyPressCanSwallowOrChangeACharacter) {
  auto f = MakeForm();
  Control* box = Add(f.get(), ControlKind::TextBox, "T", 0, 0, 1500, 300);
  f->Focus = box;
  box->OnKeyPress = [](int& k) {
    if (k == '-') k = 0;
    if (k >= 'a' && k <= 'z') k = k - 'a' + 'A';
  };
  f->TextInput("a-b中");
  EXPECT_EQ(box->Text, "AB中");
}

TEST(FormsKeys, PressingANonEditingControlTakesTheFocusFromTheTextBox) {
  auto f = MakeForm();
  Control* box = Add(f.get(), ControlKind::TextBox, "T", 0, 0, 1500, 300);
  Control* gs = Add(f.get(), ControlKind::PictureBox, "GS", 0, 600, 1500, 1500);
  Control* label = Add(f.get(), ControlKind::Label, "L", 1800, 0, 1500, 300);
  ClickAt(*f, 5, 5);
  EXPECT_EQ(f->Focus, box);
  ClickAt(*f, 125, 5);  // a label takes no focus
  EXPECT_EQ(f->Focus, box);
  (void)label;
  ClickAt(*f, 5, 50);
  EXPECT_EQ(f->Focus, gs);
  f->TextInput("x");
  EXPECT_EQ(box->Text, "");
}

TEST(FormsClose, TheUnloadHandlerMayCancel) {
  auto f = MakeForm();
  EXPECT_TRUE(f->RequestClose());
  int asked = 0;
  f->OnUnload = [&](int& cancel) {
    ++asked;
    cancel = 1;
  };
  EXPECT_FALSE(f->RequestClose());
  EXPECT_EQ(asked, 1);
}

// ---------------------------------------------------------------------------
// The pump and the timers

class FormsPump : public ::testing::Test {
 public:
  void SetUp() override {
    plat::Application::Get().Reset();
    form = MakeForm();
    plat::Application::Get().AddForm(form.get());
  }
  void TearDown() override { plat::Application::Get().Reset(); }

  void PostKey(int key) {
    plat::InputEvent e{};
    e.type = plat::InputEvent::KeyDown;
    e.form = form.get();
    e.key = key;
    plat::Application::Get().Post(std::move(e));
  }
  Control* AddTimer(const std::string& name, int interval) {
    Control* t = form->Add(ControlKind::Timer, name);
    t->Interval = interval;
    return t;
  }

  testsupport::ScopedFakeClock clock;
  std::unique_ptr<Form> form;
};

TEST_F(FormsPump, TimersFireOnlyWhileEventsArePumpedAndOnceForManyMissedIntervals) {
  auto& app = plat::Application::Get();
  Control* t = AddTimer("T", 1000);
  int fired = 0;
  t->OnTimer = [&] { ++fired; };
  app.DoEvents();  // first seen: due one interval from now
  clock.clock.Advance(999);
  app.DoEvents();
  EXPECT_EQ(fired, 0);
  clock.clock.Advance(5000);  // time passes without a pump
  EXPECT_EQ(fired, 0);
  app.DoEvents();
  EXPECT_EQ(fired, 1) << "one firing however many intervals were missed";
  app.DoEvents();
  EXPECT_EQ(fired, 1);
  clock.clock.Advance(1000);
  app.DoEvents();
  EXPECT_EQ(fired, 2);
}

TEST_F(FormsPump, StoppedTimersDoNotFireAndHiddenOnesDo) {
  auto& app = plat::Application::Get();
  Control* hidden = AddTimer("Hidden", 100);
  hidden->Visible = false;
  Control* off = AddTimer("Off", 100);
  off->TimerEnabled = false;
  Control* zero = AddTimer("Zero", 0);
  int h = 0, o = 0, z = 0;
  hidden->OnTimer = [&] { ++h; };
  off->OnTimer = [&] { ++o; };
  zero->OnTimer = [&] { ++z; };
  app.DoEvents();
  clock.clock.Advance(500);
  app.DoEvents();
  EXPECT_EQ(h, 1);
  EXPECT_EQ(o, 0);
  EXPECT_EQ(z, 0);
  // Switched on again, a timer waits one full interval.
  off->TimerEnabled = true;
  app.DoEvents();
  EXPECT_EQ(o, 0);
  clock.clock.Advance(100);
  app.DoEvents();
  EXPECT_EQ(o, 1);
}

TEST_F(FormsPump, EventsRunInOrderAndWhatHandlersPostWaitsForTheNextPump) {
  auto& app = plat::Application::Get();
  std::vector<int> keys;
  form->OnFormKeyDown = [&](int& key, int) {
    keys.push_back(key);
    if (key == 1) PostKey(9);
  };
  PostKey(1);
  PostKey(2);
  app.DoEvents();
  EXPECT_EQ(keys, (std::vector<int>{1, 2}));
  EXPECT_EQ(app.Pending(), 1u);
  app.DoEvents();
  EXPECT_EQ(keys, (std::vector<int>{1, 2, 9}));
}

TEST_F(FormsPump, ANestedPumpDispatchesTheRestAndLeavesTheRunningTimerAlone) {
  auto& app = plat::Application::Get();
  Control* t = AddTimer("T", 100);
  Control* other = AddTimer("Other", 100);
  std::vector<std::string> log;
  int depth = 0;
  form->OnFormKeyDown = [&](int& key, int) { log.push_back("key " + std::to_string(key)); };
  t->OnTimer = [&] {
    log.push_back("timer");
    ++depth;
    EXPECT_EQ(depth, 1) << "the running timer was entered again";
    PostKey(5);
    clock.clock.Advance(1000);  // long enough for both timers to be due again
    app.DoEvents();
    --depth;
  };
  other->OnTimer = [&] { log.push_back("other"); };
  app.DoEvents();
  clock.clock.Advance(100);
  app.DoEvents();
  EXPECT_EQ(log, (std::vector<std::string>{"timer", "key 5", "other"}));

  // A nested pump inside an event handler runs the events queued after it.
  log.clear();
  t->OnTimer = nullptr;
  other->OnTimer = nullptr;
  form->OnFormKeyDown = [&](int& key, int) {
    log.push_back("key " + std::to_string(key));
    if (key == 1) app.DoEvents();
  };
  PostKey(1);
  PostKey(2);
  PostKey(3);
  app.DoEvents();
  EXPECT_EQ(log, (std::vector<std::string>{"key 1", "key 2", "key 3"}));
  EXPECT_EQ(app.Pending(), 0u);
}

TEST_F(FormsPump, MouseEventsReachTheFormAndAClosedFormDropsItsEvents) {
  auto& app = plat::Application::Get();
  Control* box = Add(form.get(), ControlKind::CheckBox, "Box", 0, 0, 1500, 300);
  for (auto type : {plat::InputEvent::MouseDown, plat::InputEvent::MouseUp}) {
    plat::InputEvent e{};
    e.type = type;
    e.form = form.get();
    e.x = 5;
    e.y = 5;
    e.button = plat::kLeftButton;
    app.Post(std::move(e));
  }
  app.DoEvents();
  EXPECT_EQ(box->Value(), 1);

  plat::InputEvent close{};
  close.type = plat::InputEvent::Close;
  close.form = form.get();
  app.Post(std::move(close));
  PostKey(3);
  int keys = 0;
  form->OnFormKeyDown = [&](int&, int) { ++keys; };
  app.DoEvents();
  EXPECT_FALSE(form->Visible);
  EXPECT_EQ(keys, 0) << "the closed window takes no more events";
}

TEST_F(FormsPump, TheEventSourceIsPolledFirst) {
  struct Source : plat::EventSource {
    FormsPump* test;
    void Poll() override { test->PostKey(7); }
  } source;
  source.test = this;
  std::vector<int> keys;
  form->OnFormKeyDown = [&](int& key, int) { keys.push_back(key); };
  plat::Application::Get().SetEventSource(&source);
  plat::Application::Get().DoEvents();
  EXPECT_EQ(keys, (std::vector<int>{7}));
}

// ---------------------------------------------------------------------------
// Dialogs

TEST(FormsDialogs, ScriptedBoxesAnswerAndRecord) {
  testsupport::ScopedDialogs d;
  plat::SetAppTitle("Orvanth");
  d.dialogs.messageAnswers = {plat::kCancel};
  d.dialogs.inputAnswers = {std::optional<std::string>("张三"), std::nullopt};
  EXPECT_EQ(plat::MsgBox("确实要退出游戏吗？", plat::kOkCancel), plat::kCancel);
  EXPECT_EQ(plat::MsgBox("again", plat::kYesNo, "T"), plat::kOk) << "a dry queue answers OK";
  EXPECT_EQ(plat::InputBox("名字", "", "默认"), "张三");
  EXPECT_EQ(plat::InputBox("名字"), "") << "cancelled";
  EXPECT_EQ(plat::InputBox("名字", "", "默认"), "默认") << "dry: the default text";
  ASSERT_EQ(d.dialogs.shown.size(), 5u);
  EXPECT_EQ(d.dialogs.shown[0].text, "确实要退出游戏吗？");
  EXPECT_EQ(d.dialogs.shown[0].title, "Orvanth");
  EXPECT_EQ(d.dialogs.shown[0].buttons, plat::kOkCancel);
  EXPECT_FALSE(d.dialogs.shown[0].input);
  EXPECT_EQ(d.dialogs.shown[1].title, "T");
  EXPECT_TRUE(d.dialogs.shown[2].input);
}

TEST(FormsDialogs, WithoutAProviderBoxesTakeTheSafeAnswer) {
  plat::SetDialogProvider(nullptr);
  ASSERT_EQ(plat::CurrentDialogProvider(), nullptr);
  EXPECT_EQ(plat::MsgBox("note"), plat::kOk);
  EXPECT_EQ(plat::MsgBox("quit?", plat::kOkCancel), plat::kCancel);
  EXPECT_EQ(plat::MsgBox("sure?", plat::kYesNo), plat::kNo);
  EXPECT_EQ(plat::InputBox("name", "", "x"), "");
}

TEST(FormsDialogs, AMessageBoxFromAHandlerIsAnsweredBeforeTheHandlerGoesOn) {
  testsupport::ScopedDialogs d;
  d.dialogs.messageAnswers = {plat::kOk};
  auto f = MakeForm();
  Control* b = Add(f.get(), ControlKind::Button, "B", 0, 0, 1500, 300);
  std::vector<std::string> log;
  b->OnClick = [&] {
    log.push_back(plat::MsgBox("sure?", plat::kOkCancel) == plat::kOk ? "ok" : "cancel");
    log.push_back("after");
  };
  ClickAt(*f, 5, 5);
  EXPECT_EQ(log, (std::vector<std::string>{"ok", "after"}));
}

}  // namespace

namespace {

std::string LookOf(const Control& c) {
  std::string out;
  c.AppendLook(out);
  return out;
}

}  // namespace

TEST(FormsLook, EveryDrawnFieldOfAShownControlChangesTheLookAndHiddenOnesDoNot) {
  Form form("F");
  Control* shown = form.Add(ControlKind::ListBox, "Shown");
  Control* panel = form.Add(ControlKind::Panel, "Panel");
  panel->Visible = false;
  Control* inside = panel->Add(ControlKind::Label, "Inside");
  const std::vector<std::pair<const char*, std::function<void(Control&)>>> edits = {
      {"Left", [](Control& c) { c.Left += 1; }},        {"Width", [](Control& c) { c.Width += 1; }},
      {"Caption", [](Control& c) { c.Caption += "x"; }}, {"Text", [](Control& c) { c.Text += "x"; }},
      {"Picture", [](Control& c) { c.Picture = "a.bmp"; }}, {"ToolTip", [](Control& c) { c.ToolTip = "t"; }},
      {"ForeColor", [](Control& c) { c.ForeColor ^= 1; }}, {"BackColor", [](Control& c) { c.BackColor ^= 1; }},
      {"BackTransparent", [](Control& c) { c.BackTransparent = !c.BackTransparent; }},
      {"HasBorder", [](Control& c) { c.HasBorder = !c.HasBorder; }},
      {"Enabled", [](Control& c) { c.Enabled = !c.Enabled; }},
      {"Alignment", [](Control& c) { c.Alignment = 2; }},   {"WordWrap", [](Control& c) { c.WordWrap = !c.WordWrap; }},
      {"a row", [](Control& c) { c.AddItem("r"); }},      {"a row's text", [](Control& c) { c.Items.back() += "!"; }},
      {"ListIndex", [](Control& c) { c.SetListIndex(0); }}, {"TopIndex", [](Control& c) { c.TopIndex += 1; }},
      {"Dropped", [](Control& c) { c.Dropped = !c.Dropped; }}, {"Value", [](Control& c) { c.SetValue(1); }},
      {"X2", [](Control& c) { c.X2 += 1; }},             {"BorderColor", [](Control& c) { c.BorderColor ^= 1; }},
      {"DownPicture", [](Control& c) { c.DownPicture = "b.bmp"; }},
      {"Graphical", [](Control& c) { c.Graphical = !c.Graphical; }},
      {"MultiLine", [](Control& c) { c.MultiLine = !c.MultiLine; }},
      {"ScrolledBack", [](Control& c) { c.ScrolledBack += 1; }},
      {"AllSelected", [](Control& c) { c.AllSelected = !c.AllSelected; }},
      {"a child", [](Control& c) { c.Add(ControlKind::Label, "Child"); }},
      {"Visible", [](Control& c) { c.Visible = !c.Visible; }},
  };
  for (const auto& [field, edit] : edits) {
    std::string before = LookOf(form);
    edit(*inside);
    EXPECT_EQ(LookOf(form), before) << field << " of a hidden control";
    before = LookOf(form);
    edit(*shown);
    EXPECT_NE(LookOf(form), before) << field;
  }
  // The focus and the captured control are the form's.
  std::string before = LookOf(form);
  form.Focus = shown;
  EXPECT_NE(LookOf(form), before);
  before = LookOf(form);
  form.Capture = shown;
  EXPECT_NE(LookOf(form), before);
}
