// The interpreter: splitting a script into lines, the command table, dialogue and shop
// lines, choices, labels and jumps, and the NPC lookup.
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/game_state.h"
#include "graphics/effects.h"
#include "graphics/screens.h"
#include "platform/db.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "script/script.h"
#include "script/script_words.h"
#include "window/form1.h"
#include "world/item_use.h"

namespace {

using script::StartsWith;
using script::Word;

// Nested label jumps allowed in one chain; a deeper jump ends the chain silently. This
// bounds the depth only: the lines run are bounded by kScriptLineBudget.
constexpr int kMaxJumpDepth = 64;
// Scripts running inside one another (jumps, and part scripts run by teleports inside a
// script). A map part whose script teleports into itself would otherwise recurse
// without end; past this depth a run does nothing.
constexpr int kMaxRunNesting = 256;

// Counts the runs on the call stack in the interpreter's state.
struct NestingGuard {
  NestingGuard() { ++G.ScriptNesting; }
  ~NestingGuard() { --G.ScriptNesting; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
};

// How a run ended: ran out of lines, ended by a command, or ended because a jump went
// past the depth limit (which ends every run of the chain).
enum class RunEnd { Finished, Ended, Aborted };

// The kept lines of one script text (element 0 unused), split once and shared by the
// runs that jump inside it.
using SplitScript = std::shared_ptr<const std::vector<std::string>>;

// One run in progress: it holds its own lines, so a nested run on another text never
// changes what this one reads.
struct Run {
  SplitScript lines;
  bool silent = false;
  int depth = 0;
};

// ---------------------------------------------------------------------------------
// Splitting

// The kept lines of a script (element 0 unused): upper-cased, split at every CR LF and
// every "@", empty lines and ";" comments dropped, at most 999.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines(1);
  const std::string upper = plat::UCase(text);
  std::size_t start = 0;
  while (start <= upper.size() && static_cast<int>(lines.size()) <= kScriptLineMax) {
    // A piece ends at "@" or at CR LF, whichever comes first; the text's end closes the last.
    std::size_t end = start;
    std::size_t next = upper.size() + 1;
    while (end < upper.size()) {
      if (upper[end] == '@') {
        next = end + 1;
        break;
      }
      if (upper[end] == '\r' && end + 1 < upper.size() && upper[end + 1] == '\n') {
        next = end + 2;
        break;
      }
      ++end;
    }
    const std::string_view piece = std::string_view(upper).substr(start, end - start);
    if (!piece.empty() && piece[0] != ';') lines.emplace_back(piece);
    start = next;
  }
  return lines;
}

// ---------------------------------------------------------------------------------
// The main window's panels

void Show(plat::Control* c, bool visible) {
  if (c != nullptr) c->Visible = visible;
}

void SetCaption(plat::Control* c, std::string text) {
  if (c != nullptr) c->Caption = std::move(text);
}

void ClearShopDescription() {
  auto& w = ui::Form1;
  if (w.Ibuy != nullptr) w.Ibuy->Picture.clear();
  SetCaption(w.Lbuy, "");
}

void OpenShop() {
  auto& w = ui::Form1;
  G.BuyMode = 1;
  if (w.BuyList != nullptr) w.BuyList->Clear();
  Show(w.Pbuy, true);
  Show(w.Psys2, true);
}

void OpenForge() {
  auto& w = ui::Form1;
  Show(w.Psys2, true);
  Show(w.PwUP, true);
  Show(w.Pbank, false);
  Show(w.Pbuy, false);
  ClearShopDescription();
}

void OpenSell() {
  auto& w = ui::Form1;
  Show(w.Psys2, true);
  Show(w.Psell, true);
  Show(w.Pbank, false);
  Show(w.Pbuy, false);
  ClearShopDescription();
}

void OpenBank() {
  auto& w = ui::Form1;
  Show(w.Pbank, true);
  Show(w.Psys2, true);
  SetCaption(w.Bmoney, std::to_string(G.Player.Bank));
  Show(w.Pbuy, false);
  Show(w.Psell, false);
  ClearShopDescription();
}

// "#MC5": the one way to learn skill 5.
void LearnSkill5() {
  std::string& m5 = G.Player.M[5];
  if (plat::Right(m5, 1) == "0") {
    m5 = "??1";
    if (plat::Control* icon = ui::Form1.McI(5)) icon->Picture = plat::ResolvePath("\\date\\mgc\\ico\\5.bmp").string();
  }
  AddScreenEffect(1, 0, 0, 0);
}

// ---------------------------------------------------------------------------------
// The command table

enum class Cmd {
  If, Choice, Buy, Mob, MonCk, UnNpc, ItemCk, Change, KillNpc, KillMonAll, WLevelUp, KillMon, Give, Take,
  Goto, Else, EndIf, EndBuy, Mc5, Wup, Sell, Bank, Move, Over, GameStop, GameStart, GameEnd, BackCity,
  GoMap, End,
};

struct Command {
  std::string_view prefix;
  Cmd cmd;
  bool guarded;  // runs only while IfState is 0
  int choice;    // 1..6 for "#B1".."#B6"
};

// In test order: the first keyword a line begins with decides.
constexpr std::array<Command, 35> kCommands{{
    {"#IF", Cmd::If, false, 0},
    {"#B1", Cmd::Choice, true, 1},
    {"#B2", Cmd::Choice, true, 2},
    {"#B3", Cmd::Choice, true, 3},
    {"#B4", Cmd::Choice, true, 4},
    {"#B5", Cmd::Choice, true, 5},
    {"#B6", Cmd::Choice, true, 6},
    {"#BUY", Cmd::Buy, true, 0},
    {"#MOB", Cmd::Mob, true, 0},
    {"#MONCK", Cmd::MonCk, true, 0},
    {"#UNNPC", Cmd::UnNpc, true, 0},
    {"#ITEMCK", Cmd::ItemCk, true, 0},
    {"#CHANGE", Cmd::Change, true, 0},
    {"#KILLNPC", Cmd::KillNpc, true, 0},
    {"#KILLMONALL", Cmd::KillMonAll, true, 0},
    {"#WLEVELUP", Cmd::WLevelUp, true, 0},
    {"#KILLMON", Cmd::KillMon, true, 0},
    {"#GIVE", Cmd::Give, true, 0},
    {"#TAKE", Cmd::Take, true, 0},
    {"#GOTO", Cmd::Goto, true, 0},
    {"#ELSE", Cmd::Else, false, 0},
    {"#ENDIF", Cmd::EndIf, false, 0},
    {"#ENDBUY", Cmd::EndBuy, false, 0},
    {"#MC5", Cmd::Mc5, true, 0},
    {"#WUP", Cmd::Wup, true, 0},
    {"#SELL", Cmd::Sell, true, 0},
    {"#BANK", Cmd::Bank, true, 0},
    {"#MOVE", Cmd::Move, true, 0},
    {"#OVER", Cmd::Over, true, 0},
    {"#GAMESTOP", Cmd::GameStop, true, 0},
    {"#GAMESTART", Cmd::GameStart, true, 0},
    {"#GAMEEND", Cmd::GameEnd, true, 0},
    {"#BACKCITY", Cmd::BackCity, true, 0},
    {"#GOMAP", Cmd::GoMap, true, 0},
    {"#END", Cmd::End, true, 0},
}};

const Command* FindCommand(std::string_view line) {
  for (const Command& c : kCommands) {
    if (c.guarded && G.IfState != 0) continue;
    if (StartsWith(line, c.prefix)) return &c;
  }
  return nullptr;
}

RunEnd RunFrom(SplitScript lines, std::int32_t startLine, bool silent, int depth);

// A label jump inside the running script; a jump past the depth limit ends the chain.
RunEnd JumpInRun(const Run& run, std::string_view label) {
  G.IfState = 0;
  if (plat::UCase(label) == "OVER") {
    ScriptCloseDialogue();
    return RunEnd::Finished;
  }
  const std::string target = "#LABEL " + std::string(label);
  const std::vector<std::string>& lines = *run.lines;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i] != target) continue;
    if (run.depth + 1 > kMaxJumpDepth) return RunEnd::Aborted;
    return RunFrom(run.lines, static_cast<std::int32_t>(i), run.silent, run.depth + 1);
  }
  return RunEnd::Finished;
}

// Runs one command line; Finished lets the run go on.
RunEnd RunCommand(const Run& run, const std::string& line) {
  const Command* c = FindCommand(line);
  if (c == nullptr) return RunEnd::Finished;  // a label line or an unknown word
  auto& w = ui::Form1;
  switch (c->cmd) {
    case Cmd::If:
      if (!ScriptIfValue(line)) G.IfState = 1;
      break;
    case Cmd::Choice: {
      SetCaption(w.Lb(c->choice), Word(line, 1));
      G.ChoiceLabel[static_cast<std::size_t>(c->choice)] = Word(line, 2);
      break;
    }
    case Cmd::Buy: OpenShop(); break;
    case Cmd::Mob: ScriptMob(line); break;
    case Cmd::MonCk:
      if (!ScriptIfMonCount(line)) G.IfState = 1;
      break;
    case Cmd::UnNpc: ScriptUnNpc(line); break;
    case Cmd::ItemCk:
      if (!ScriptIfItemCount(line)) G.IfState = 1;
      break;
    case Cmd::Change: ScriptChange(line); break;
    case Cmd::KillNpc: ScriptKillNpc(line); break;
    case Cmd::KillMonAll: ScriptKillMonAll(); break;
    case Cmd::WLevelUp: ScriptWLevelUp(); break;
    case Cmd::KillMon: ScriptKillMon(line); break;
    case Cmd::Give: ScriptGive(line); break;
    case Cmd::Take: ScriptTake(line); break;
    case Cmd::Goto:
      // The jump is a nested run; this one goes on after it.
      if (JumpInRun(run, Word(line, 1)) == RunEnd::Aborted) return RunEnd::Aborted;
      break;
    case Cmd::Else: G.IfState = static_cast<std::int16_t>(G.IfState - 1); break;
    case Cmd::EndIf: G.IfState = 0; break;
    case Cmd::EndBuy: G.BuyMode = 0; break;
    case Cmd::Mc5: LearnSkill5(); break;
    case Cmd::Wup: OpenForge(); break;
    case Cmd::Sell: OpenSell(); break;
    case Cmd::Bank: OpenBank(); break;
    case Cmd::Move:
      Show(w.Psell, false);
      Show(w.Pspt, false);
      Show(w.Pbuy, false);
      Show(w.Pbank, false);
      ClearShopDescription();
      ScriptMove(line);
      return RunEnd::Ended;
    case Cmd::Over: ScriptCloseDialogue(); return RunEnd::Ended;
    case Cmd::GameStop: G.GamePaused = 1; return RunEnd::Ended;
    case Cmd::GameStart: G.GamePaused = 0; return RunEnd::Ended;
    case Cmd::GameEnd: GameEnding();
    case Cmd::BackCity: RecallToReturnPoint(); return RunEnd::Ended;
    case Cmd::GoMap: ScriptGoMap(); break;
    case Cmd::End: return RunEnd::Ended;
  }
  return RunEnd::Finished;
}

RunEnd RunFrom(SplitScript lines, std::int32_t startLine, bool silent, int depth) {
  if (G.ScriptNesting >= kMaxRunNesting) return RunEnd::Aborted;
  // An outermost run starts a fresh budget; a run inside one that has spent it does nothing.
  if (G.ScriptNesting == 0) G.ScriptLinesRun = 0;
  if (G.ScriptLinesRun >= kScriptLineBudget) return RunEnd::Aborted;
  NestingGuard nesting;

  Run run;
  run.lines = std::move(lines);
  run.silent = silent;
  run.depth = depth;

  G.IfState = 0;
  G.BuyMode = 0;
  G.ScriptLineCount = 0;
  auto& w = ui::Form1;
  if (!silent) Show(w.Pspt, true);
  SetCaption(w.LSay, "");
  for (int k = 1; k <= kChoiceCount; ++k) SetCaption(w.Lb(k), "");

  // The shared line table takes this script's lines (a silent run empties the rest). A
  // jump inside one script finds them there already: only lines that differ are written.
  const std::vector<std::string>& kept = *run.lines;
  G.ScriptLineCount = static_cast<std::int32_t>(kept.size()) - 1;
  if (G.ScriptLines.size() < static_cast<std::size_t>(kScriptLineMax) + 1) G.ScriptLines.resize(kScriptLineMax + 1);
  for (std::size_t i = 1; i < G.ScriptLines.size(); ++i) {
    if (i < kept.size()) {
      if (G.ScriptLines[i] != kept[i]) G.ScriptLines[i] = kept[i];
    } else if (silent) {
      G.ScriptLines[i].clear();
    } else {
      break;
    }
  }

  const std::int32_t last = G.ScriptLineCount;
  for (std::int32_t i = startLine; i <= last; ++i) {
    // Past the budget every run of the chain ends silently.
    if (G.ScriptLinesRun >= kScriptLineBudget) return RunEnd::Aborted;
    ++G.ScriptLinesRun;
    const std::string& line = kept[static_cast<std::size_t>(i)];
    if (line[0] == '#') {
      const RunEnd end = RunCommand(run, line);
      if (end != RunEnd::Finished) return end;
      continue;
    }
    if (G.IfState == 0 && G.BuyMode == 0) {
      if (w.LSay != nullptr) w.LSay->Caption += line + "\r\n";
    } else if (G.BuyMode == 1) {
      // Shop rows do not look at the if-state.
      if (w.BuyList != nullptr) w.BuyList->AddItem(line);
    }
  }
  return RunEnd::Finished;
}

// Closes the shared recordset and connection however the lookup ends.
struct SharedDbClose {
  ~SharedDbClose() {
    if (G.DbRecordset) G.DbRecordset->Close();
    if (G.DbConn) G.DbConn->Close();
  }
};

}  // namespace

void RunScript(std::string_view text, std::int32_t startLine) {
  auto lines = std::make_shared<const std::vector<std::string>>(SplitLines(text));
  if (startLine < 1) {
    RunFrom(std::move(lines), 1, true, 0);
  } else {
    RunFrom(std::move(lines), startLine, false, 0);
  }
}

std::string GetScriptArg(std::string_view line, std::int32_t& n) {
  const std::string guarded = std::string(line) + " !";
  std::string_view s = guarded;
  s.remove_prefix(s.find(' ') + 1);  // the command word
  std::string word;
  while (n >= 1) {
    const std::size_t blank = s.find(' ');
    if (blank == std::string_view::npos) break;
    word = plat::Trim(s.substr(0, blank));
    s.remove_prefix(blank + 1);
    --n;
  }
  return word;
}

void ScriptCloseDialogue() {
  auto& w = ui::Form1;
  Show(w.Psell, false);
  Show(w.Pspt, false);
  Show(w.Pbuy, false);
  Show(w.Pbank, false);
  Show(w.PwUP, false);
  ClearShopDescription();
}

void ScriptGotoLabel(std::string_view label) {
  G.IfState = 0;
  if (plat::UCase(label) == "OVER") {
    ScriptCloseDialogue();
    return;
  }
  // A choice belongs to the NPC's dialogue: its label is looked for in the NPC's script.
  auto lines = std::make_shared<const std::vector<std::string>>(SplitLines(G.ScriptText));
  const std::string target = "#LABEL " + std::string(label);
  for (std::size_t i = 1; i < lines->size(); ++i) {
    if ((*lines)[i] == target) {
      RunFrom(std::move(lines), static_cast<std::int32_t>(i), false, 0);
      return;
    }
  }
}

void TalkToNpc(std::string_view code) {
  std::string inf;
  {
    SharedDbClose closing;
    try {
      const std::string partName =
          (G.SubMap >= 0 && G.SubMap <= kMaxParts) ? G.PartNames[static_cast<std::size_t>(G.SubMap)] : std::string();
      G.DbConn->OpenPath(G.NpcDbPath);
      G.DbSql = "select * from NPC where NpcCode=? and map=?";
      G.DbRecordset->Open(G.DbSql, *G.DbConn, {plat::db::Value(std::string(code)), plat::db::Value(partName)});
      if (G.DbRecordset->Eof()) return;
      inf = (*G.DbRecordset)["Inf"].AsText();
    } catch (const plat::db::Error&) {
      return;
    }
  }
  if (inf.empty()) return;
  G.ScriptText = plat::UCase(inf);
  RunScript(G.ScriptText, 1);
}
