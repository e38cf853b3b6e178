// The real program on a copy of the sample game folder: a character typed in Chinese,
// created, chosen and continued with the mouse, up to the difficulty panel and the
// pictures on its buttons.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "e2e/program_driver.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/render.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "ui/program.h"
#include "world/file_marker.h"

namespace {

namespace fs = std::filesystem;
using plat::Color;
using ui::Form1;

void PushMouse(Uint32 type, int x, int y) {
  SDL_Event e{};
  e.type = type;
  e.button.button = SDL_BUTTON_LEFT;
  e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.button.clicks = 1;
  e.button.x = x;
  e.button.y = y;
  SDL_PushEvent(&e);
}

void ClickAt(int x, int y) {
  PushMouse(SDL_MOUSEBUTTONDOWN, x, y);
  PushMouse(SDL_MOUSEBUTTONUP, x, y);
}

void ClickOn(const plat::Control* c) { ClickAt(c->ScreenX() + c->PixelWidth() / 2, c->ScreenY() + c->PixelHeight() / 2); }

void PushText(const std::string& utf8) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  ASSERT_LT(utf8.size(), sizeof e.text.text);
  std::memcpy(e.text.text, utf8.data(), utf8.size());
  SDL_PushEvent(&e);
}

// How closely a button drawn in the window matches its picture file: the share of the
// picture's non-black pixels (black is transparent) found at the button's place.
double PictureMatch(plat::SdlHost& host, const plat::Control* button, const std::string& gamePath) {
  SDL_Surface* loaded = SDL_LoadBMP(plat::ResolvePath(gamePath).string().c_str());
  if (loaded == nullptr) {
    ADD_FAILURE() << "cannot read " << gamePath;
    return 0;
  }
  SDL_Surface* pic = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGBA32, 0);
  SDL_FreeSurface(loaded);
  EXPECT_EQ(pic->w, button->PixelWidth());
  EXPECT_EQ(pic->h, button->PixelHeight());

  host.DrawForm();
  const auto window = e2e::ReadTarget(host, plat::Texture{});
  const int width = host.Render().OutputSize().w;
  int shown = 0, matching = 0;
  for (int y = 0; y < pic->h; ++y) {
    const auto* row = static_cast<const std::uint8_t*>(pic->pixels) + static_cast<std::ptrdiff_t>(y) * pic->pitch;
    for (int x = 0; x < pic->w; ++x) {
      const Color want{row[x * 4], row[x * 4 + 1], row[x * 4 + 2], 255};
      if (want.r == 0 && want.g == 0 && want.b == 0) continue;
      ++shown;
      const Color got = e2e::PixelOf(window, width, button->ScreenX() + x, button->ScreenY() + y);
      if (got.r == want.r && got.g == want.g && got.b == want.b) ++matching;
    }
  }
  SDL_FreeSurface(pic);
  return shown == 0 ? 0.0 : static_cast<double>(matching) / shown;
}

// The title screen, one step a pass: each step pushes the player's input for the
// next pass and may look at what the last one did.
class TitleE2e : public ::testing::Test {
 protected:
  void SetUp() override { e2e::CopyGameFolder(dir.path()); }

  // Runs the program through the steps; the run leaves the title screen after the last.
  void Run(std::vector<std::function<void(plat::SdlHost&)>> steps) {
    e2e::WatchingClock clock;
    e2e::LogoKeys logoKeys(clock, {SDLK_RETURN, SDLK_SPACE});
    ui::ProgramHooks hooks;
    hooks.folder = dir.path();
    hooks.windowOpened = [&](plat::SdlHost& host) {
      logoKeys.Attach(host);
      answers.Attach(host);
    };
    std::size_t next = 0;
    hooks.leaveTitle = [&](plat::SdlHost& host) {
      if (next == steps.size() || ::testing::Test::HasFatalFailure()) return true;
      steps[next++](host);
      return false;
    };
    EXPECT_EQ(ui::RunProgram(hooks), 0);
    EXPECT_EQ(next, steps.size());
    EXPECT_EQ(logoKeys.taps.size(), 2u);
  }

  testsupport::TempDir dir;
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::KeyboardAnswers answers;
};

TEST_F(TitleE2e, ANewCharacterIsTypedCreatedAndContinuedToTheDifficultyChoice) {
  const std::string name = "云中鹤";
  std::string row;
  std::vector<std::string> pictures;
  double normal = 0, hard = 0, veryHard = 0;

  Run({
      [&](plat::SdlHost&) {
        ASSERT_TRUE(Form1.MainMeun->Visible);
        ASSERT_EQ(Form1.IdList->ListCount(), 0);
        ClickOn(Form1.ID);
        PushText("云中");
        PushText("鹤");
      },
      [&](plat::SdlHost&) {
        ASSERT_EQ(Form1.ID->Text, name);
        ClickOn(Form1.Cb);  // opens the drop-down list
      },
      [&](plat::SdlHost&) {
        ASSERT_TRUE(Form1.Cb->Dropped);
        // The third row, "法师".
        ClickAt(Form1.Cb->ScreenX() + 10, Form1.Cb->ScreenY() + Form1.Cb->PixelHeight() + 2 * plat::kListRowPixels + 7);
      },
      [&](plat::SdlHost&) {
        ASSERT_EQ(Form1.Cb->Text, "法师");
        EXPECT_TRUE(Form1.Phelp->Visible);
        ClickOn(Form1.Command1);
      },
      [&](plat::SdlHost&) {
        ASSERT_EQ(Form1.IdList->ListCount(), 1);
        row = Form1.IdList->Items[0];
        ClickAt(Form1.IdList->ScreenX() + 8, Form1.IdList->ScreenY() + 7);  // the new row
      },
      [&](plat::SdlHost&) {
        ASSERT_EQ(Form1.IdList->ListIndex(), 0);
        ClickOn(Form1.Command2);
      },
      [&](plat::SdlHost& host) {
        ASSERT_TRUE(Form1.PLevel->IsShown());
        EXPECT_FALSE(Form1.MainMeun->Visible);
        pictures = {Form1.I_Nm->Picture, Form1.I_Hd->Picture, Form1.I_vHd->Picture};
        normal = PictureMatch(host, Form1.I_Nm, "date\\button\\level1.dat");
        hard = PictureMatch(host, Form1.I_Hd, "date\\button\\level2lock.dat");
        veryHard = PictureMatch(host, Form1.I_vHd, "date\\button\\level3lock.dat");
      },
  });

  EXPECT_TRUE(answers.shown.empty());
  EXPECT_EQ(row.rfind("云中鹤    法师 等级：1", 0), 0u) << row;
  EXPECT_EQ(row.substr(row.size() - 6), "普通");  // name padded to 9 bytes, then the separator
  // The save is there, marked, and was loaded into the game.
  const auto bytes = plat::ReadAllBytes(dir.path() / "Save" / "云中鹤.kzs");
  ASSERT_TRUE(bytes.has_value());
  EXPECT_TRUE(HasFileHeader(*bytes));
  // Beside it stands only the lock file of the character in play.
  auto files = plat::ListFiles(dir.path() / "Save");
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{".云中鹤.kzs.lock", "云中鹤.kzs"}));
  EXPECT_EQ(G.Player.ID, name);
  EXPECT_EQ(G.Player.ZhiYe, "法师");
  EXPECT_EQ(G.Player.MpMax, 40);
  // Only the normal difficulty is open for a new character.
  EXPECT_EQ(pictures, (std::vector<std::string>{"date\\button\\level1.dat", "date\\button\\level2lock.dat",
                                                "date\\button\\level3lock.dat"}));
  EXPECT_GT(normal, 0.95);
  EXPECT_GT(hard, 0.95);
  EXPECT_GT(veryHard, 0.95);
}

TEST_F(TitleE2e, AnUnlockedCharacterShowsItsOpenDifficulties) {
  e2e::WriteSave(dir.path(), {"老张", "战士", 20, "2024-05-06 07:08:09", "专家"});
  {
    MarkedDatabase db(dir.path() / "Save" / "老张.kzs", MarkedDatabase::Mode::Write);
    db.Db().Execute("UPDATE Save1 SET Et20 = 2");
    db.Db().Execute("UPDATE Save2 SET Name = '布衣', Pic2 = 1 WHERE No = 5");
    db.Commit();
  }
  double hard = 0, veryHard = 0, hardAsLocked = 0;
  std::string revive;

  Run({
      [&](plat::SdlHost&) {
        ASSERT_EQ(Form1.IdList->ListCount(), 1);
        ClickAt(Form1.IdList->ScreenX() + 8, Form1.IdList->ScreenY() + 7);
      },
      [&](plat::SdlHost&) { ClickOn(Form1.Command2); },
      [&](plat::SdlHost& host) {
        ASSERT_TRUE(Form1.PLevel->IsShown());
        hard = PictureMatch(host, Form1.I_Hd, "date\\button\\level2.dat");
        veryHard = PictureMatch(host, Form1.I_vHd, "date\\button\\level3.dat");
        hardAsLocked = PictureMatch(host, Form1.I_Hd, "date\\button\\level2lock.dat");
        revive = Form1.Label11->Caption;
      },
  });

  EXPECT_TRUE(answers.shown.empty());
  EXPECT_EQ(G.Et[20], 2);
  EXPECT_EQ(G.ExpertMode, 1);
  EXPECT_EQ(revive, "原地复活（损失25%经验、20%金钱）");
  EXPECT_GT(hard, 0.95);
  EXPECT_GT(veryHard, 0.95);
  EXPECT_LT(hardAsLocked, 0.5);
}

}  // namespace
