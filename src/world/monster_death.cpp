#include "world/monster_death.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "common/numbers.h"
#include "graphics/effects.h"
#include "graphics/sound.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/forms.h"
#include "window/form1.h"
#include "world/ground_items.h"
#include "world/game_loop.h"
#include "world/player_record.h"
#include "world/save_game.h"
#include "world/status.h"

namespace {

constexpr std::int32_t kTopLevel = 120;

// The story flags that pause the game under a text of the dialogue panel.
struct StoryText {
  std::int32_t flag;
  std::string_view text;
};
constexpr std::array<StoryText, 4> kStoryTexts{{
    {30, "“大侠，你饶了我吧！”金魔向你求饶\r\n“镇墓玉石在哪？”你问金魔\r\n“那石头被新月岛牛魔王拿去了啊”金魔很慌张\r\n“把你留在世上，只能给苍生带来灾难。”说罢你给金魔致命一击。之后心想：我应该去小渔村问以下新月岛的下落。"},
    {33, "你杀死了牛魔王，拿到了镇墓玉石。"},
    {38, "帮我照顾好我的家人 ……"},
    {39, "我要坚持到最后 ……"},
}};

// The experience that leaving level L costs: L x L x 10 (beyond any experience for a
// level far outside the table).
std::int64_t LevelThreshold(std::int32_t level) { return SquareTimes(level, 10); }

void ShowStoryText(std::int32_t flag) {
  for (const StoryText& s : kStoryTexts) {
    if (s.flag != flag) continue;
    G.GamePaused = 1;
    if (ui::Form1.LSay != nullptr) ui::Form1.LSay->Caption = std::string(s.text);
    if (ui::Form1.Pspt != nullptr) ui::Form1.Pspt->Visible = true;
    return;
  }
}

// One level more, with what the new level L gives.
void GainLevel() {
  PlayerRecord& p = G.Player;
  p.Ex = Saturate32(static_cast<std::int64_t>(p.Ex) - LevelThreshold(p.Level));
  p.Level += 1;
  const std::int32_t L = p.Level;
  if (L % 2 == 0) p.LevelPoint = Saturate32(static_cast<std::int64_t>(p.LevelPoint) + 1);
  if (L < 99) p.SpPoint = Saturate32(static_cast<std::int64_t>(p.SpPoint) + 1);
  p.HpMax = Saturate32(static_cast<std::int64_t>(p.HpMax) + 2);
  p.HP = p.HpMax;
  p.Mp = p.MpMax;
  p.Heavy = Saturate32(static_cast<std::int64_t>(p.Heavy) + (L % 3 == 0 ? 2 : 1));
  if (L % 15 == 0) {
    AddLastingStat(&PlayerRecord::Df, 1);
    AddLastingStat(&PlayerRecord::DfMax, 1);
  }
  AddScreenEffect(1, 0, 0, 0);
  AddSysMessage("恭喜您升级了！", 50, 50, 255);
  SaveGame();
}

// The whole-number part of a count or chance text, or -1 when the text is no number
// of at least 0.
std::int64_t WholeNumber(const std::string& text) {
  const std::optional<double> v = plat::StrictNumber(text, plat::NumberForm::Fraction);
  if (!v || !std::isfinite(*v) || *v < 0) return -1;
  return static_cast<std::int64_t>(std::min(std::floor(*v), 2147483647.0));
}

void AddPending(PendingDrops& drops, const std::string& name) {
  if (drops.Count >= kMaxPendingDrops) return;  // the first 30 are kept
  drops.Count += 1;
  drops.Names[static_cast<std::size_t>(drops.Count)] = name;
}

// The potions a kind may drop, by its hit points.
struct PotionBand {
  std::int32_t low, high;
  std::string_view hp, mp;
  std::int64_t chance;
};
constexpr std::array<PotionBand, 3> kPotionBands{{
    {1, 80, "金创药小", "魔法药小", 20},
    {81, 150, "金创药中", "魔法药中", 20},
    {201, std::numeric_limits<std::int32_t>::max(), "金创药大", "魔法药大", 15},
}};

// A cell of the current part that can take a dropped item.
bool DropCellFree(std::int32_t x, std::int32_t y) {
  const std::int32_t part = G.SubMap;
  if (part < 0 || part > kMaxParts) return false;
  // Bounds first: the last column and row of the part take no item.
  if (x < 1 || y < 1 || x >= G.PartWidths[static_cast<std::size_t>(part)] ||
      y >= G.PartHeights[static_cast<std::size_t>(part)]) {
    return false;
  }
  if (!CellField(part, x, y, 2).empty() || ItemGridAt(x, y) != 0) return false;
  const std::string& kind = CellField(part, x, y, 3);
  return kind.empty() || (kind[0] != 'N' && kind[0] != '0');
}

const MonsterKind* KindOf(const MonsterInstance& m) {
  const auto k = static_cast<std::size_t>(m.Kind);
  if (m.Kind < 1 || m.Kind > G.MonsterKindCount || k >= G.MonsterKinds.size()) return nullptr;
  return &G.MonsterKinds[k];
}

}  // namespace

void RollMonsterDrops(const MonsterKind& kind, PendingDrops& drops) {
  drops.Count = 0;
  const std::int64_t entries = std::min<std::int64_t>(WholeNumber(kind.Drops[0][0]), kMonsterDrops);
  for (std::int64_t e = 1; e <= entries; ++e) {
    const auto& entry = kind.Drops[static_cast<std::size_t>(e)];
    if (entry[0].empty()) continue;
    const std::int64_t n = WholeNumber(entry[1]);
    if (n < 0) continue;  // a chance that is no number drops nothing
    if (plat::RandomInt(static_cast<long>(n)) == 0) AddPending(drops, entry[0]);
  }
  for (const PotionBand& band : kPotionBands) {
    if (kind.Hp < band.low || kind.Hp > band.high) continue;
    if (plat::RandomInt(static_cast<long>(band.chance)) == 0) AddPending(drops, std::string(band.hp));
    if (plat::RandomInt(static_cast<long>(band.chance)) == 0) AddPending(drops, std::string(band.mp));
  }
}

bool PlaceMonsterDrops(std::int32_t x, std::int32_t y, PendingDrops& drops) {
  std::int32_t placed = 0;
  for (std::int32_t r = 1; r <= 10; ++r) {
    for (std::int32_t cx = x - r; cx <= x + r; ++cx) {
      for (std::int32_t cy = y - r; cy <= y + r; ++cy) {
        if (placed >= drops.Count) return true;
        const bool border = cy == y - r || cy == y + r || cx == x - r || cx == x + r;
        if (!border || !DropCellFree(cx, cy)) continue;
        // The cell takes the next name that builds an item.
        while (placed < drops.Count) {
          placed += 1;
          const ItemRecord rec = MakeDropItem(drops.Names[static_cast<std::size_t>(placed)]);
          if (rec.Name.empty()) continue;
          AddGroundItem(cx, cy, rec);
          break;
        }
      }
    }
  }
  // The end is noticed only when a further cell is looked at: drops that fill the very
  // last cell of the tenth ring leave the scan running.
  return false;
}

bool UpdateDyingMonster(std::int32_t n, std::int32_t x, std::int32_t y) {
  if (n < 1 || n > kMaxMonsters) return false;
  MonsterInstance& m = G.Monsters[static_cast<std::size_t>(n)];
  const MonsterKind* kind = KindOf(m);
  const std::int32_t d = m.Direction;
  if (m.Tick == 1) {
    m.Step = 1;
    m.Frame = 129 + d * 10;
  }
  if (m.Tick % 4 == 0) {
    m.Step += 1;
    m.Frame = 128 + d * 10 + m.Step;
    if (m.Step == 4 && G.SoundOn == 1 && kind != nullptr) PlaySoundMci("Sound\\" + kind->Wav + "-4.wav");
    if (m.Step == 5 && kind != nullptr) {
      PendingDrops drops;
      RollMonsterDrops(*kind, drops);
      if (PlaceMonsterDrops(m.X, m.Y, drops)) return true;
    }
  }
  if (m.Tick >= 39) {
    SetGridFree(x, y);
    SetDeadGridAt(x, y, n);
  }
  return false;
}

void StartMonsterDeath(std::int32_t n) {
  if (n < 1 || n > kMaxMonsters) return;
  MonsterInstance& m = G.Monsters[static_cast<std::size_t>(n)];
  m.State = ActionState::Dying;
  m.Tick = 1;
  m.Step = 1;
  if (G.LockedMon == n) G.LockedMon = 0;

  MonsterKind none;
  const bool known = m.Kind >= 1 && m.Kind <= G.MonsterKindCount &&
                     static_cast<std::size_t>(m.Kind) < G.MonsterKinds.size();
  const MonsterKind& kind = known ? G.MonsterKinds[static_cast<std::size_t>(m.Kind)] : none;

  PlayerRecord& p = G.Player;
  if (p.Level < kTopLevel) p.Ex = Saturate32(static_cast<std::int64_t>(p.Ex) + kind.Ex);

  if (kind.Event >= 1 && kind.Event <= kQuestFlags) {
    G.Et[static_cast<std::size_t>(kind.Event)] = 1;
    SaveGame();
    ShowStoryText(kind.Event);
  }

  while (p.Level < kTopLevel && p.Ex >= LevelThreshold(p.Level) && p.HP > 0) GainLevel();
  RefreshStatus();
}
