#include "graphics/characters.h"

#include <array>
#include <string>

#include "graphics/look.h"
#include "graphics/resources.h"
#include "graphics/scene_draw.h"
#include "graphics/sound.h"
#include "graphics/texture_cache.h"
#include "platform/text.h"
#include "world/player_record.h"
#include "world/status.h"

namespace {

float F(std::int64_t v) { return static_cast<float>(v); }

// The screen corner of view cell (c, r), scrolled.
std::int64_t CellLeft(std::int64_t c) { return kCellWidth * c + G.ScrollX; }
std::int64_t CellTop(std::int64_t r) { return kCellHeight * r + G.ScrollY; }

FrameOffset LookOffset(const LookOffsetTable& table, std::int32_t f) {
  if (f < 1 || f > kPlayerFrameLast) return {};
  return table[static_cast<std::size_t>(f)];
}

plat::Color Tint() { return Rgba(G.Player.TintR, G.Player.TintG, G.Player.TintB, G.Player.TintA); }

// A layer of the player's frame at the anchor plus that frame's offset.
void DrawLayer(plat::Texture tex, FrameOffset o, plat::Color colour) {
  DrawSpriteAt(tex, kPlayerAnchorX + F(o.X), kPlayerAnchorY + F(o.Y), colour);
}

void DrawWeaponLayer(plat::Color colour) {
  DrawLayer(WeaponTexture(), LookOffset(Looks.WeaponZb, G.Player.FrameNo), colour);
}

void DrawBodyLayer(plat::Color colour) {
  DrawLayer(BodyTexture(), LookOffset(Looks.BodyZb, G.Player.FrameNo), colour);
}

void DrawHeadLayer(plat::Color colour) {
  DrawLayer(HeadTexture(G.Player.FrameNo), HeadOffset(G.Player.FrameNo), colour);
}

bool Walking(ActionState s) { return s == ActionState::Walk || s == ActionState::Run; }

// The stats a spirit item's form puts on the player (forms 1..7).
struct FormStats {
  std::int32_t Dc, DcMax, Df, DfMax, Mf, MfMax, Acc, Nb, XiHP, MaBi, zd, DcSpeed;
};
constexpr std::array<FormStats, 8> kForms{{
    {},
    {10, 20, 5, 10, 5, 10, 10, 8, 10, 0, 0, 5},
    {5, 10, 1, 5, 1, 5, 10, 4, 0, 0, 0, 5},
    {10, 25, 3, 8, 3, 8, 10, 2, 0, 0, 0, 5},
    {25, 50, 5, 10, 5, 10, 10, 1, 0, 0, 0, 5},
    {25, 65, 5, 15, 5, 10, 10, 2, 0, 0, 0, 5},
    {30, 70, 15, 20, 10, 15, 10, 2, 0, 3, 0, 5},
    {40, 90, 15, 25, 10, 25, 10, 2, 1, 3, 0, 5},
}};
constexpr int kFormFirst = 1;
constexpr int kFormLast = 7;

void ApplyForm(const FormStats& s) {
  PlayerRecord& p = G.Player;
  p.Dc = s.Dc;
  p.DcMax = s.DcMax;
  p.Df = s.Df;
  p.DfMax = s.DfMax;
  p.Mf = s.Mf;
  p.MfMax = s.MfMax;
  p.Acc = s.Acc;
  p.Nb = s.Nb;
  p.XiHP = s.XiHP;
  p.MaBi = s.MaBi;
  p.zd = s.zd;
  p.DcSpeed = s.DcSpeed;
}

// The change of form at the twelfth count of a transformation effect. A form that is
// not one of 1..7 changes nothing and lets the effect end. Whether a form is worn is
// known exactly (a McMax of 0 is also what an edited save may hold).
void Transform(ScreenEffect& e) {
  if (!FormWorn()) {
    if (e.P < kFormFirst || e.P > kFormLast) {
      e.P = 0;
      return;
    }
    BackupPlayerRecord();
    ApplyForm(kForms[static_cast<std::size_t>(e.P)]);
    RefreshStatus2();
    LoadBodyFrames(100 + e.P);
  } else {
    RestorePlayerStats();
    e.P = 0;
    RefreshStatus2();
    LoadLookFrames();
  }
}

// Screen position of an effect on its cell: (X - ViewX) x 48 + ScrollX + dx, and so on.
void DrawOnCell(const ScreenEffect& e, std::int32_t picture, std::int64_t dx, std::int64_t dy) {
  const std::int64_t x = (static_cast<std::int64_t>(e.X) - G.ViewX) * kCellWidth + G.ScrollX + dx;
  const std::int64_t y = (static_cast<std::int64_t>(e.Y) - G.ViewY) * kCellHeight + G.ScrollY + dy;
  DrawSpriteAt(EffectTexture(e.Kind, picture + 1), F(x), F(y), plat::Color::White());
}

void DrawOnScreen(const ScreenEffect& e, std::int32_t picture, std::int64_t x, std::int64_t y) {
  DrawSpriteAt(EffectTexture(e.Kind, picture + 1), F(x), F(y), plat::Color::White());
}

// One count of one screen animation (kinds 1 and 3 to 10).
void RunScreenEffect(ScreenEffect& e) {
  e.Frame += 1;
  const std::int32_t n = e.Frame;
  switch (e.Kind) {
    case 1:
      if (n == 1 && G.SoundOn == 1) PlaySoundMci("Sound\\升级.wav");
      DrawOnScreen(e, n / 6, 320, 120);
      if (n > 46) e.Kind = 0;
      break;
    case 3:
      if (n % 5 == 0) e.P = e.P >= 3 ? 0 : e.P + 1;
      DrawOnCell(e, e.P, -60, -80);
      if (n > 100) e.Kind = 0;
      break;
    case 4:
      DrawOnCell(e, n / 3, -60, -80);
      if (n > 22) e.Kind = 0;
      break;
    case 5:
      DrawOnCell(e, n / 3, -80, -90);
      if (n > 19) e.Kind = 0;
      break;
    case 6:
      DrawOnCell(e, n / 3, -75, -120);
      if (n > 22) e.Kind = 0;
      break;
    case 7:
      DrawOnCell(e, n / 3, -85, -130);
      if (n > 22) e.Kind = 0;
      break;
    case 8:
      if (n == 2 && G.SoundOn == 1) PlaySoundMci("Sound\\变身.wav");
      if (n == 12) Transform(e);
      if (n < 24) DrawOnScreen(e, n / 3, static_cast<std::int64_t>(G.ScrollX) + 296, static_cast<std::int64_t>(G.ScrollY) + 154);
      // While a form lasts the count starts over, so it comes back to 12 to end it.
      if (e.Frame > 900) e.Frame = 0;
      if (e.Frame >= 23 && e.P == 0) e.Kind = 0;
      break;
    case 9:
      DrawOnCell(e, n / 3 % 6, -88, -112);
      if (n >= 29) e.Kind = 0;
      break;
    case 10:
      DrawOnScreen(e, n / 3, kCellWidth * static_cast<std::int64_t>(e.X) - 56,
                   kCellHeight * static_cast<std::int64_t>(e.Y) - 122);
      if (n >= 20) e.Kind = 0;
      break;
    default:
      break;
  }
}

}  // namespace

const MonsterKind* KindOfMonster(std::int32_t m) {
  if (m < 1 || m > kMaxMonsters) return nullptr;
  const std::int32_t k = G.Monsters[static_cast<std::size_t>(m)].Kind;
  if (k < 1 || k > G.MonsterKindCount || static_cast<std::size_t>(k) >= G.MonsterKinds.size()) return nullptr;
  return &G.MonsterKinds[static_cast<std::size_t>(k)];
}

double BarRatio(double hp, double max) {
  if (!(max > 0.0)) return 0.0;
  const double r = hp / max;
  if (!(r > 0.0)) return 0.0;
  return r > 1.0 ? 1.0 : r;
}

void DrawPlayer() {
  const PlayerRecord& p = G.Player;
  const plat::Color tint = Tint();
  const std::int32_t d = p.Direction;
  const bool human = G.BodyNo < 100;
  if (human && G.WeaponNo >= 1 && (d == 0 || d == 5 || d == 6 || d == 7)) DrawWeaponLayer(tint);
  DrawBodyLayer(tint);
  if (human) {
    if (p.McMax > 0) DrawHeadLayer(tint);
    if (G.WeaponNo >= 1 && d >= 1 && d <= 4) DrawWeaponLayer(tint);
    if (G.ShowPlayerId == 1) DrawSceneText(p.ID, tint, kPlayerAnchorX, 207.0f, 800, 20);
  }
  // Moving diagonally downwards, the neighbours beside the player come over it.
  if (Walking(p.ActState) && (d == 3 || d == 5)) {
    if (GridMonster(G.ViewX + 9, G.ViewY + 8) != 0) DrawMonster(8, 7);
    if (GridMonster(G.ViewX + 7, G.ViewY + 8) != 0) DrawMonster(6, 7);
  }
}

void DrawDeadPlayer() {
  const plat::Color white = plat::Color::White();
  DrawBodyLayer(white);
  if (G.BodyNo < 100) {
    DrawHeadLayer(white);
    if (G.WeaponNo > 0) DrawWeaponLayer(white);
  }
}

void DrawMonster(std::int32_t c, std::int32_t r) {
  const std::int32_t x = ViewToMapX(c);
  const std::int32_t y = ViewToMapY(r);
  const std::int32_t m = GridMonster(x, y);
  const MonsterKind* kind = KindOfMonster(m);
  if (kind == nullptr) return;
  const MonsterInstance& mon = G.Monsters[static_cast<std::size_t>(m)];
  const std::int64_t left = CellLeft(c);
  const std::int64_t top = CellTop(r);

  const FrameOffset o = MonsterOffset(kind->Pic, mon.Frame);
  DrawSpriteAt(MonsterTexture(kind->Pic, mon.Frame), F(left + mon.PixelX + o.X), F(top + mon.PixelY + o.Y),
               Rgba(mon.R, mon.G, mon.B, mon.A));

  if (mon.State != ActionState::Move) {
    const std::int32_t mc = MouseViewCol();
    const std::int32_t mr = MouseViewRow();
    const bool onIt = mc == c && mr == r;
    const bool above = mc == c && mr == r - 1 && GridMonster(x, y - 1) == 0;
    if (onIt || above) DrawSceneText(kind->MonName, plat::Color::White(), F(left), F(top), 800, 20);
  }

  if (G.ShowAllMonHp == 1) {
    const float bx = F(left + mon.PixelX + 5);
    const float by = F(top + mon.PixelY - 50);
    const auto w = static_cast<int>(plat::RoundHalfEven(BarRatio(mon.HP, kind->Hp) * 38.0));
    DrawSpriteAt(Gfx.MonHpFrameTex, bx, by, plat::Color::White());
    DrawSpritePart(Gfx.MonHpFillTex, plat::Rect{0, 0, w, 3}, bx, by, plat::Color::White());
  }

  if (mon.State == ActionState::Dying && mon.Step >= 2 && mon.Step <= 9 && kind->Type > 0) {
    DrawSpriteAt(DeadTexture(kind->Type, mon.Step - 1), F(left - 30), F(top - 90), plat::Color::White());
  }
}

void DrawSpirit() {
  const SpiritRecord& s = G.Spirit;
  constexpr std::int32_t kSpiritPicture = 83;
  const FrameOffset o = MonsterOffset(kSpiritPicture, s.Frame);
  const std::int64_t x = (static_cast<std::int64_t>(s.X) - G.ViewX) * kCellWidth + o.X + s.PixelX + G.ScrollX;
  const std::int64_t y = (static_cast<std::int64_t>(s.Y) - G.ViewY) * kCellHeight + o.Y + s.PixelY + G.ScrollY;
  DrawSpriteAt(MonsterTexture(kSpiritPicture, s.Frame), F(x), F(y), plat::Color::White());
  if (s.State == SpiritState::Magic) {
    const std::int64_t anim = s.Anim;
    const std::int64_t alpha = 30 * anim < 255 ? 20 * anim : 255;
    DrawSpriteAt(Gfx.SpiritGlowTex, F(x + 15), F(y - 50), Rgba(255, 255, 255, alpha));
  }
}

void DrawCastEffect() {
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxScreenEffects); ++i) {
    ScreenEffect& e = G.ScreenEffects[i];
    if (e.Kind != 2) continue;
    e.Frame += 1;
    DrawSpriteAt(EffectTexture(2, e.Frame / 4 + 1), 308.0f, 200.0f, plat::Color::White());
    if (e.Frame > 22) e.Kind = 0;
  }
}

void DrawScreenEffects() {
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxScreenEffects); ++i) {
    ScreenEffect& e = G.ScreenEffects[i];
    if (e.Kind == 1 || (e.Kind >= 3 && e.Kind <= 10)) RunScreenEffect(e);
  }
}

std::string PadName(std::string_view name) {
  std::string out = plat::Spaces(4 - plat::Len(name));
  out.append(name);
  return out;
}

void LoadBodyFrames(std::int32_t n) {
  G.BodyNo = n;
  EmptyBodyTex();
  ReadLookTable("\\date\\Rpg\\" + std::to_string(n) + ".zb", Looks.BodyZb);
}
