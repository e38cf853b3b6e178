// The storage box and the bank: one panel of the main window, opened by an NPC. The
// storage box keeps up to 60 items of the character (slots 61..120, one list row each);
// the bank keeps gold. The panel never saves: the full save writes both.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ui {

// The gold amount typed into an input box: the number the text begins with (blanks
// skipped), rounded half to even. An answer without a leading number, an empty answer or
// a cancelled box is 0. Nothing for an amount outside 0..2147483647.
std::optional<std::int32_t> TypedGold(std::string_view answer);

// "存储道具": stores the held bag or belt item into the storage box.
void Command5_Click();
// "取出道具": takes the selected stored item back into the bag.
void Command6_Click();
// "存钱" and "取钱": move a typed amount of gold into the bank and back.
void Command7_Click();
void Command8_Click();
// The sell panel's "放弃": closes the NPC panels like the dialogue's "关闭".
void Command9_Click();

// Attaches the handlers above to Form1's buttons.
void AttachStorageHandlers();

}  // namespace ui
