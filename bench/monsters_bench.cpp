// The monsters at full strength: the fields outside the town (map 1, part 2) emptied of
// their own monsters and filled again to the part's 300 with "#mob", about 100 of them
// spread over the cells the monster update looks at (offsets -3..17 from the view
// origin) and the rest elsewhere on the part. Those near the player start chasing at
// once, so the frames are full of steps, swings and strikes on the player, whose HP is
// held full by the cheat lock.
//
// BM_MonsterFrame: one whole frame of the game loop (companion, monsters, player,
// message lifetimes, scene on the headless device).
// BM_UpdateMonsters: the monster update alone on the same scene, with the number of heap
// allocations it makes per frame and the hit points the player loses per frame.
//
// Each reports the time of one frame and its share of the game's 31 ms frame.
#include <benchmark/benchmark.h>

#include "bench_world.h"

#include <algorithm>
#include <atomic>
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
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "script/script.h"
#include "ui/game_start.h"
#include "window/form1.h"
#include "world/game_loop.h"
#include "world/monsters.h"
#include "world/player.h"
#include "world/spirit.h"

// Heap allocations of the whole process, counted by the allocation functions of the
// scene benchmark.
extern std::atomic<long> gAllocations;

namespace {

namespace fs = std::filesystem;

using namespace benchworld;

constexpr int kNearMonsters = 100;

// A level 20 warrior on the fields outside the town, with 300 monsters about.
bool StartScene() {
  if (!StartGame("#move 0102 20 20")) return false;
  G.Player.Df = 1;
  G.Player.DfMax = 3;
  // The part's own monsters go; 300 of ours come.
  ScriptKillMonAll();
  G.MonsterCount = 0;
  const std::int32_t px = PlayerCellX(), py = PlayerCellY();
  const std::int32_t w = G.PartWidths[static_cast<std::size_t>(G.SubMap)];
  const std::int32_t h = G.PartHeights[static_cast<std::size_t>(G.SubMap)];
  struct Spot {
    std::int32_t x, y;
  };
  std::vector<Spot> near, far;
  for (std::int32_t x = 1; x <= w; ++x) {
    for (std::int32_t y = 1; y <= h; ++y) {
      if ((x == px && y == py) || GridCode(x, y) != kGridFree) continue;
      const std::string& kind = CellField(G.SubMap, x, y, 3);
      if (!kind.empty() && kind[0] == 'N') continue;
      const std::int32_t i = x - G.ViewX, j = y - G.ViewY;
      (i >= -3 && i <= 17 && j >= -3 && j <= 17 ? near : far).push_back({x, y});
    }
  }
  const char* kinds[] = {"鸡", "羊", "鹿"};
  std::size_t k = 0;
  auto mob = [&](const Spot& s) {
    ScriptMob(std::string("#mob ") + kinds[k++ % 3] + " " + std::to_string(s.x) + " " + std::to_string(s.y));
  };
  // Every few free cells of the scan square, so that they have room to move.
  const std::size_t stride = std::max<std::size_t>(1, near.size() / kNearMonsters);
  for (std::size_t n = 0; n < near.size() && G.MonsterCount < kNearMonsters; n += stride) mob(near[n]);
  for (std::size_t n = 0; n < far.size() && G.MonsterCount < kMaxMonsters; ++n) mob(far[n]);
  if (G.MonsterCount < kMaxMonsters) return false;

  // Those near the player are after them already.
  const std::int64_t now = plat::Tick();
  for (std::int32_t j = -3; j <= 17; ++j) {
    for (std::int32_t i = -3; i <= 17; ++i) {
      const std::int32_t n = GridMonster(G.ViewX + i, G.ViewY + j);
      if (n == 0) continue;
      G.Monsters[static_cast<std::size_t>(n)].State = ActionState::Chase;
      G.Monsters[static_cast<std::size_t>(n)].LastTick = now;
    }
  }
  return true;
}

void BM_MonsterFrame(benchmark::State& state) {
  Folders folders;
  if (!StartScene()) {
    state.SkipWithError("the scene cannot be set up");
    return;
  }
  for (int i = 0; i < 10; ++i) Frame();  // every picture in view loaded before the timing
  std::int64_t frames = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    Frame();
    ++frames;
  }
  ReportFrames(state, start, frames);
}
BENCHMARK(BM_MonsterFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_UpdateMonsters(benchmark::State& state) {
  Folders folders;
  if (!StartScene()) {
    state.SkipWithError("the scene cannot be set up");
    return;
  }
  for (int i = 0; i < 10; ++i) Frame();
  std::int64_t frames = 0;
  long allocations = 0;
  std::int64_t hpLost = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const long before = gAllocations.load(std::memory_order_relaxed);
    UpdateMonsters();
    allocations += gAllocations.load(std::memory_order_relaxed) - before;
    ++frames;
    hpLost += G.Player.HpMax - G.Player.HP;
    G.Player.HP = G.Player.HpMax;  // what the cheat lock does in the player's frame
  }
  ReportFrames(state, start, frames);
  state.counters["allocs/frame"] =
      static_cast<double>(allocations) / static_cast<double>(std::max<std::int64_t>(frames, 1));
  // The strikes that reach the player, in hit points a frame.
  state.counters["hp_lost/frame"] =
      static_cast<double>(hpLost) / static_cast<double>(std::max<std::int64_t>(frames, 1));
}
BENCHMARK(BM_UpdateMonsters)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace
