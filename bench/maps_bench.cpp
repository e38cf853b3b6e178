// Loading the largest map the game can hold: 30 parts of 200 x 200 cells, each part
// extracted from the archive and read into the map state, with 300 spawns a part.
// Reports the time of one load, the memory the map state holds for its cells and
// templates, and the peak resident size of the process.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/map_loader.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMap = 9;
constexpr int kParts = 30;
constexpr int kSize = 200;

const char* const kKinds[] = {"鸡", "羊", "鹿", "狼", "野猪", "骷髅", "僵尸", "蜘蛛", "半兽人", "恶魔"};

// One part: mixed floors, scenery, walls, NPCs, 300 spawns, portals and a script.
std::string PartText(int part) {
  std::string out;
  out.reserve(static_cast<std::size_t>(kSize) * kSize * 20);
  out += "\"第" + std::to_string(part) + "区\"," + std::to_string(kSize) + "," + std::to_string(kSize) + "\r\n";
  int spawns = 0;
  for (int x = 1; x <= kSize; ++x) {
    for (int y = 1; y <= kSize; ++y) {
      const unsigned h = static_cast<unsigned>(x * 7919 + y * 104729 + part * 31);
      std::string floor = std::to_string(1 + h % 20);
      std::string object, kind, portal;
      if (h % 13 == 0) object = "1000" + std::to_string(1 + h % 9);
      if (x == 1 || y == 1 || x == kSize || y == kSize || h % 17 == 0) kind = "0";
      else if (h % 29 == 0) kind = "1";
      else if (h % 31 == 0) kind = "2";
      else if (h % 997 == 0) kind = "N村民" + std::to_string(part) + "1" + std::to_string(100 + h % 53).substr(0, 3);
      else if (x % 11 == 5 && y % 11 == 5 && spawns < 300) {
        kind = std::string("M") + kKinds[(x + y) % 10];
        ++spawns;
      }
      if (x == 2 && y % 50 == 0) portal = "09" + std::string(part < 10 ? "0" : "") + std::to_string(part) + "01000100";
      out += "\"" + floor + "\",\"" + object + "\",\"" + kind + "\",\"" + portal + "\"\r\n";
    }
  }
  for (int i = 0; i < 40; ++i) out += "\"#IF ET" + std::to_string(1 + i % 40) + " = 1\"\r\n\"#MOB 鸡 5 5\"\r\n\"#ENDIF\"\r\n";
  return out;
}

struct GeneratedMap {
  fs::path dir;
  GeneratedMap() {
    dir = fs::temp_directory_path() / ("orvanth-maps-bench-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "map");
    std::vector<std::string> texts;
    for (int p = 1; p <= kParts; ++p) texts.push_back(PartText(p));
    int err = 0;
    zip_t* z = zip_open((dir / "Ham.dll").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (z == nullptr) throw std::runtime_error("cannot make the archive");
    for (int p = 1; p <= kParts; ++p) {
      const std::string& t = texts[static_cast<std::size_t>(p - 1)];
      zip_source_t* src = zip_source_buffer(z, t.data(), t.size(), 0);
      zip_file_add(z, MapPartFileName(kMap, p).c_str(), src, ZIP_FL_OVERWRITE);
    }
    if (zip_close(z) != 0) throw std::runtime_error("cannot write the archive");
    const std::string count = std::to_string(kParts) + "\r\n";
    plat::WriteAllBytes(dir / "map" / MapIndexFileName(kMap), std::vector<std::uint8_t>(count.begin(), count.end()));
  }
  ~GeneratedMap() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

double PeakRssMb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// Bytes the map state holds for cells, templates and the interned texts.
double MapStateMb() {
  std::size_t bytes = 0;
  for (const auto& p : G.MapCells) bytes += p.Cells.capacity() * sizeof(MapCell);
  for (const auto& p : G.PartGrids) bytes += p.Codes.capacity() * sizeof(std::int32_t);
  bytes += G.Grid.capacity() * sizeof(std::int32_t);
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void BM_LoadFullMap(benchmark::State& state) {
  static GeneratedMap map;
  plat::SetProgramFolder(map.dir);
  G = GameState{};
  for (const char* k : kKinds) {
    MonsterKind kind;
    kind.MonName = k;
    kind.Hp = 100;
    G.MonsterKinds.push_back(kind);
  }
  G.MonsterKindCount = static_cast<std::int32_t>(G.MonsterKinds.size()) - 1;
  for (auto _ : state) {
    LoadMap(kMap);
    benchmark::DoNotOptimize(G.PartScripts[kParts]);
  }
  state.counters["parts"] = kParts;
  state.counters["spawns_last_part"] = G.MonsterCount;
  state.counters["interned_texts"] = static_cast<double>(G.Texts.Count());
  state.counters["map_state_MB"] = MapStateMb();
  state.counters["peak_rss_MB"] = PeakRssMb();
}
BENCHMARK(BM_LoadFullMap)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

