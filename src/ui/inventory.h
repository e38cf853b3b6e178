// The inventory grid: the mouse on the worn slots and the bag of the character window
// and on the belt of the bottom bar. A click holds a slot, moves, equips, takes off,
// uses or throws away an item, and chooses the item the sell, storage and forge panels
// act on (the held slot, SelectedSlot).
#pragma once

namespace plat {
class Control;
}

namespace ui {

// A press on item slot `slot` (1..16, 21..56) with a button and the shift state. Ctrl
// is read from the key state.
void Iitem_MouseDown(int slot, int button, int shift, int x, int y);
// A right press on the character window outside the slots lets go of the held slot.
void Psys2_MouseDown(int button, int shift, int x, int y);
// The pointer over the storage panel or over the description panel (its lines of text
// included) hides the description panel.
void Pbank_MouseMove(int button, int shift, int x, int y);
void PItemInf_MouseMove(int button, int shift, int x, int y);
// A press on the description panel or one of its lines (`on`; x, y in its twips) hides
// the panel and goes to the control beneath, so a click meant for a button reaches it.
void PItemInf_MouseDown(plat::Control* on, int button, int shift, int x, int y);

// Attaches the handlers above to Form1's item images and panels.
void AttachInventoryHandlers();

}  // namespace ui
