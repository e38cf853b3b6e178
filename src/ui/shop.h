// The shop's buy panel Pbuy and sell panel Psell. An NPC's script fills the buy list and
// opens either panel beside the character window; the list's row click (the preview of
// the chosen goods) lives with the item description.
#pragma once

namespace ui {

// "购买": buys the chosen row of the buy list at the table's price. Refusals, in this
// order, each a blue system message: not enough free weight, a full bag, not enough
// gold. A row the table does not hold, or a price that would push the gold past its
// 32-bit range, buys nothing, charges nothing and says nothing. The click sound plays
// first whenever a row is chosen.
void Command12_Click();

// "卖掉": sells the held belt or bag item for its own Money (half the shop price). A
// worn item, an empty slot, a story item (Type 99), an item marked unsellable (Money -1)
// or a sale that would leave the gold outside 0..2147483647 does nothing, silently. The
// click sound plays first.
void Command10_Click();

// "放弃" on the buy panel: closes the dialogue and every service panel.
void Command11_Click();

// Attaches the handlers above to Form1 (after BuildMainWindow).
void AttachShopHandlers();

}  // namespace ui
