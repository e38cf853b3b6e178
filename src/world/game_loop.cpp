#include "world/game_loop.h"

#include <array>
#include <cstdint>
#include <iterator>
#include <utility>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/scene.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "window/form1.h"
#include "window/window_system.h"
#include "world/monsters.h"
#include "world/player.h"
#include "world/spirit.h"

namespace {

constexpr std::int64_t kFrameMs = 31;

bool KeyHeld(int vk) { return plat::GetKeyState(vk) < 0; }

// The four keys and buttons that end a key wait.
constexpr int kWaitKeys[] = {plat::vk::Return, plat::vk::Space, plat::vk::LButton, plat::vk::RButton};
// The pause between two looks at the window's events while a key wait finds nothing.
constexpr std::int64_t kKeyWaitPauseMs = 5;

using WaitKeyPresses = std::array<std::uint32_t, std::size(kWaitKeys)>;

WaitKeyPresses WaitKeyPressCounts() {
  WaitKeyPresses counts{};
  for (std::size_t i = 0; i < std::size(kWaitKeys); ++i) counts[i] = plat::KeyPressCount(kWaitKeys[i]);
  return counts;
}

// One of the four is held now, or was pressed since `before` was counted (a press and
// its release that came in one pump leave nothing held for a later look).
bool AnyWaitKeyDown(const WaitKeyPresses& before) {
  bool down = false;
  // All four are read each time, as the wait reads them together.
  for (int key : kWaitKeys) down = KeyHeld(key) || down;
  return down || WaitKeyPressCounts() != before;
}

}  // namespace

void GameLoop() {
  while (G.GameRunning != 0) {
    const bool drawsScene = G.GamePaused == 0;
    // A paused pass waits out its frame as a drawn one does: nothing on the screen moves
    // faster for looking at the events more often.
    std::int64_t passStart = 0;
    if (drawsScene) {
      G.LoopStartTick = plat::Tick();
      passStart = G.LoopStartTick;
      G.FrameCount += 1;
      UpdateSpirit();
      UpdateMonsters();
      UpdatePlayer();
      TickSysMessages();
      DrawScene();
    } else {
      passStart = plat::Tick();
    }

    plat::Application::Get().DoEvents();
    // A paused pass draws no scene; the window is still shown once, so what the events
    // changed (a dialogue, a panel) is seen and the window never goes stale.
    if (!drawsScene) PresentScene();

    std::int64_t wait = passStart + kFrameMs - plat::Tick();
    if (wait < 0) wait = 0;
    plat::SleepMs(wait);

    // The hide key brings a hidden game back once it is toggled on and released; a game
    // hidden by it also comes back when the player restores the window. Only a game the
    // hide key paused comes back this way: the system menu or a story text stays paused.
    const std::int16_t grave = plat::GetKeyState(plat::vk::Grave);
    // (WindowHidden: 1 = hidden, the window not yet seen minimised; 2 = seen minimised.)
    const bool minimized = ui::MainWindowMinimized();
    if (G.WindowHidden == 1 && minimized) G.WindowHidden = 2;
    const bool restored = G.WindowHidden == 2 && !minimized;
    if (G.WindowHidden != 0 && (grave > 0 || restored) && G.GamePaused == 1) {
      if (ui::Form1.Form != nullptr) ui::Form1.Form->Visible = true;
      G.GamePaused = 0;
      G.WindowHidden = 0;
    }
  }
  EndGame();
}

void HideGameWindow() {
  G.GamePaused = 1;
  G.WindowHidden = 1;
  plat::ClearKeyToggle(plat::vk::Grave);
  ui::MinimizeMainWindow();
}

void WaitAnyKey() {
  const WaitKeyPresses before = WaitKeyPressCounts();
  auto& app = plat::Application::Get();
  app.DoEvents();
  while (!AnyWaitKeyDown(before)) {
    // A short rest between looks keeps the wait from taking a whole processor.
    plat::SleepMs(kKeyWaitPauseMs);
    app.DoEvents();
  }
}

void AddSysMessage(std::string_view text, std::int32_t r, std::int32_t g, std::int32_t b) {
  for (int line = 1; line <= kSysMessageLines; ++line) {
    SysMessage& m = G.SysMessages[static_cast<std::size_t>(line)];
    if (m.Life == 0) {
      m.Life = kSysMessageLife;
      m.Text.assign(text);
      m.R = r;
      m.G = g;
      m.B = b;
      return;
    }
  }
}

void TickSysMessages() {
  auto& lines = G.SysMessages;
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kSysMessageLines); ++i) {
    if (lines[i].Life > 1) lines[i].Life -= 1;
    if (lines[i].Life == 1) {
      lines[i].Life = 0;
      // Every line below moves up one; the last takes the ever-empty line 21.
      for (std::size_t j = i; j < static_cast<std::size_t>(kSysMessageLines); ++j) lines[j] = std::move(lines[j + 1]);
      lines[kSysMessageLines] = lines[kSysMessageLines + 1];
    }
  }
}
