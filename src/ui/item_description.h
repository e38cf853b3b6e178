// The main window's handlers that place the item description panel PItemInf for the
// bag and equipment slots, the shop list and the storage list.
#pragma once

namespace ui {

// Pointer over the grid slot `index` (1..16, 21..56): an empty slot hides PItemInf; a
// worn slot puts the panel level with the equipment (Top 1200), a bag slot level with the
// bag (Top 4200), and both describe the item; a belt slot changes nothing.
void Iitem_MouseMove(int index);

// A row of the shop list: the row's item as the table holds it, with its picture and
// price, described on the panel at Top 4890 beside the bag. No row (or a name the table
// does not hold): the shop picture is cleared and the panel hidden.
void BuyList_Click();

// A row of the storage list: Items(61 + row) with its picture, described on the panel at
// Top 4890 beside the bag. No row, or an empty "空位" row: the storage picture is cleared
// and the panel hidden.
void BankList_Click();

// Attaches the handlers above to Form1 (after BuildMainWindow).
void AttachItemDescriptionHandlers();

}  // namespace ui
