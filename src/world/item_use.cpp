#include "world/item_use.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "common/numbers.h"
#include "graphics/effects.h"
#include "graphics/sound.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "script/script.h"
#include "window/form1.h"
#include "world/game_loop.h"
#include "world/items.h"
#include "world/player_record.h"
#include "world/save_game.h"
#include "world/status.h"

namespace {

// A number in at least two digits, as Format(n, "00") writes it.
std::string TwoDigits(std::int32_t n) {
  const long long v = n;
  const unsigned long long mag = static_cast<unsigned long long>(v < 0 ? -v : v);
  std::string digits = std::to_string(mag);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return v < 0 ? "-" + digits : digits;
}

constexpr int kBeltFirst = 11;
constexpr int kBeltLast = 16;
constexpr int kWeaponSlot = 1;

constexpr std::int32_t kInvisFrames = 600;
constexpr std::int32_t kBundleFreeSlots = 5;
constexpr std::int32_t kOilFieldMax = 5;
constexpr std::int32_t kSpiritShieldKind = 7;
constexpr std::int32_t kTransformEffect = 8;

constexpr std::string_view kPotionSound = "Sound\\药水.wav";
constexpr std::string_view kRecallSound = "Sound\\传送.wav";

struct Bundle {
  std::string_view name;
  std::string_view line;
};
constexpr std::array<Bundle, 12> kBundles{{
    {"金创药小包", "#give 金创药小 6"},
    {"金创药中包", "#give 金创药中 6"},
    {"金创药大包", "#give 金创药大 6"},
    {"超级金创药", "#give 强效金创药 6"},
    {"魔法药小包", "#give 魔法药小 6"},
    {"魔法药中包", "#give 魔法药中 6"},
    {"魔法药大包", "#give 魔法药大 6"},
    {"超级魔法药", "#give 强效魔法药 6"},
    {"绝强金创药包", "#give 绝强金创药 6"},
    {"绝强魔法药包", "#give 绝强魔法药 6"},
    {"天仙玉露包", "#give 天仙玉露 6"},
    {"回城卷包", "#give 回城卷 6"},
}};

// An oil works on one field of the worn weapon and the same field of the player, whose
// totals include what the weapon brings (a lasting change: while a form is worn it goes
// to the stats the form gives back).
struct Oil {
  std::string_view name;
  std::int32_t ItemRecord::*weaponField;
  std::int32_t PlayerRecord::*playerField;
  std::string_view raised;
  std::string_view lowered;
  std::string_view noEffect;
};
const std::array<Oil, 3> kOils{{
    {"祝福油", &ItemRecord::Luck, &PlayerRecord::Luck, "你的武器被祝福了", "你的武器幸运衰减",
     "你使用了祝福油，没有什么效果。"},
    {"战神油", &ItemRecord::MaBi, &PlayerRecord::MaBi, "你的武器麻痹效果增强", "你的武器痹效果衰减",
     "你使用了战神油，没有什么效果。"},
    {"蜘蛛油", &ItemRecord::zd, &PlayerRecord::zd, "你的武器中毒效果增强", "你的武器中毒果衰减",
     "你使用了蜘蛛油，没有什么效果。"},
}};

struct SpiritItem {
  std::string_view name;
  std::int32_t number;
};
constexpr std::array<SpiritItem, 7> kSpiritItems{{
    {"蝙蝠之灵", 1},
    {"鸡之灵", 2},
    {"恶蛆之灵", 3},
    {"骷髅之灵", 4},
    {"卫士之灵", 5},
    {"教主之灵", 6},
    {"血魔之灵", 7},
}};

ItemRecord& Slot(std::int32_t i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

void GameSound(std::string_view file) {
  if (G.SoundOn == 1) PlaySoundMci(file);
}

// a + b, at most cap, without leaving the 32-bit range.
std::int32_t AddCapped(std::int32_t a, std::int32_t b, std::int32_t cap) {
  return Saturate32(std::min<long long>(static_cast<long long>(a) + b, cap));
}

bool UsableSlot(std::int32_t i) {
  return (i >= kBeltFirst && i <= kBeltLast) || (i >= kBagFirst && i <= kBagLast);
}

bool PlayerCanAct() {
  const ActionState s = G.Player.ActState;
  return G.Player.HP > 0 && s != ActionState::Dying && s != ActionState::Dead;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

void DrinkAtOnce(std::int32_t i) {
  const ItemRecord& item = Slot(i);
  PlayerRecord& p = G.Player;
  p.HP = AddCapped(p.HP, item.Hp, p.HpMax);
  p.Mp = AddCapped(p.Mp, item.Mp, p.MpMax);
  GameSound(kPotionSound);
  ClearItem(i);
  RefreshStatus();
}

void DrinkIntoPools(std::int32_t i) {
  const ItemRecord& item = Slot(i);
  G.HpPool = AddCapped(G.HpPool, item.Hp, G.Player.HpMax);
  G.MpPool = AddCapped(G.MpPool, item.Mp, G.Player.MpMax);
  if (item.Name == "蟾酥") G.Player.PoisonTime = 0;
  GameSound(kPotionSound);
  ClearItem(i);
  RefreshStatus();
}

void UseOil(std::int32_t i, const Oil& oil, long r) {
  ClearItem(i);
  ItemRecord& weapon = Slot(kWeaponSlot);
  std::string_view message = oil.noEffect;
  std::int32_t change = 0;
  if (!weapon.Name.empty()) {
    std::int32_t& field = weapon.*oil.weaponField;
    if (r < 3) {
      message = oil.raised;
      if (field < kOilFieldMax) change = 1;
    } else if (r > 6) {
      message = oil.lowered;
      if (field > 0) change = -1;
    }
    field += change;
    AddLastingStat(oil.playerField, change);
  }
  AddSysMessage(message, 0, 255, 0);
  if (change != 0) RefreshStatus();
  GameSound(kPotionSound);
  SaveGame();
}

bool SpiritShieldActive() {
  for (std::size_t k = 1; k <= kMaxSkillEffects; ++k) {
    if (G.SkillEffects[k].Kind == kSpiritShieldKind) return true;
  }
  return false;
}

// The usable items of Type 0, found by name.
void UseByName(std::int32_t i, long r) {
  const std::string& name = Slot(i).Name;

  if (EndsWith(name, "包") || name == "超级魔法药" || name == "超级金创药") {
    if (CountFreeBagSlots() < kBundleFreeSlots) {
      AddSysMessage("没有足够的道具栏空间用于解包！", 255, 0, 0);
      return;
    }
    for (const Bundle& b : kBundles) {
      if (name != b.name) continue;
      ClearItem(i);
      ScriptGive(b.line);
      // The first item unpacked may land in the bundle's own slot; it is not used too.
      return;
    }
  }

  if (name == "回城卷") {
    if (ui::Form1.Psys2 != nullptr) ui::Form1.Psys2->Visible = false;
    ClearItem(i);
    GameSound(kRecallSound);
    RecallToReturnPoint();
    return;
  }
  if (name == "解毒药") {
    G.Player.PoisonTime = 0;
    ClearItem(i);
    GameSound(kPotionSound);
    return;
  }
  if (name == "隐身药水") {
    G.Player.InvisTime = kInvisFrames;
    ClearItem(i);
    GameSound(kPotionSound);
    return;
  }
  for (const Oil& oil : kOils) {
    if (name == oil.name) {
      UseOil(i, oil, r);
      return;
    }
  }
  if (G.Player.McMax > 0 && EndsWith(name, "之灵")) {
    if (SpiritShieldActive()) {
      AddSysMessage("精神之盾还未失效", 255, 0, 255);
      return;
    }
    for (const SpiritItem& s : kSpiritItems) {
      if (name != s.name) continue;
      // With the animation list full the form cannot start: the item stays.
      if (AddScreenEffect(kTransformEffect, 0, 0, s.number)) ClearItem(i);
      return;
    }
  }
}

}  // namespace

void RecallToReturnPoint() {
  ScriptMove("#move " + TwoDigits(G.GoMain) + TwoDigits(G.GoSub) + " " + std::to_string(G.GoX) + " " +
             std::to_string(G.GoY));
}

void UseItem(std::int32_t slot) {
  if (!UsableSlot(slot) || !PlayerCanAct()) return;
  if (Slot(slot).Name.empty()) return;
  // Drawn for every use; only the oils look at it.
  const long r = plat::RoundHalfEven(10.0 * plat::Rnd());
  switch (Slot(slot).Type) {
    case 2:
      DrinkAtOnce(slot);
      return;
    case 1:
      DrinkIntoPools(slot);
      return;
    case 0:
      break;
    default:
      return;
  }
  UseByName(slot, r);
}
