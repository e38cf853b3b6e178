#include "world/part_change.h"

#include <string>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/map_loader.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "script/script.h"
#include "window/form1.h"

namespace {

// The minimap scrolls by 75 twips (5 pixels) per cell with the view, so its picture
// covers 75 twips per cell of the part whatever its own pixel size.
constexpr int kMinimapTwipsPerCell = 75;

bool IsMonsterCode(std::int32_t code) {
  if (code >= kGridMonsterBase && code <= kGridMonsterLast) return true;
  if (code < 0) {
    const std::string t = GridCodeText(code);
    return !t.empty() && t[0] == 'M';
  }
  return false;
}

void ShowMinimap(std::int32_t part) {
  plat::Control* image = ui::Form1.Iminimap;
  if (image == nullptr) return;
  // Relative to the working folder, as the game names it: map 1 part 3 is map\0103.dat.
  const plat::fs::path file = plat::ResolvePath("map\\" + MinimapFileName(G.MainMap, part));
  if (plat::FileExists(file)) {
    image->Picture = file.string();
    image->Width = G.PartWidths[static_cast<std::size_t>(part)] * kMinimapTwipsPerCell;
    image->Height = G.PartHeights[static_cast<std::size_t>(part)] * kMinimapTwipsPerCell;
  } else {
    image->Picture.clear();
  }
}

}  // namespace

void ChangeMap(std::int32_t part) {
  if (ui::Form1.Psys2 != nullptr) ui::Form1.Psys2->Visible = false;

  // A part the loaded map does not have (a portal or script pointing past the map's
  // parts) cannot be entered.
  if (part < 1 || part > kMaxParts || G.PartWidths[static_cast<std::size_t>(part)] < 1 ||
      G.PartHeights[static_cast<std::size_t>(part)] < 1) {
    plat::MsgBox("文件缺失，程序不能进行");
    EndGame();
  }
  G.SubMap = part;
  ShowMinimap(part);

  // Nothing lies on the ground, no corpse, no target.
  ClearDeadGrid();
  ClearItemGrid();
  G.GroundItems.Reset();
  G.GroundItemCount = 0;
  G.MonsterCount = 0;
  G.TargetTimer = 0;
  G.LockedMon = 0;  // a spell lock does not follow the player into another part

  // The live grid from the part's template; its monster cells are the part's spawns.
  CopyPartGridToGrid(part);
  for (std::int32_t x = 1; x <= kGridSize; ++x)
    for (std::int32_t y = 1; y <= kGridSize; ++y)
      if (IsMonsterCode(GridCode(x, y))) ++G.MonsterCount;

  // Every monster slot afresh from the spawn table.
  const auto& spawns = G.MonsterSpawns[static_cast<std::size_t>(part)];
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxMonsters); ++i) {
    const MonsterInstance& s = spawns[i];
    MonsterInstance& m = G.Monsters[i];
    m.X = s.X;
    m.Y = s.Y;
    m.Kind = s.Kind;
    m.HP = s.HP;
    m.State = ActionState::Stand;
    m.Frame = 1;
    m.Step = 1;
    m.WasHit = 0;
    m.Freeze = 0;
    m.Poison = 0;
    m.LastTick = 0;
    m.PixelX = 0;
    m.PixelY = 0;
    if (s.Kind >= 1 && s.Kind <= G.MonsterKindCount && static_cast<std::size_t>(s.Kind) < G.MonsterKinds.size()) {
      const MonsterKind& k = G.MonsterKinds[static_cast<std::size_t>(s.Kind)];
      m.R = k.R;
      m.G = k.G;
      m.B = k.B;
      m.A = k.A;
    } else {
      m.R = m.G = m.B = m.A = 0;
    }
  }

  // The part's own script, silently. It may move the player on (a nested part change
  // or map load rewrites the part scripts), so it runs on its own copy.
  const std::string script = G.PartScripts[static_cast<std::size_t>(part)];
  RunScript(script, -1);
}
