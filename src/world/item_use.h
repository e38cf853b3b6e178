// Using items from the bag and the belt.
#pragma once

#include <cstdint>

// The recall: a "#move" to the return point GoMain, GoSub, GoX, GoY (map and part as two
// digits each), as a return scroll, the death panel's way back to town and the script
// command "#BACKCITY" use it. The start values 1, 1, 13, 13 give "#move 0101 13 13".
void RecallToReturnPoint();

// Uses the item in belt slot 11..16 or bag slot 21..56 (the right click on the grid and
// the belt keys 1..6). Any other slot, an empty slot, or a player with no HP left, dying
// or dead: nothing happens. Otherwise one random draw r = 10 u (rounded, halves to even)
// is taken first, then by Type:
//  - 2: HP and Mp rise at once by the item's Hp and Mp, each up to its maximum;
//  - 1: the pools HpPool and MpPool fill by Hp and Mp, each up to HpMax or MpMax; "蟾酥"
//    also ends the poison;
//  - 0, by name: a bundle unpacks into six items through "#give" when 5 bag slots are
//    free (else a red message and it stays); "回城卷" closes the character window and
//    recalls; "解毒药" ends the poison; "隐身药水" gives 600 frames of invisibility; the
//    oils "祝福油", "战神油" and "蜘蛛油" raise (r 0..2, up to 5) or lower (r 7..10, down
//    to 0) the worn weapon's Luck, MaBi or zd, and the player's own total with it, then
//    save; a spirit item ("...之灵", while McMax is above 0) starts its transformation
//    unless the spirit shield lasts;
//  - 3 and above: nothing.
// A used item leaves its slot. Sounds play only with SoundOn.
void UseItem(std::int32_t slot);
