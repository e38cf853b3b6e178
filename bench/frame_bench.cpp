// One whole frame of the game loop, without its wait and without the window's events:
// the companion, the monsters, the player, the message lifetimes and the scene, on the
// headless device with the sample game folder.
//
// BM_FrameTown: a warrior standing in the town (map 1, part 1) among its NPCs, with a
// few system messages up.
// BM_FrameMonsterGround: the same warrior on the fields outside the town (map 1, part
// 2), whose monsters are topped up to the part's 300 with the script command "#mob" on
// the free cells nearest the player, so that the view is full of them. The player's HP
// is held full (the cheat lock), so the frames stay alike however the monsters act.
//
// BM_WindowFrameTown: the town frame as the window shows it: the frame above, then the
// window's controls composed with the game screen and presented, on the host's headless
// renderer (the scene's present shows the window, which changed with the new frame).
//
// Each reports the time of one frame and its share of the game's 31 ms frame.
#include <benchmark/benchmark.h>

#include "bench_world.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/aura.h"
#include "graphics/device.h"
#include "graphics/look.h"
#include "graphics/map_loader.h"
#include "graphics/resources.h"
#include "graphics/scene.h"
#include "graphics/startup_assets.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/sdl_host.h"
#include "script/script.h"
#include "window/form1.h"
#include "ui/game_start.h"
#include "world/game_loop.h"
#include "world/monsters.h"
#include "world/player.h"
#include "world/spirit.h"

namespace {

namespace fs = std::filesystem;

using namespace benchworld;

// Monsters of the part's first kinds on the free cells nearest the player until the
// part holds 300.
void FillWithMonsters() {
  const std::int32_t px = PlayerCellX(), py = PlayerCellY();
  const std::int32_t w = G.PartWidths[static_cast<std::size_t>(G.SubMap)];
  const std::int32_t h = G.PartHeights[static_cast<std::size_t>(G.SubMap)];
  struct Spot {
    std::int32_t x, y, d;
  };
  std::vector<Spot> spots;
  for (std::int32_t x = 1; x <= w; ++x) {
    for (std::int32_t y = 1; y <= h; ++y) {
      if ((x == px && y == py) || GridCode(x, y) != kGridFree) continue;
      const std::string& kind = CellField(G.SubMap, x, y, 3);
      if (!kind.empty() && kind[0] == 'N') continue;
      spots.push_back({x, y, std::max(std::abs(x - px), std::abs(y - py))});
    }
  }
  std::stable_sort(spots.begin(), spots.end(), [](const Spot& a, const Spot& b) { return a.d < b.d; });
  const char* kinds[] = {"鸡", "羊", "鹿"};
  std::size_t k = 0;
  for (const Spot& s : spots) {
    if (G.MonsterCount >= kMaxMonsters) break;
    ScriptMob(std::string("#mob ") + kinds[k++ % 3] + " " + std::to_string(s.x) + " " + std::to_string(s.y));
  }
}

void RunFrames(benchmark::State& state) {
  // A few frames first: every picture in view is loaded before the timing starts.
  for (int i = 0; i < 10; ++i) Frame();
  std::int64_t frames = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    Frame();
    ++frames;
    // Messages come and go as in play.
    if (frames % 100 == 0) AddSysMessage("系统消息", 0, 255, 0);
  }
  ReportFrames(state, start, frames);
}

void BM_FrameTown(benchmark::State& state) {
  Folders folders;
  if (!StartGame("#move 0101 13 13")) {
    state.SkipWithError("the monster database cannot be read");
    return;
  }
  RunFrames(state);
}
BENCHMARK(BM_FrameTown)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_WindowFrameTown(benchmark::State& state) {
  Folders folders;
  std::unique_ptr<plat::SdlHost> host;
  if (!StartGame("#move 0101 13 13", &host)) {
    state.SkipWithError("the monster database cannot be read");
    return;
  }
  const auto before = host->PresentCount();
  RunFrames(state);
  state.counters["presents/frame"] =
      static_cast<double>(host->PresentCount() - before) / static_cast<double>(std::max<std::int64_t>(state.iterations(), 1));
  ResetGraphics();
  host.reset();
}
BENCHMARK(BM_WindowFrameTown)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_FrameMonsterGround(benchmark::State& state) {
  Folders folders;
  if (!StartGame("#move 0102 20 20")) {
    state.SkipWithError("the monster database cannot be read");
    return;
  }
  FillWithMonsters();
  if (G.MonsterCount < kMaxMonsters) {
    state.SkipWithError("the part has no room for 300 monsters");
    return;
  }
  G.Spirit.Level = 3;  // a companion poisoning and striking the crowd
  RunFrames(state);
}
BENCHMARK(BM_FrameMonsterGround)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
