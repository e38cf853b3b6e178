#include "world/spirit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "common/numbers.h"
#include "graphics/effects.h"
#include "graphics/sound.h"
#include "platform/clock.h"

namespace {

// How far from the view centre (ViewX + 7, ViewY + 7) the spirit may stray before it
// jumps back onto the player, and before it turns to step back toward the player.
constexpr std::int64_t kJumpX = 9;
constexpr std::int64_t kJumpY = 7;
constexpr std::int64_t kFollowEast = 6;
constexpr std::int64_t kFollowWest = -6;
constexpr std::int64_t kFollowSouth = 5;
constexpr std::int64_t kFollowNorth = -4;

constexpr std::int64_t kCastSpacingMs = 1500;  // casts begin more than this apart
constexpr std::int32_t kHealerLevel = 3;       // only a level-3 spirit heals
constexpr std::int32_t kLightningLevel = 2;    // from level 2 it strikes poisoned monsters

// The square searched for monsters to poison: offsets 2..13 from the view origin.
constexpr std::int32_t kSearchFirst = 2;
constexpr std::int32_t kSearchLast = 13;

// Effects the spirit starts.
constexpr std::int32_t kArrivalEffect = 10;   // screen animation at its jump
constexpr std::int32_t kPoisonEffect = 5;     // screen animation on a poisoned monster
constexpr std::int32_t kHealSkill = 8;        // the heal skill's animation
constexpr std::int32_t kLightningSkill = 11;  // the lightning skill
constexpr std::int32_t kFromSpirit = 1;       // marks a skill entry as the spirit's: free, its own rules

// Frame counts of the three states and the sprite frame groups.
constexpr std::int32_t kIdleStepEvery = 11;
constexpr std::int32_t kIdleCycle = 43;
constexpr std::int32_t kMoveEnd = 11;
constexpr std::int32_t kCastStepEvery = 5;
constexpr std::int32_t kCastEnd = 29;
constexpr std::int32_t kIdleFrames = 4;   // per facing
constexpr std::int32_t kActionFrames = 6;  // per facing, stepping and casting
constexpr std::int32_t kMoveFrameBase = 32;
constexpr std::int32_t kCastFrameBase = 80;

constexpr std::int32_t kCellWidth = 48;
constexpr std::int32_t kCellHeight = 32;
constexpr std::int32_t kPixelStepX = 6;
constexpr std::int32_t kPixelStepY = 4;

void PlaySpiritSound(std::string_view file) {
  if (G.SoundOn == 1) PlaySoundMci(file);
}

bool CastSpacingPassed() { return plat::Tick() - G.Spirit.LastTick > kCastSpacingMs; }

void StartMoving() {
  G.Spirit.State = SpiritState::Move;
  G.Spirit.Anim = 1;
}

void StartCasting() {
  G.Spirit.State = SpiritState::Magic;
  G.Spirit.Anim = 1;
}

// The facing whose one-cell step is (dx, dy); (0, 0) gives north.
std::int32_t FacingOf(int dx, int dy) {
  for (std::size_t d = 0; d < kDirectionOffsets.size(); ++d) {
    if (kDirectionOffsets[d].dx == dx && kDirectionOffsets[d].dy == dy) return static_cast<std::int32_t>(d);
  }
  return DirNorth;
}

// The monster standing on a map cell, through the live grid (a cell off the current
// part, or one whose "M" text names no monster 1..300, holds none).
std::int32_t MonsterOn(std::int64_t x, std::int64_t y) {
  if (x < 1 || y < 1 || x > kGridSize || y > kGridSize) return 0;
  return GridMonster(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
}

// A heal of the player while its hit points are below `share` of the maximum, with a
// chance of three in `outOf`: `pool` points flow into HpPool and `shown` floats over
// the player. The draw is taken only once the level and the hit points qualify.
bool TryHeal(double share, double outOf, std::int64_t pool, std::int64_t shown) {
  const PlayerRecord& p = G.Player;
  if (G.Spirit.Level != kHealerLevel) return false;
  if (!(p.HP < std::floor(static_cast<double>(p.HpMax) * share))) return false;
  if (!(plat::Rnd() * outOf < 3.0)) return false;
  if (!CastSpacingPassed()) return false;
  PlaySpiritSound("Sound\\HP恢复.Wav");
  G.HpPool = Saturate32(static_cast<std::int64_t>(G.HpPool) + pool);
  AddSkillEffect(kHealSkill, 0, 0, 0, kFromSpirit);
  AddFloatingText(std::to_string(shown), G.ViewX + 7, G.ViewY + 7, 255, 255, 255);
  StartCasting();
  return true;
}

// The search of the view for a monster to poison (or, when already poisoned, to strike
// from level 2). Every cell of the square takes one draw 0..2, in column order; a cell
// is chosen when it holds a monster, its draw is 1 and the last cast is long enough ago.
bool TryPoison() {
  SpiritRecord& s = G.Spirit;
  const bool ready = CastSpacingPassed();
  for (std::int32_t i = kSearchFirst; i <= kSearchLast; ++i) {
    for (std::int32_t j = kSearchFirst; j <= kSearchLast; ++j) {
      const std::int64_t x = static_cast<std::int64_t>(G.ViewX) + i;
      const std::int64_t y = static_cast<std::int64_t>(G.ViewY) + j;
      const std::int32_t n = MonsterOn(x, y);
      const bool drawn = plat::RandomInt(3) == 1;
      if (n == 0 || !drawn || !ready) continue;
      MonsterInstance& m = G.Monsters[static_cast<std::size_t>(n)];
      // MonsterOn found the cell on the grid, so x and y fit.
      const auto cx = static_cast<std::int32_t>(x);
      const auto cy = static_cast<std::int32_t>(y);
      if (m.Poison == 0) {
        PlaySpiritSound("Sound\\下毒.wav");
        m.Poison = Saturate32(plat::RandomInt(300) + 600 + 50 * static_cast<std::int64_t>(s.Level));
        AddScreenEffect(kPoisonEffect, cx, cy, 0);
        StartCasting();
        return true;
      }
      if (s.Level >= kLightningLevel) {
        AddSkillEffect(kLightningSkill, cx, cy, 0, kFromSpirit);
        StartCasting();
        return true;
      }
      // A level-1 spirit passes over a poisoned monster.
    }
  }
  return false;
}

void Wander() {
  const long r = plat::RandomInt(9);
  if (r >= 1 && r <= 4) {
    G.Spirit.Direction = static_cast<std::int32_t>(plat::RandomInt(8));
  } else if (r >= 5 && r <= 7) {
    StartMoving();
  }
}

// The decision at the first frame of an idle cycle: the first rule that applies.
void Decide() {
  SpiritRecord& s = G.Spirit;
  const std::int64_t ox = static_cast<std::int64_t>(s.X) - (static_cast<std::int64_t>(G.ViewX) + 7);
  const std::int64_t oy = static_cast<std::int64_t>(s.Y) - (static_cast<std::int64_t>(G.ViewY) + 7);

  if (ox > kJumpX || ox < -kJumpX || oy > kJumpY || oy < -kJumpY) {
    s.X = PlayerCellX();
    s.Y = PlayerCellY();
    AddScreenEffect(kArrivalEffect, 9, 9, 0);
    StartMoving();  // it steps on at once in the facing it had
    return;
  }

  const int hx = ox > kFollowEast ? 1 : (ox < kFollowWest ? -1 : 0);
  const int hy = oy > kFollowSouth ? 1 : (oy < kFollowNorth ? -1 : 0);
  if (hx != 0 || hy != 0) {
    s.Direction = FacingOf(-hx, -hy);  // back toward the player
    StartMoving();
    return;
  }

  const std::int64_t level = s.Level;
  if (TryHeal(0.15, 9.0, level * 10, level * 10)) return;
  if (TryHeal(0.5, 8.0, 2, level - 1)) return;
  if (TryPoison()) return;
  Wander();
}

void RunIdle() {
  SpiritRecord& s = G.Spirit;
  const std::int32_t d = s.Direction;
  if (s.Anim == 1) {
    s.Frame = d * kIdleFrames + 1;
    s.Step = 1;
  }
  if (s.Anim % kIdleStepEvery == 0) {
    s.Step += 1;
    s.Frame = d * kIdleFrames + s.Step;
  }
  if (s.Anim >= kIdleCycle) s.Anim = 0;
}

void RunMove() {
  SpiritRecord& s = G.Spirit;
  const std::int32_t d = s.Direction;
  if (s.Anim == 1) {
    // Into the next cell with no test at all; the picture starts back at the old cell.
    const CellOffset o = DirectionOffset(d);
    s.X = Saturate32(static_cast<std::int64_t>(s.X) + o.dx);
    s.Y = Saturate32(static_cast<std::int64_t>(s.Y) + o.dy);
    s.PixelX = -kCellWidth * o.dx;
    s.PixelY = -kCellHeight * o.dy;
    StepSpiritPixel();
    s.Frame = kMoveFrameBase + 1 + d * kActionFrames;
    s.Step = 1;
  }
  if (s.Anim % 2 == 0) {
    s.Step += 1;
    s.Frame = kMoveFrameBase + d * kActionFrames + s.Step;
    if (s.Step >= 1 && s.Step <= 5) StepSpiritPixel();
    if (s.Step == 6) {
      StepSpiritPixel();
      StepSpiritPixel();
    }
  }
  if (s.Anim >= kMoveEnd) {
    s.PixelX = 0;
    s.PixelY = 0;
    s.State = SpiritState::Idle;
    s.Anim = 0;
    s.Step = 0;
  }
}

void RunCast() {
  SpiritRecord& s = G.Spirit;
  const std::int32_t d = s.Direction;
  if (s.Anim == 1) {
    s.Frame = kCastFrameBase + 1 + d * kActionFrames;
    s.Step = 1;
    s.LastTick = plat::Tick();
    PlaySpiritSound("Sound\\精灵.wav");
  }
  if (s.Anim % kCastStepEvery == 0) {
    s.Step += 1;
    s.Frame = kCastFrameBase + d * kActionFrames + s.Step;
  }
  if (s.Anim >= kCastEnd) {
    s.State = SpiritState::Idle;
    s.Anim = 0;
    s.Step = 1;
  }
}

}  // namespace

void StepSpiritPixel() {
  SpiritRecord& s = G.Spirit;
  if (s.Direction < 0 || s.Direction > 7) return;
  const CellOffset o = DirectionOffset(s.Direction);
  s.PixelX += kPixelStepX * o.dx;
  s.PixelY += kPixelStepY * o.dy;
}

void UpdateSpirit() {
  SpiritRecord& s = G.Spirit;
  const PlayerRecord& p = G.Player;
  if (p.Mp == 0) s.Level = 0;
  if (s.Level < 1 || p.Mp < 1 || p.HP < 1) return;

  s.Anim += 1;
  if (s.State == SpiritState::Idle && s.Anim == 1) Decide();

  switch (s.State) {
    case SpiritState::Idle:
      RunIdle();
      break;
    case SpiritState::Move:
      RunMove();
      break;
    case SpiritState::Magic:
      RunCast();
      break;
  }
}
