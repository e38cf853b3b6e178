// What the frame benchmarks share: a warrior entering the sample world on the headless
// device, one frame of the game loop, and the per-frame report.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/sdl_host.h"

namespace benchworld {

constexpr double kFrameMs = 31.0;

// The program folder and working folder of the benchmark process, put back at the end.
struct Folders {
  Folders();
  ~Folders();
  std::filesystem::path program, cwd;
};

// A level 20 warrior with a weapon and armour, placed by "#move" on the map. With a
// host, the game draws on the host's device and its presents show the window.
bool StartGame(const std::string& moveLine, std::unique_ptr<plat::SdlHost>* host = nullptr);

// The fields outside the town (map 1, part 2) emptied of their own monsters and filled
// again to 300 with "#mob", about 100 near the player and chasing; the player's defence
// kept low. False when the part cannot hold them.
bool StartCrowd();

// One frame of the game loop without its wait and the window's events.
void Frame();

// Time per frame, its share of the game's frame, and the monsters in the part.
void ReportFrames(benchmark::State& state, std::chrono::steady_clock::time_point start, std::int64_t frames);

}  // namespace benchworld
