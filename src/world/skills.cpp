#include "world/skills.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "common/numbers.h"
#include "graphics/effects.h"
#include "graphics/resources.h"
#include "graphics/scene_draw.h"
#include "graphics/sound.h"
#include "graphics/texture_cache.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "script/script.h"
#include "world/game_loop.h"
#include "world/monsters.h"
#include "world/player.h"
#include "world/player_record.h"
#include "world/status.h"

namespace {

using i64 = std::int64_t;

enum class Pass { Next, Stop };

constexpr plat::Color kWhite{255, 255, 255, 255};

SkillEffect& Slot(int i) { return G.SkillEffects[static_cast<std::size_t>(i)]; }

i64 Draw(i64 n) { return plat::RandomInt(static_cast<long>(n)); }
// A fresh draw times n, rounded to the nearest whole number with halves to even.
i64 DrawRounded(double n) { return static_cast<i64>(std::nearbyint(plat::Rnd() * n)); }

void PlaySound(std::string_view file) {
  if (G.SoundOn == 1) PlaySoundMci(file);
}

// Takes the cost from the player's MP; false (nothing taken) when MP falls short.
bool Pay(std::int32_t cost) {
  if (G.Player.Mp < cost) return false;
  G.Player.Mp -= cost;
  return true;
}

void Free(SkillEffect& e) { e.Kind = 0; }

// ---- drawing

void DrawPicture(int set, i64 frame, i64 x, i64 y, std::uint8_t alpha = 255) {
  const FrameOffset o = SkillOffset(set, static_cast<long>(frame));
  plat::Color c = kWhite;
  c.a = alpha;
  DrawSpriteAt(SkillTexture(set, static_cast<long>(frame)), static_cast<float>(x + o.X), static_cast<float>(y + o.Y),
               c);
}

// Around the player, at the screen centre.
void DrawAtPlayer(int set, i64 frame) { DrawPicture(set, frame, 384, 256); }

// Anchored at the entry's map cell (and its pixel offset within a hop).
void DrawAtCell(const SkillEffect& e, int set, i64 frame, std::uint8_t alpha = 255) {
  DrawPicture(set, frame, (static_cast<i64>(e.X) - G.ViewX - 1) * 48 + e.OffsetX + G.ScrollX,
              (static_cast<i64>(e.Y) - G.ViewY - 1) * 32 + e.OffsetY + G.ScrollY, alpha);
}

// ---- the damage terms

i64 WeaponLevel() { return G.Player.Items[1].Ex / 2000; }
i64 PhysicalRoll() { return Draw(static_cast<i64>(G.Player.DcMax) - G.Player.Dc + 1) + G.Player.Dc; }
i64 MagicRoll() { return Draw(static_cast<i64>(G.Player.McMax) - G.Player.Mc + 1) + G.Player.Mc; }
i64 AuraBonus() { return Draw(G.AuraLevel); }

const MonsterKind& KindOf(std::int32_t n) {
  static const MonsterKind none;
  const MonsterKind* k = MonsterKindOf(n);
  return k != nullptr ? *k : none;
}
i64 MagicDefence(std::int32_t n) {
  const MonsterKind& k = KindOf(n);
  return Draw(static_cast<i64>(k.MfMax) - k.mf + 1) + k.mf;
}
bool Undead(std::int32_t n) { return plat::Right(KindOf(n).MonName, 1) == "尸"; }

void Strike(std::int32_t n, i64 d, std::int32_t cx, std::int32_t cy) {
  MonsterInstance& m = G.Monsters[static_cast<std::size_t>(n)];
  m.HP = Saturate32(static_cast<i64>(m.HP) - d);
  if (m.HP <= 0) m.HP = 0;
  else m.WasHit = 1;
  AddFloatingText(std::to_string(d), cx - 1, cy - 1, 100, 100, 255);
}

struct Hit {
  std::int32_t n, x, y;
};
struct HitList {
  std::array<Hit, 9> hits{};
  std::size_t count = 0;
  void Scan(std::int32_t x, std::int32_t y) {
    const std::int32_t n = GridMonster(x, y);
    if (n > 0 && count < hits.size()) hits[count++] = Hit{n, x, y};
  }
};

// A spell lock counts only while its monster stands on the grid, alive and listed.
bool LockHolds() {
  const std::int32_t n = G.LockedMon;
  if (n < 1 || n > G.MonsterCount || n > kMaxMonsters) return false;
  const MonsterInstance& m = G.Monsters[static_cast<std::size_t>(n)];
  return m.HP > 0 && GridMonster(m.X, m.Y) == n;
}

bool PlayerStandsOrDead() { return G.Player.ActState == ActionState::Stand || G.Player.HP <= 0; }

// ---- the kinds centred on the player

struct CellPair {
  int x1, y1, x2, y2;
};
// The air slash's two cells by direction (the player at (8, 8)); west lists the farther first.
constexpr std::array<CellPair, 8> kAirSlashCells{{
    {8, 6, 8, 5}, {10, 6, 11, 5}, {10, 8, 11, 8}, {10, 10, 11, 11},
    {8, 10, 8, 11}, {6, 10, 5, 11}, {5, 8, 6, 8}, {6, 6, 5, 5},
}};

Pass AirSlash(SkillEffect& e) {
  PlayerRecord& p = G.Player;
  if (PlayerStandsOrDead()) {
    Free(e);
    return Pass::Next;
  }
  if (p.ActCounter == 18) PlaySound("Sound\\斩空.wav");
  const std::int32_t level = SkillLevel(2);
  if (p.ActCounter % SwingPeriod() == 0 && p.ActStep == 4 && p.Direction >= 0 && p.Direction <= 7) {
    const CellPair& c = kAirSlashCells[static_cast<std::size_t>(p.Direction)];
    const std::array<Hit, 2> cells{{{0, G.ViewX + c.x1, G.ViewY + c.y1}, {0, G.ViewX + c.x2, G.ViewY + c.y2}}};
    for (std::size_t i = 0; i < cells.size(); ++i) {
      Hit h = cells[i];
      h.n = GridMonster(h.x, h.y);
      if (h.n == 0) continue;
      // Each cell keeps its entry number, so a monster on the second cell gets +6 alone.
      i64 d = PhysicalRoll() + p.Luck + level + 3 * static_cast<i64>(i + 1);
      d += AuraBonus();
      if (d < 1) d = 1;
      d += WeaponLevel();
      Strike(h.n, d, h.x, h.y);
    }
  }
  DrawAtPlayer(2, static_cast<i64>(p.ActStep) + 6 * static_cast<i64>(p.Direction));
  return Pass::Next;
}

Pass FireSword(SkillEffect& e) {
  if (PlayerStandsOrDead()) {
    Free(e);
    return Pass::Next;
  }
  DrawAtPlayer(3, static_cast<i64>(G.Player.ActStep) + 6 * static_cast<i64>(G.Player.Direction));
  return Pass::Next;
}

// The eight cells around the player, north first, then clockwise.
constexpr std::array<std::array<int, 2>, 8> kRing{{{8, 7}, {9, 7}, {9, 8}, {9, 9}, {8, 9}, {7, 9}, {7, 8}, {7, 7}}};

Pass ShockSlash(SkillEffect& e) {
  e.Frame += 1;
  if (e.Frame == 8) {
    HitList list;
    for (const auto& c : kRing) list.Scan(G.ViewX + c[0], G.ViewY + c[1]);
    const std::int32_t level = SkillLevel(4);
    for (std::size_t i = 0; i < list.count; ++i) {
      i64 d = PhysicalRoll() + G.Player.Luck + 2 * static_cast<i64>(level);
      if (d < 1) d = 1;
      Strike(list.hits[i].n, d, list.hits[i].x, list.hits[i].y);
    }
  }
  DrawAtPlayer(4, e.Frame / 4 + 4 * static_cast<i64>(G.Player.Direction) + 1);
  if (e.Frame > 14) Free(e);
  return Pass::Next;
}

Pass Shield(SkillEffect& e) {
  e.Frame += 1;
  const std::int32_t level = SkillLevel(7);
  if (e.Frame == 1) {
    if (!Pay(10)) {
      Free(e);
      return Pass::Stop;
    }
    // The bonus given, taken off again at the end. It belongs to the character's own
    // stats, which a form worn meanwhile keeps aside and gives back.
    e.P2 = level;
    AddLastingStat(&PlayerRecord::DfMax, 3 * static_cast<i64>(level));
    AddLastingStat(&PlayerRecord::MfMax, level);
    RefreshStatus();
    PlaySound("Sound\\精神盾.wav");
  }
  if (e.Frame < 29) DrawAtPlayer(7, e.Frame / 5 + 1);
  if (e.Frame > (static_cast<i64>(level) + 1) * 600) {
    AddScreenEffect(2, 0, 0, 0);
    AddLastingStat(&PlayerRecord::DfMax, -3 * static_cast<i64>(e.P2));
    AddLastingStat(&PlayerRecord::MfMax, -static_cast<i64>(e.P2));
    Free(e);
    e.Frame = 0;
    RefreshStatus();
  }
  return Pass::Next;
}

Pass Healing(SkillEffect& e) {
  e.Frame += 1;
  if (e.Frame == 1 && e.P1 == 0) {
    if (Pay(10)) {
      G.HpPool = Saturate32(static_cast<i64>(G.HpPool) + 20 + WeaponLevel() + G.Player.Luck +
                            6 * static_cast<i64>(SkillLevel(8)));
      PlaySound("Sound\\HP恢复.Wav");
    } else {
      Free(e);  // its first picture still shows
    }
  }
  DrawAtPlayer(8, e.Frame / 4 + 1);
  if (e.Frame > 38) {
    Free(e);
    e.P1 = 0;
  }
  return Pass::Next;
}

void Snowfall() {
  for (WindParticle& w : G.WindParticles) {
    const double u1 = plat::Rnd();
    const double u2 = plat::Rnd();
    if ((w.Y > 400 && u1 * 30 < 1) || (w.X < 0 && u2 * 30 < 1)) {
      w.Y = 1;
      w.X = static_cast<std::int32_t>(Draw(900) + 10);
      w.Kind = static_cast<std::int32_t>(Draw(3) + 1);
      continue;
    }
    w.Y = Saturate32(static_cast<i64>(w.Y) + 10);
    const double u3 = plat::Rnd();
    const double x = u3 * 50 < 1 ? w.X + plat::Rnd() * 8 : w.X - plat::Rnd() * 14;
    w.X = Saturate32(static_cast<i64>(std::nearbyint(x)));
    DrawPicture(10, w.Kind, w.X, w.Y);
  }
}

Pass ColdWind(SkillEffect& e) {
  e.Frame += 1;
  const std::int32_t level = SkillLevel(10);
  if (e.Frame == 1) {
    if (!Pay(80)) {
      Free(e);
      return Pass::Stop;
    }
    G.ColdWindActive = 1;
    PlaySound("Sound\\寒风.Wav");
  }
  const i64 length = (static_cast<i64>(level) + 2) * 300;
  if (e.Frame % 110 == 0 && length - e.Frame > 100) PlaySound("Sound\\寒风.Wav");
  Snowfall();
  if (e.P1 == 0 && e.Frame > length) {
    AddScreenEffect(2, 0, 0, 0);
    Free(e);
    G.ColdWindActive = 0;
  }
  return Pass::Next;
}

Pass HellFire(SkillEffect& e) {
  e.Frame += 1;
  if (e.Frame == 1 && e.P1 == 20 && !Pay(100)) {
    Free(e);
    return Pass::Next;
  }
  if (e.Frame == 3) PlaySound("Sound\\地狱火焰.wav");
  if (e.Frame == 2) {
    const std::int32_t level = SkillLevel(15);
    const PlayerRecord& p = G.Player;
    for (std::int32_t c = 6; c <= 10; ++c) {
      for (std::int32_t r = 6; r <= 10; ++r) {
        const std::int32_t x = G.ViewX + c, y = G.ViewY + r;
        const std::int32_t n = GridMonster(x, y);
        if (n == 0) continue;
        i64 d = p.Mc + Draw(static_cast<i64>(p.McMax) - p.Mc + 1) / 3 + 5 * static_cast<i64>(level);
        d -= MagicDefence(n);
        if (d < 1) d = 1;
        Strike(n, d, x, y);
      }
    }
  }
  DrawPicture(15, e.Frame / 3 + 1, 336, 224);
  if (e.Frame == 29 && e.P1 > 0) AddSkillEffect(15, 0, 0, 0, e.P1 - 1);
  if (e.Frame >= 35) Free(e);
  return Pass::Next;
}

// ---- the kinds aimed at a cell

struct Recipe {
  int test;  // 2 or 3: taken when Int(Rnd x test) = 0; 0: the band's last row
  std::string_view item;
};
struct Band {
  std::int32_t hpLast;  // the band holds kinds with Hp up to this
  std::array<Recipe, 5> rows;
};
constexpr std::array<Band, 4> kRecipes{{
    {99, {{{2, "魔法药小"}, {0, "金创药小"}}}},
    {300, {{{2, "金创药中"}, {2, "魔法药中"}, {3, "神水"}, {2, "酒花玉露"}, {0, "凝神玉露"}}}},
    {500, {{{2, "金创药大"}, {2, "魔法药大"}, {3, "天仙玉露"}, {2, "热血之源"}, {0, "自然之源"}}}},
    {std::numeric_limits<std::int32_t>::max(), {{{2, "强效金创药"}, {2, "强效魔法药"}, {3, "热血震怒"}, {0, "自然震怒"}}}},
}};

std::string_view PickRecipe(std::int32_t hp) {
  const Band* band = &kRecipes.back();
  for (const Band& b : kRecipes) {
    if (hp <= b.hpLast) {
      band = &b;
      break;
    }
  }
  for (const Recipe& r : band->rows) {
    if (r.test == 0 || Draw(r.test) == 0) return r.item;
  }
  return {};
}

Pass CorpseAlchemy(SkillEffect& e) {
  e.Frame += 1;
  if (e.Frame == 1) {
    if (!Pay(2)) {
      Free(e);
      return Pass::Stop;
    }
    PlaySound("Sound\\炼尸咒.wav");
  }
  if (e.Frame == 15) {
    const std::int32_t n = DeadGridAt(e.X, e.Y);
    if (n > 0) {
      if (DrawRounded(10) <= SkillLevel(5)) {
        const std::string item(PickRecipe(n <= kMaxMonsters ? KindOf(n).Hp : 0));
        // Nothing is said when the potion found no room in the bag or on the ground.
        if (ScriptGive("#give " + item + " 1")) AddSysMessage(item + " 练成", 255, 255, 0);
      }
      SetDeadGridAt(e.X, e.Y, 0);
    }
  }
  DrawAtCell(e, 5, e.Frame / 3 + 1);
  if (e.Frame > 28) Free(e);
  return Pass::Next;
}

Pass Lightning(SkillEffect& e) {
  e.Frame += 1;
  if (e.Frame == 1 && e.P1 == 0 && !Pay(2)) {
    Free(e);
    return Pass::Stop;
  }
  if (e.Frame == 12) {
    PlaySound("Sound\\雷电2.wav");
    std::int32_t target = 0;
    if (e.P1 == 0 && G.MagicLock >= 1 && LockHolds()) {
      target = G.LockedMon;
    } else if (const std::int32_t n = GridMonster(e.X, e.Y); n > 0) {
      target = n;
      if (G.MagicLock >= 1 && e.P1 == 0) G.LockedMon = n;
    }
    if (target > 0) {
      const PlayerRecord& p = G.Player;
      const std::int32_t level = SkillLevel(11);
      const bool bonus = Draw(11) < 4;
      i64 d = MagicRoll() + 3 * static_cast<i64>(level) - 3 + (bonus ? p.Luck : 0);
      if (Undead(target)) d += 5 * static_cast<i64>(p.Luck);
      if (e.P1 == 1) d = 10 * static_cast<i64>(G.Spirit.Level) + 15;
      const i64 defence = MagicDefence(target);
      d += AuraBonus();
      d += WeaponLevel() - defence;
      if (d < 1) d = 1;
      Strike(target, d, e.X, e.Y);
    }
  }
  if (e.Frame < 9) DrawPicture(11, e.Frame / 3 + 1, 336 + G.ScrollX, 160 + G.ScrollY);
  else DrawAtCell(e, 11, e.Frame / 3 + 1);
  if (e.Frame > 22) {
    Free(e);
    e.P1 = 0;
  }
  return Pass::Next;
}

struct Step {
  int px, py, cx, cy;
};
constexpr std::array<Step, 8> kSteps{{
    {0, -4, 0, -1}, {6, -4, 1, -1}, {6, 0, 1, 0}, {6, 4, 1, 1},
    {0, 4, 0, 1}, {-6, 4, -1, 1}, {-6, 0, -1, 0}, {-6, -4, -1, -1},
}};
const Step& StepOf(const SkillEffect& e) { return kSteps[static_cast<std::size_t>(e.P2 & 7)]; }

std::uint8_t HopAlpha(const SkillEffect& e) {
  return e.P1 >= 1 ? 255 : static_cast<std::uint8_t>(std::clamp<i64>(255 - 30 * static_cast<i64>(e.Frame), 0, 255));
}

// Moves a hop one frame; at its eighth frame it hands over to the next cell and ends.
void Travel(SkillEffect& e, int set) {
  const Step& s = StepOf(e);
  e.OffsetX += s.px;
  e.OffsetY += s.py;
  DrawAtCell(e, set, e.Frame, HopAlpha(e));
  if (e.Frame == 8) {
    e.OffsetX = e.OffsetY = 0;
    if (e.P1 >= 1) {
      AddSkillEffect(e.Kind, Saturate32(static_cast<i64>(e.X) + s.cx), Saturate32(static_cast<i64>(e.Y) + s.cy), e.P2,
                     e.P1 - 1);
    }
    Free(e);
  }
}

Pass Rock(SkillEffect& e) {
  e.Frame += 1;
  if (e.Frame == 1 && e.P1 == 4) {
    if (!Pay(4)) {
      Free(e);
      return Pass::Next;
    }
    PlaySound("Sound\\怒石.wav");
  }
  if (e.Frame == 1 || e.Frame == 8) {
    if (const std::int32_t n = GridMonster(e.X, e.Y); n > 0) {
      const PlayerRecord& p = G.Player;
      const std::int32_t level = SkillLevel(12);
      const bool bonus = Draw(11) < 4;
      const i64 h = DrawRounded(static_cast<double>(static_cast<i64>(p.McMax) - p.Mc + 1));
      i64 d = h / 2 + 2 * static_cast<i64>(level) - 2 + p.Mc / 2 + (bonus ? p.Luck : 0);
      if (Undead(n)) d += 5 * static_cast<i64>(p.Luck);
      const i64 defence = MagicDefence(n);
      d += AuraBonus();
      d += WeaponLevel() - defence;
      if (d < 1) d = 1;
      Strike(n, d, e.X, e.Y);
    }
  }
  Travel(e, 12);
  return Pass::Next;
}

// The 3 x 3 block around (x, y), row by row from the top.
void WhirlwindBlock(std::int32_t x, std::int32_t y, std::int32_t level) {
  HitList list;
  for (std::int32_t dy = -1; dy <= 1; ++dy)
    for (std::int32_t dx = -1; dx <= 1; ++dx) list.Scan(Saturate32(static_cast<i64>(x) + dx), Saturate32(static_cast<i64>(y) + dy));
  for (std::size_t i = 0; i < list.count; ++i) {
    const Hit& h = list.hits[i];
    i64 d = MagicRoll() + 3 * static_cast<i64>(level) - 3;
    const i64 defence = MagicDefence(h.n);
    d += AuraBonus();
    d += WeaponLevel() - defence;
    if (d < 1) d = 1;
    Strike(h.n, d, h.x, h.y);
  }
}

Pass Whirlwind(SkillEffect& e) {
  e.Frame += 1;
  if (e.Frame == 1) {
    if (!Pay(5)) {
      Free(e);
      return Pass::Stop;
    }
    PlaySound("Sound\\旋风.wav");
  }
  if (e.Frame == 8) WhirlwindBlock(e.X, e.Y, SkillLevel(13));
  DrawAtCell(e, 13, e.Frame / 2 + 1);
  if (e.Frame > 22) Free(e);
  return Pass::Next;
}

Pass GaleRush(SkillEffect& e) {
  e.Frame += 1;
  if (e.Frame == 1 && e.P1 == 5) {
    if (!Pay(12)) {
      Free(e);
      return Pass::Next;
    }
    PlaySound("Sound\\旋风.wav");
  }
  if (e.Frame == 2 && e.P1 % 2 == 0) WhirlwindBlock(e.X, e.Y, SkillLevel(14));
  Travel(e, 13);
  return Pass::Next;
}

int SetOf(std::int32_t kind) { return kind == 14 ? 13 : kind; }

void EnsureLoaded(int set) {
  if (Gfx.SkillLoaded[static_cast<std::size_t>(set)] == 0) LoadSkillTex(set);
}

}  // namespace

std::int32_t SkillLevel(int k) {
  if (k < 0 || static_cast<std::size_t>(k) >= G.Player.M.size()) return 0;
  const std::string& m = G.Player.M[static_cast<std::size_t>(k)];
  return Saturate32(static_cast<i64>(std::floor(plat::Val(plat::Right(m, 1)))));
}

void RunAreaSkills() {
  for (int i = 1; i <= kMaxSkillEffects; ++i) {
    SkillEffect& e = Slot(i);
    if (e.Kind != 4 && e.Kind != 15) continue;
    EnsureLoaded(SetOf(e.Kind));
    if (e.Kind == 4) ShockSlash(e);
    else HellFire(e);
  }
}

void RunSkills() {
  for (int i = 1; i <= kMaxSkillEffects; ++i) {
    SkillEffect& e = Slot(i);
    Pass (*run)(SkillEffect&) = nullptr;
    switch (e.Kind) {
      case 2: run = AirSlash; break;
      case 3: run = FireSword; break;
      case 5: run = CorpseAlchemy; break;
      case 7: run = Shield; break;
      case 8: run = Healing; break;
      case 10: run = ColdWind; break;
      case 11: run = Lightning; break;
      case 12: run = Rock; break;
      case 13: run = Whirlwind; break;
      case 14: run = GaleRush; break;
      default: continue;
    }
    EnsureLoaded(SetOf(e.Kind));
    if (run(e) == Pass::Stop) return;
  }
}
