// "#MOB", "#KILLMON", "#KILLMONALL", "#KILLNPC" and "#UNNPC": what stands on the
// current part.
#include <cstddef>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "script/script.h"
#include "script/script_words.h"

namespace {

using script::FloorNumber;
using script::Word;

bool IsMonsterCode(std::int32_t code) {
  if (code >= kGridMonsterBase && code <= kGridMonsterLast) return true;
  if (code < 0) {
    const std::string t = GridCodeText(code);
    return !t.empty() && t[0] == 'M';
  }
  return false;
}

}  // namespace

void ScriptMob(std::string_view line) {
  const std::string name = Word(line, 1);
  const std::int32_t x = FloorNumber(Word(line, 2));
  const std::int32_t y = FloorNumber(Word(line, 3));
  // Only cells of the current part, and only while the part has room for a monster.
  if (!OnGrid(x, y) || G.MonsterCount < 0 || G.MonsterCount >= kMaxMonsters) return;
  if (IsMonsterCode(GridCode(x, y))) return;
  if (name.empty()) return;

  std::int32_t kind = 0;
  for (std::int32_t k = 1; k <= G.MonsterKindCount && static_cast<std::size_t>(k) < G.MonsterKinds.size(); ++k) {
    if (G.MonsterKinds[static_cast<std::size_t>(k)].MonName == name) {
      kind = k;
      break;
    }
  }
  if (kind == 0) return;

  const MonsterKind& k = G.MonsterKinds[static_cast<std::size_t>(kind)];
  G.MonsterCount += 1;
  MonsterInstance& m = G.Monsters[static_cast<std::size_t>(G.MonsterCount)];
  m.X = x;
  m.Y = y;
  m.Kind = kind;
  m.Pic = k.Pic;
  m.HP = k.Hp;
  m.R = k.R;
  m.G = k.G;
  m.B = k.B;
  m.A = k.A;
  m.State = ActionState::Stand;
  m.Direction = 0;
  m.Tick = 1;
  m.Frame = 1;
  m.Step = 1;
  m.Freeze = 0;
  m.Poison = 0;
  m.WasHit = 0;
  m.PixelX = 0;
  m.PixelY = 0;
  // A blocked cell takes the monster too and loses its mark.
  SetGridMonster(x, y, G.MonsterCount);
}

void ScriptKillMon(std::string_view line) {
  SetGridFree(FloorNumber(Word(line, 1)), FloorNumber(Word(line, 2)));
}

void ScriptKillMonAll() {
  for (std::int32_t x = 1; x <= kGridSize; ++x) {
    for (std::int32_t y = 1; y <= kGridSize; ++y) {
      if (IsMonsterCode(GridCode(x, y))) SetGridFree(x, y);
    }
  }
}

void ScriptKillNpc(std::string_view line) {
  const std::int32_t x = FloorNumber(Word(line, 1));
  const std::int32_t y = FloorNumber(Word(line, 2));
  if (!InPart(G.SubMap, x, y)) return;
  const std::string entry = CellField(G.SubMap, x, y, 3);
  if (!entry.empty() && entry[0] == '*') return;
  SetCellField(G.SubMap, x, y, 3, "*" + entry);
}

void ScriptUnNpc(std::string_view line) {
  const std::int32_t x = FloorNumber(Word(line, 1));
  const std::int32_t y = FloorNumber(Word(line, 2));
  if (!InPart(G.SubMap, x, y)) return;
  const std::string entry = CellField(G.SubMap, x, y, 3);
  if (entry.empty() || entry[0] != '*') return;
  SetCellField(G.SubMap, x, y, 3, std::string_view(entry).substr(1));
}
