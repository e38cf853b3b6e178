#include "platform/sdl_host.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/input.h"
#include "support/test_support.h"

namespace {

using plat::Color;
using plat::Control;
using plat::ControlKind;
using plat::Form;
using plat::Rect;
using plat::SdlHost;

constexpr int T = plat::kTwipsPerPixel;

// A solid picture file of one colour.
std::string SolidPicture(const testsupport::TempDir& dir, const std::string& name, Color c, int w = 4, int h = 4) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
  SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, c.r, c.g, c.b, c.a));
  const auto path = (dir / name).string();
  EXPECT_EQ(IMG_SavePNG(s, path.c_str()), 0);
  SDL_FreeSurface(s);
  return path;
}

Control* Put(Control* parent, ControlKind kind, const std::string& name, int l, int t, int w, int h) {
  Control* c = parent->Add(kind, name);
  c->Move(l * T, t * T, w * T, h * T);  // given in pixels
  return c;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    form = std::make_unique<Form>("F");
    form->Move(0, 0, 200 * T, 150 * T);
    form->BackColor = 0x000000;
    form->BackTransparent = false;
    form->Caption = "测试窗口";
  }
  void TearDown() override {
    host.reset();
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
  }
  void StartHeadless() { host = SdlHost::CreateHeadless(*form); }
  Color At(int x, int y) { return host->Render().ReadPixel(x, y); }
  void Draw() { host->DrawForm(); }

  void Send(const SDL_Event& e) { host->HandleEvent(e); }
  void Key(SDL_Keycode k, bool down, Uint16 mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.sym = k;
    e.key.keysym.mod = mod;
    Send(e);
  }
  void Typed(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8);
    Send(e);
  }
  void Mouse(int x, int y, Uint8 button, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    Send(e);
  }
  void Click(int x, int y) {
    Mouse(x, y, SDL_BUTTON_LEFT, true);
    Mouse(x, y, SDL_BUTTON_LEFT, false);
  }
  void Pump() { plat::Application::Get().DoEvents(); }
  // Presses at (x, from), moves to (x, to) with the button held and lets go there.
  void Drag(int x, int from, int to) {
    Mouse(x, from, SDL_BUTTON_LEFT, true);
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = x;
    motion.motion.y = to;
    motion.motion.state = SDL_BUTTON_LMASK;
    Send(motion);
    Mouse(x, to, SDL_BUTTON_LEFT, false);
  }

  testsupport::TempDir dir;
  std::unique_ptr<Form> form;
  std::unique_ptr<SdlHost> host;
};

// ---------------------------------------------------------------------------
// Drawing a form

TEST_F(HostTest, PanelsLieAboveImagesHiddenOnesAreNotDrawnAndContainersClip) {
  const Color red{255, 0, 0, 255}, blue{0, 0, 255, 255}, green{0, 255, 0, 255}, yellow{255, 255, 0, 255};
  // The panel comes first in the list, the image after it: still the panel is on top.
  Control* panel = Put(form.get(), ControlKind::Panel, "P", 20, 20, 60, 40);
  panel->Picture = SolidPicture(dir, "blue.png", blue);
  Control* image = Put(form.get(), ControlKind::Image, "I", 10, 10, 40, 40);
  image->Picture = SolidPicture(dir, "red.png", red);
  Control* hidden = Put(form.get(), ControlKind::Panel, "H", 100, 100, 30, 30);
  hidden->Picture = SolidPicture(dir, "green.png", green);
  hidden->Visible = false;
  // A child reaching beyond its container is cut at the container's edge.
  Control* child = Put(panel, ControlKind::Image, "C", 50, 30, 40, 40);
  child->Picture = SolidPicture(dir, "yellow.png", yellow);
  StartHeadless();
  Draw();

  EXPECT_EQ(At(12, 12), red);       // image alone
  EXPECT_EQ(At(30, 30), blue);      // overlap: the panel
  EXPECT_EQ(At(75, 55), yellow);    // the child inside the panel
  EXPECT_EQ(At(82, 55), (Color{0, 0, 0, 255}));  // the child beyond the panel is not drawn
  EXPECT_EQ(At(75, 62), (Color{0, 0, 0, 255}));
  EXPECT_EQ(At(110, 110), (Color{0, 0, 0, 255}));  // hidden panel

  // Showing the hidden panel and hiding the image take effect at the next drawing.
  hidden->Visible = true;
  image->Visible = false;
  Draw();
  EXPECT_EQ(At(110, 110), green);
  EXPECT_EQ(At(12, 12), (Color{0, 0, 0, 255}));
  // A hidden container hides its children.
  panel->Visible = false;
  Draw();
  EXPECT_EQ(At(75, 55), (Color{0, 0, 0, 255}));
}

TEST_F(HostTest, MissingPicturesBordersAndLaterSiblingsAbove) {
  Control* a = Put(form.get(), ControlKind::Panel, "A", 10, 10, 50, 50);
  a->Picture = (dir / "nowhere.bmp").string();  // a dark fill
  Control* b = Put(form.get(), ControlKind::Panel, "B", 40, 40, 50, 50);
  b->BackColor = 0x00FF00;
  b->BackTransparent = false;
  b->HasBorder = true;
  Control* inside = Put(b, ControlKind::Label, "L", 0, 0, 10, 10);
  inside->BackColor = 0xFF0000;  // blue
  inside->BackTransparent = false;
  StartHeadless();
  Draw();
  EXPECT_EQ(At(20, 20), (Color{32, 32, 32, 255}));
  EXPECT_EQ(At(45, 45), (Color{0, 0, 255, 255}));  // b (later) over a; its child starts inside the border
  EXPECT_NE(At(40, 40), (Color{0, 0, 255, 255}));  // the border
  EXPECT_NE(At(41, 41), (Color{0, 0, 255, 255}));
  EXPECT_EQ(At(42, 42), (Color{0, 0, 255, 255}));
  EXPECT_EQ(At(70, 70), (Color{0, 255, 0, 255}));
}

// A plain button is a raised bevel: light on the top and left, a dark outer and a grey
// inner line on the bottom and right, the face inside.
TEST_F(HostTest, APlainButtonIsARaisedBevel) {
  Put(form.get(), ControlKind::Button, "B", 10, 10, 40, 20);
  StartHeadless();
  Draw();
  const Color light{255, 255, 255, 255}, face{192, 192, 192, 255}, shadow{128, 128, 128, 255},
      dark{64, 64, 64, 255};
  const std::vector<std::tuple<int, int, Color>> pixels = {
      {10, 20, light}, {49, 20, dark}, {48, 20, shadow}, {47, 20, face},
      {30, 10, light}, {30, 29, dark}, {30, 28, shadow}, {30, 27, face},
  };
  for (const auto& [x, y, want] : pixels) EXPECT_EQ(At(x, y), want) << x << "," << y;
}

TEST_F(HostTest, PushButtonsShowTheirDownPictureWhilePressedOrTickedAndALogItsNewestLine) {
  const std::string up = SolidPicture(dir, "up.png", Color{0, 200, 0, 255});
  const std::string down = SolidPicture(dir, "down.png", Color{200, 0, 0, 255});
  Control* box = Put(form.get(), ControlKind::CheckBox, "Box", 10, 10, 40, 20);
  box->Graphical = true;
  box->Picture = up;
  box->DownPicture = down;
  Control* button = Put(form.get(), ControlKind::Button, "Button", 60, 10, 40, 20);
  button->Picture = up;
  button->DownPicture = down;
  Control* log = Put(form.get(), ControlKind::TextBox, "Log", 10, 50, 120, 40);
  log->MultiLine = true;
  log->BackColor = 0xFFFFFF;
  log->BackTransparent = false;
  log->ForeColor = 0x000000;
  StartHeadless();
  Draw();
  EXPECT_EQ(At(20, 20), (Color{0, 200, 0, 255}));
  box->SetValue(1);
  Mouse(70, 20, SDL_BUTTON_LEFT, true);
  Pump();
  Draw();
  EXPECT_EQ(At(20, 20), (Color{200, 0, 0, 255}));
  EXPECT_EQ(At(70, 20), (Color{200, 0, 0, 255}));  // held down
  Mouse(70, 20, SDL_BUTTON_LEFT, false);
  Pump();

  // A log of more lines than it shows: the newest at the bottom, the oldest out of view;
  // scrolled back, the other way round.
  const auto inkRows = [&](int top, int bottom) {
    int ink = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = 14; x < 100; ++x) ink += At(x, y).r < 128 ? 1 : 0;
    }
    return ink;
  };
  log->Text = "国";
  for (int i = 0; i < 9; ++i) log->Text += "\r\n";
  log->Text += "田";
  Draw();
  EXPECT_EQ(inkRows(52, 66), 0);
  EXPECT_GT(inkRows(74, 88), 10);
  log->ScrolledBack = 100;  // clamped to the oldest line
  Draw();
  EXPECT_GT(inkRows(52, 66), 10);
  EXPECT_EQ(inkRows(74, 88), 0);
}

TEST_F(HostTest, LabelsShowTheirCaptionColourAndBackground) {
  Control* l = Put(form.get(), ControlKind::Label, "L", 10, 10, 100, 20);
  l->Caption = "继续游戏";
  l->ForeColor = 0x00FF00;
  Control* filled = Put(form.get(), ControlKind::Label, "M", 10, 60, 100, 20);
  filled->Caption = "";
  filled->BackColor = 0x0000FF;
  filled->BackTransparent = false;
  Control* off = Put(form.get(), ControlKind::Label, "N", 10, 100, 100, 20);
  off->Caption = "放弃退出";
  off->ForeColor = 0xFFFF00;  // cyan
  off->Enabled = false;
  StartHeadless();
  Draw();
  auto count = [&](Rect r, Color c) {
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x) {
        const Color p = At(x, y);
        n += std::abs(p.r - c.r) < 8 && std::abs(p.g - c.g) < 8 && std::abs(p.b - c.b) < 8 ? 1 : 0;
      }
    return n;
  };
  EXPECT_GT(count(Rect{10, 10, 100, 20}, Color{0, 255, 0, 255}), 0);
  EXPECT_EQ(count(Rect{0, 30, 200, 25}, Color{0, 255, 0, 255}), 0);
  EXPECT_EQ(At(50, 70), (Color{255, 0, 0, 255}));
  // A disabled label keeps its colour.
  EXPECT_GT(count(Rect{10, 100, 100, 20}, Color{0, 255, 255, 255}), 0);
  // Right alignment moves the text to the right edge.
  l->Alignment = 1;
  Draw();
  EXPECT_EQ(count(Rect{10, 10, 40, 20}, Color{0, 255, 0, 255}), 0);
  EXPECT_GT(count(Rect{60, 10, 50, 20}, Color{0, 255, 0, 255}), 0);
}

TEST_F(HostTest, TheGameScreenShowsTheHostsTargetBelowItsChildren) {
  Control* gs = Put(form.get(), ControlKind::PictureBox, "GameScreen", 1, 1, 180, 120);
  gs->PixelScale = true;
  gs->BackColor = 0x000000;
  gs->BackTransparent = false;
  Control* over = gs->Add(ControlKind::Panel, "Pzb");
  over->Move(100, 100, 20, 20);  // pixels: the game screen is pixel-scaled
  over->BackColor = 0xFF0000;
  over->BackTransparent = false;
  StartHeadless();
  plat::Renderer& r = host->Render();
  EXPECT_EQ(r.TextureSize(host->GameScreenTarget()), (plat::Size{plat::kGameScreenWidth, plat::kGameScreenHeight}));
  ASSERT_TRUE(r.SetTarget(host->GameScreenTarget()));
  r.Clear(Color{200, 100, 0, 255});
  r.FillRect(Rect{0, 0, 5, 5}, Color{1, 2, 3, 255});
  host->DrawForm();
  // The game's target stays current for the game.
  EXPECT_EQ(r.Target(), host->GameScreenTarget());
  r.SetTarget(plat::Texture{});
  EXPECT_EQ(At(1, 1), (Color{1, 2, 3, 255}));
  EXPECT_EQ(At(50, 50), (Color{200, 100, 0, 255}));
  EXPECT_EQ(At(110, 110), (Color{0, 0, 255, 255}));
  // Only the control's rectangle shows the screen.
  EXPECT_EQ(At(185, 50), (Color{0, 0, 0, 255}));
}

TEST_F(HostTest, ListsChecksAndTextBoxesDrawTheirState) {
  Control* list = Put(form.get(), ControlKind::ListBox, "List", 10, 10, 80, 45);  // three rows
  for (int i = 0; i < 10; ++i) list->AddItem("第" + std::to_string(i) + "行");
  list->SetListIndex(1);
  Control* check = Put(form.get(), ControlKind::CheckBox, "Chk", 100, 10, 80, 20);
  check->Caption = "小地图";
  check->SetValue(1);
  Control* check2 = Put(form.get(), ControlKind::CheckBox, "Chk2", 100, 40, 80, 20);
  check2->Caption = "小地图";
  StartHeadless();
  Draw();
  const Color navy{0, 0, 128, 255};
  // The selected row (the second) is highlighted, the first is not.
  EXPECT_EQ(At(60, 10 + 15 + 2), navy);
  EXPECT_NE(At(60, 10 + 2), navy);
  // Ten rows in three: a scroll bar at the right edge.
  EXPECT_NE(At(88 - 7, 30), (Color{255, 255, 255, 255}));
  // The tick: some dark pixel inside the ticked box, none in the clear one.
  auto dark = [&](int x0, int y0) {
    int n = 0;
    for (int y = y0 + 2; y < y0 + 11; ++y)
      for (int x = x0 + 2; x < x0 + 11; ++x) n += At(x, y) == Color{0, 0, 0, 255} ? 1 : 0;
    return n;
  };
  // Two strokes: three columns down to the lower middle, four up to the right, from
  // (106, 20..22) to (109, 17..19).
  EXPECT_EQ(dark(100, 10 + (20 - 13) / 2), 3 * 3 + 4 * 3);
  for (const auto& [x, y, on] : {std::tuple{106, 22, true}, std::tuple{106, 19, false}, std::tuple{109, 17, true},
                                 std::tuple{109, 16, false}, std::tuple{109, 20, false}}) {
    EXPECT_EQ(At(x, y) == (Color{0, 0, 0, 255}), on) << x << "," << y;
  }
  EXPECT_EQ(dark(100, 40 + (20 - 13) / 2), 0);
  // Scrolling moves the highlight out of view.
  list->TopIndex = 5;
  Draw();
  EXPECT_NE(At(60, 10 + 15 + 2), navy);
}

// ---------------------------------------------------------------------------
// Input

TEST(HostKeys, SdlKeysMapToVirtualKeyCodes) {
  const std::vector<std::pair<SDL_Keycode, int>> table = {
      {SDLK_a, 65},       {SDLK_z, 90},        {SDLK_0, 48},       {SDLK_9, 57},      {SDLK_F1, 112},
      {SDLK_F12, 123},    {SDLK_LEFT, 37},     {SDLK_UP, 38},      {SDLK_RIGHT, 39},  {SDLK_DOWN, 40},
      {SDLK_RETURN, 13},  {SDLK_KP_ENTER, 13}, {SDLK_ESCAPE, 27},  {SDLK_SPACE, 32},  {SDLK_TAB, 9},
      {SDLK_BACKSPACE, 8}, {SDLK_LSHIFT, 16},  {SDLK_RSHIFT, 16},  {SDLK_LCTRL, 17},  {SDLK_RCTRL, 17},
      {SDLK_LALT, 18},    {SDLK_RALT, 18},     {SDLK_HOME, 36},    {SDLK_END, 35},    {SDLK_PAGEUP, 33},
      {SDLK_PAGEDOWN, 34}, {SDLK_DELETE, 46},  {SDLK_BACKQUOTE, 0xC0}, {SDLK_KP_0, 0x60}, {SDLK_KP_1, 0x61},
      {SDLK_KP_9, 0x69},  {SDLK_F13, 0},       {SDLK_APPLICATION, 0}};
  for (const auto& [sdl, vk] : table) EXPECT_EQ(SdlHost::VirtualKey(sdl), vk) << SDL_GetKeyName(sdl);
  EXPECT_EQ(SdlHost::ShiftBits(KMOD_LSHIFT), plat::kShiftMask);
  EXPECT_EQ(SdlHost::ShiftBits(KMOD_RCTRL | KMOD_LALT), plat::kCtrlMask | plat::kAltMask);
  EXPECT_EQ(SdlHost::ShiftBits(KMOD_NUM | KMOD_CAPS), 0);
}

TEST_F(HostTest, KeyEventsReachTheFormAndKeepTheKeyStates) {
  std::vector<std::pair<int, int>> downs;
  std::vector<int> ups;
  Control* box = Put(form.get(), ControlKind::TextBox, "T", 10, 10, 80, 20);
  box->OnKeyUp = [&](int& k, int) { ups.push_back(k); };
  form->Focus = box;
  form->OnFormKeyDown = [&](int& k, int shift) { downs.emplace_back(k, shift); };
  StartHeadless();
  Key(SDLK_a, true, KMOD_LSHIFT);
  EXPECT_LT(plat::GetKeyState('A'), 0);  // held at once, before the pump
  Key(SDLK_a, true, KMOD_LSHIFT);        // key repeat
  Key(SDLK_a, false);
  EXPECT_GE(plat::GetKeyState('A'), 0);
  EXPECT_EQ(plat::GetKeyState('A') & 1, 1);  // toggled once
  Key(SDLK_BACKQUOTE, true);
  Key(SDLK_F13, true);  // unknown: nothing
  Pump();
  ASSERT_EQ(downs.size(), 3u);
  EXPECT_EQ(downs[0], (std::pair<int, int>{65, plat::kShiftMask}));
  EXPECT_EQ(downs[1], (std::pair<int, int>{65, plat::kShiftMask}));
  EXPECT_EQ(downs[2].first, 0xC0);
  EXPECT_EQ(ups, std::vector<int>{65});
  EXPECT_LT(plat::GetKeyState(0xC0), 0);
}

TEST_F(HostTest, ClicksReachTheControlUnderThePointer) {
  std::vector<std::string> log;
  Control* under = Put(form.get(), ControlKind::Button, "Under", 10, 10, 60, 30);
  Control* over = Put(form.get(), ControlKind::Button, "Over", 40, 10, 60, 30);
  under->OnClick = [&] { log.push_back("under"); };
  over->OnClick = [&] { log.push_back("over"); };
  Control* label = Put(form.get(), ControlKind::Label, "Lab", 10, 100, 60, 20);
  label->OnMouseDown = [&](int button, int, int x, int y) {
    log.push_back("down " + std::to_string(button) + " " + std::to_string(x) + "," + std::to_string(y));
    EXPECT_LT(plat::GetKeyState(plat::vk::RButton), 0);
  };
  StartHeadless();
  Click(20, 20);
  Click(50, 20);  // the later button is on top
  Mouse(12, 103, SDL_BUTTON_RIGHT, true);
  Pump();
  Mouse(12, 103, SDL_BUTTON_RIGHT, false);
  Pump();
  EXPECT_EQ(log, (std::vector<std::string>{"under", "over", "down 2 " + std::to_string(2 * T) + "," +
                                                               std::to_string(3 * T)}));
  EXPECT_GE(plat::GetKeyState(plat::vk::RButton), 0);
  // A press on one control and a release on another is no click.
  log.clear();
  Mouse(20, 20, SDL_BUTTON_LEFT, true);
  Mouse(150, 120, SDL_BUTTON_LEFT, false);
  Pump();
  EXPECT_TRUE(log.empty());
}

// A bold caption is drawn with more ink, in the same place, by every kind of control
// that shows a caption.
TEST_F(HostTest, BoldCaptionsOfLabelsButtonsAndChecksAreDrawnHeavier) {
  const ControlKind kinds[] = {ControlKind::Label, ControlKind::Button, ControlKind::CheckBox,
                               ControlKind::OptionButton};
  std::vector<Control*> controls;
  int y = 5;
  for (ControlKind kind : kinds) {
    Control* c = Put(form.get(), kind, "C" + std::to_string(y), 10, y, 150, 24);
    c->Caption = "确实要丢弃";
    c->ForeColor = 0x0000FF;  // red, on faces and boxes of greys
    controls.push_back(c);
    y += 30;
  }
  StartHeadless();
  // The caption's red summed over the control's rectangle.
  const auto ink = [&](const Control* c) {
    Draw();
    long n = 0;
    for (int py = c->ScreenY(); py < c->ScreenY() + c->PixelHeight(); ++py) {
      for (int px = c->ScreenX(); px < c->ScreenX() + c->PixelWidth(); ++px) {
        const Color p = At(px, py);
        n += std::max(0, p.r - std::max(p.g, p.b));
      }
    }
    return n;
  };
  for (Control* c : controls) {
    const long regular = ink(c);
    c->FontBold = true;
    EXPECT_GT(ink(c), regular + regular / 5) << c->Name;
    c->FontBold = false;
    EXPECT_EQ(ink(c), regular) << c->Name;
  }
}

// A combo box's list is drawn below it only while it is open, above the controls it
// covers, and goes again when a row is chosen or the combo box is hidden.
TEST_F(HostTest, AComboBoxListIsDrawnOnlyWhileItIsOpen) {
  Control* combo = Put(form.get(), ControlKind::ComboBox, "C", 10, 10, 100, 20);
  for (const char* item : {"战士", "道士", "法师"}) combo->AddItem(item);
  Control* under = Put(form.get(), ControlKind::Panel, "Under", 10, 35, 100, 30);
  under->BackColor = 0x00FF00;
  under->BackTransparent = false;
  StartHeadless();
  const Color black{0, 0, 0, 255}, green{0, 255, 0, 255}, white{255, 255, 255, 255};
  // Inside the list's rectangle (three rows from y = 30), right of the row texts.
  const auto listed = [&] {
    Draw();
    return std::vector<Color>{At(100, 32), At(100, 50), At(100, 73)};
  };
  EXPECT_EQ(listed(), (std::vector<Color>{black, green, black}));
  Click(50, 20);
  Pump();
  ASSERT_TRUE(combo->Dropped);
  EXPECT_EQ(listed(), (std::vector<Color>{white, white, white}));
  Click(50, 30 + 15 + 7);  // the second row
  Pump();
  EXPECT_FALSE(combo->Dropped);
  EXPECT_EQ(combo->Text, "道士");
  EXPECT_EQ(listed(), (std::vector<Color>{black, green, black}));
  // A list of one row opens too.
  combo->Items.resize(1);
  combo->Dropped = true;
  EXPECT_EQ(listed().front(), white);
  // Left open by code, then hidden: nothing of it is drawn.
  combo->Visible = false;
  EXPECT_EQ(listed(), (std::vector<Color>{black, green, black}));
}

// A drop-down list longer than its eight rows has a scroll bar: its arrows move it a row,
// the track a page, the thumb follows a drag; none of it chooses a row or closes the list.
TEST_F(HostTest, ALongDropDownListScrollsByItsBarAndStaysOpen) {
  Control* combo = Put(form.get(), ControlKind::ComboBox, "C", 10, 5, 120, 20);
  for (int i = 0; i < 18; ++i) combo->AddItem("地点" + std::to_string(i));
  Control* small = Put(form.get(), ControlKind::ComboBox, "S", 140, 5, 50, 20);
  for (int i = 0; i < 3; ++i) small->AddItem(std::to_string(i));
  int clicks = 0;
  combo->OnClick = [&] { ++clicks; };
  StartHeadless();
  // The list: x 10..129, y 25..144 (eight rows); its bar: x 115..128, y 26..143.
  const int barX = 10 + 120 - 1 - 14 + 7, listTop = 5 + 20, listBottom = listTop + 8 * 15;
  Click(50, 15);
  Pump();
  ASSERT_TRUE(combo->Dropped);
  Draw();
  const Color track{224, 224, 224, 255};
  EXPECT_EQ(At(barX, listBottom - 30), track);  // below the thumb at the top
  EXPECT_NE(At(barX, listTop + 20), track);     // the thumb
  // The short list has room for all its rows: no bar.
  small->Dropped = true;
  combo->Dropped = false;
  Draw();
  EXPECT_EQ(At(140 + 50 - 8, 25 + 20), (Color{255, 255, 255, 255}));
  small->Dropped = false;
  combo->Dropped = true;

  struct Step {
    const char* what;
    std::function<void()> act;
    int top;
  };
  const std::vector<Step> steps = {
      {"down arrow", [&] { Click(barX, listBottom - 5); }, 1},
      {"down arrow again", [&] { Click(barX, listBottom - 5); }, 2},
      {"track below the thumb", [&] { Click(barX, listBottom - 20); }, 10},
      {"track at the end", [&] { Click(barX, listBottom - 20); }, 10},
      {"up arrow", [&] { Click(barX, listTop + 4); }, 9},
      {"track above the thumb", [&] { Click(barX, listTop + 18); }, 1},
      {"thumb dragged past the bottom", [&] { Drag(barX, listTop + 20, listBottom + 40); }, 10},
      {"thumb dragged past the top", [&] { Drag(barX, listBottom - 20, listTop - 30); }, 0},
  };
  for (const Step& step : steps) {
    step.act();
    Pump();
    EXPECT_EQ(combo->TopIndex, step.top) << step.what;
    EXPECT_TRUE(combo->Dropped) << step.what;
  }
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(combo->ListIndex(), -1);
  EXPECT_EQ(combo->Text, "");
  // A row is chosen as it shows: the third row after a scroll of two.
  Click(barX, listBottom - 5);
  Click(barX, listBottom - 5);
  Click(40, listTop + 2 * 15 + 7);
  Pump();
  EXPECT_FALSE(combo->Dropped);
  EXPECT_EQ(combo->Text, "地点4");
  EXPECT_EQ(clicks, 1);
}

TEST_F(HostTest, ListsScrollByWheelAndScrollBarWithoutChoosingARow) {
  Control* list = Put(form.get(), ControlKind::ListBox, "List", 10, 10, 80, 60);  // four rows
  for (int i = 0; i < 20; ++i) list->AddItem("行" + std::to_string(i));
  int clicks = 0;
  list->OnClick = [&] { ++clicks; };
  StartHeadless();
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.y = -1;  // towards the user
  wheel.wheel.mouseX = 30;
  wheel.wheel.mouseY = 30;
  Send(wheel);
  Pump();
  EXPECT_EQ(list->TopIndex, 3);
  wheel.wheel.y = 5;
  Send(wheel);
  Pump();
  EXPECT_EQ(list->TopIndex, 0);

  // The down arrow at the bottom of the bar: one row, no row chosen.
  Click(10 + 80 - 5, 10 + 60 - 4);
  Pump();
  EXPECT_EQ(list->TopIndex, 1);
  // The track below the thumb: one page.
  Click(10 + 80 - 5, 10 + 60 - 18);
  Pump();
  EXPECT_EQ(list->TopIndex, 5);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(list->ListIndex(), -1);
  // Rows themselves are chosen as before.
  Click(30, 10 + 2);
  Pump();
  EXPECT_EQ(list->ListIndex(), 5);
  EXPECT_EQ(clicks, 1);

  // The up arrow looks pressed only while the button is held on it: not under a bare
  // pointer, nor while the down arrow of the same list is held.
  const int upX = 10 + 80 - 1 - 14 + 1, upY = 10 + 1 + 1;  // inside the arrow's bevel
  auto upLook = [&] {
    Draw();
    return At(upX, upY);
  };
  const Color atRest = upLook();
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.x = upX + 4;
  motion.motion.y = upY + 4;
  Send(motion);
  EXPECT_EQ(upLook(), atRest);
  Mouse(upX + 4, upY + 4, SDL_BUTTON_LEFT, true);
  EXPECT_NE(upLook(), atRest);
  Mouse(upX + 4, upY + 4, SDL_BUTTON_LEFT, false);
  Mouse(10 + 80 - 5, 10 + 60 - 4, SDL_BUTTON_LEFT, true);
  EXPECT_EQ(upLook(), atRest);
  Mouse(10 + 80 - 5, 10 + 60 - 4, SDL_BUTTON_LEFT, false);
  Pump();
}

TEST_F(HostTest, TextCloseAndMinimiseEvents) {
  Control* box = Put(form.get(), ControlKind::TextBox, "T", 10, 10, 80, 20);
  form->Focus = box;
  int unloads = 0;
  form->OnUnload = [&](int& cancel) {
    ++unloads;
    cancel = 1;  // the player said no
  };
  int minimised = 0, restored = 0;
  StartHeadless();
  host->OnMinimize = [&] { ++minimised; };
  host->OnRestore = [&] { ++restored; };
  Typed("张三");
  SDL_Event w{};
  w.type = SDL_WINDOWEVENT;
  w.window.event = SDL_WINDOWEVENT_CLOSE;
  Send(w);
  w.window.event = SDL_WINDOWEVENT_MINIMIZED;
  Send(w);
  Send(w);
  EXPECT_TRUE(host->Minimized());
  w.window.event = SDL_WINDOWEVENT_RESTORED;
  Send(w);
  Pump();
  EXPECT_EQ(box->Text, "张三");
  EXPECT_EQ(unloads, 1);
  EXPECT_TRUE(form->Visible);  // cancelled: the window stays
  EXPECT_EQ(minimised, 1);
  EXPECT_EQ(restored, 1);
  EXPECT_FALSE(host->Minimized());
}

TEST_F(HostTest, EventsPushedToSdlArriveThroughThePump) {
  int clicks = 0;
  Control* b = Put(form.get(), ControlKind::Button, "B", 10, 10, 50, 20);
  b->OnClick = [&] { ++clicks; };
  StartHeadless();
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_LEFT;
  e.button.x = 15;
  e.button.y = 15;
  ASSERT_EQ(SDL_PushEvent(&e), 1);
  e.type = SDL_MOUSEBUTTONUP;
  ASSERT_EQ(SDL_PushEvent(&e), 1);
  Pump();  // the pump asks the host for SDL's events
  EXPECT_EQ(clicks, 1);
}

// ---------------------------------------------------------------------------
// Dialogs and the window

TEST_F(HostTest, MessageBoxesOfAHeadlessHostGoToTheInstalledProvider) {
  testsupport::ScopedDialogs dialogs;
  dialogs.dialogs.messageAnswers.push_back(plat::kYes);
  dialogs.dialogs.inputAnswers.push_back(std::string("李四"));
  StartHeadless();
  EXPECT_EQ(plat::CurrentDialogProvider(), &dialogs.dialogs);
  EXPECT_EQ(plat::MsgBox("确定退出吗？", plat::kYesNo, "标题"), plat::kYes);
  EXPECT_EQ(plat::InputBox("名字", "标题", "x"), "李四");
  ASSERT_EQ(dialogs.dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.dialogs.shown[0].text, "确定退出吗？");
  EXPECT_EQ(dialogs.dialogs.shown[0].buttons, plat::kYesNo);
  // Asked directly, a headless host answers with the safe button.
  EXPECT_EQ(host->ShowMessage("x", plat::kYesNo, "t"), plat::kNo);
  EXPECT_EQ(host->ShowMessage("x", plat::kOkCancel, "t"), plat::kCancel);
  EXPECT_EQ(host->ShowMessage("x", plat::kOkOnly, "t"), plat::kOk);
  EXPECT_FALSE(host->ShowInput("x", "t", "d").has_value());
}

TEST_F(HostTest, AWindowedHostOpensAWindowOfTheFormsSizeAndDraws) {
  Control* p = Put(form.get(), ControlKind::Panel, "P", 10, 10, 20, 20);
  p->BackColor = 0x00FF00;
  p->BackTransparent = false;
  host = SdlHost::CreateWindowed(*form);
  ASSERT_NE(host->Window(), nullptr);
  EXPECT_FALSE(host->Headless());
  int w = 0, h = 0;
  SDL_GetWindowSize(host->Window(), &w, &h);
  EXPECT_EQ(w, 200);
  EXPECT_EQ(h, 150);
  EXPECT_STREQ(SDL_GetWindowTitle(host->Window()), "测试窗口");
  EXPECT_EQ(plat::CurrentDialogProvider(), host.get());
  host->DrawForm();
  EXPECT_EQ(At(15, 15), (Color{0, 255, 0, 255}));
  host->Present();

  // Another form in the same window.
  Form other("Other");
  other.Move(0, 0, 100 * T, 80 * T);
  other.Caption = "交易";
  host->SetForm(other);
  SDL_GetWindowSize(host->Window(), &w, &h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 80);
  EXPECT_STREQ(SDL_GetWindowTitle(host->Window()), "交易");
  host.reset();
  EXPECT_EQ(plat::CurrentDialogProvider(), nullptr);
}

void PushKey(SDL_Keycode k) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.sym = k;
  SDL_PushEvent(&e);
  e.type = SDL_KEYUP;
  SDL_PushEvent(&e);
}

void PushText(const char* utf8) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8);
  SDL_PushEvent(&e);
}

TEST_F(HostTest, ModalBoxesInTheWindowAnswerFromTheKeyboard) {
  host = SdlHost::CreateWindowed(*form);
  int clicks = 0;
  Control* b = Put(form.get(), ControlKind::Button, "B", 10, 10, 50, 20);
  b->OnClick = [&] { ++clicks; };
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

  PushKey(SDLK_RETURN);
  EXPECT_EQ(plat::MsgBox("存档完成", plat::kOkOnly), plat::kOk);
  EXPECT_GE(plat::GetKeyState(plat::vk::Return), 0);  // the release was seen too
  PushKey(SDLK_ESCAPE);
  EXPECT_EQ(plat::MsgBox("确定退出吗？", plat::kYesNo), plat::kNo);
  PushKey(SDLK_y);
  EXPECT_EQ(plat::MsgBox("确定退出吗？", plat::kYesNo), plat::kYes);
  PushKey(SDLK_ESCAPE);
  EXPECT_EQ(plat::MsgBox("继续？", plat::kOkCancel), plat::kCancel);
  PushKey(SDLK_RETURN);
  EXPECT_EQ(plat::MsgBox("继续？", plat::kOkCancel), plat::kOk);

  // Closing the window answers the safe button; the close does not reach the form.
  int unloads = 0;
  form->OnUnload = [&](int&) { ++unloads; };
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = SDL_GetWindowID(host->Window());
  SDL_PushEvent(&close);
  EXPECT_EQ(plat::MsgBox("?", plat::kYesNo), plat::kNo);

  // The input box takes typed text and Backspace.
  PushText("王五");
  PushKey(SDLK_BACKSPACE);
  PushText("六");
  PushKey(SDLK_RETURN);
  EXPECT_EQ(plat::InputBox("名字", "", "李"), "李王六");
  PushText("x");
  PushKey(SDLK_ESCAPE);
  EXPECT_EQ(plat::InputBox("名字", "", "李"), "");

  // A click on a button of the box answers with that button; here the first of two
  // (a click that hit nothing would leave the Escape after it to answer).
  const int cx = form->PixelWidth() / 2, lh = 16;
  const int buttonY = (form->PixelHeight() + 85 + lh) / 2 - 23;
  for (const auto& [x, answer] : {std::pair{cx - 41, plat::kOk}, std::pair{cx + 41, plat::kCancel}}) {
    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    click.button.button = SDL_BUTTON_LEFT;
    click.button.x = x;
    click.button.y = buttonY;
    SDL_PushEvent(&click);
    click.type = SDL_MOUSEBUTTONUP;
    SDL_PushEvent(&click);
    PushKey(answer == plat::kOk ? SDLK_ESCAPE : SDLK_RETURN);
    EXPECT_EQ(plat::MsgBox("继续？", plat::kOkCancel), answer) << x;
    plat::Application::Get().DoEvents();  // the key left over
  }

  // A click meant for the form while a box is up goes to the box only.
  SDL_Event m{};
  m.type = SDL_MOUSEBUTTONDOWN;
  m.button.button = SDL_BUTTON_LEFT;
  m.button.x = 15;
  m.button.y = 15;
  SDL_PushEvent(&m);
  m.type = SDL_MOUSEBUTTONUP;
  SDL_PushEvent(&m);
  PushKey(SDLK_RETURN);
  EXPECT_EQ(plat::MsgBox("!", plat::kOkOnly), plat::kOk);
  plat::Application::Get().DoEvents();
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(unloads, 0);
}

// A combo box takes typed text as well as a row: focused, it turns text input (and the
// input method) on like a text box, and shows a caret.
TEST_F(HostTest, AFocusedComboBoxTakesTypedText) {
  Control* combo = Put(form.get(), ControlKind::ComboBox, "C", 10, 10, 100, 20);
  combo->AddItem("HP上限");
  Control* button = Put(form.get(), ControlKind::Button, "B", 10, 60, 60, 20);
  host = SdlHost::CreateWindowed(*form);
  host->Poll();
  EXPECT_FALSE(SDL_IsTextInputActive());
  const auto look = [&] {
    host->DrawForm();
    std::vector<Color> px;
    for (int x = 12; x < 60; ++x) px.push_back(At(x, 20));
    return px;
  };
  const auto unfocused = look();
  Click(20, 20);  // focuses it and opens its list
  Pump();
  host->Poll();
  EXPECT_EQ(form->Focus, combo);
  EXPECT_TRUE(SDL_IsTextInputActive());
  EXPECT_NE(look(), unfocused);  // the caret
  Key(SDLK_BACKSPACE, true);
  Typed("攻击上限");
  Pump();
  EXPECT_EQ(combo->Text, "攻击上限");
  Click(20, 70);  // the focus moves on, and text input ends
  Pump();
  host->Poll();
  EXPECT_EQ(form->Focus, button);
  EXPECT_FALSE(SDL_IsTextInputActive());
}

TEST_F(HostTest, TheEndOfTheProgramUnderTestLeavesLiveHostsWorking) {
  Control* p = Put(form.get(), ControlKind::Panel, "P", 10, 10, 20, 20);
  p->BackColor = 0x0000FF;
  p->BackTransparent = false;
  host = SdlHost::CreateWindowed(*form);
  {
    testsupport::ScopedEndThrows throws;
    EXPECT_THROW(plat::EndProgram(0), plat::ProgramEnded);
  }
  host->DrawForm();
  EXPECT_EQ(At(15, 15), (Color{255, 0, 0, 255}));
  host.reset();
  {
    testsupport::ScopedEndThrows throws;
    EXPECT_THROW(plat::EndProgram(0), plat::ProgramEnded);  // no host: SDL video shuts down
  }
  // And starts again for the next window.
  host = SdlHost::CreateWindowed(*form);
  host->DrawForm();
  EXPECT_EQ(At(15, 15), (Color{255, 0, 0, 255}));
}

}  // namespace

// ---- Redrawing only what changed ----

class RedrawTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    label = Put(form.get(), ControlKind::Label, "L", 10, 10, 80, 16);
    label->Caption = "甲";
    label->ForeColor = 0xFFFFFF;
    list = Put(form.get(), ControlKind::ListBox, "Lst", 10, 40, 80, 40);
    list->BackTransparent = false;
    list->AddItem("一");
    box = Put(form.get(), ControlKind::TextBox, "Tb", 100, 10, 80, 20);
    check = Put(form.get(), ControlKind::CheckBox, "Ck", 100, 40, 80, 16);
    hidden = Put(form.get(), ControlKind::Panel, "Hid", 100, 70, 80, 40);
    hidden->Visible = false;
    inner = Put(hidden, ControlKind::Label, "In", 0, 0, 40, 16);
    gameScreen = Put(form.get(), ControlKind::PictureBox, "GameScreen", 0, 100, 200, 50);
    gameScreen->PixelScale = true;
    StartHeadless();
    host->Present();
  }
  // Presents once more: whether that pass drew and showed the window.
  bool Presents() {
    const auto before = host->PresentCount();
    host->Present();
    return host->PresentCount() != before;
  }
  void WindowEvent(Uint8 what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = what;
    Send(e);
  }
  Control *label = nullptr, *list = nullptr, *box = nullptr, *check = nullptr, *hidden = nullptr, *inner = nullptr,
          *gameScreen = nullptr;
};

TEST_F(RedrawTest, APassWithNothingChangedShowsNothing) {
  EXPECT_EQ(host->PresentCount(), 1u);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(Presents());
  // Writing a field its own value again, or changing a hidden control, is no change.
  label->Caption = "甲";
  inner->Caption = "看不见";
  inner->Left += 5 * T;
  EXPECT_FALSE(Presents());
}

TEST_F(RedrawTest, EveryKindOfVisibleChangeShowsTheWindowOnce) {
  struct Change {
    const char* what;
    std::function<void()> make;
  };
  const std::vector<Change> changes = {
      {"a caption written by game code", [&] { label->Caption = "乙"; }},
      {"a colour", [&] { label->ForeColor = 0x00FF00; }},
      {"a caption made bold", [&] { label->FontBold = true; }},
      {"a move", [&] { label->Left += T; }},
      {"a list row added", [&] { list->AddItem("二"); }},
      {"a list row chosen", [&] { list->SetListIndex(1); }},
      {"a list scrolled", [&] { list->TopIndex = 1; }},
      {"a text typed", [&] { box->Text = "abc"; }},
      {"the focus (the caret shows)", [&] { form->Focus = box; }},
      {"a check box ticked", [&] { check->SetValue(1); }},
      {"a panel shown", [&] { hidden->Visible = true; }},
      {"a control disabled", [&] { check->Enabled = false; }},
      {"the pointer moved (hover, pressed looks)",
       [&] {
         SDL_Event e{};
         e.type = SDL_MOUSEMOTION;
         e.motion.x = 20;
         e.motion.y = 20;
         Send(e);
       }},
      {"a button pressed", [&] { Mouse(20, 20, SDL_BUTTON_LEFT, true); }},
      {"a button released", [&] { Mouse(20, 20, SDL_BUTTON_LEFT, false); }},
      {"a new frame of the game screen",
       [&] {
         plat::Renderer& r = host->Render();
         r.SetTarget(host->GameScreenTarget());
         r.FillRect(Rect{0, 0, 10, 10}, Color{255, 0, 0, 255});
         r.SetTarget(plat::Texture{});
       }},
      {"something else drew into the output", [&] { host->Render().FillRect(Rect{0, 0, 5, 5}, Color{0, 0, 255, 255}); }},
      {"the window exposed", [&] { WindowEvent(SDL_WINDOWEVENT_EXPOSED); }},
      {"the window restored", [&] { WindowEvent(SDL_WINDOWEVENT_RESTORED); }},
      {"the window resized", [&] { WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED); }},
      {"the pictures reloaded", [&] { host->ClearPictureCache(); }},
      {"a redraw asked for", [&] { host->RequestRedraw(); }},
  };
  for (const Change& c : changes) {
    c.make();
    EXPECT_TRUE(Presents()) << c.what;
    EXPECT_FALSE(Presents()) << c.what << " (shown twice)";
  }
}

TEST_F(RedrawTest, TheShownPictureIsTheWholeFormAfterEachChange) {
  label->Caption = "乙丙";
  list->AddItem("二");
  form->Focus = box;
  box->Text = "字";
  ASSERT_TRUE(Presents());
  const auto shown = host->Render().ReadPixels();
  Draw();
  EXPECT_EQ(host->Render().ReadPixels(), shown);
}

TEST_F(HostTest, ASeeThroughGameScreenShowsItsBackColourThroughAndAnOpaqueOneHidesIt) {
  Control* gs = Put(form.get(), ControlKind::PictureBox, "GameScreen", 0, 0, 100, 100);
  gs->PixelScale = true;
  gs->BackColor = 0x0000FF;  // red
  gs->BackTransparent = false;
  StartHeadless();
  plat::Renderer& r = host->Render();
  for (const bool opaque : {false, true}) {
    ASSERT_TRUE(r.SetTarget(host->GameScreenTarget()));
    r.Clear(opaque ? Color{0, 0, 255, 255} : Color{0, 0, 0, 0});
    r.FillRect(Rect{0, 0, 10, 10}, Color{0, 255, 0, 255});
    r.SetTarget(plat::Texture{});
    host->Present();
    EXPECT_EQ(At(5, 5), (Color{0, 255, 0, 255})) << opaque;
    EXPECT_EQ(At(50, 50), opaque ? (Color{0, 0, 255, 255}) : (Color{255, 0, 0, 255})) << opaque;
  }
}
