#include "world/monsters.h"

#include "common/numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "graphics/effects.h"
#include "graphics/sound.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "world/monster_death.h"
#include "world/skills.h"

namespace {

// The chase is given up this long after the last sighting, attack or reel.
constexpr std::int64_t kChaseLimitMs = 40000;
// Hit points a monster regains when it gives up a chase.
constexpr std::int64_t kGiveUpHeal = 100;
// The mana shield is the ring whose icon is this picture.
constexpr std::int32_t kManaShieldPic = 438;
// Frames a paralysing strike holds the player.
constexpr std::int32_t kParalyseFrames = 120;
// The player stands at this offset from the view origin.
constexpr std::int32_t kPlayerOffset = 8;

std::size_t At(std::int32_t n) { return static_cast<std::size_t>(n); }

// A uniform whole number 0..n-1 (one draw, taken even when n < 1, which gives 0).
std::int64_t Draw(std::int64_t n) {
  const double u = plat::Rnd();
  if (n <= 0) return 0;
  const double r = std::floor(static_cast<double>(n) * u);
  if (!(r >= 0)) return 0;
  return std::min(static_cast<std::int64_t>(r), n - 1);
}

// A kind's frame divisors: below 1 they act as 1.
std::int64_t Divisor(std::int32_t v) { return std::max<std::int32_t>(v, 1); }

bool Ranged(const MonsterKind& k) { return k.ActType > 0; }

// Walks the facing round the compass: 0 turns to 7 or 1.
std::int32_t Turn(std::int32_t d, std::int32_t by) { return ((d + by) % 8 + 8) % 8; }

void PlayKindSound(const MonsterKind& k, std::string_view suffix) {
  if (G.SoundOn != 1) return;
  std::string file = "Sound\\";
  file += k.Wav;
  file += suffix;
  PlaySoundMci(file);
}

// A number as a floating text, without building a string on the heap.
void FloatNumber(std::int64_t v, std::int32_t x, std::int32_t y, std::int32_t r, std::int32_t g,
                 std::int32_t b) {
  std::array<char, 24> buf{};
  const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  const std::string_view text(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
  AddFloatingText(text, x, y, r, g, b);
}

bool PlayerInSquare(std::int32_t i, std::int32_t j, std::int32_t eye) {
  return std::abs(kPlayerOffset - i) <= eye && std::abs(kPlayerOffset - j) <= eye;
}

// One monster under the scan: its index, record and kind, its cell and its offsets.
struct Scan {
  std::int32_t n;
  MonsterInstance& m;
  const MonsterKind& k;
  std::int32_t x, y;
  std::int32_t i, j;
  std::int64_t now;
};

// ---------------------------------------------------------------------------------
// The upkeep before the action

// Poison damage of one tick: a chain of fresh draws.
std::int32_t PoisonDamage() {
  if (10.0 * plat::Rnd() < 2.0) return 1;
  if (10.0 * plat::Rnd() < 4.0) return 2;
  if (10.0 * plat::Rnd() < 4.0) return 3;
  if (10.0 * plat::Rnd() < 5.0) return 4;
  if (10.0 * plat::Rnd() < 4.0) return 5;
  return 6;
}

void ColdWind(Scan& s) {
  if (G.ColdWindActive != 1 || s.i < 0 || s.i > 15 || s.j < 0 || s.m.Tick % 10 != 0) return;
  const std::int64_t hp = static_cast<std::int64_t>(s.m.HP) - 5 * static_cast<std::int64_t>(SkillLevel(10));
  s.m.HP = Saturate32(std::max<std::int64_t>(hp, 0));
}

void PoisonAndTint(Scan& s) {
  MonsterInstance& m = s.m;
  if (m.Poison < 1 || m.HP < 1) {
    m.R = s.k.R;
    m.G = s.k.G;
    m.B = s.k.B;
    return;
  }
  m.R = 80;
  m.G = 255;
  m.B = 80;
  m.Poison -= 1;
  if (m.Poison % 60 != 0) return;
  const std::int32_t p = PoisonDamage();
  m.HP -= p;
  FloatNumber(p, s.x - 1, s.y - 1, 255, 255, 0);
  if (m.HP < 0) m.HP = 0;
}

// True when the monster sees the player now and starts after them.
bool Sight(Scan& s) {
  MonsterInstance& m = s.m;
  if (G.Player.InvisTime != 0 || m.State != ActionState::Stand || (m.Tick != 1 && m.Tick != 20)) return false;
  if (G.Player.HP <= 0 || !PlayerInSquare(s.i, s.j, s.k.Eye)) return false;
  m.State = Ranged(s.k) ? ActionState::Attack : ActionState::Chase;
  m.LastTick = s.now;
  return true;
}

void Wander(MonsterInstance& m) {
  if (m.State != ActionState::Stand || m.Tick != 1) return;
  const std::int64_t r = Draw(10);
  if (r >= 1 && r <= 4) {
    m.Direction = static_cast<std::int32_t>(Draw(8));
  } else if (r >= 5 && r <= 7) {
    m.State = ActionState::Move;
    m.Tick = 1;
  }
}

void HitReaction(MonsterInstance& m) {
  if (m.WasHit != 1) return;
  if (m.State != ActionState::Chase && m.State != ActionState::Rest && m.State != ActionState::Stand) return;
  m.WasHit = 0;
  m.Tick = 1;
  m.State = ActionState::Hit;
}

// ---------------------------------------------------------------------------------
// The actions

void Standing(Scan& s) {
  MonsterInstance& m = s.m;
  const std::int32_t d = m.Direction;
  if (m.Tick == 1) {
    m.Step = 1;
    m.Frame = d * 4 + 1;
  }
  if (m.Tick % 11 == 0) {
    m.Step += 1;
    m.Frame = d * 4 + m.Step;
    if (Draw(10) == 1 && m.Step == 2) PlayKindSound(s.k, "-1.wav");
  }
  if (m.Tick >= 43) m.Tick = 0;
}

// A step's target cell is blocked by a monster, a blocked cell, the player or the edge.
bool StepBlocked(std::int32_t tx, std::int32_t ty) {
  if (tx == PlayerCellX() && ty == PlayerCellY()) return true;
  return GridBlocked(tx, ty);  // off the part reads as blocked
}

void Moving(Scan& s) {
  MonsterInstance& m = s.m;
  if (m.Tick == 1) {
    const CellOffset o = DirectionOffset(m.Direction);
    const std::int32_t tx = s.x + o.dx, ty = s.y + o.dy;
    if ((o.dx == 0 && o.dy == 0) || StepBlocked(tx, ty)) {
      if (Draw(3) < 2) {
        m.Direction = Turn(m.Direction, Draw(2) == 1 ? -1 : 1);
      } else {
        m.Direction = static_cast<std::int32_t>(Draw(8));
      }
      m.Tick = 0;
      return;
    }
    SetGridCode(tx, ty, GridCode(s.x, s.y));
    SetGridFree(s.x, s.y);
    m.X = tx;
    m.Y = ty;
    m.PixelX = -48 * o.dx;
    m.PixelY = -32 * o.dy;
  }

  const std::int64_t sp = Divisor(s.k.StepSpeed);
  const std::int32_t d = m.Direction;
  if (m.Tick == 1) {
    StepMonsterPixel(s.n);
    m.Step = 1;
    m.Frame = 33 + d * 6;
  }
  if (m.Tick % sp == 0) {
    m.Step += 1;
    m.Frame = 32 + d * 6 + m.Step;
    if (m.Step >= 1 && m.Step <= 5) StepMonsterPixel(s.n);
    if (m.Step == 6) {
      StepMonsterPixel(s.n);
      StepMonsterPixel(s.n);
    }
  }
  if (m.Tick >= 6 * sp - 1) {
    m.PixelX = 0;
    m.PixelY = 0;
    m.State = ActionState::Chase;
    m.Tick = 0;
    m.Step = 1;
  }
}

// The facing toward the player from the offsets (i, j).
std::int32_t TowardPlayer(std::int32_t i, std::int32_t j) {
  if (i > kPlayerOffset) {
    return j < kPlayerOffset ? DirSouthWest : (j == kPlayerOffset ? DirWest : DirNorthWest);
  }
  if (i < kPlayerOffset) {
    return j > kPlayerOffset ? DirNorthEast : (j == kPlayerOffset ? DirEast : DirSouthEast);
  }
  if (j > kPlayerOffset) return DirNorth;
  if (j < kPlayerOffset) return DirSouth;
  return static_cast<std::int32_t>(Draw(8));
}

void Attacking(Scan& s);

// False when the monster gave up the chase, which ends this frame's scan.
bool Chasing(Scan& s) {
  MonsterInstance& m = s.m;
  if (s.now - m.LastTick > kChaseLimitMs || G.Player.HP <= 0) {
    m.State = ActionState::Stand;
    m.HP = Saturate32(std::min<std::int64_t>(static_cast<std::int64_t>(m.HP) + kGiveUpHeal, s.k.Hp));
    return false;
  }
  const std::int32_t di = s.i - kPlayerOffset, dj = s.j - kPlayerOffset;
  if (!Ranged(s.k)) {
    if (std::abs(di) <= 1 && std::abs(dj) <= 1 && (di != 0 || dj != 0)) {
      // Turn to face the player.
      m.Direction = TowardPlayer(s.i, s.j);
      m.Tick = 0;
      m.State = ActionState::Attack;
      return true;
    }
  } else if (PlayerInSquare(s.i, s.j, s.k.Eye)) {
    m.State = ActionState::Attack;
    Attacking(s);
    return true;
  }
  m.Direction = TowardPlayer(s.i, s.j);
  m.Tick = 0;
  m.State = ActionState::Move;
  return true;
}

void Attacking(Scan& s) {
  MonsterInstance& m = s.m;
  const std::int64_t sp = Divisor(s.k.DcSpeed);
  const std::int32_t d = m.Direction;
  if (m.Tick == 1) {
    m.Step = 1;
    m.Frame = 81 + d * 6;
    if (Ranged(s.k)) AddScreenEffect(s.k.ActType, G.ViewX + 8, G.ViewY + 8, 0);
  }
  if (m.Tick % sp == 0) {
    if (m.Step == 2) PlayKindSound(s.k, "-2.wav");
    if (m.Step == 3) MonsterStrike(s.n, s.i, s.j);
    m.Step += 1;
    m.Frame = 80 + d * 6 + m.Step;
  }
  if (m.Tick >= 6 * sp - 1) {
    m.State = ActionState::Rest;
    m.Tick = 0;
    m.Step = 1;
    m.LastTick = s.now;
  }
}

void Resting(Scan& s) {
  MonsterInstance& m = s.m;
  const std::int32_t d = m.Direction;
  if (m.Tick == 1) {
    m.Step = 1;
    m.Frame = d * 4 + 1;
  }
  if (m.Tick % 11 == 0) {
    m.Step += 1;
    m.Frame = d * 4 + m.Step;
  }
  if (m.Tick > s.k.DcSleep) {  // not a divisor: a rest of 0 lasts one frame
    m.Tick = 0;
    m.State = 10.0 * plat::Rnd() >= 2.0 ? ActionState::Chase : ActionState::Move;
  }
}

void Reeling(Scan& s) {
  MonsterInstance& m = s.m;
  const std::int32_t d = m.Direction;
  if (m.Tick == 1) {
    m.Step = 1;
    m.Frame = 129 + d * 10;
  }
  if (m.Tick % 4 == 0) {
    m.Step += 1;
    m.Frame = 128 + d * 10 + m.Step;
    if (m.Step == 2) PlayKindSound(s.k, "-3.wav");
  }
  if (m.Tick >= 12) {
    m.Tick = 0;
    m.LastTick = s.now;
    if (G.Player.InvisTime == 0) m.State = ActionState::Chase;
  }
}

// One monster's frame. False when this frame's scan must end here.
bool RunMonster(Scan& s) {
  MonsterInstance& m = s.m;
  m.Tick = Saturate32(static_cast<std::int64_t>(m.Tick) + 1);
  ColdWind(s);
  PoisonAndTint(s);
  if (m.Freeze > 0 && m.HP > 0) {
    m.Freeze -= 1;
    if (m.State != ActionState::Move) return true;  // a step in progress is finished
  }
  if (m.HP <= 0 && m.State != ActionState::Move && m.State != ActionState::Dying) {
    m.HP = 0;
    StartMonsterDeath(s.n);
  }
  if (!Sight(s)) Wander(m);
  HitReaction(m);

  switch (m.State) {
    case ActionState::Stand: Standing(s); break;
    case ActionState::Move: Moving(s); break;
    case ActionState::Chase: return Chasing(s);
    case ActionState::Attack: Attacking(s); break;
    case ActionState::Rest: Resting(s); break;
    case ActionState::Hit: Reeling(s); break;
    case ActionState::Dying: return !UpdateDyingMonster(s.n, s.x, s.y);
    default: break;
  }
  return true;
}

}  // namespace

const MonsterKind* MonsterKindOf(std::int32_t n) {
  if (n < 1 || n > kMaxMonsters) return nullptr;
  const std::int32_t k = G.Monsters[At(n)].Kind;
  if (k < 1 || k > G.MonsterKindCount || At(k) >= G.MonsterKinds.size()) return nullptr;
  return &G.MonsterKinds[At(k)];
}

void StepMonsterPixel(std::int32_t n) {
  if (n < 1 || n > kMaxMonsters) return;
  MonsterInstance& m = G.Monsters[At(n)];
  if (m.Direction < 0 || m.Direction > 7) return;
  const CellOffset o = DirectionOffset(m.Direction);
  m.PixelX += 6 * o.dx;
  m.PixelY += 4 * o.dy;
}

void MonsterStrike(std::int32_t n, std::int32_t i, std::int32_t j) {
  const MonsterKind* kp = MonsterKindOf(n);
  if (kp == nullptr) return;
  const MonsterKind& k = *kp;
  MonsterInstance& m = G.Monsters[At(n)];
  PlayerRecord& p = G.Player;

  // Range, dodge and damage, decided afresh for every strike.
  bool reaches = true, lands = true;
  std::int64_t damage = 0;
  if (Ranged(k)) {
    const std::int64_t attack = Draw(static_cast<std::int64_t>(k.DcMax) - k.Dc + 1) + k.Dc;
    damage = attack - (Draw(static_cast<std::int64_t>(p.MfMax) - p.Mf + 1) + p.Mf);
  } else {
    reaches = i >= 6 && i <= 10 && j >= 6 && j <= 10;  // the player may have stepped away
    lands = Draw(15) >= p.Nb;
    if (reaches && lands) {
      const std::int64_t attack = Draw(static_cast<std::int64_t>(k.DcMax) - k.Dc + 1) + k.Dc;
      damage = attack - (Draw(static_cast<std::int64_t>(p.DfMax) - p.Df + 1) + p.Df);
    }
  }

  // Poison, life steal and paralysis, whether or not the strike landed.
  if (Draw(100) < k.zd) {
    const std::int64_t t = Draw(300) + 800 - 50 * static_cast<std::int64_t>(p.Luck);
    p.PoisonTime = Saturate32(std::max<std::int64_t>(t, 0));  // great luck shrugs the poison off
  }
  if (k.XiHP > 0) {
    if (Draw(10) < k.XiHP) {
      const double gain = (Ranged(k) ? 5.0 : 2.0) * plat::Rnd() + 1.0;
      m.HP = Saturate32(plat::RoundHalfEven(static_cast<double>(m.HP) + gain));
    }
    if (m.HP > k.Hp) m.HP = k.Hp;
  }
  if (Draw(100) < k.MaBi) {
    p.MBSP = kParalyseFrames;
    AddScreenEffect(3, G.ViewX + 8, G.ViewY + 8, 0);
  }

  if (damage < 1) damage = 1;  // a miss or a short strike still costs a point

  const bool shield = G.Player.Items[8].Pic1 == kManaShieldPic || G.Player.Items[9].Pic1 == kManaShieldPic;
  if (shield) {
    const std::int64_t mp = std::max<std::int32_t>(p.Mp, 0);
    if (mp < damage) {
      damage -= mp;
      p.Mp = 0;
    } else {
      p.Mp = Saturate32(mp - damage);
      damage = 0;
    }
  }

  p.HP = Saturate32(std::max<std::int64_t>(static_cast<std::int64_t>(p.HP) - damage, 0));
  if (p.ActState == ActionState::Stand) {
    p.ActState = ActionState::Hit;
    p.ActCounter = 0;
  }

  if (!reaches) return;
  if (lands) FloatNumber(damage, G.ViewX + 7, G.ViewY + 7, 255, 50, 50);
  else AddFloatingText("MISS", G.ViewX + 7, G.ViewY + 7, 255, 50, 50);
}

void UpdateMonsters() {
  const std::int64_t now = plat::Tick();
  for (std::int32_t j = -3; j <= 17; ++j) {
    for (std::int32_t i = -3; i <= 17; ++i) {
      const std::int32_t x = G.ViewX + i, y = G.ViewY + j;
      const std::int32_t n = GridMonster(x, y);  // off the part: no monster
      if (n == 0) continue;
      const MonsterKind* k = MonsterKindOf(n);
      if (k == nullptr) continue;  // a slot that names no kind stands still
      Scan s{n, G.Monsters[At(n)], *k, x, y, i, j, now};
      if (!RunMonster(s)) return;
    }
  }
}
