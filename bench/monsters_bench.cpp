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

void BM_MonsterFrame(benchmark::State& state) {
  Folders folders;
  if (!StartCrowd()) {
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
  if (!StartCrowd()) {
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
