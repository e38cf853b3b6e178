// Running a long NPC script: 999 kept lines of dialogue, conditions, value changes,
// shop rows, choices and a chain of label jumps, as one dialogue run from the first line;
// one line that gives a thousand items; and a script whose jumps multiply.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/game_state.h"
#include "platform/paths.h"
#include "platform/sound.h"
#include "platform/text.h"
#include "script/script.h"
#include "window/form1.h"
#include "world/items.h"

namespace {

std::string LongScript() {
  std::string s;
  int lines = 0;
  auto add = [&](const std::string& line) {
    s += line;
    s += "\r\n";
    ++lines;
  };
  int block = 0;
  while (lines < 990) {
    const std::string b = std::to_string(block);
    add("这是第" + b + "段对话，旅人，请听我说。");
    add("#IF LEVEL > " + std::to_string(block % 7));
    add("你的等级已经足够了。");
    add("#CHANGE EX + 1");
    add("#ELSE");
    add("你还需要历练。");
    add("#ENDIF");
    add("#IF ET" + std::to_string(1 + block % 40) + " = 0");
    add("#CHANGE MONEY + 2");
    add("#ENDIF");
    add("#BUY");
    add("小红药");
    add("小蓝药");
    add("#ENDBUY");
    // A jump is a nested run; the "#END" after it ends this run when the jump returns,
    // so the chain of blocks runs once, each block one level deeper.
    add("#GOTO NEXT" + b);
    add("#END");
    add("这一行被跳过。");
    add("#LABEL NEXT" + b);
    ++block;
  }
  add("#B1 继续 NEXT0");
  add("#B2 离开 OVER");
  return s;
}

void BM_LongNpcScript(benchmark::State& state) {
  ui::BuildMainWindow();
  G = GameState{};
  G.Player.Level = 5;
  // As a talk to an NPC keeps it: upper-cased in the script text, then run from line 1.
  G.ScriptText = plat::UCase(LongScript());
  for (auto _ : state) {
    G.Player.Ex = 0;
    G.Player.Money = 0;
    RunScript(G.ScriptText, 1);
    benchmark::DoNotOptimize(G.Player.Ex);
  }
  if (G.Player.Ex < 30) state.SkipWithError("the chain of jumps did not run through");
  state.counters["lines"] = 999;
}
BENCHMARK(BM_LongNpcScript)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------
// "#GIVE 回城卷 1000" on the sample game folder's item table: 36 scrolls into the bag, the
// rest built again and laid on the ground around the player (the oldest making room).

class SilentSound : public plat::SoundDevice {
 public:
  void PlayWave(const plat::fs::path&) override {}
  void Close(int) override {}
  bool Open(int, const plat::fs::path&) override { return false; }
  void Play(int) override {}
  std::int64_t LengthMs(int) override { return 0; }
};

void EmptyBagAndGround() {
  for (int i = kBagFirst; i <= kBagLast; ++i) G.Player.Items[static_cast<std::size_t>(i)] = ItemRecord{};
  for (auto& item : G.GroundItems) item = ItemRecord{};
  G.GroundItemCount = 0;
  ClearItemGrid();
}

void BM_GiveThousandScrolls(benchmark::State& state) {
  SilentSound silent;
  plat::SetSoundDevice(&silent);
  // As the program runs: from its folder, which is also its working folder.
  plat::SetProgramFolder(ORVANTH_GAME_DIR);
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(ORVANTH_GAME_DIR);
  ui::BuildMainWindow();
  G = GameState{};
  G.ItemDbPath = plat::ResolvePath("\\Date\\Mon\\74.dat");
  G.GAMELEVEL = 1;
  SetPartSize(1, 40, 40);
  G.SubMap = 1;
  G.ViewX = G.ViewY = 12;
  G.ScriptText = "#GIVE 回城卷 1000\r\n";
  for (auto _ : state) {
    state.PauseTiming();
    EmptyBagAndGround();
    state.ResumeTiming();
    RunScript(G.ScriptText, 1);
  }
  if (G.Player.Items[kBagLast].Name != "回城卷" || G.GroundItemCount != kMaxGroundItems - 1) {
    state.SkipWithError("the scrolls were not given");
  }
  plat::SetSoundDevice(nullptr);
  std::filesystem::current_path(cwd);
  G = GameState{};
}
BENCHMARK(BM_GiveThousandScrolls)->Unit(benchmark::kMillisecond);

// A script whose labels each jump twice to the next, padded to 999 lines so that every
// jump starts on a long script: the chain multiplies until the line budget stops it.
void BM_RunawayJumps(benchmark::State& state) {
  ui::BuildMainWindow();
  G = GameState{};
  std::string s = "#GOTO L1\r\n#END\r\n";
  constexpr int kLabels = 30;
  for (int k = 1; k <= kLabels; ++k) {
    const std::string label = std::to_string(k);
    const std::string next = "#GOTO L" + std::to_string(k + 1) + "\r\n";
    s += "#LABEL L" + label + "\r\nLABEL " + label + "\r\n" + next + next + "#END\r\n";
  }
  while (s.size() < 999 * 14) s += "PADDING LINE\r\n";
  G.ScriptText = s;
  for (auto _ : state) {
    RunScript(G.ScriptText, 1);
    benchmark::DoNotOptimize(G.ScriptLinesRun);
  }
  if (G.ScriptLinesRun != kScriptLineBudget) state.SkipWithError("the budget did not stop the chain");
  state.counters["lines"] = G.ScriptLinesRun;
}
BENCHMARK(BM_RunawayJumps)->Unit(benchmark::kMillisecond);

}  // namespace
