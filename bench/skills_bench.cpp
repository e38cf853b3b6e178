// The skills at full load: one whole frame of the game loop with 300 monsters in the
// part while a hell fire, a cold wind, a whirlwind array and a gale rush run. Each is
// started again as soon as it ends, the player's MP held full.
#include <benchmark/benchmark.h>

#include "bench_world.h"

#include <chrono>
#include <cstdint>

#include "common/game_state.h"
#include "graphics/effects.h"

namespace {

using namespace benchworld;

bool Running(std::int32_t kind) {
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxSkillEffects); ++i)
    if (G.SkillEffects[i].Kind == kind) return true;
  return false;
}

// Starts each of the four again when it is no longer listed.
void KeepCasting() {
  G.Player.Mp = G.Player.MpMax = 10000;
  const std::int32_t px = PlayerCellX(), py = PlayerCellY();
  if (!Running(15)) AddSkillEffect(15, 0, 0, 0, 20);
  if (!Running(10)) AddSkillEffect(10, 0, 0, 0, 0);
  if (!Running(13)) AddSkillEffect(13, px + 2, py, 0, 0);
  if (!Running(14)) AddSkillEffect(14, px, py, 2, 5);
}

void BM_SkillsFrame(benchmark::State& state) {
  Folders folders;
  if (!StartCrowd()) {
    state.SkipWithError("the scene cannot be set up");
    return;
  }
  for (std::int32_t k : {10, 13, 14, 15}) G.Player.M[static_cast<std::size_t>(k)] = "s3";
  for (int i = 0; i < 10; ++i) {
    KeepCasting();
    Frame();  // every picture in view loaded before the timing
  }
  std::int64_t frames = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    KeepCasting();
    G.Player.HP = G.Player.HpMax;
    for (std::size_t n = 1; n <= static_cast<std::size_t>(kMaxMonsters); ++n)
      if (G.Monsters[n].HP > 0) G.Monsters[n].HP = 1'000'000;  // the crowd stays whole
    Frame();
    ++frames;
  }
  ReportFrames(state, start, frames);
}
BENCHMARK(BM_SkillsFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
