#include "ui/system_menu.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/sound.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "window/form1.h"
#include "world/options.h"
#include "world/save_game.h"

namespace ui {

namespace {

constexpr std::string_view kClickSound = "Sound\\按键1.wav";
constexpr std::string_view kHelpPage = "\\Help\\help.htm";

// The minimap panel in view and parked (twips); parked, only its toggle corner shows.
constexpr int kMiniMapLeft = 9210, kMiniMapTop = 120;
constexpr int kMiniMapParkedLeft = 10485, kMiniMapParkedTop = -1155;

void ClickIfSoundOn() {
  if (G.SoundOn == 1) PlayWav(kClickSound);
}

void CloseMenu() {
  if (Form1.Psys1 != nullptr) Form1.Psys1->Visible = false;
}

std::int32_t Ticked(const plat::Control* box) { return box != nullptr && box->Value() == 1 ? 1 : 0; }

void PlaceMiniMap(bool inView) {
  plat::Control* map = Form1.Pminimap;
  if (map == nullptr) return;
  if (inView) {
    map->Move(kMiniMapLeft, kMiniMapTop);
  } else {
    map->Move(kMiniMapParkedLeft, kMiniMapParkedTop);
  }
}

// The end of every option click: the sound comes after the flag, so ticking the sound
// box clicks and unticking it is silent. A file that cannot be written keeps the option
// for this run.
void OptionChanged() {
  ClickIfSoundOn();
  SaveConfig();
}

void SetFlag(std::int32_t& flag, const plat::Control* box) {
  flag = Ticked(box);
  OptionChanged();
}

}  // namespace

void Label2_Click() {
  ClickIfSoundOn();
  CloseMenu();
  G.GamePaused = 0;
}

void Label4_Click() {
  ClickIfSoundOn();
  CloseMenu();
  SaveGame();
  G.GamePaused = 0;
}

void Label3_Click() {
  ClickIfSoundOn();
  // Where no desktop handler exists, or it fails, the player learns where the page is.
  // The menu keeps the game paused, and a paused game draws no system messages: a box
  // tells it at once.
  const std::string page = plat::ResolvePath(kHelpPage).string();
  if (!plat::OpenWithDesktop(page)) plat::MsgBox("无法打开帮助页面，请用浏览器打开文件：" + page);
}

void Label1_Click() {
  ClickIfSoundOn();
  EndGame();
}

void LGameMusic_Click() { SetFlag(G.SoundOn, Form1.LGameMusic); }
void LActNumber_Click() { SetFlag(G.ShowDamage, Form1.LActNumber); }
void LFullHP_Click() { SetFlag(G.ShowAllMonHp, Form1.LFullHP); }
void LFullItem_Click() { SetFlag(G.ShowAllItemNames, Form1.LFullItem); }
void LAutoItem_Click() { SetFlag(G.AutoPickUp, Form1.LAutoItem); }
void LshowID_Click() { SetFlag(G.ShowPlayerId, Form1.LshowID); }

void LMgcLock_Click() {
  G.MagicLock = Ticked(Form1.LMgcLock);
  if (G.MagicLock == 0) G.LockedMon = 0;
  OptionChanged();
}

void LlistMinMap_Click() {
  PlaceMiniMap(Ticked(Form1.LlistMinMap) == 1);
  OptionChanged();
}

void Image1_Click() {
  const plat::Control* map = Form1.Pminimap;
  if (map == nullptr) return;
  PlaceMiniMap(map->Left != kMiniMapLeft);
}

void AttachSystemMenuHandlers() {
  MainWindow& w = Form1;
  const struct {
    plat::Control* control;
    void (*handler)();
  } handlers[] = {
      {w.Label2, Label2_Click},         {w.Label4, Label4_Click},       {w.Label3, Label3_Click},
      {w.Label1, [] { Label1_Click(); }}, {w.LGameMusic, LGameMusic_Click}, {w.LMgcLock, LMgcLock_Click},
      {w.LlistMinMap, LlistMinMap_Click}, {w.LActNumber, LActNumber_Click}, {w.LFullHP, LFullHP_Click},
      {w.LFullItem, LFullItem_Click},   {w.LAutoItem, LAutoItem_Click}, {w.LshowID, LshowID_Click},
      {w.Image1, Image1_Click},
  };
  for (const auto& h : handlers) {
    if (h.control != nullptr) h.control->OnClick = h.handler;
  }
}

}  // namespace ui
