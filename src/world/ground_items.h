// Items lying on the ground of the current part: the list GroundItems (1..GroundItemCount,
// at most 49; entry 50 only feeds the shift) found by cell through ItemGrid, and laying
// items down near the player.
#pragma once

#include <cstdint>
#include <string>

#include "common/game_state.h"

// A monster's drop built from its name. A table name gives the item as the table holds
// it (with the cheat account's forge level and a weapon's starting experience), then
// rolls the bonus chances of an item given with a "?". "金币" followed by N gives a gold
// item of a random amount from N / 2 to N / 2 + N - 1 (halves rounded down), named
// "金币" and the amount, with the icon of its amount; the caller's name becomes that
// text. A name the table does not hold, or a gold form whose rest is not a number of at
// least 0, gives an empty record.
ItemRecord MakeDropItem(std::string& name);

// Lays rec on cell (x, y): with 49 items already down, the oldest goes first (its cell
// is freed, the others move up one entry and keep their cells). The cell is not tested.
void AddGroundItem(std::int32_t x, std::int32_t y, const ItemRecord& rec);

// Takes entry k (1..GroundItemCount) off the ground: its cell is freed and the entries
// after it move up one, keeping their cells. Any other k changes nothing.
void RemoveGroundItem(std::int32_t k);

// Takes the item lying on cell (x, y): gold ("金币" + amount) goes to the player's
// Money, anything else into the first empty bag slot. With the bag full the item stays
// where it lies. Checks no weight and says nothing: the caller does both. The item
// pictures and the status labels are redrawn either way. A cell with nothing on it
// changes nothing.
void PickUpGroundItem(std::int32_t x, std::int32_t y);

// Throws Items(i) away: it is laid on the first usable cell near the player and the slot
// is emptied, then the pictures and the status labels are redrawn; the held-slot frame
// is hidden and SelectedSlot becomes 0. When no cell near the player is usable the item
// stays in its slot. An empty slot or a slot number outside 1..120 lays nothing.
void DropBagItem(std::int32_t i);

// A cell near the player to lay an item on: square rings 1 to 10 around the player's
// cell, each ring's border tried with x outer and y inner. A cell is usable inside the
// part but not in its last column or row, with no scenery object, no ground item and no
// NPC. False when none of the ten rings has one.
bool FindDropCell(std::int32_t& x, std::int32_t& y);

// Builds the named item afresh and lays it on the first usable cell near the player.
// No usable cell, or a name that builds no item: nothing is built or laid. No refresh.
// True when an item was laid.
bool DropNamedItem(std::string& name);
