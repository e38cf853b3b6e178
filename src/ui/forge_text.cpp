#include "ui/forge_text.h"

#include <cstddef>
#include <string>

#include "common/game_state.h"
#include "window/form1.h"

namespace ui {

namespace {

constexpr std::int32_t kWeaponType = 20;
constexpr std::int32_t kLastForgeLevel = 9;
constexpr std::int32_t kFirstUnwornSlot = 11;

// The ore and fee the text states for forge levels 0..8.
struct Stated {
  const char* ore;
  const char* fee;
};
constexpr Stated kStated[] = {
    {"铁矿石1块", "锻造费用：500"},  {"铁矿石1块", "锻造费用：800"},  {"铁矿石1块", "锻造费用：1000"},
    {"铁矿石1块", "锻造费用：1500"}, {"铁矿石2块", "锻造费用：1800"}, {"铁矿石2块", "锻造费用：2000"},
    {"铁矿石2块", "锻造费用：2500"}, {"铁矿石2块", "锻造费用：2800"}, {"铁矿石3块", "锻造费用：3000"},
};

}  // namespace

void ShowForgeRequirement() {
  if (Form1.LwUP == nullptr) return;
  const std::int32_t s = G.SelectedSlot;
  // Worn items (slots 1..10) are not forged: their stats are on the character.
  const ItemRecord* item =
      s >= kFirstUnwornSlot && s <= kItemSlots ? &G.Player.Items[static_cast<std::size_t>(s)] : nullptr;
  if (item == nullptr || item->Type != kWeaponType) {
    Form1.LwUP->Caption = "请选择一件武器";
    return;
  }
  const std::int32_t level = item->dzlevel;
  std::string text = "武器当前等级：" + std::to_string(level) + "\r\r";
  if (level >= 0 && level < kLastForgeLevel) {
    const Stated& st = kStated[level];
    text += std::string("锻造材料：\r") + st.ore + "\r\r" + st.fee;
  } else if (level == kLastForgeLevel) {
    text += "这件武器不能再锻造了";
  }
  Form1.LwUP->Caption = text;
}

}  // namespace ui
