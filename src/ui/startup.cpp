#include "ui/startup.h"

#include <filesystem>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/screens.h"
#include "graphics/startup_assets.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "ui/attributes.h"
#include "ui/cheat_panel.h"
#include "ui/death_panel.h"
#include "ui/forge.h"
#include "window/form1.h"
#include "ui/game_screen_input.h"
#include "ui/game_start.h"
#include "ui/inventory.h"
#include "ui/item_description.h"
#include "ui/keyboard.h"
#include "ui/shop.h"
#include "ui/skills_panel.h"
#include "ui/storage.h"
#include "ui/system_buttons.h"
#include "ui/system_menu.h"
#include "ui/title_screen.h"
#include "window/window_system.h"
#include "world/file_marker.h"
#include "world/save_list.h"

namespace ui {

void RemoveLeftoversOfEndedRuns() {
  for (const char* folder : {"\\", "\\Save", "\\Pic"}) RemoveWorkLeftovers(plat::ResolvePath(folder));
  const std::filesystem::path monsters =
      G.MonDbPath.empty() ? plat::ResolvePath("\\Date\\rpg\\21.dat") : G.MonDbPath;
  RemoveWorkLeftovers(monsters.parent_path());
}

void Form_Load() {
  if (Form1.Form != nullptr) Form1.Form->Visible = true;
  plat::Application::Get().DoEvents();
  InitD3D();
  ShowLogo();
  LoadGraphics();
  RemoveLeftoversOfEndedRuns();
  ListSaveGames();
  if (Form1.IdList != nullptr) Form1.IdList->Visible = true;
}

void Form_Unload(int& cancel) {
  if (plat::MsgBox("确实要退出游戏吗？", plat::kOkCancel) == plat::kOk) EndGame();
  cancel = 1;
}

void TimerFps_Timer() {
  G.Fps = G.FrameCount;
  G.FrameCount = 0;
  if (G.InvisLock == 1) G.Player.InvisTime = 9999;
}

void TimerNPC_Timer() {
  // The phase never leaves 0..3, whatever it was found at.
  G.NpcAnimFrame = (G.NpcAnimFrame >= 3 || G.NpcAnimFrame < 0) ? 0 : G.NpcAnimFrame + 1;
}

void BBTimer_Timer() {
  if (G.Spirit.Level > 0 && G.Player.Mp > 0) G.Player.Mp -= 1;
}

void AttachStartupHandlers() {
  if (Form1.Form != nullptr) Form1.Form->OnUnload = [](int& cancel) { Form_Unload(cancel); };
  if (Form1.TimerFps != nullptr) Form1.TimerFps->OnTimer = [] { TimerFps_Timer(); };
  if (Form1.TimerNPC != nullptr) Form1.TimerNPC->OnTimer = [] { TimerNPC_Timer(); };
  if (Form1.BBTimer != nullptr) Form1.BBTimer->OnTimer = [] { BBTimer_Timer(); };
  AttachTitleHandlers();
  AttachGameStartHandlers();
  AttachGameScreenHandlers();
  AttachDeathPanelHandlers();
  AttachKeyboardHandlers();
  AttachItemDescriptionHandlers();
  AttachInventoryHandlers();
  AttachSystemButtonHandlers();
  AttachForgeHandlers();
  AttachStorageHandlers();
  AttachShopHandlers();
  AttachCheatPanelHandlers();
  AttachSystemMenuHandlers();
  AttachAttributeHandlers();
  AttachSkillsPanelHandlers();
}

}  // namespace ui
