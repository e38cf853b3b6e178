#include "world/equipment.h"

#include "common/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

#include "graphics/aura.h"
#include "graphics/look.h"
#include "platform/text.h"
#include "window/form1.h"
#include "world/game_loop.h"
#include "world/item_pictures.h"
#include "world/items.h"
#include "world/player_record.h"
#include "world/status.h"

namespace {

constexpr std::int32_t kSkillFirst = 1;
constexpr std::int32_t kSkillLast = 15;

ItemRecord& Slot(std::int32_t i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

bool IsSlot(std::int32_t i) { return i >= 1 && i <= kItemSlots; }
bool IsWorn(std::int32_t i) { return i >= kWornFirst && i <= kWornLast; }
bool IsBelt(std::int32_t i) { return i >= kBeltFirst && i <= kBeltLast; }

std::string& Skill(std::int32_t k) { return G.Player.M[static_cast<std::size_t>(k)]; }

void Unwear(const ItemRecord& item) {
  ApplyWearingStats(item, -1);
  if (item.SP > 0) LowerItemSkill(item.SP);
}

void Wear(const ItemRecord& item) {
  ApplyWearingStats(item, 1);
  if (item.SP > 0) RaiseItemSkill(item.SP);
}

void LetGo() {
  if (ui::Form1.ShItem != nullptr) ui::Form1.ShItem->Visible = false;
  G.SelectedSlot = 0;
}

// The first message of the level, attack and magic requirements the player fails; ""
// when all are met.
const char* RequirementRefusal(const ItemRecord& item) {
  if (G.Player.Level < item.NdLevel) return "你的等级不够";
  if (G.Player.DcMax < item.NdDc) return "你的攻击不够";
  if (G.Player.McMax < item.NdMc) return "你的魔法不够";
  return "";
}

// Steps 2 to 5 of a move; false when the move is refused.
bool TryMove(std::int32_t src, std::int32_t dst) {
  ItemRecord& from = Slot(src);
  ItemRecord& to = Slot(dst);
  if (IsWorn(src) && IsWorn(dst)) return false;  // worn items never swap with each other
  if (IsWorn(dst)) {
    if (from.Type != WornSlotType(dst)) return false;
    const std::string refusal = RequirementRefusal(from);
    if (!refusal.empty()) {
      AddSysMessage(refusal, 255, 20, 20);
      return false;
    }
    Unwear(to);
    Wear(from);
  }
  if (IsWorn(src)) {
    if (!to.Name.empty()) return false;
    if (IsBelt(dst) && from.Type > kBeltMaxType) return false;
    Unwear(from);
  }
  if (IsBelt(dst) && from.Type > kBeltMaxType) return false;
  if (src != dst) std::swap(from, to);
  return true;
}

void AfterMove() {
  ShowItemPictures();
  RefreshStatus();
  LoadLookFrames();
  CheckEquipSet();
  LetGo();
}

}  // namespace

const std::array<WearingStat, 15> kWearingStats = {{
    {&ItemRecord::Dc, &PlayerRecord::Dc},
    {&ItemRecord::DcMax, &PlayerRecord::DcMax},
    {&ItemRecord::DcSpeed, &PlayerRecord::DcSpeed},
    {&ItemRecord::Mc, &PlayerRecord::Mc},
    {&ItemRecord::McMax, &PlayerRecord::McMax},
    {&ItemRecord::Df, &PlayerRecord::Df},
    {&ItemRecord::DfMax, &PlayerRecord::DfMax},
    {&ItemRecord::Mf, &PlayerRecord::Mf},
    {&ItemRecord::MfMax, &PlayerRecord::MfMax},
    {&ItemRecord::Nb, &PlayerRecord::Nb},
    {&ItemRecord::Acc, &PlayerRecord::Acc},
    {&ItemRecord::XiHP, &PlayerRecord::XiHP},
    {&ItemRecord::MaBi, &PlayerRecord::MaBi},
    {&ItemRecord::zd, &PlayerRecord::zd},
    {&ItemRecord::Luck, &PlayerRecord::Luck},
}};

std::int32_t WornSlotType(std::int32_t slot) {
  static constexpr std::int32_t kTypes[] = {0, 20, 10, 21, 11, 12, 13, 13, 14, 14, 15};
  return IsWorn(slot) ? kTypes[slot] : 0;
}

void ApplyWearingStats(const ItemRecord& item, int sign) {
  for (const WearingStat& s : kWearingStats) {
    AddLastingStat(s.player, sign * static_cast<long long>(item.*s.item));
  }
}

std::int32_t SkillStringLevel(std::int32_t k) {
  if (k < kSkillFirst || k > kSkillLast) return 0;
  const double v = plat::Val(plat::Mid(Skill(k), 3));
  return Saturate32(static_cast<long long>(std::clamp(std::floor(v), -1e12, 1e12)));
}

void RaiseItemSkill(std::int32_t k) {
  if (k < kSkillFirst || k > kSkillLast) return;
  const std::int32_t level = SkillStringLevel(k);
  Skill(k) = plat::Left(Skill(k), 2) + std::to_string(Saturate32(static_cast<long long>(level) + 1));
}

void LowerItemSkill(std::int32_t k) {
  if (k < kSkillFirst || k > kSkillLast) return;
  const std::int32_t level = SkillStringLevel(k);
  const std::string prefix = plat::Left(Skill(k), 2);
  if (level < 2) {
    if (G.Player.NowMc == k) {
      G.Player.NowMc = 0;
      if (ui::Form1.Qmc != nullptr) ui::Form1.Qmc->Picture.clear();
    }
    Skill(k) = prefix == "SP" ? "SP0" : "??0";
  } else {
    Skill(k) = prefix + std::to_string(level - 1);
  }
}

void MoveItemToSlot(std::int32_t src, std::int32_t dst) {
  if (G.BodyNo >= kTransformedBody) return;
  if (ui::Form1.Ibank != nullptr) ui::Form1.Ibank->Picture.clear();
  if (IsSlot(src) && IsSlot(dst)) TryMove(src, dst);
  AfterMove();
}

void UnequipItem(std::int32_t slot) {
  if (IsWorn(slot)) {
    if (CountFreeBagSlots() == 0) {
      AddSysMessage("道具栏没有位置卸下该装备", 255, 100, 100);
    } else {
      Unwear(Slot(slot));
      std::int32_t bag = kBagFirst;
      while (!Slot(bag).Name.empty()) ++bag;
      Slot(bag) = Slot(slot);
      Slot(slot) = ItemRecord{};
      RefreshStatus();
      ShowItemPictures();
    }
  }
  LoadLookFrames();
  CheckEquipSet();
  LetGo();
}

std::int32_t HeldItemSlot() {
  const std::int32_t s = G.SelectedSlot;
  return IsSlot(s) && !Slot(s).Name.empty() ? s : 0;
}
