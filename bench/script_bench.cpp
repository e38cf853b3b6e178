// Running a long NPC script: 999 kept lines of dialogue, conditions, value changes,
// shop rows, choices and a chain of label jumps, as one dialogue run from the first line.
#include <benchmark/benchmark.h>

#include <string>

#include "common/game_state.h"
#include "platform/text.h"
#include "script/script.h"
#include "window/form1.h"

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

}  // namespace
