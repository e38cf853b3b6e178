// Items of the character: the small bag operations the rules share, and the building
// of items from the item table with their random bonus rolls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/game_state.h"

// ---------------------------------------------------------------------------------
// Bag operations. The bag is Items(21..56); slots 1..10 are worn, 11..16 the belt.

constexpr int kBagFirst = 21;
constexpr int kBagLast = 56;

// Items(i) becomes an empty record, then the item pictures and the status labels are
// redrawn. A slot number outside 1..120 changes nothing.
void ClearItem(std::int32_t i);

// Clears the first bag slot (ascending) whose name equals name exactly, then redraws the
// item pictures and the status labels. Nothing when no bag slot holds it.
void RemoveItemByName(std::string_view name);

// Number of bag slots whose name equals name exactly; 0 for a name that begins with
// "金币".
std::int32_t CountItemInBag(std::string_view name);

// Number of empty bag slots.
std::int32_t CountFreeBagSlots();

// Heavy less the summed Weight of the items worn, on the belt and in the bag (slots 1..16
// and 21..56; the storage box does not count). May be negative.
std::int32_t FreeWeight();

// ---------------------------------------------------------------------------------
// Item creation from the table Item of the item database (ItemConnStr). The table stays
// open from the first item built on, and is opened afresh when its file changes.

// Builds an item by name. Name forms:
//   "<table name>"        the item as the table has it;
//   "?<table name>"       the same, and it may get bonus rolls; the "?" is removed from
//                         the caller's own text;
//   "金币<n>"             not an item: n gold goes to the player, and the record is an
//                         empty record named "金币".
// The row's Money is halved (the table holds the shop price); a cheat account's item
// gets forge level 9; a weapon gets the difficulty's starting experience. A name the
// table does not hold, an unreadable item database, or a gold form whose rest is not a
// number, gives an empty record (and no gold).
ItemRecord MakeItemFromDb(std::string& name);

// Reads the row of table Item named `name` into rec as the table holds it: Money is the
// shop price, and forge level, experience, skill and bonus points stay 0. False (rec
// unchanged) when the table has no such row or cannot be read.
bool ReadItemTableRow(const std::string& name, ItemRecord& rec);

// The random bonus rolls of the item's Type and the common tail; each success raises a
// field and scores points, and points raise the price: Money += (Money \ 3) * P and
// JP = P. Every test takes its draw whether or not its condition holds.
void RollItemBonus(ItemRecord& rec);

// Where GiveItem put what it gave.
enum class GivePlace {
  Nowhere,  // no item: an unknown name, a gold form without a number, or no free cell
  Gold,     // gold went to the player's Money
  Bag,      // into the first empty bag slot
  Ground,   // the bag was full: laid near the player
};

// Builds the named item (the "?" leaves the caller's text) and puts it into the first
// empty bag slot with its icon and the weight label, or, with the bag full, lays a fresh
// item of that name on the ground near the player. Gold only adds gold; an empty record
// (a name the table does not hold) gives nothing. No weight or requirement check, no
// message and no sound: the caller shows them, and only for what was placed.
GivePlace GiveItem(std::string& name);
