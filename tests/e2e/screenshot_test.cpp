// The title screen, the town and a fight in a real X window, kept as pictures for people
// to look at.
// Runs only with SDL_VIDEODRIVER=x11 (its ctest entry starts it under xvfb-run); the
// run under the dummy driver skips it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "graphics/device.h"
#include "graphics/scene.h"
#include "platform/process.h"
#include "platform/files.h"
#include "platform/render.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "ui/program.h"

namespace {

namespace fs = std::filesystem;
using plat::Color;

TEST(Screenshot, TheTitleScreenInARealWindow) {
  if (!e2e::UnderX11()) GTEST_SKIP() << "needs a real X display: run with SDL_VIDEODRIVER=x11 (xvfb-run)";

  testsupport::TempDir dir;
  e2e::CopyGameFolder(dir.path());
  e2e::WriteSave(dir.path(), {"阿青", "战士", 7, "2024-03-05 08:09:10", "普通"});
  e2e::WriteSave(dir.path(), {"Bob", "法师", 12, "2024-11-30 21:00:00", "专家"});
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::WatchingClock clock;
  e2e::LogoKeys logoKeys(clock, {SDLK_RETURN, SDLK_RETURN});

  const fs::path shot = fs::path(ORVANTH_BINARY_DIR) / "screenshots" / "title.png";
  fs::create_directories(shot.parent_path());
  fs::remove(shot);

  std::vector<std::uint8_t> pixels;
  int width = 0;
  bool realWindow = false, saved = false;
  int gameX = 0, gameY = 0;
  ui::ProgramHooks hooks;
  hooks.folder = dir.path();
  hooks.windowOpened = [&](plat::SdlHost& host) { logoKeys.Attach(host); };
  hooks.leaveTitle = [&](plat::SdlHost& host) {
    realWindow = host.Window() != nullptr && !host.Headless();
    // The window's own picture: drawn into its back buffer and read back before it is shown.
    e2e::WindowPicture picture = e2e::SnapWindow(host, shot);
    saved = picture.saved;
    pixels = std::move(picture.pixels);
    width = picture.width;
    const plat::Control* gs = ui::Form1.GameScreen;
    gameX = gs->ScreenX() + gs->ClientInset();
    gameY = gs->ScreenY() + gs->ClientInset();
    return true;
  };
  ASSERT_EQ(ui::RunProgram(hooks), 0) << "the window could not be opened";
  EXPECT_TRUE(realWindow);
  EXPECT_EQ(logoKeys.taps.size(), 2u);
  ASSERT_TRUE(saved);
  ASSERT_TRUE(fs::exists(shot));
  EXPECT_GT(fs::file_size(shot), 1000u);
  ASSERT_EQ(width, 722);

  // The title line: white text from (20, 420) of the game screen.
  int text = 0;
  for (int y = gameY + 418; y < gameY + 440; ++y) {
    for (int x = gameX + 20; x < gameX + 320; ++x) {
      const Color c = e2e::PixelOf(pixels, width, x, y);
      text += (c.r == c.g && c.g == c.b && c.r >= 128) ? 1 : 0;
    }
  }
  EXPECT_GT(text, 60);
  // The title panel (152, 40, 402 x 382 pixels) is drawn over the black game screen.
  int panel = 0, samples = 0;
  for (int y = 40; y < 40 + 382; y += 4) {
    for (int x = 152; x < 152 + 402; x += 4) {
      const Color c = e2e::PixelOf(pixels, width, x, y);
      panel += (c.r | c.g | c.b) != 0 ? 1 : 0;
      ++samples;
    }
  }
  EXPECT_GT(panel, samples / 2);
  // Left of the panel, above the title line, the game screen is black.
  EXPECT_EQ(e2e::PixelOf(pixels, width, gameX + 60, gameY + 200), (Color{0, 0, 0, 255}));
}

// A new warrior in the town, its first frames after the intro: the player on view cell
// (7, 7), the village elder with his name, and the head-up display.
TEST(Screenshot, TheTownInARealWindow) {
  if (!e2e::UnderX11()) GTEST_SKIP() << "needs a real X display: run with SDL_VIDEODRIVER=x11 (xvfb-run)";

  testsupport::TempDir dir;
  e2e::CopyGameFolder(dir.path());
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_RETURN});

  const fs::path shot = fs::path(ORVANTH_BINARY_DIR) / "screenshots" / "town.png";
  fs::create_directories(shot.parent_path());
  fs::remove(shot);

  std::vector<std::uint8_t> pixels, withoutPlayer;
  int width = 0, gameX = 0, gameY = 0;
  bool realWindow = false, saved = false;
  e2e::Cell cell;
  std::uint64_t firstFrame = 0;

  // Reads the whole window as it would be shown.
  const auto windowPixels = [&](plat::SdlHost& host) {
    host.DrawForm();
    plat::Renderer& r = host.Render();
    r.SetTarget(plat::Texture{});
    return r.ReadPixels();
  };

  e2e::Append(driver.steps, e2e::PastTheIntro(clock));
  driver.steps.push_back([&](plat::SdlHost&) {
    firstFrame = driver.frames;
    return true;
  });
  driver.steps.push_back([&](plat::SdlHost& host) {
    if (driver.frames < firstFrame + 40) return false;  // the idle animation has begun
    realWindow = host.Window() != nullptr && !host.Headless();
    cell = e2e::PlayerCell();
    pixels = windowPixels(host);
    saved = host.Render().SavePng(shot.string());
    width = host.Render().OutputSize().w;
    const plat::Control* gs = ui::Form1.GameScreen;
    gameX = gs->ScreenX() + gs->ClientInset();
    gameY = gs->ScreenY() + gs->ClientInset();
    // The same frame once more with the player drawn fully transparent.
    G.Player.TintA = 0;
    DrawScene();
    withoutPlayer = windowPixels(host);
    EndGame();
  });

  e2e::KeyboardAnswers answers;  // an unexpected box fails the run instead of hanging it
  e2e::RunNewCharacter(driver, answers, dir.path(), "阿青", 0);

  EXPECT_TRUE(realWindow);
  ASSERT_TRUE(saved);
  ASSERT_TRUE(fs::exists(shot));
  EXPECT_GT(fs::file_size(shot), 1000u);
  ASSERT_EQ(width, 722);
  ASSERT_EQ(pixels.size(), withoutPlayer.size());
  EXPECT_EQ(cell, (e2e::Cell{13, 13}));
  const auto at = [&](const std::vector<std::uint8_t>& px, int x, int y) {
    return e2e::PixelOf(px, width, gameX + x, gameY + y);
  };

  // The head-up display: the full HP bar (red) from (75, 27) and the MP bar (blue) from
  // (75, 43), each 100 x 10.
  for (int x : {80, 95, 150, 170}) {  // clear of the "30/30" text from x = 103
    const Color hp = at(pixels, x, 31);
    EXPECT_GT(hp.r, hp.g + 40) << x;
    EXPECT_GT(hp.r, hp.b + 40) << x;
    const Color mp = at(pixels, x, 47);
    EXPECT_GT(mp.b, mp.r + 40) << x;
  }
  // The player: drawn on view cell (7, 7) (pixels 336..383 x 224..255) and the rows above
  // it; without it those pixels are the town's floor.
  int player = 0;
  for (int y = 7 * 32 - 48; y < 8 * 32; ++y) {
    for (int x = 7 * 48 - 16; x < 8 * 48 + 16; ++x) player += at(pixels, x, y) == at(withoutPlayer, x, y) ? 0 : 1;
  }
  EXPECT_GT(player, 300);
  // Nothing else changed.
  int elsewhere = 0;
  for (int y = 0; y < 448; y += 2) {
    for (int x = 0; x < 720; x += 2) {
      const bool inPlayer = x >= 7 * 48 - 48 && x < 8 * 48 + 48 && y >= 7 * 32 - 96 && y < 8 * 32 + 16;
      if (!inPlayer && !(at(pixels, x, y) == at(withoutPlayer, x, y))) ++elsewhere;
    }
  }
  EXPECT_EQ(elsewhere, 0);
  // The village elder on (10, 10), view cell (4, 4): his name in white from the cell's
  // top left corner (192, 128).
  int name = 0;
  for (int y = 128; y < 146; ++y) {
    for (int x = 192; x < 232; ++x) {
      const Color c = at(pixels, x, y);
      name += (c.r >= 200 && c.g >= 200 && c.b >= 200) ? 1 : 0;
    }
  }
  EXPECT_GT(name, 25);
}

TEST(Screenshot, AnAreaSpellAmongMonstersInARealWindow) {
  if (!e2e::UnderX11()) GTEST_SKIP() << "needs a real X display: run with SDL_VIDEODRIVER=x11 (xvfb-run)";

  testsupport::TempDir dir;
  e2e::CopyGameFolder(dir.path());
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_RETURN}, 200000);
  constexpr int kHellFire = 15;

  const fs::path shot = fs::path(ORVANTH_BINARY_DIR) / "screenshots" / "skill.png";
  fs::create_directories(shot.parent_path());
  fs::remove(shot);

  std::vector<std::uint8_t> pixels, withoutSpell;
  int width = 0, gameX = 0, gameY = 0;
  bool saved = false;
  std::int32_t selected = 0, target = 0;
  std::uint64_t start = 0;
  e2e::MouseHold hold;
  bool pressed = false;
  SDL_Point point{0, 0};
  std::uint64_t pressFrame = 0;
  int casts = 0;

  const auto windowPixels = [&](plat::SdlHost& host) {
    host.DrawForm();
    plat::Renderer& r = host.Render();
    r.SetTarget(plat::Texture{});
    return r.ReadPixels();
  };
  // The running fire: its slot, or 0.
  const auto fireSlot = [] {
    for (int i = 1; i <= kMaxSkillEffects; ++i) {
      if (G.SkillEffects[static_cast<std::size_t>(i)].Kind == kHellFire) return i;
    }
    return 0;
  };

  e2e::Append(driver.steps, e2e::PastTheIntro(clock));
  e2e::Append(driver.steps, e2e::ThroughTheTownGate());
  driver.steps.push_back([&](plat::SdlHost&) {
    // A mage that cannot die, with MP enough for the fire and the fire at level 1 on F1.
    G.HpLock = 1;
    G.Player.MpMax = 200;
    G.Player.Mp = 200;
    G.MpLock = 1;
    G.Player.M[kHellFire] = "F11";
    e2e::PushKey(SDLK_F1);
    return true;
  });
  driver.steps.push_back([&](plat::SdlHost&) {
    selected = G.Player.NowMc;
    start = driver.frames;
    return true;
  });
  driver.steps.push_back([&](plat::SdlHost& host) {
    if (driver.frames > start + 5000) {
      throw std::runtime_error("the fire never burned among the monsters (" + std::to_string(casts) +
                               " casts, mp " + std::to_string(G.Player.Mp) + ")");
    }
    if (const int slot = fireSlot(); slot > 0) {
      SkillEffect& fire = G.SkillEffects[static_cast<std::size_t>(slot)];
      if (pressed) {
        e2e::PushButton(SDL_MOUSEBUTTONUP, point.x, point.y, SDL_BUTTON_RIGHT);
        pressed = false;
      }
      if (fire.Frame < 12) return false;  // the fire at its height
      pixels = windowPixels(host);
      saved = host.Render().SavePng(shot.string());
      width = host.Render().OutputSize().w;
      const plat::Control* gs = ui::Form1.GameScreen;
      gameX = gs->ScreenX() + gs->ClientInset();
      gameY = gs->ScreenY() + gs->ClientInset();
      // The same frame without the fire.
      const SkillEffect kept = fire;
      fire.Kind = 0;
      DrawScene();
      withoutSpell = windowPixels(host);
      fire = kept;
      EndGame();
    }
    if (pressed) {
      if (driver.frames < pressFrame + 40) return false;
      e2e::PushButton(SDL_MOUSEBUTTONUP, point.x, point.y, SDL_BUTTON_RIGHT);  // no fire: again
      pressed = false;
      return false;
    }
    if (target == 0 || !e2e::LivingMonster(target)) target = e2e::NearestLivingMonster([](std::int32_t) { return false; });
    if (target == 0) throw std::runtime_error("no monster on the ground");
    const MonsterInstance& m = G.Monsters[static_cast<std::size_t>(target)];
    const e2e::Cell me = e2e::PlayerCell();
    if (std::max(std::abs(m.X - me.x), std::abs(m.Y - me.y)) > 2) {
      e2e::HoldToward(hold, e2e::Cell{m.X, m.Y});
      return false;
    }
    hold.Release();
    if (!e2e::PlayerAtRest() || G.MouseLeftDown != 0) return false;
    // Right on the monster next to the mage: the fire rises round the mage.
    const SDL_Point v = e2e::ViewCellOf(e2e::Cell{m.X, m.Y});
    point = e2e::ViewCellPoint(v.x, v.y);
    e2e::PushMotion(point.x, point.y);
    e2e::PushButton(SDL_MOUSEBUTTONDOWN, point.x, point.y, SDL_BUTTON_RIGHT);
    pressed = true;
    pressFrame = driver.frames;
    ++casts;
    return false;
  });

  e2e::KeyboardAnswers answers;  // an unexpected box fails the run instead of hanging it
  e2e::RunNewCharacter(driver, answers, dir.path(), "法师乙", 2);

  EXPECT_EQ(selected, kHellFire) << "F1 selects the bound spell";
  ASSERT_TRUE(saved);
  ASSERT_TRUE(fs::exists(shot));
  ASSERT_EQ(width, 722);
  const auto at = [&](const std::vector<std::uint8_t>& px, int x, int y) {
    return e2e::PixelOf(px, width, gameX + x, gameY + y);
  };
  // The fire is drawn round the mage at the middle of the view: many pixels there change,
  // and the corners of the view, far from it, do not.
  int nearMage = 0, corners = 0;
  for (int y = 0; y < 448; ++y) {
    for (int x = 0; x < 720; ++x) {
      if (at(pixels, x, y) == at(withoutSpell, x, y)) continue;
      if (std::abs(x - 384) <= 200 && std::abs(y - 256) <= 160) ++nearMage;
      if ((x < 40 || x >= 680) && (y < 30 || y >= 418)) ++corners;
    }
  }
  EXPECT_GT(nearMage, 3000) << "the fire round the mage";
  EXPECT_EQ(corners, 0) << "the view's corners stay as they were";
}

}  // namespace

// A fight on the monster ground east of the town: the health bars over every monster
// (the option that shows them all), the warrior's damage floating over the monster it
// struck, and the spirit companion summoned with its key.
TEST(Screenshot, AFightInARealWindow) {
  if (!e2e::UnderX11()) GTEST_SKIP() << "needs a real X display: run with SDL_VIDEODRIVER=x11 (xvfb-run)";

  testsupport::TempDir dir;
  e2e::CopyGameFolder(dir.path());
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_RETURN}, 200000);

  const fs::path shot = fs::path(ORVANTH_BINARY_DIR) / "screenshots" / "fight.png";
  fs::create_directories(shot.parent_path());
  fs::remove(shot);

  std::vector<std::uint8_t> pixels, withoutBars, withoutNumbers, withoutSpirit;
  int width = 0, gameX = 0, gameY = 0;
  bool saved = false, summoned = false;
  std::int32_t target = 0, targetHp = 0, kindHp = 0;
  SDL_Point bar{0, 0};  // the target's bar on the game screen
  int barFill = 0;
  std::vector<SDL_Point> otherBars;  // those of the other monsters at rest in view
  std::uint64_t fightStart = 0;
  e2e::MouseHold hold;

  const auto windowPixels = [&](plat::SdlHost& host) {
    host.DrawForm();
    plat::Renderer& r = host.Render();
    r.SetTarget(plat::Texture{});
    return r.ReadPixels();
  };
  // A fresh damage number of the warrior's over a monster still alive, hurt, and at rest
  // on its cell.
  const auto freshHit = [] {
    for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxFloatingTexts); ++i) {
      const FloatingText& t = G.FloatingTexts[i];
      if (t.Age > 0 && t.Age < 30 && t.B == 255 && t.R == 50 && t.Text != "MISS") return true;
    }
    return false;
  };

  e2e::Append(driver.steps, e2e::PastTheIntro(clock));
  e2e::Append(driver.steps, e2e::ThroughTheTownGate());
  driver.steps.push_back([&](plat::SdlHost&) {
    // Bars over every monster and the damage numbers, a warrior that cannot die, and the
    // summoning skill at level 2 on F5.
    G.ShowAllMonHp = 1;
    G.ShowDamage = 1;
    G.HpLock = 1;
    G.MpLock = 1;
    G.Player.M[9] = "F52";
    e2e::PushKey(SDLK_F5);
    return true;
  });
  driver.steps.push_back([&](plat::SdlHost&) {
    summoned = G.Spirit.Level == 2;
    fightStart = driver.frames;
    return true;
  });
  driver.steps.push_back([&](plat::SdlHost& host) {
    if (driver.frames > fightStart + 10000) throw std::runtime_error("no hit worth a picture");
    if (target == 0 || !e2e::LivingMonster(target)) target = e2e::NearestLivingMonster([](std::int32_t) { return false; });
    if (target == 0) throw std::runtime_error("no monster on the ground");
    const MonsterInstance& m = G.Monsters[static_cast<std::size_t>(target)];
    const MonsterKind& kind = G.MonsterKinds[static_cast<std::size_t>(m.Kind)];
    const SDL_Point v{m.X - G.ViewX - 1, m.Y - G.ViewY - 1};
    const bool spiritInView = G.Spirit.Level > 0 && G.Spirit.X - G.ViewX >= 1 && G.Spirit.X - G.ViewX <= 13 &&
                              G.Spirit.Y - G.ViewY >= 2 && G.Spirit.Y - G.ViewY <= 12;
    const bool still = m.State != ActionState::Move && m.PixelX == 0 && m.PixelY == 0 && G.ScrollX == 0 &&
                       G.ScrollY == 0 && v.y >= 2;
    // Other monsters at rest in view, whole bars inside the screen; one at least, unless
    // none comes near for a long while.
    std::vector<SDL_Point> others;
    for (std::int32_t n = 1; n <= G.MonsterCount; ++n) {
      const MonsterInstance& o = G.Monsters[static_cast<std::size_t>(n)];
      const SDL_Point ov{o.X - G.ViewX - 1, o.Y - G.ViewY - 1};
      if (n == target || !e2e::LivingMonster(n) || o.State == ActionState::Move || o.PixelX != 0 || o.PixelY != 0 ||
          ov.x < 0 || ov.x > 13 || ov.y < 2 || ov.y > 11) {
        continue;
      }
      others.push_back(SDL_Point{ov.x * 48 + 5, ov.y * 32 - 50});
    }
    const bool company = !others.empty() || driver.frames > fightStart + 3000;
    // Hurt, but with enough of its bar left to tell red from the frame.
    const bool hurt = m.HP < kind.Hp && 38LL * m.HP >= 3LL * kind.Hp;
    if (!(freshHit() && hurt && still && spiritInView && company)) {
      e2e::HoldToward(hold, e2e::Cell{m.X, m.Y});
      return false;
    }
    targetHp = m.HP;
    kindHp = kind.Hp;
    bar = SDL_Point{v.x * 48 + 5, v.y * 32 - 50};
    barFill = static_cast<int>(std::lround(38.0 * m.HP / kind.Hp));
    otherBars = others;
    pixels = windowPixels(host);
    saved = host.Render().SavePng(shot.string());
    width = host.Render().OutputSize().w;
    const plat::Control* gs = ui::Form1.GameScreen;
    gameX = gs->ScreenX() + gs->ClientInset();
    gameY = gs->ScreenY() + gs->ClientInset();
    // The same frame without the bars, without the numbers, and without the spirit.
    G.ShowAllMonHp = 0;
    G.TargetTimer = 0;
    DrawScene();
    withoutBars = windowPixels(host);
    G.ShowAllMonHp = 1;
    G.ShowDamage = 0;
    DrawScene();
    withoutNumbers = windowPixels(host);
    G.ShowDamage = 1;
    G.Spirit.Level = 0;
    DrawScene();
    withoutSpirit = windowPixels(host);
    EndGame();
  });

  e2e::KeyboardAnswers answers;  // an unexpected box fails the run instead of hanging it
  e2e::RunNewCharacter(driver, answers, dir.path(), "阿青", 0);

  EXPECT_TRUE(summoned) << "F5 summons the spirit at the skill's level";
  ASSERT_TRUE(saved);
  ASSERT_TRUE(fs::exists(shot));
  ASSERT_EQ(width, 722);
  const auto at = [&](const std::vector<std::uint8_t>& px, int x, int y) {
    return e2e::PixelOf(px, width, gameX + x, gameY + y);
  };
  const auto changed = [&](const std::vector<std::uint8_t>& other) {
    int n = 0;
    for (int y = 0; y < 448; ++y) {
      for (int x = 0; x < 720; ++x) n += at(pixels, x, y) == at(other, x, y) ? 0 : 1;
    }
    return n;
  };

  // The struck monster's bar: red as far as its hit points go, the dark frame after.
  ASSERT_GT(kindHp, 0);
  EXPECT_LT(targetHp, kindHp);
  ASSERT_GT(barFill, 1);
  const Color fill = at(pixels, bar.x + 1, bar.y + 2);
  EXPECT_GT(fill.r, 180);
  EXPECT_LT(fill.g, 90);
  if (barFill < 37) {
    const Color empty = at(pixels, bar.x + 37, bar.y + 2);
    EXPECT_LT(empty.r, 90);
    EXPECT_LT(std::abs(empty.r - empty.b), 20);
  }
  // The other monsters' bars start red too (a bar covered by something drawn later, the
  // player or a tree, may hide its first pixel: most of them must show it).
  int redStarts = 0;
  for (const SDL_Point& b : otherBars) {
    const Color c = at(pixels, b.x + 1, b.y + 2);
    redStarts += c.r > 180 && c.g < 90 ? 1 : 0;
  }
  EXPECT_GE(2 * redStarts, static_cast<int>(otherBars.size()));
  EXPECT_GT(changed(withoutBars), 38 * 3 * static_cast<int>(1 + otherBars.size()) / 2)
      << "a bar over every monster in view";
  EXPECT_GT(changed(withoutNumbers), 20) << "the damage number";
  EXPECT_GT(changed(withoutSpirit), 300) << "the spirit";
}

// The cheat panel beside the open bag, a value row typed into its combo box, and then
// the sell panel with a bag item's description over its buttons: a click on "卖掉"
// reaches the button. Both views are kept as pictures.
TEST(Screenshot, TheCheatPanelAndASaleUnderTheDescriptionInARealWindow) {
  if (!e2e::UnderX11()) GTEST_SKIP() << "needs a real X display: run with SDL_VIDEODRIVER=x11 (xvfb-run)";
  using ui::Form1;

  testsupport::TempDir dir;
  e2e::CopyGameFolder(dir.path());
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_RETURN});

  const fs::path shots = fs::path(ORVANTH_BINARY_DIR) / "screenshots";
  fs::create_directories(shots);
  bool cheatSaved = false, saleSaved = false, textInput = false;
  std::int32_t dcMax = -1;
  std::string mode;
  int sells = 0;

  e2e::Append(driver.steps, e2e::PastTheIntro(clock));
  driver.steps.push_back([&](plat::SdlHost&) {
    e2e::PushKey(SDLK_HOME);  // the warning is answered with Return
    e2e::PushKey(SDLK_i);
    return true;
  });
  driver.steps.push_back([&](plat::SdlHost&) {
    if (!Form1.Pzb->Visible || !Form1.Psys2->Visible) return false;
    e2e::ClickOn(Form1.Cchange);
    return true;
  });
  driver.steps.push_back([&](plat::SdlHost&) {
    if (Form1.Form->Focus != Form1.Cchange) return false;
    textInput = SDL_IsTextInputActive() == SDL_TRUE;
    e2e::PushKey(SDLK_BACKSPACE);
    e2e::PushKey(SDLK_BACKSPACE);
    e2e::PushText("攻击上限");
    e2e::ClickOn(Form1.Tcc);
    return true;
  });
  driver.steps.push_back([&](plat::SdlHost&) {
    if (Form1.Form->Focus != Form1.Tcc) return false;
    e2e::PushKey(SDLK_BACKSPACE);
    e2e::PushText("77");
    e2e::ClickOn(Form1.Command18);
    return true;
  });
  driver.steps.push_back([&](plat::SdlHost& host) {
    if (G.Player.DcMax != 77) return false;
    dcMax = G.Player.DcMax;
    mode = G.Player.M[20];
    cheatSaved = e2e::SnapWindow(host, shots / "cheat_panel.png").saved;
    // The sell panel, with a bag item pointed at.
    e2e::PushKey(SDLK_HOME);
    auto& items = G.Player.Items;
    for (std::size_t i = 1; i <= 56 && items[30].Name.empty(); ++i) {
      if (i != 30 && !items[i].Name.empty()) items[30] = items[i];
    }
    Form1.Psell->Visible = true;
    const auto sell = Form1.Command10->OnClick;
    Form1.Command10->OnClick = [&sells, sell] {
      ++sells;
      if (sell) sell();
    };
    const plat::Control* slot = Form1.Iitem(30);
    e2e::PushMotion(slot->ScreenX() + 5, slot->ScreenY() + 5);
    return true;
  });
  driver.steps.push_back([&](plat::SdlHost& host) {
    if (!Form1.PItemInf->Visible) return false;
    saleSaved = e2e::SnapWindow(host, shots / "sell_under_description.png").saved;
    const plat::Control* b = Form1.Command10;
    e2e::PushMotion(b->ScreenX() + b->PixelWidth() / 2, b->ScreenY() + b->PixelHeight() / 2);
    e2e::ClickOn(b);
    return true;
  });
  driver.steps.push_back([&](plat::SdlHost&) {
    if (sells == 0) return false;
    EndGame();
    return true;
  });

  e2e::KeyboardAnswers answers;
  answers.answers = {SDLK_RETURN};  // the cheat warning
  e2e::RunNewCharacter(driver, answers, dir.path(), "阿青", 0);

  EXPECT_TRUE(textInput);
  EXPECT_EQ(dcMax, 77);
  EXPECT_EQ(mode, "作弊");
  EXPECT_TRUE(cheatSaved);
  EXPECT_TRUE(saleSaved);
  EXPECT_EQ(sells, 1);
}
