#include "graphics/scene.h"

#include <algorithm>
#include <string_view>

#include "common/game_state.h"
#include "graphics/aura.h"
#include "graphics/characters.h"
#include "graphics/hud.h"
#include "graphics/resources.h"
#include "graphics/scene_draw.h"
#include "graphics/texture_cache.h"
#include "platform/input.h"
#include "platform/text.h"
#include "world/skills.h"

namespace {

// The view cells a pass covers. The draw ranges come from the movement rules (one
// cell beyond the view on the side that scrolls in); they are held to the map
// surface's margin of two cells so that no range can run away.
struct CellRange {
  std::int32_t ColFirst, ColLast, RowFirst, RowLast;
};

constexpr std::int32_t kMarginCells = 2;

CellRange DrawRange(std::int32_t widen) {
  auto cut = [](std::int32_t v, std::int32_t lo, std::int32_t hi) { return std::clamp(v, lo, hi); };
  const std::int32_t colLo = -kMarginCells, colHi = kViewCols - 1 + kMarginCells;
  const std::int32_t rowLo = -kMarginCells, rowHi = kViewRows - 1 + kMarginCells;
  return CellRange{cut(G.DrawColFirst, colLo, colHi) - widen, cut(G.DrawColLast, colLo, colHi) + widen,
                   cut(G.DrawRowFirst, rowLo, rowHi) - widen, cut(G.DrawRowLast, rowLo, rowHi) + widen};
}

float F(std::int64_t v) { return static_cast<float>(v); }
std::int64_t CellLeft(std::int32_t c) { return static_cast<std::int64_t>(kCellWidth) * c + G.ScrollX; }
std::int64_t CellTop(std::int32_t r) { return static_cast<std::int64_t>(kCellHeight) * r + G.ScrollY; }

// The last n characters of a text, without copying it.
std::string_view LastChars(std::string_view s, int n) {
  std::size_t i = s.size();
  while (i > 0 && n > 0) {
    --i;
    // Step over the continuation bytes of a character.
    while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
    --n;
  }
  return s.substr(i);
}

std::int32_t NumberOf(std::string_view s) { return static_cast<std::int32_t>(plat::RoundHalfEven(plat::Val(s))); }

// In which pass a cell's scenery object is drawn, by the cell's kind (field 3).
enum class ObjectPass { Ground, Character, Overlay, None };

ObjectPass PassOf(std::string_view kind) {
  if (kind == "1" || kind == "0-") return ObjectPass::Ground;
  if (kind == "2") return ObjectPass::Character;
  if (kind == "0" || kind.empty() || kind.front() == '-') return ObjectPass::Overlay;
  return ObjectPass::None;
}

// The scenery object of field 2: its set is the first character ("1" to "4"), its
// picture the number of the last four characters. Anything else draws nothing.
void DrawObject(std::string_view object, std::int32_t c, std::int32_t r) {
  if (object.empty()) return;
  const char set = object.front();
  if (set < '1' || set > '4') return;
  const plat::Texture tex = FjTexture(set - '0', NumberOf(LastChars(object, 4)));
  DrawSpriteAt(tex, F(CellLeft(c)), F(CellTop(r)), Rgba(G.ObjectTintR, G.ObjectTintG, G.ObjectTintB, 255));
}

// 2. The floor tiles of the draw range onto the map surface, then the visible part of
// it onto the game screen. A cell without a floor (outside the part, an empty floor
// field, or a floor that names no tile) is made black, so the surface never shows what
// an earlier part or frame left there.
void FloorPass() {
  const CellRange range = DrawRange(0);
  for (std::int32_t r = range.RowFirst; r <= range.RowLast; ++r) {
    for (std::int32_t c = range.ColFirst; c <= range.ColLast; ++c) {
      const std::int32_t x = ViewToMapX(c);
      const std::int32_t y = ViewToMapY(r);
      const int left = static_cast<int>(CellLeft(c) + kSceneMarginX);
      const int top = static_cast<int>(CellTop(r) + kSceneMarginY);
      const plat::Surface tile =
          CellField(G.SubMap, x, y, 1).empty() ? plat::Surface{} : FloorTile(CellFloorNumber(G.SubMap, x, y));
      if (tile) {
        FrameFloorTile(tile, left, top);
      } else {
        FrameFloorBlank(left, top);
      }
    }
  }
  FrameFloorCopy();
}

// The ground item index of a cell, or 0. An index that names no item record is stale
// and is cleared like an item whose picture is 0.
std::int32_t GroundItemAt(std::int32_t x, std::int32_t y) {
  const std::int32_t i = ItemGridAt(x, y);
  if (i == 0) return 0;
  if (i < 1 || i > kMaxGroundItems) {
    SetItemGridAt(x, y, 0);
    return 0;
  }
  return i;
}

// 5. Objects under the characters, corpses and ground items.
void GroundPass() {
  const CellRange range = DrawRange(0);
  for (std::int32_t r = range.RowFirst; r <= range.RowLast; ++r) {
    for (std::int32_t c = range.ColFirst; c <= range.ColLast; ++c) {
      const std::int32_t x = ViewToMapX(c);
      const std::int32_t y = ViewToMapY(r);
      if (!OnGrid(x, y)) continue;
      const std::int64_t left = CellLeft(c);
      const std::int64_t top = CellTop(r);
      if (PassOf(CellField(G.SubMap, x, y, 3)) == ObjectPass::Ground) DrawObject(CellField(G.SubMap, x, y, 2), c, r);

      const std::int32_t dead = DeadGridAt(x, y);
      if (const MonsterKind* kind = dead > 0 ? KindOfMonster(dead) : nullptr) {
        const std::int32_t f = G.Monsters[static_cast<std::size_t>(dead)].Frame;
        const FrameOffset o = MonsterOffset(kind->Pic, f);
        DrawSpriteAt(MonsterTexture(kind->Pic, f), F(left + o.X), F(top + o.Y),
                     Rgba(kind->R, kind->G, kind->B, kind->A));
      }

      if (const std::int32_t i = GroundItemAt(x, y); i > 0) {
        const ItemRecord& item = G.GroundItems[static_cast<std::size_t>(i)];
        if (item.Pic1 != 0) {
          DrawSpriteAt(ItemTexture(item.Pic1), F(left + 10), F(top + 10), plat::Color::White());
        } else {
          SetItemGridAt(x, y, 0);
        }
      }
    }
  }
}

// The NPC entry of a cell kind: "N", the name, a pose digit and a three-digit picture.
void DrawNpc(std::string_view entry, std::int32_t c, std::int32_t r) {
  const long chars = plat::Len(entry);
  if (chars < 5) return;
  const std::string_view tail = LastChars(entry, 4);
  const std::int32_t picture = NumberOf(tail.substr(1));
  const std::int32_t frame = NumberOf(tail.substr(0, 1)) + G.NpcAnimFrame;
  const std::string_view name = entry.substr(1, entry.size() - tail.size() - 1);

  const std::int64_t left = CellLeft(c);
  const std::int64_t top = CellTop(r);
  const std::int32_t mc = MouseViewCol();
  const std::int32_t mr = MouseViewRow();
  const bool pointed = mc == c && (mr == r || mr == r - 1);
  const FrameOffset o = NpcOffset(picture, frame);
  DrawSpriteAt(NpcTexture(picture, frame), F(left + o.X), F(top + o.Y),
               pointed ? plat::Color::White(200) : plat::Color::White());
  DrawSceneText(name, plat::Color::White(), F(left), F(top), 800, 20);
}

bool IsView(std::int32_t c, std::int32_t r, std::int32_t vc, std::int32_t vr) { return c == vc && r == vr; }

// 8. NPCs, monsters, the player and the objects that stand among them, row by row.
void CharacterPass() {
  const CellRange range = DrawRange(kMarginCells);
  for (std::int32_t r = range.RowFirst; r <= range.RowLast; ++r) {
    for (std::int32_t c = range.ColFirst; c <= range.ColLast; ++c) {
      const std::int32_t x = ViewToMapX(c);
      const std::int32_t y = ViewToMapY(r);
      if (!OnGrid(x, y)) continue;
      const std::string& kind = CellField(G.SubMap, x, y, 3);
      if (!kind.empty() && kind.front() == 'N') {
        DrawNpc(kind, c, r);
        // The player stays in front of an NPC standing to its right.
        if (IsView(c, r, 8, 7)) DrawPlayer();
      }
      if (GridMonster(x, y) != 0) {
        DrawMonster(c, r);
        if (IsView(c, r, 8, 7) && G.Player.HP > 0) DrawPlayer();
      }
      if (IsView(c, r, 7, 7) && G.Player.HP > 0) DrawPlayer();
      if (PassOf(kind) == ObjectPass::Character) DrawObject(CellField(G.SubMap, x, y, 2), c, r);
    }
  }
}

bool ItemNamesShown() { return G.ShowAllItemNames == 1 || plat::GetKeyState(plat::vk::Tab) < 0; }

// 10. Objects over the characters, then the names of ground items.
void OverlayPass() {
  const CellRange range = DrawRange(0);
  const bool names = ItemNamesShown();
  for (std::int32_t r = range.RowFirst; r <= range.RowLast; ++r) {
    for (std::int32_t c = range.ColFirst; c <= range.ColLast; ++c) {
      const std::int32_t x = ViewToMapX(c);
      const std::int32_t y = ViewToMapY(r);
      if (!OnGrid(x, y)) continue;
      if (PassOf(CellField(G.SubMap, x, y, 3)) == ObjectPass::Overlay) DrawObject(CellField(G.SubMap, x, y, 2), c, r);
      if (!names) continue;
      const std::int32_t i = GroundItemAt(x, y);
      if (i < 1) continue;
      const ItemRecord& item = G.GroundItems[static_cast<std::size_t>(i)];
      const plat::Color colour = item.JP < 1 ? Rgba(255, 255, 0) : Rgba(255, 0, 0);
      DrawSceneText(item.Name, colour, F(CellLeft(c) + 10), F(CellTop(r)), 800, 20);
    }
  }
}

}  // namespace

void DrawScene() {
  FrameBeginScene();
  FloorPass();
  FrameSpriteBegin();
  FrameFontBegin();
  GroundPass();
  DrawAura();
  DrawCastEffect();
  RunAreaSkills();
  if (G.Player.HP <= 0) DrawDeadPlayer();
  CharacterPass();
  if (G.Player.Mp > 0 && G.Spirit.Level > 0) DrawSpirit();
  DrawScreenEffects();
  RunSkills();
  OverlayPass();
  DrawHud();
  DrawFloatingTexts();
  DrawLocation();
  DrawTargetBar();
  DrawSysMessages();
  DrawFlash();
  FrameFontEnd();
  FrameSpriteEnd();
  FramePresent();
  FrameEndScene();
}
