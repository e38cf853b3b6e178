// The equipment-set aura: worn jewellery whose names begin with the same two characters
// forms a set; a complete set gives AuraLevel 5 (a melee bonus) and a pulsing aura
// behind the player in the set's colour.
#pragma once

#include <cstdint>
#include <string_view>

// The six worn slots that make a set: 2 and 4 lead, one of 6 and 7 and one of 8 and 9
// must match them.
inline constexpr int kSetSlots[] = {2, 4, 6, 7, 8, 9};

// Reads the names of the worn items and sets AuraLevel (5 for a complete set, else 0)
// and, when slots 2 and 4 share a prefix, the aura colour of that prefix (also for an
// incomplete set). With slot 2 or 4 empty or different the colour stays as it was.
void CheckEquipSet();

// The colour of a set prefix; white for a prefix the colour table does not name. "圣尊"
// and "精忠" have no blue.
struct AuraColour {
  std::int32_t R = 255, G = 255, B = 255;
};
AuraColour AuraColourOf(std::string_view prefix);

// The aura step of a frame: while AuraLevel is 2 or more and no cheat account plays,
// AuraAlpha falls by 10 a frame (back to 255 from 10 or less) and the aura picture is
// drawn doubled at (308, 206) in the aura colour with that alpha.
void DrawAura();
