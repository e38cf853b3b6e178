#include "world/ground_items.h"

#include <cstddef>

#include "world/items.h"

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

}  // namespace

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

void DropNamedItem(std::string& name) {
  std::int32_t x = 0, y = 0;
  if (!FindDropCell(x, y)) return;
  const ItemRecord rec = MakeItemFromDb(name);
  if (rec.Name.empty() || rec.Name == "金币") return;
  AddGroundItem(x, y, rec);
}
