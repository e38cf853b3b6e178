#include "graphics/screens.h"

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/pictures.h"
#include "graphics/resources.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "window/form1.h"
#include "world/game_loop.h"
#include "world/save_game.h"

namespace {

constexpr const char* kGamePack = "\\date\\Game";

void DoEvents() { plat::Application::Get().DoEvents(); }

void FadeIn(plat::Texture tex, float x, float y) {
  for (int g = 0; g <= 255; ++g) FadeFrame(tex, x, y, static_cast<std::uint8_t>(g));
}

void FadeOut(plat::Texture tex, float x, float y) {
  for (int g = 255; g >= 0; --g) FadeFrame(tex, x, y, static_cast<std::uint8_t>(g));
}

// The frame panels and the minimap, in the order they are hidden and shown.
void SetFramePanelsVisible(bool visible) {
  ui::MainWindow& w = ui::Form1;
  for (plat::Control* c : {w.PbkUp, w.PbkLeft, w.PbkRight, w.PBkDown1, w.PbkDown2, w.Pminimap}) {
    if (c != nullptr) c->Visible = visible;
  }
}

// A still picture k of the game pack, 400 x 200 at (150, 100) on black. The surface is
// kept in `surf` (an earlier one released) until the caller releases it.
void StillPicture(plat::Surface& surf, long k) {
  ReleaseSurf(surf);
  if (Gfx.Device != nullptr) surf = Gfx.Device->CreateSurface(400, 200);
  LoadSurfacePack(surf, kGamePack, k);
  DoEvents();
  BeginScene();
  ClearScene(plat::Color::Black());
  if (Gfx.Device != nullptr) Gfx.Device->CopyRect(surf, plat::Rect{0, 0, 400, 200}, 150, 100);
  PresentScene();
}

}  // namespace

void FadeFrame(plat::Texture tex, float x, float y, std::uint8_t g) {
  if (Gfx.Device == nullptr) return;
  BeginScene();
  ClearScene(plat::Color{g, g, g, 255});
  Gfx.Device->DrawSprite(tex, std::nullopt, x, y, Gfx.ScalingX, Gfx.ScalingY, plat::Color{g, g, g, 255});
  PresentScene();
}

void ShowLogo() {
  plat::Texture a, b;
  LoadTexPack(a, kGamePack, 5);
  LoadTexPack(b, kGamePack, 6);
  DoEvents();

  FadeIn(a, 180, 170);
  DoEvents();
  WaitAnyKey();
  FadeOut(a, 180, 170);

  FadeIn(b, 150, 120);
  DoEvents();
  WaitAnyKey();
  FadeOut(b, 150, 120);

  ReleaseTex(a);
  ReleaseTex(b);
}

void ShowIntroPicture() {
  SetFramePanelsVisible(false);
  plat::Surface surf;
  StillPicture(surf, 1);
  DoEvents();
  WaitAnyKey();
  ReleaseSurf(surf);
  SetFramePanelsVisible(true);
}

void ResetCharacterForNextGame() {
  for (int i = 0; i <= kQuestFlags; ++i) {
    if (i != 20) G.Et[static_cast<std::size_t>(i)] = 0;
  }
  if (G.Et[20] == 0) G.Et[20] = 1;
  if (G.Et[20] == 1 && G.GAMELEVEL == 2) G.Et[20] = 2;

  G.MainMap = 1;
  G.SubMap = 1;
  G.GoMain = 1;
  G.GoSub = 1;
  G.GoX = 13;
  G.GoY = 13;
  G.Player.HP = G.Player.HpMax;
  G.Player.Mp = G.Player.MpMax;
  G.Player.MapS = 0;
}

void GameEnding() {
  SetFramePanelsVisible(false);
  ResetCharacterForNextGame();
  SaveGame();
  if (ui::Form1.Pspt != nullptr) ui::Form1.Pspt->Visible = false;
  DoEvents();

  plat::Surface surf;
  StillPicture(surf, 2);
  DoEvents();
  WaitAnyKey();
  plat::SleepMs(200);

  StillPicture(surf, 3);
  DoEvents();
  WaitAnyKey();
  plat::SleepMs(200);

  StillPicture(surf, 4);
  DoEvents();
  WaitAnyKey();

  ReleaseSurf(surf);
  EndGame();
}
