// Value names and the three condition commands "#IF", "#ITEMCK" and "#MONCK".
#include <cmath>
#include <cstddef>
#include <string>

#include "common/game_state.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "script/script.h"
#include "script/script_words.h"
#include "world/items.h"

namespace {

using script::Word;

// The common comparison of the three tests: v against word 3 rounded down, by word 2.
bool Compare(std::int32_t v, std::string_view line) {
  const std::string op = Word(line, 2);
  const double n = std::floor(plat::Val(Word(line, 3)));
  const double value = v;
  if (op == ">") return value > n;
  if (op == "<") return value < n;
  if (op == "=") return value == n;
  return false;
}

// The quest flag named "ET1".."ET40", or 0 for any other name.
int QuestFlagNumber(std::string_view name) {
  if (name.size() < 3 || name.size() > 4 || name.substr(0, 2) != "ET") return 0;
  for (int k = 1; k <= kQuestFlags; ++k) {
    if (name.substr(2) == std::to_string(k)) return k;
  }
  return 0;
}

}  // namespace

std::int32_t GetScriptValue(std::string_view nameIn) {
  const std::string name = plat::UCase(nameIn);
  const PlayerRecord& p = G.Player;
  if (name == "RND") return static_cast<std::int32_t>(plat::RandomInt(100));
  if (name == "HP") return p.HP;
  if (name == "HPMAX") return p.HpMax;
  if (name == "MP") return p.Mp;
  if (name == "MPMAX") return p.MpMax;
  if (name == "DC") return p.Dc;
  if (name == "DCMAX") return p.DcMax;
  if (name == "MC") return p.Mc;
  if (name == "MCMAX") return p.McMax;
  if (name == "DF") return p.Df;
  if (name == "DFMAX") return p.DfMax;
  if (name == "DCSPEED") return p.DcSpeed;
  if (name == "NB") return p.Nb;
  if (name == "ACC") return p.Acc;
  if (name == "LEVEL") return p.Level;
  if (name == "GAMELEVEL") return G.GAMELEVEL;
  if (name == "HEAVY") return p.Heavy;
  if (name == "MONEY") return p.Money;
  if (name == "MAPS") return p.MapS;
  if (const int k = QuestFlagNumber(name); k != 0) return G.Et[static_cast<std::size_t>(k)];
  if (name == "VIP") return 0;
  if (name == "RPGIM") return CountFreeBagSlots();
  if (name == "RPGFZ") return FreeWeight();
  return -1;
}

bool ScriptIfValue(std::string_view line) { return Compare(GetScriptValue(Word(line, 1)), line); }

bool ScriptIfItemCount(std::string_view line) { return Compare(CountItemInBag(Word(line, 1)), line); }

bool ScriptIfMonCount(std::string_view line) {
  const std::string kind = Word(line, 1);
  std::int32_t v = 0;
  // Only the first 150 columns and rows are counted.
  for (std::int32_t x = 1; x <= 150; ++x) {
    for (std::int32_t y = 1; y <= 150; ++y) {
      const std::int32_t n = GridMonster(x, y);
      if (n == 0) continue;
      const std::int32_t k = G.Monsters[static_cast<std::size_t>(n)].Kind;
      if (k < 1 || k > G.MonsterKindCount || static_cast<std::size_t>(k) >= G.MonsterKinds.size()) continue;
      if (G.MonsterKinds[static_cast<std::size_t>(k)].MonName == kind) ++v;
    }
  }
  return Compare(v, line);
}
