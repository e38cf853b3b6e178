// One frame of the game screen on the headless device with the sample game folder: a
// part of 200 x 200 cells with mixed floors and scenery, a few NPCs, ground items and
// 300 monsters, 120 of them inside the view with their health bars shown, the player
// with weapon, head and aura, floating numbers and system messages. The pictures are
// loaded before the timing starts. Reports the time of one DrawScene and the heap
// allocations one frame makes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "common/game_state.h"
#include "graphics/aura.h"
#include "graphics/device.h"
#include "graphics/look.h"
#include "graphics/resources.h"
#include "graphics/scene.h"
#include "graphics/startup_assets.h"
#include "platform/paths.h"

// Heap allocations of the whole benchmark process (the monster benchmark reads it too).
std::atomic<long> gAllocations{0};

namespace {

// Counting needs the global allocation functions; they hand memory out and back
// through malloc and free.
[[gnu::noinline]] void* Take(std::size_t n) { return std::malloc(n == 0 ? 1 : n); }
[[gnu::noinline]] void Give(void* p) { std::free(p); }

}  // namespace

void* operator new(std::size_t n) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = Take(n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { Give(p); }
void operator delete(void* p, std::size_t) noexcept { Give(p); }

namespace {

constexpr int kSize = 200;
// Monster pictures of the sample game.
constexpr int kMonsterPictures[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};

void BuildScene() {
  G = GameState{};
  ResetGraphics();
  const std::filesystem::path game(ORVANTH_GAME_DIR);
  plat::SetProgramFolder(game);
  std::filesystem::current_path(game);
  InitD3D();
  LoadGraphics();

  G.SubMap = 1;
  SetPartSize(1, kSize, kSize);
  G.PartNames[1] = "比奇城外";
  for (int x = 1; x <= kSize; ++x) {
    for (int y = 1; y <= kSize; ++y) {
      const unsigned h = static_cast<unsigned>(x * 7919 + y * 104729);
      SetCellField(1, x, y, 1, std::to_string(1 + h % 20));
      if (h % 11 == 0) {
        SetCellField(1, x, y, 2, "1000" + std::to_string(1 + h % 9));
        SetCellField(1, x, y, 3, h % 3 == 0 ? "2" : (h % 3 == 1 ? "0" : "1"));
      }
    }
  }
  CopyPartGridToGrid(1);
  G.ViewX = 90;
  G.ViewY = 90;
  G.DrawColFirst = -1;
  G.DrawColLast = 14;
  G.DrawRowFirst = -1;
  G.DrawRowLast = 13;
  for (int i = 0; i < 4; ++i) {
    SetCellField(1, G.ViewX + 3 + 3 * i, G.ViewY + 3, 3, "N村民" + std::to_string(1 + i % 3) + "00" + std::to_string(1 + i));
  }

  // Monster kinds, one per picture.
  int kinds = 0;
  for (int pic : kMonsterPictures) {
    MonsterKind k;
    k.Pic = pic;
    k.MonName = "怪物" + std::to_string(pic);
    k.Hp = 100;
    k.Type = 1 + pic % 3;
    k.R = k.G = k.B = k.A = 255;
    G.MonsterKinds.push_back(k);
    ++kinds;
  }
  G.MonsterKindCount = kinds;
  // 120 in and around the view on every other cell, the rest far away.
  int m = 0;
  for (int r = -2; r <= 15 && m < 120; ++r) {
    for (int c = -2 + (r & 1); c <= 16 && m < 120; c += 2) {
      if (c == 7 && r == 7) continue;
      ++m;
      MonsterInstance& mon = G.Monsters[static_cast<std::size_t>(m)];
      mon.Kind = 1 + m % kinds;
      mon.X = ViewToMapX(c);
      mon.Y = ViewToMapY(r);
      mon.HP = 30 + m % 70;
      mon.Frame = 1 + m % 128;
      mon.R = mon.G = mon.B = mon.A = 255;
      SetGridMonster(mon.X, mon.Y, m);
    }
  }
  while (m < kMaxMonsters) {
    ++m;
    MonsterInstance& mon = G.Monsters[static_cast<std::size_t>(m)];
    mon.Kind = 1 + m % kinds;
    mon.X = 10 + m % 60;
    mon.Y = 10 + m / 60;
    mon.HP = 50;
    mon.Frame = 1;
    SetGridMonster(mon.X, mon.Y, m);
  }
  G.MonsterCount = kMaxMonsters;
  G.ShowAllMonHp = 1;

  // Ground items with their names shown, floating numbers, messages.
  for (int i = 1; i <= 10; ++i) {
    ItemRecord& it = G.GroundItems[static_cast<std::size_t>(i)];
    it.Name = "金币" + std::to_string(i * 10);
    it.Pic1 = 1 + i;
    SetItemGridAt(G.ViewX + 1 + i, G.ViewY + 12, i);
  }
  G.GroundItemCount = 10;
  G.ShowAllItemNames = 1;
  G.ShowDamage = 1;
  for (int i = 1; i <= 5; ++i) {
    G.SysMessages[static_cast<std::size_t>(i)] = SysMessage{255, 255, 0, "系统消息" + std::to_string(i), 100};
  }

  // The player: armour, weapon, head, a complete set.
  PlayerRecord& p = G.Player;
  p.HP = 80;
  p.HpMax = 100;
  p.Mp = 40;
  p.MpMax = 60;
  p.Level = 5;
  p.Ex = 100;
  p.McMax = 3;
  p.Direction = 4;
  p.FrameNo = 17;
  p.Items[1].Pic2 = 1;
  p.Items[5].Pic2 = 1;
  LoadLookFrames();
  for (int s : {2, 4, 6, 8}) p.Items[static_cast<std::size_t>(s)].Name = "皇族饰品";
  CheckEquipSet();
  G.Fps = 32;
}

void RefreshFloatingTexts() {
  for (int i = 1; i <= 10; ++i) {
    FloatingText& t = G.FloatingTexts[static_cast<std::size_t>(i)];
    if (t.Age == 0) t = FloatingText{G.ViewX + i, G.ViewY + 5, 255, 50, 50, std::to_string(100 + i), 1};
  }
}

void BM_DrawScene(benchmark::State& state) {
  const std::filesystem::path cwd = std::filesystem::current_path();
  const std::filesystem::path folder = plat::ProgramFolder();
  BuildScene();
  for (int i = 0; i < 5; ++i) {
    RefreshFloatingTexts();
    DrawScene();
  }
  long allocations = 0;
  long frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    RefreshFloatingTexts();
    G.TargetTimer = 100;
    G.TargetMon = 5;
    G.ShowAllMonHp = 0;  // the target bar and the monsters' bars take turns
    if (frames % 2 == 0) G.ShowAllMonHp = 1;
    const long before = gAllocations.load();
    state.ResumeTiming();
    DrawScene();
    allocations += gAllocations.load() - before;
    ++frames;
  }
  state.counters["allocs/frame"] = frames > 0 ? static_cast<double>(allocations) / static_cast<double>(frames) : 0.0;
  ResetGraphics();
  G = GameState{};
  plat::SetProgramFolder(folder);
  std::filesystem::current_path(cwd);
}
BENCHMARK(BM_DrawScene)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
