// "#GIVE", "#TAKE", "#CHANGE" and "#WLEVELUP": items, gold, stats and quest flags.
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "graphics/sound.h"
#include "platform/text.h"
#include "script/script.h"
#include "script/script_words.h"
#include "world/game_loop.h"
#include "world/items.h"
#include "world/player_record.h"
#include "world/status.h"

namespace {

using script::Add32;
using script::Word;

constexpr std::string_view kGold = "金币";

// A count beyond what the bag and the ground can take changes nothing more than this
// many gifts do (36 bag slots, 49 ground places); it only keeps a wild count in a script
// from running for ever.
constexpr std::int32_t kMaxGiftsPerCommand = 1000;

// The field "#CHANGE" writes for a name, or nullptr.
std::int32_t* ChangeField(const std::string& key) {
  PlayerRecord& p = G.Player;
  struct Named {
    std::string_view name;
    std::int32_t* field;
  };
  const Named table[] = {
      {"SPPOINT", &p.SpPoint}, {"SXPOINT", &p.LevelPoint}, {"EX", &p.Ex},       {"HP", &p.HP},
      {"HPMAX", &p.HpMax},     {"MP", &p.Mp},              {"MPMAX", &p.MpMax}, {"DC", &p.Dc},
      {"DCMAX", &p.DcMax},     {"MC", &p.Mc},              {"MCMAX", &p.McMax}, {"DF", &p.Df},
      {"DFMAX", &p.DfMax},     {"MF", &p.Mf},              {"MFMAX", &p.MfMax}, {"DCSPEED", &p.DcSpeed},
      {"NB", &p.Nb},           {"ACC", &p.Acc},            {"XIHP", &p.XiHP},   {"MABI", &p.MaBi},
      {"MBSP", &p.MBSP},       {"LEVEL", &p.Level},        {"BBLEVEL", &G.Spirit.Level},
      {"HEAVY", &p.Heavy},     {"MONEY", &p.Money},
  };
  for (const Named& n : table) {
    if (key == n.name) return n.field;
  }
  for (int k = 1; k <= kQuestFlags; ++k) {
    if (key == "ET" + std::to_string(k)) return &G.Et[static_cast<std::size_t>(k)];
  }
  return nullptr;
}

}  // namespace

bool ScriptGive(std::string_view line) {
  std::string name = Word(line, 1);
  const std::int32_t n = script::RoundNumber(Word(line, 2));
  bool given = false;
  if (name != kGold) {
    const std::int32_t gifts = std::min(n, kMaxGiftsPerCommand);
    // GiveItem takes the "?" off the name: only the first item may get bonus rolls.
    for (std::int32_t i = 0; i < gifts; ++i) {
      if (GiveItem(name) != GivePlace::Nowhere) given = true;
      PlayWav("Sound\\衣服.wav");
    }
  } else {
    G.Player.Money = Add32(G.Player.Money, n);
    RefreshStatus2();
    PlayWav("Sound\\钱.wav");
    given = true;
  }
  // The name is shown only when something was really given.
  if (given) AddSysMessage(name, 0, 255, 0);
  return given;
}

void ScriptTake(std::string_view line) {
  const std::string name = Word(line, 1);
  const std::int32_t n = script::RoundNumber(Word(line, 2));
  if (name != kGold) {
    // More removals than the bag has slots find nothing more to take.
    const std::int32_t takes = std::min(n, kBagLast - kBagFirst + 1);
    for (std::int32_t i = 0; i < takes; ++i) RemoveItemByName(name);
  } else {
    G.Player.Money = Add32(G.Player.Money, -static_cast<long long>(n));
    RefreshStatus2();
  }
}

void ScriptChange(std::string_view line) {
  const std::string key = plat::UCase(Word(line, 1));
  const std::string op = plat::UCase(Word(line, 2));
  const std::string number = Word(line, 3);
  // A stat set while a form is worn is the character's own, given back at the form's end.
  if (std::int32_t* field = LastingStat(ChangeField(key))) {
    const bool money = key == "MONEY";
    const std::int32_t n = money ? script::RoundNumber(number) : script::FloorNumber(number);
    if (op == "=") {
      *field = n;
    } else if (op == "+") {
      *field = Add32(*field, n);
    } else if (op == "-" && key != "LEVEL") {
      *field = Add32(*field, -static_cast<long long>(n));
    }
    if (money) {
      PlayWav("Sound\\钱.wav");
      AddSysMessage(std::string(kGold) + number, 0, 255, 0);
    }
  }
  RefreshStatus2();
}

void ScriptWLevelUp() {
  ItemRecord& weapon = G.Player.Items[1];
  if (weapon.Name.empty()) return;
  weapon.Ex = std::min(Add32(weapon.Ex, 2000), 10000);
}
