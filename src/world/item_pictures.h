// The item icons of the character window: one bitmap per icon number under
// "\Date\Item\" in the program folder.
#pragma once

#include <cstdint>
#include <string>

#include "common/game_state.h"

// The picture path of an item's icon ("\Date\Item\" + Pic1 + ".bmp" under the program
// folder), or "" for an empty slot and for an icon file that does not exist.
std::string ItemPicturePath(const ItemRecord& item);

// Lays the icons of Items(1..16) and Items(21..56) onto the main window's Iitem images:
// an empty slot shows no picture. Every slot is set afresh; slots 17..20 are never
// touched. PathText keeps the icon folder afterwards.
void ShowItemPictures();
