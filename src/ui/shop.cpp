#include "ui/shop.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "common/game_state.h"
#include "graphics/sound.h"
#include "platform/forms.h"
#include "ui/game_screen_input.h"
#include "window/form1.h"
#include "world/game_loop.h"
#include "world/item_pictures.h"
#include "world/items.h"
#include "world/status.h"

namespace ui {

namespace {

constexpr const char* kClick = "Sound\\按键1.wav";
constexpr std::int64_t kGoldMax = std::numeric_limits<std::int32_t>::max();
constexpr int kBeltFirstSlot = 11;
constexpr int kBeltLastSlot = 16;
constexpr std::int32_t kStoryItem = 99;
constexpr std::int32_t kUnsellable = -1;
constexpr const char* kGoldPrefix = "金币";

void Click() {
  if (G.SoundOn == 1) PlayWav(kClick);
}

void Refuse(const char* text) { AddSysMessage(text, 0, 0, 255); }

bool GoldInRange(std::int64_t gold) { return gold >= 0 && gold <= kGoldMax; }

// Belt and bag slots can be sold; worn slots, the gap between and the storage box not.
bool SellableSlot(std::int32_t slot) {
  return (slot >= kBeltFirstSlot && slot <= kBeltLastSlot) || (slot >= kBagFirst && slot <= kBagLast);
}

// A table name that the item builder would read as gold or as a bonus roll is not goods.
bool PlainGoodsName(const std::string& name) {
  return !name.empty() && name.front() != '?' && name.rfind(kGoldPrefix, 0) != 0;
}

}  // namespace

void Command12_Click() {
  MainWindow& w = Form1;
  if (w.BuyList == nullptr) return;
  const std::string row = w.BuyList->SelectedItem();
  if (row.empty()) return;
  Click();

  ItemRecord goods;
  if (!ReadItemTableRow(row, goods) || !PlainGoodsName(goods.Name)) return;

  const std::int64_t price = goods.Money;
  if (static_cast<std::int64_t>(FreeWeight()) - goods.Weight < 0) {
    Refuse("您的剩余负重力不足！");
    return;
  }
  if (CountFreeBagSlots() == 0) {
    Refuse("道具栏已满！");
    return;
  }
  const std::int64_t left = static_cast<std::int64_t>(G.Player.Money) - price;
  if (left < 0) {
    Refuse("金币不足！");
    return;
  }
  if (!GoldInRange(left)) return;  // a negative price past the top of the purse

  std::string name = goods.Name;
  if (GiveItem(name) != GivePlace::Bag) return;  // nothing placed: nothing paid
  G.Player.Money = static_cast<std::int32_t>(left);
  RefreshStatus();
  ShowItemPictures();
}

void Command10_Click() {
  Click();
  const std::int32_t slot = G.SelectedSlot;
  if (!SellableSlot(slot)) return;
  const ItemRecord& item = G.Player.Items[static_cast<std::size_t>(slot)];
  if (item.Name.empty() || item.Type == kStoryItem || item.Money == kUnsellable) return;
  const std::int64_t gold = static_cast<std::int64_t>(G.Player.Money) + item.Money;
  if (!GoldInRange(gold)) return;

  G.Player.Money = static_cast<std::int32_t>(gold);
  ClearItem(slot);
  G.SelectedSlot = 0;
  MainWindow& w = Form1;
  if (w.ShItem != nullptr) w.ShItem->Visible = false;
  if (w.Isell != nullptr) w.Isell->Picture.clear();
  if (w.Lsell != nullptr) w.Lsell->Caption.clear();
  RefreshStatus2();
  ShowItemPictures();
}

void Command11_Click() { Lquit_Click(); }

void AttachShopHandlers() {
  MainWindow& w = Form1;
  if (w.Command12 != nullptr) w.Command12->OnClick = [] { Command12_Click(); };
  if (w.Command10 != nullptr) w.Command10->OnClick = [] { Command10_Click(); };
  if (w.Command11 != nullptr) w.Command11->OnClick = [] { Command11_Click(); };
}

}  // namespace ui
