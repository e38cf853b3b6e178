// The nine picture buttons on the real main window, pressed and released through the
// window's hit test.
#include "ui/system_buttons.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "common/game_state.h"
#include "ui/game_folder_fixture.h"
#include "platform/forms.h"
#include "window/form1.h"

namespace {

using ui::Form1;

// What the buttons change: the panels shown, the pause flag and the held slot. The
// description panel and the selection frame show exactly while a slot is held.
struct Look {
  bool menu, window, status, skills;
  int paused, held;
  bool operator==(const Look&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Look& l) {
  return os << "menu " << l.menu << " window " << l.window << " status " << l.status << " skills " << l.skills
            << " paused " << l.paused << " held " << l.held;
}

class SystemButtonsTest : public uitest::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    Form1.PBkDown1->Visible = true;
    G.SoundOn = 1;
  }

  static void Set(const Look& l) {
    Form1.Psys1->Visible = l.menu;
    Form1.Psys2->Visible = l.window;
    Form1.Psx->Visible = l.status;
    Form1.Pmc->Visible = l.skills;
    G.GamePaused = l.paused;
    G.SelectedSlot = l.held;
    Form1.ShItem->Visible = Form1.PItemInf->Visible = l.held != 0;
  }
  static Look Now() {
    const bool frame = Form1.ShItem->Visible;
    EXPECT_EQ(frame, G.SelectedSlot != 0);
    EXPECT_EQ(Form1.PItemInf->Visible, frame);
    return Look{Form1.Psys1->Visible, Form1.Psys2->Visible, Form1.Psx->Visible, Form1.Pmc->Visible, G.GamePaused,
                G.SelectedSlot};
  }

  // Pressed and released at the button's centre; the side buttons are reached with the
  // character window shown for the press.
  void Press(plat::Control* b, int button = plat::kLeftButton) {
    const int x = b->ScreenX() + b->PixelWidth() / 2, y = b->ScreenY() + b->PixelHeight() / 2;
    ASSERT_EQ(Form1.Form->HitTest(x, y), b) << b->Name;
    Form1.Form->MouseDown(x, y, button, 0);
    pressedPicture = b->Picture;
    Form1.Form->MouseUp(x, y, button, 0);
  }

  int Clicks() const {
    return static_cast<int>(std::count_if(sound.calls.begin(), sound.calls.end(), [](const std::string& c) {
      return c.find("按键2.wav") != std::string::npos;
    }));
  }

  std::string pressedPicture;
};

constexpr Look kClosed{false, false, false, false, 0, 0};
constexpr Look kBag{false, true, false, false, 0, 0};
constexpr Look kBagHeld{false, true, false, false, 0, 30};
constexpr Look kStatus{false, true, true, false, 0, 0};
constexpr Look kSkills{false, true, false, true, 0, 0};
constexpr Look kStatusSkills{false, true, true, true, 0, 0};
constexpr Look kMenu{true, false, false, false, 1, 0};
constexpr Look kHeldClosed{false, false, false, false, 0, 12};

using Button = plat::Control* ui::MainWindow::*;

TEST_F(SystemButtonsTest, EveryButtonFromEachState) {
  const struct {
    const char* rule;
    Look before;
    int hp;
    Button button;
    Look after;
    int clicks;
  } rows[] = {
      {"menu opens and pauses", kClosed, 50, &ui::MainWindow::SysB1, kMenu, 1},
      {"menu closes and resumes", kMenu, 50, &ui::MainWindow::SysB1, kClosed, 1},
      {"menu stays shut for the dead, unpaused", {false, false, false, false, 1, 0}, 0, &ui::MainWindow::SysB1,
       kClosed, 1},
      {"menu shut by the dead", kMenu, 0, &ui::MainWindow::SysB1, kClosed, 1},
      {"menu beside the open window", kBag, 50, &ui::MainWindow::SysB1, {true, true, false, false, 1, 0}, 1},
      {"status button opens status over the bag", kClosed, 50, &ui::MainWindow::SysB2, kStatus, 1},
      {"bag button opens equipment over the bag", kClosed, 50, &ui::MainWindow::SysB3, kBag, 1},
      {"skills button opens equipment over the skills", kClosed, 50, &ui::MainWindow::SysB4, kSkills, 1},
      {"bag button leaves a stale status page as it was", {false, false, true, true, 0, 0}, 50,
       &ui::MainWindow::SysB3, {false, true, true, false, 0, 0}, 1},
      {"status button closes an open window", kSkills, 50, &ui::MainWindow::SysB2, kClosed, 1},
      {"bag button closes, clicking twice", kStatus, 50, &ui::MainWindow::SysB3, kClosed, 2},
      {"skills button closes, clicking twice", kBag, 50, &ui::MainWindow::SysB4, kClosed, 2},
      {"bag button closes with an item held", kBagHeld, 50, &ui::MainWindow::SysB3, kClosed, 2},
      {"dead: status button runs the close", kHeldClosed, 0, &ui::MainWindow::SysB2, kClosed, 1},
      {"dead: bag button runs the close", kHeldClosed, 0, &ui::MainWindow::SysB3, kClosed, 2},
      {"dead: skills button closes the open window", kSkills, 0, &ui::MainWindow::SysB4, kClosed, 2},
      {"equipment button hides the status page", kStatusSkills, 50, &ui::MainWindow::Sys2b1, kSkills, 1},
      {"status page button", kBagHeld, 50, &ui::MainWindow::Sys2B2, {false, true, true, false, 0, 30}, 1},
      {"bag page button hides the skills", kStatusSkills, 50, &ui::MainWindow::Sys2B3, kStatus, 1},
      {"skills page button", kBag, 0, &ui::MainWindow::Sys2b4, kSkills, 1},
      {"close button, item held", {false, true, true, true, 0, 40}, 50, &ui::MainWindow::Sys2b5, kClosed, 1},
      {"close button keeps the menu and the pause", {true, true, false, false, 1, 0}, 50, &ui::MainWindow::Sys2b5,
       kMenu, 1},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.rule);
    Set(r.before);
    G.Player.HP = r.hp;
    plat::Control* button = Form1.*r.button;
    // The side buttons can only be reached on a shown window.
    const bool side = button->Parent == Form1.Psys2;
    if (side) Form1.Psys2->Visible = true;
    sound.calls.clear();
    Press(button);
    EXPECT_EQ(Now(), r.after);
    EXPECT_EQ(Clicks(), r.clicks);
  }
}

TEST_F(SystemButtonsTest, SilentWithSoundsOffAndTheClickSoundItself) {
  G.Player.HP = 50;
  G.SoundOn = 0;
  Press(Form1.SysB3);
  Press(Form1.Sys2B2);
  Press(Form1.Sys2b5);
  EXPECT_TRUE(sound.calls.empty());
  EXPECT_EQ(Now(), kClosed);
  G.SoundOn = 1;
  Press(Form1.SysB2);
  EXPECT_TRUE(Played("Sound\\按键2.wav"));
}

// Any mouse button shows the pressed picture while held and the released one after;
// the bottom-bar buttons number theirs apart from the side buttons.
TEST_F(SystemButtonsTest, PressedLookWhileHeldWithAnyButton) {
  const struct {
    Button button;
    const char* number;
  } rows[] = {
      {&ui::MainWindow::SysB1, "1"},  {&ui::MainWindow::SysB2, "2"},  {&ui::MainWindow::SysB3, "3"},
      {&ui::MainWindow::SysB4, "9"},  {&ui::MainWindow::Sys2b1, "4"}, {&ui::MainWindow::Sys2B2, "5"},
      {&ui::MainWindow::Sys2B3, "6"}, {&ui::MainWindow::Sys2b4, "7"}, {&ui::MainWindow::Sys2b5, "8"},
  };
  G.Player.HP = 0;  // the bottom buttons then only close, and the side buttons stay reachable
  for (const auto& r : rows) {
    for (int mouse : {plat::kLeftButton, plat::kRightButton, plat::kMiddleButton}) {
      plat::Control* b = Form1.*r.button;
      SCOPED_TRACE(b->Name + " " + std::to_string(mouse));
      Form1.Psys2->Visible = true;
      Press(b, mouse);
      const std::string stem = std::string("\\date\\button\\bt") + r.number;
      EXPECT_EQ(pressedPicture, stem + "2.dat");
      EXPECT_EQ(b->Picture, stem + "1.dat");
    }
  }
}

TEST_F(SystemButtonsTest, AMissingPictureKeepsTheLook) {
  std::filesystem::rename(Folder() / "date" / "button" / "bt32.dat", Folder() / "bt32.dat");
  G.Player.HP = 50;
  Press(Form1.SysB3);
  std::filesystem::rename(Folder() / "bt32.dat", Folder() / "date" / "button" / "bt32.dat");
  EXPECT_EQ(pressedPicture, "\\date\\button\\bt31.dat");
  EXPECT_TRUE(Form1.Psys2->Visible);  // it still works
}

}  // namespace
