#include "world/ground_items.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <string_view>

#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/text.h"
#include "window/form1.h"
#include "world/item_pictures.h"
#include "world/items.h"
#include "world/status.h"

namespace {

std::size_t At(std::int32_t k) { return static_cast<std::size_t>(k); }

// Full list: the oldest item leaves the ground and the rest move up one entry.
void DropOldestGroundItem() {
  const ItemRecord& first = G.GroundItems[1];
  if (first.X > 0 && first.Y > 0) SetItemGridAt(first.X, first.Y, 0);
  for (std::int32_t k = 1; k <= kMaxGroundItems - 1; ++k) {
    G.GroundItems[At(k)] = G.GroundItems[At(k + 1)];
    const ItemRecord& moved = G.GroundItems[At(k)];
    if (moved.X > 0 && moved.Y > 0) SetItemGridAt(moved.X, moved.Y, k);
  }
  G.GroundItems[At(kMaxGroundItems)] = ItemRecord{};
  G.GroundItemCount = kMaxGroundItems - 2;
}

constexpr std::string_view kGold = "金币";

// The gold amount of a ground gold item: the number after "金币", rounded down and held
// within the 32-bit range.
std::int64_t GoldAmount(const std::string& name) {
  const double v = std::floor(plat::Val(std::string_view(name).substr(kGold.size())));
  if (!std::isfinite(v)) return 0;
  return static_cast<std::int64_t>(std::clamp(v, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                                               static_cast<double>(std::numeric_limits<std::int32_t>::max())));
}

std::int32_t AddMoney(std::int32_t money, std::int64_t amount) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(static_cast<std::int64_t>(money) + amount,
                                                            std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

bool UsableDropCell(std::int32_t x, std::int32_t y) {
  const std::int32_t part = G.SubMap;
  if (part < 0 || part > kMaxParts) return false;
  // The last column and the last row of the part are never used.
  if (x < 1 || y < 1 || x >= G.PartWidths[At(part)] || y >= G.PartHeights[At(part)]) return false;
  if (!CellField(part, x, y, 2).empty()) return false;
  if (ItemGridAt(x, y) != 0) return false;
  const std::string& kind = CellField(part, x, y, 3);
  return kind.empty() || kind[0] != 'N';
}

// The icon of a ground gold item by its amount.
std::int32_t GoldPicture(std::int64_t amount) {
  if (amount < 1) return 0;
  if (amount <= 10) return 1;
  if (amount <= 25) return 2;
  if (amount <= 50) return 3;
  if (amount <= 99) return 4;
  return 5;
}

}  // namespace

ItemRecord MakeDropItem(std::string& name) {
  if (plat::Left(name, 2) != kGold) {
    // The row as the table holds it, then the bonus chances of an item given with "?".
    std::string bonusForm = "?" + name;
    return MakeItemFromDb(bonusForm);
  }
  const std::optional<double> v =
      plat::StrictNumber(std::string_view(name).substr(kGold.size()), plat::NumberForm::Fraction);
  if (!v || !std::isfinite(*v) || *v < 0) return ItemRecord{};  // no amount: nothing drops
  const std::int64_t n = static_cast<std::int64_t>(std::min(std::floor(*v), 2147483647.0));
  const std::int64_t amount = std::min<std::int64_t>(plat::RandomInt(static_cast<long>(n)) + n / 2,
                                                     std::numeric_limits<std::int32_t>::max());
  ItemRecord rec;
  rec.Name = std::string(kGold) + std::to_string(amount);
  rec.Pic1 = GoldPicture(amount);
  name = rec.Name;
  return rec;
}

void AddGroundItem(std::int32_t x, std::int32_t y, const ItemRecord& rec) {
  if (G.GroundItemCount < 0) G.GroundItemCount = 0;
  if (G.GroundItemCount >= kMaxGroundItems - 1) DropOldestGroundItem();
  G.GroundItemCount += 1;
  ItemRecord& slot = G.GroundItems[At(G.GroundItemCount)];
  slot = rec;
  slot.X = x;
  slot.Y = y;
  SetItemGridAt(x, y, G.GroundItemCount);
}

bool FindDropCell(std::int32_t& x, std::int32_t& y) {
  const std::int32_t px = PlayerCellX();
  const std::int32_t py = PlayerCellY();
  for (std::int32_t r = 1; r <= 10; ++r) {
    for (std::int32_t cx = px - r; cx <= px + r; ++cx) {
      for (std::int32_t cy = py - r; cy <= py + r; ++cy) {
        const bool border = cy == py - r || cy == py + r || cx == px - r || cx == px + r;
        if (!border || !UsableDropCell(cx, cy)) continue;
        x = cx;
        y = cy;
        return true;
      }
    }
  }
  return false;
}

bool DropNamedItem(std::string& name) {
  std::int32_t x = 0, y = 0;
  if (!FindDropCell(x, y)) return false;
  const ItemRecord rec = MakeItemFromDb(name);
  if (rec.Name.empty() || rec.Name == "金币") return false;
  AddGroundItem(x, y, rec);
  return true;
}

void RemoveGroundItem(std::int32_t k) {
  if (k < 1 || k > G.GroundItemCount || k > kMaxGroundItems - 1) return;
  const ItemRecord& gone = G.GroundItems[At(k)];
  // Only a cell that still names this entry is freed (a later item laid over it keeps it).
  if (ItemGridAt(gone.X, gone.Y) == k) SetItemGridAt(gone.X, gone.Y, 0);
  for (std::int32_t j = k; j <= kMaxGroundItems - 1; ++j) {
    G.GroundItems[At(j)] = G.GroundItems[At(j + 1)];
    const ItemRecord& moved = G.GroundItems[At(j)];
    if (!moved.Name.empty() && ItemGridAt(moved.X, moved.Y) == j + 1) SetItemGridAt(moved.X, moved.Y, j);
  }
  G.GroundItems[At(kMaxGroundItems)] = ItemRecord{};
  G.GroundItemCount -= 1;
}

void PickUpGroundItem(std::int32_t x, std::int32_t y) {
  const std::int32_t k = ItemGridAt(x, y);
  if (k < 1 || k > G.GroundItemCount || k > kMaxGroundItems - 1) return;
  const ItemRecord& item = G.GroundItems[At(k)];
  if (plat::Left(item.Name, 2) == kGold) {
    G.Player.Money = AddMoney(G.Player.Money, GoldAmount(item.Name));
  } else {
    std::int32_t slot = kBagFirst;
    while (slot <= kBagLast && !G.Player.Items[At(slot)].Name.empty()) ++slot;
    if (slot > kBagLast) {
      // A full bag takes nothing; the item stays on the ground.
      ShowItemPictures();
      RefreshStatus();
      return;
    }
    ItemRecord& into = G.Player.Items[At(slot)];
    into = item;
    into.X = 0;  // a carried item lies on no cell
    into.Y = 0;
  }
  RemoveGroundItem(k);
  ShowItemPictures();
  RefreshStatus();
}

void DropBagItem(std::int32_t i) {
  std::int32_t x = 0, y = 0;
  if (i >= 1 && i <= kItemSlots && !G.Player.Items[At(i)].Name.empty() && FindDropCell(x, y)) {
    AddGroundItem(x, y, G.Player.Items[At(i)]);
    ClearItem(i);
    ShowItemPictures();
    RefreshStatus();
  }
  if (ui::Form1.ShItem != nullptr) ui::Form1.ShItem->Visible = false;
  G.SelectedSlot = 0;
}
