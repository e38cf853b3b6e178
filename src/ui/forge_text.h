// The forge panel's requirement text for the chosen weapon.
#pragma once

namespace ui {

// Writes into LwUP what forging the item of the held slot to its next level takes: its
// current forge level, then the iron ore and the fee (or that level 9 is the last);
// "请选择一件武器" when the held slot is no weapon or a worn one. Lines end in a carriage return.
void ShowForgeRequirement();

}  // namespace ui
