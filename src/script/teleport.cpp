// "#MOVE" and "#GOMAP": every change of the player's place, and the return point.
#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "graphics/effects.h"
#include "graphics/map_loader.h"
#include "platform/text.h"
#include "script/script.h"
#include "script/script_words.h"
#include "window/form1.h"
#include "world/part_change.h"

namespace {

using script::Word;

// Target cells far outside any part are held here, so the view arithmetic stays small.
constexpr std::int32_t kCellLimit = 1'000'000;

// The minimap scrolls 75 twips per cell with the view.
constexpr long long kMinimapTwipsPerCell = 75;

// Towns by part name, and the MapS each one reaches.
constexpr std::array<std::string_view, 6> kTowns{"镇安村", "齐扬城", "神秘家园", "小渔村", "新月村", "山谷村庄"};

std::int32_t TargetCell(std::string_view word) { return std::clamp(script::FloorNumber(word), -kCellLimit, kCellLimit); }

int MinimapOffset(std::int32_t view) { return static_cast<int>((2 - static_cast<long long>(view)) * kMinimapTwipsPerCell); }

}  // namespace

void ScriptMove(std::string_view line) {
  const std::string dest = plat::UCase(Word(line, 1));
  const std::int32_t x = TargetCell(Word(line, 2));
  const std::int32_t y = TargetCell(Word(line, 3));
  const std::string head = plat::Left(dest, 2);
  const bool here = head == "ME";
  const std::int32_t part = script::FloorNumber(plat::Right(dest, 2));
  // Only the parts a map can have are entered.
  if (!here && (part < 1 || part > kMaxParts)) return;

  G.ViewX = x - 8;
  G.ViewY = y - 8;
  if (!here) {
    const std::int32_t map = script::FloorNumber(head);
    if (map != G.MainMap) LoadMap(map);
    ChangeMap(part);
  }

  if (plat::Control* minimap = ui::Form1.Iminimap) {
    minimap->Left = MinimapOffset(G.ViewX);
    minimap->Top = MinimapOffset(G.ViewY);
  }
  AddScreenEffect(10, 8, 8, 0);
}

void ScriptGoMap() {
  G.GoMain = G.MainMap;
  G.GoSub = G.SubMap;
  G.GoX = PlayerCellX();
  G.GoY = PlayerCellY();
  const std::string& name =
      (G.SubMap >= 0 && G.SubMap <= kMaxParts) ? G.PartNames[static_cast<std::size_t>(G.SubMap)] : std::string();
  for (std::size_t k = 0; k < kTowns.size(); ++k) {
    if (name != kTowns[k]) continue;
    const auto reached = static_cast<std::uint8_t>(k + 1);
    if (G.Player.MapS < reached) G.Player.MapS = reached;
    break;
  }
}
