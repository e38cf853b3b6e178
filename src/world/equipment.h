// Equipment: wearing and taking off items, moving items between the worn slots, the
// belt and the bag, and what wearing does to the character's stats and skill levels.
#pragma once

#include <array>
#include <cstdint>

#include "common/game_state.h"

constexpr int kWornFirst = 1;
constexpr int kWornLast = 10;
constexpr int kBeltFirst = 11;
constexpr int kBeltLast = 16;
// The highest item Type a belt slot takes (potions and usable items).
constexpr std::int32_t kBeltMaxType = 2;
// A body look from this number on is a transformed form.
constexpr std::int32_t kTransformedBody = 100;

// The item Type that worn slot 1..10 takes; 0 for any other slot.
std::int32_t WornSlotType(std::int32_t slot);

// The 15 stats an item adds to the character while it is worn, as members of both
// ItemRecord and PlayerRecord (Hp, Mp, Weight and the requirements are not among them).
struct WearingStat {
  std::int32_t ItemRecord::*item;
  std::int32_t PlayerRecord::*player;
};
extern const std::array<WearingStat, 15> kWearingStats;

// Adds the item's 15 wearing stats to the player (removes them with sign -1). The sums
// saturate at the 32-bit bounds.
void ApplyWearingStats(const ItemRecord& item, int sign);

// The level of skill k (1..15): the number after the two characters of its key prefix.
std::int32_t SkillStringLevel(std::int32_t k);
// One more level for skill k while an item with SP = k is worn; nothing for k outside
// 1..15.
void RaiseItemSkill(std::int32_t k);
// Takes that level back. From level 1 or 0 the skill becomes unlearned ("SP0" keeps
// its "SP" prefix, any other prefix becomes "??0"), and if it was the selected spell
// the spell is deselected and its icon emptied.
void LowerItemSkill(std::int32_t k);

// Moves the item of slot src to slot dst: swaps two bag or belt items, equips a bag
// item into a worn slot (the item worn there goes back to src), or takes a worn item
// off onto an empty bag slot. Refusals: a worn slot takes only its own Type; the level,
// attack and magic requirements (in that order, one red message for the first that
// fails); a belt slot takes only an item of Type 2 or less (only the item moved is
// tested); two worn slots never swap. Afterwards, refused or not: pictures, status,
// looks and set aura are refreshed and nothing stays held. While the player is
// transformed nothing at all happens. Slots outside 1..120 change nothing.
void MoveItemToSlot(std::int32_t src, std::int32_t dst);

// Takes the item off worn slot `slot` into the first empty bag slot; with the bag full,
// a message and nothing moves. Looks and set aura are refreshed and nothing stays held
// either way.
void UnequipItem(std::int32_t slot);

// The held slot of the inventory grid when it holds an item; 0 when nothing is held or
// the held slot has become empty.
std::int32_t HeldItemSlot();
