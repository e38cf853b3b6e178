#include "graphics/startup_assets.h"

#include <string>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/number_table.h"
#include "graphics/pictures.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "window/form1.h"

namespace {

constexpr int kHeadFrames = 280;
constexpr int kNpcFrames = 12;
constexpr int kMonsterFrames = 208;

void DoEvents() { plat::Application::Get().DoEvents(); }

}  // namespace

std::vector<FrameOffset> ReadOffsetTable(std::string_view gamePath, int frames) {
  std::vector<FrameOffset> table(static_cast<std::size_t>(frames < 0 ? 0 : frames) + 1);
  NumberTable in(gamePath);
  if (!in.IsOpen()) ShowMissingFile(gamePath);
  for (int f = 1; f <= frames; ++f) {
    const auto o = in.NextFrame();
    if (!o) ShowMissingFile(gamePath);
    table[static_cast<std::size_t>(f)] = *o;
  }
  return table;
}

void ShowLoadingScreen() {
  BeginScene();
  ClearScene(plat::Color::Black());
  if (Gfx.Device != nullptr) {
    Gfx.Device->CopyRect(Gfx.LoadingSurfSmall, plat::Rect{0, 0, 180, 40}, 500, 400);
    Gfx.Device->CopyRect(Gfx.LoadingSurfLarge, plat::Rect{0, 0, 190, 190}, 260, 120);
  }
  PresentScene();
}

void LoadGraphics() {
  plat::Renderer* dev = Gfx.Device;

  // 1. The loading screen (its two pictures stay for the map loader's loading screen).
  ReleaseSurf(Gfx.LoadingSurfSmall);
  ReleaseSurf(Gfx.LoadingSurfLarge);
  if (dev != nullptr) {
    Gfx.LoadingSurfSmall = dev->CreateSurface(180, 40);
    Gfx.LoadingSurfLarge = dev->CreateSurface(190, 190);
  }
  LoadSurfacePack(Gfx.LoadingSurfSmall, "\\date\\game", 8);
  LoadSurfacePack(Gfx.LoadingSurfLarge, "\\date\\game", 7);
  DoEvents();
  ShowLoadingScreen();
  DoEvents();

  // 2. The head frames, read together with their offset table.
  {
    const std::string table = "\\date\\Rpg\\Head.zb";
    NumberTable in(table);
    if (!in.IsOpen()) ShowMissingFile(table);
    for (int i = 1; i <= kHeadFrames; ++i) {
      LoadTexPack(Gfx.HeadTex[static_cast<std::size_t>(i)], "\\date\\Rpg\\Head", i);
      const auto o = in.NextFrame();
      if (!o) ShowMissingFile(table);
      Gfx.HeadZb[static_cast<std::size_t>(i)] = *o;
    }
  }

  // 3. and 4. The offset tables of every NPC and monster picture.
  for (int n = 1; n <= kNpcPictureLast; ++n) {
    const auto t = ReadOffsetTable("\\date\\NPC\\" + std::to_string(n) + ".zb", kNpcFrames);
    for (int f = 1; f <= kNpcFrames; ++f) Gfx.NpcZb(n, f) = t[static_cast<std::size_t>(f)];
  }
  for (int m = 1; m <= kMonsterPictureLast; ++m) {
    const auto t = ReadOffsetTable("\\date\\Mon\\" + std::to_string(m) + ".zb", kMonsterFrames);
    for (int f = 1; f <= kMonsterFrames; ++f) Gfx.MonsterZb(m, f) = t[static_cast<std::size_t>(f)];
  }

  // 5. to 8. The head-up display, the digits and the effect pictures.
  LoadTexPack(Gfx.ExpOrbTex, "\\date\\game", 10);
  LoadTexPack(Gfx.HudFrameTex, "\\date\\game", 9);
  LoadTexPack(Gfx.HpBarTex, "\\date\\game", 11);
  LoadTexPack(Gfx.MpBarTex, "\\date\\game", 12);
  LoadTexPack(Gfx.TargetBarTex, "\\date\\game", 15);
  for (int d = 0; d <= kDigitLast; ++d) {
    LoadTexFile(Gfx.DigitTex[static_cast<std::size_t>(d)], "\\date\\Number\\" + std::to_string(d) + ".bmp");
  }
  LoadTexPack(Gfx.MonHpFrameTex, "\\date\\game", 14);
  LoadTexPack(Gfx.MonHpFillTex, "\\date\\game", 13);
  LoadTexFile(Gfx.AuraTex, "\\date\\Mgc\\Tz.tga");
  LoadTexFile(Gfx.SpiritGlowTex, "\\date\\Mgc\\Sp.bmp");
  LoadTexFile(Gfx.FlashTex, "\\date\\Mgc\\Lj.bmp");

  // 9. The cold-wind particles: y first, then x, then the kind.
  for (auto& p : G.WindParticles) {
    p.Y = static_cast<std::int32_t>(plat::RandomInt(400) + 1);
    p.X = static_cast<std::int32_t>(plat::RandomInt(700) + 50);
    p.Kind = static_cast<std::int32_t>(plat::RandomInt(3) + 1);
  }

  // 10. The title line replaces the loading screen.
  BeginScene();
  ClearScene(plat::Color::Black());
  DrawTextAt(kTitleLine, plat::Color::White(), 20, 420, 800, 20);
  PresentScene();

  // 11. The title menu.
  if (ui::Form1.MainMeun != nullptr) ui::Form1.MainMeun->Visible = true;
  DoEvents();
}
