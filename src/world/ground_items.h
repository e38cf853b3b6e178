// Items lying on the ground of the current part: the list GroundItems (1..GroundItemCount,
// at most 49; entry 50 only feeds the shift) found by cell through ItemGrid, and laying
// items down near the player.
#pragma once

#include <cstdint>
#include <string>

#include "common/game_state.h"

// Lays rec on cell (x, y): with 49 items already down, the oldest goes first (its cell
// is freed, the others move up one entry and keep their cells). The cell is not tested.
void AddGroundItem(std::int32_t x, std::int32_t y, const ItemRecord& rec);

// A cell near the player to lay an item on: square rings 1 to 10 around the player's
// cell, each ring's border tried with x outer and y inner. A cell is usable inside the
// part but not in its last column or row, with no scenery object, no ground item and no
// NPC. False when none of the ten rings has one.
bool FindDropCell(std::int32_t& x, std::int32_t& y);

// Builds the named item afresh and lays it on the first usable cell near the player.
// No usable cell, or a name that builds no item: nothing is built or laid. No refresh.
void DropNamedItem(std::string& name);
