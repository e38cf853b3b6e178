#include "world/player.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

#include "common/game_state.h"
#include "common/numbers.h"
#include "graphics/effects.h"
#include "graphics/sound.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/text.h"
#include "script/script.h"
#include "window/form1.h"
#include "world/game_loop.h"
#include "world/ground_items.h"
#include "world/items.h"
#include "world/movement.h"
#include "world/skills.h"

namespace {

// The pools pour one point per potion tick.
constexpr std::int64_t kPotionTickMs = 31;
// Casts are at least this far apart.
constexpr std::int64_t kCastSpacingMs = 1501;
// A weapon's experience stops here (weapon level 5).
constexpr std::int32_t kWeaponExMax = 10000;
// Frames a hit monster stays frozen by a paralysing swing.
constexpr std::int32_t kParalyseFrames = 150;
// Frames the target bar shows a monster.
constexpr std::int32_t kTargetFrames = 100;
// A blue tint of exactly 100 marks the life-drain tint.
constexpr std::int32_t kDrainTintB = 100;

constexpr std::string_view kGold = "金币";

// Int(n x u) for a fresh draw u: the floor of the real product, as the rules write it.
std::int64_t DrawInt(std::int64_t n) {
  const double v = std::floor(static_cast<double>(n) * plat::Rnd());
  return static_cast<std::int64_t>(v);
}

bool KeyHeld(int vk) { return plat::GetKeyState(vk) < 0; }

void SetTint(std::int32_t r, std::int32_t g, std::int32_t b) {
  G.Player.TintR = r;
  G.Player.TintG = g;
  G.Player.TintB = b;
}

void SetFlash(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  G.FlashR = r;
  G.FlashG = g;
  G.FlashB = b;
}

void ShowControl(plat::Control* c, bool visible) {
  if (c != nullptr) c->Visible = visible;
}

// A floating text over view cell (c, r).
void ViewText(const std::string& text, std::int32_t c, std::int32_t r, std::int32_t red, std::int32_t green,
              std::int32_t blue) {
  AddFloatingText(text, G.ViewX + c, G.ViewY + r, red, green, blue);
}

ItemRecord& Weapon() { return G.Player.Items[1]; }


void PlaySound(std::string_view file) {
  if (G.SoundOn == 1) PlaySoundMci(file);
}

// The bare-hand or weapon sound of a swing that meets nothing.
void PlayEmptySwing() {
  if (G.SoundOn != 1) return;
  PlaySoundMci(Weapon().Pic2 < 1 ? "Sound\\徒手.wav" : "Sound\\挥空.wav");
}

// ---------------------------------------------------------------------------------
// Upkeep

void Regenerate(std::int64_t now) {
  PlayerRecord& p = G.Player;
  if (G.HpLock == 1) p.HP = p.HpMax;
  if (G.MpLock == 1) p.Mp = p.MpMax;

  if (now - G.RegenTick > G.RegenInterval) {
    G.RegenTick = now;
    p.HP = Saturate32(static_cast<std::int64_t>(p.HP) + 1);
    p.Mp = Saturate32(static_cast<std::int64_t>(p.Mp) + 1);
    if (p.HP <= p.HpMax) ViewText("1", 7, 7, 255, 255, 255);
    else p.HP = p.HpMax;
    if (p.Mp > p.MpMax) p.Mp = p.MpMax;
  }

  if (now - G.PotionTick > kPotionTickMs) {
    G.PotionTick = now;
    if (G.HpPool > 0) {
      if (p.HP < p.HpMax) {
        p.HP += 1;
        G.HpPool -= 1;
      } else {
        G.HpPool = 0;
      }
    }
    if (G.MpPool > 0) {
      if (p.Mp < p.MpMax) {
        p.Mp += 1;
        G.MpPool -= 1;
      } else {
        G.MpPool = 0;
      }
    }
  }
}

// The poison's damage of one tick: 1 (5 in 10), else 2 (6 in 10 of the rest), else 3.
std::int32_t PoisonDamage() {
  if (10.0 * plat::Rnd() < 5.0) return 1;
  if (10.0 * plat::Rnd() < 6.0) return 2;
  return 3;
}

// Flash, poison, paralysis, invisibility. False when paralysis ends the player's frame.
bool Afflictions() {
  PlayerRecord& p = G.Player;
  if (G.FlashMode < 3) {
    if (static_cast<double>(p.HP) < static_cast<double>(p.HpMax) * 0.11) {
      SetFlash(255, 0, 0);
      G.FlashMode = 1;
    } else {
      G.FlashMode = p.PoisonTime == 0 ? 2 : 0;
    }
  }
  const std::uint8_t f = G.FlashMode;

  if (p.PoisonTime >= 1 && p.HP >= 1) {
    p.PoisonTime -= 1;
    if (f == 0) {
      SetFlash(0, 255, 0);
      G.FlashMode = 2;
    }
    if (p.MBSP == 0 && p.TintB != kDrainTintB) SetTint(50, 255, 50);
    if (p.PoisonTime % 60 == 0) {
      const std::int32_t damage = PoisonDamage();
      p.HP -= damage;
      ViewText(std::to_string(damage), 7, 7, 255, 255, 0);
    }
    if (p.HP < 0) p.HP = 0;
  } else {
    if (p.MBSP == 0 && p.TintB != kDrainTintB) SetTint(255, 255, 255);
    // Without poison there is no poison flash, whatever the tint shows.
    if (f == 2) G.FlashMode = 0;
  }

  if (p.MBSP > 0) {
    p.MBSP -= 1;
    SetTint(90, 90, 90);
    return false;
  }
  if (p.PoisonTime == 0 && p.TintB != kDrainTintB) SetTint(255, 255, 255);
  if (p.InvisTime > 0) {
    p.InvisTime -= 1;
    p.TintA = 100;
  } else {
    p.TintA = 255;
  }
  return true;
}

// ---------------------------------------------------------------------------------
// Input while standing

void PickUpUnderPlayer() {
  const bool clickedSelf = G.MouseLeftDown == 1 && G.MouseCellX == 7 && G.MouseCellY == 7;
  if (!clickedSelf && G.AutoPickUp != 1) return;
  const std::int32_t px = PlayerCellX(), py = PlayerCellY();
  const std::int32_t k = ItemGridAt(px, py);
  if (k < 1 || k > G.GroundItemCount || k >= kMaxGroundItems) return;
  const ItemRecord g = G.GroundItems[static_cast<std::size_t>(k)];
  const bool gold = plat::Left(g.Name, 2) == kGold;
  const bool fits = static_cast<std::int64_t>(FreeWeight()) - g.Weight >= 0 && CountFreeBagSlots() >= 1;
  if (!fits && !gold) return;  // nothing happens and nothing is said

  if (gold) {
    PlayWav("Sound\\钱.wav");  // the coins ring even with the sound off
  } else if (G.SoundOn == 1) {
    switch (g.Type) {
      case 0: case 1: case 2: case 3: case 4: case 5: case 6: PlayWav("Sound\\按键1.wav"); break;
      case 10: case 12: case 15: PlayWav("Sound\\衣服.wav"); break;
      case 11: case 13: case 14: PlayWav("Sound\\项链.wav"); break;
      case 20: case 21: PlayWav("Sound\\武器.wav"); break;
      default: break;
    }
  }
  AddSysMessage(g.Name, 0, 255, 0);
  PickUpGroundItem(px, py);
}

void StartSwing() {
  PlayerRecord& p = G.Player;
  p.ActState = ActionState::Attack;
  p.ActCounter = 0;
  p.ActStep = 0;
  // Only a worn weapon gathers experience; an empty slot stays empty.
  if (!Weapon().Name.empty() && Weapon().Ex < kWeaponExMax) Weapon().Ex += 1;
}

// Left button: walk or run toward the pointer, and a swing at a monster next to the
// player (or anywhere with Shift).
void LeftButton() {
  MoveByMouse();
  const std::int32_t c = G.MouseCellX;
  const std::int32_t r = G.MouseCellY;
  std::int32_t target = 0;
  if (c >= 6 && c <= 8 && r >= 5 && r <= 8) {
    if (r >= 6 && GridMonster(ViewToMapX(c), ViewToMapY(r)) > 0) {
      target = GridMonster(ViewToMapX(c), ViewToMapY(r));
    } else if (r < 8 && GridMonster(ViewToMapX(c), ViewToMapY(r) + 1) > 0) {
      // The monster stands one row below the pointed cell.
      target = GridMonster(ViewToMapX(c), ViewToMapY(r) + 1);
      if (c == 6 && r == 6) G.Player.Direction = DirWest;
      else if (c == 6 && r == 7) G.Player.Direction = DirSouthWest;
      else if (c == 7 && r == 7) G.Player.Direction = DirSouth;
      else if (c == 8 && r == 6) G.Player.Direction = DirEast;
      else if (c == 8 && r == 7) G.Player.Direction = DirSouthEast;
    }
  }
  if (target > 0) {
    G.TargetMon = target;
    G.TargetTimer = kTargetFrames;
    // A dying monster draws no swing; the move toward it stands.
    if (G.Monsters[static_cast<std::size_t>(target)].HP > 0) StartSwing();
    return;
  }
  if (KeyHeld(plat::vk::Shift)) StartSwing();
}

// Right button: the selected spell toward the pointer.
void StartCast(std::int64_t now) {
  PlayerRecord& p = G.Player;
  if (now - p.LastCastTick < kCastSpacingMs || G.MouseRightDown != 1 || p.NowMc < 1 || p.McMax < 1) return;
  MoveByMouse();  // faces the pointer
  if (Weapon().Ex >= 1 && Weapon().Ex < kWeaponExMax) Weapon().Ex += 1;
  p.ActState = ActionState::Magic;
  G.CastX = ViewToMapX(G.MouseCellX);
  G.CastY = ViewToMapY(G.MouseCellY);
  p.ActCounter = 1;

  if (const std::int32_t n = GridMonster(G.CastX, G.CastY); n > 0) {
    if (G.MagicLock > 0) G.LockedMon = n;
  } else if (const std::int32_t below = GridMonster(G.CastX, G.CastY + 1); below > 0) {
    if (G.MagicLock > 0) G.LockedMon = below;
    G.CastY += 1;
  } else if (G.MagicLock > 0 && G.LockedMon > 0 && (p.NowMc == 11 || p.NowMc == 13)) {
    const bool known = G.LockedMon <= kMaxMonsters;
    const MonsterInstance* m = known ? &G.Monsters[static_cast<std::size_t>(G.LockedMon)] : nullptr;
    const std::int64_t ox = m ? static_cast<std::int64_t>(m->X) - G.ViewX : 0;
    const std::int64_t oy = m ? static_cast<std::int64_t>(m->Y) - G.ViewY : 0;
    if (m != nullptr && m->HP > 0 && ox >= 1 && ox <= 15 && oy >= 1 && oy <= 14) {
      G.CastX = m->X;
      G.CastY = m->Y;
    } else {
      G.LockedMon = 0;  // the lock is dropped; the pointed cell stays the target
    }
  }
  p.LastCastTick = now;
}

void IdleInput(std::int64_t now) {
  KeepCursorInView();
  PickUpUnderPlayer();
  MoveByKeyboard();
  if (G.MouseLeftDown == 1 && G.MouseRightDown == 0) LeftButton();
  else StartCast(now);
}

// ---------------------------------------------------------------------------------
// The action state machine

// A portal on cell (x, y) moves the player through "#MOVE". True when it did.
bool TakePortal(std::int32_t x, std::int32_t y) {
  const std::string& s = CellField(G.SubMap, x, y, 4);
  if (s.empty()) return false;
  ScriptMove("#MOVE " + plat::Left(s, 4) + " " + plat::Left(plat::Right(s, 8), 4) + " " + plat::Right(s, 4));
  return true;
}

int MinimapOffset(std::int32_t view) {
  return static_cast<int>(std::clamp<std::int64_t>((2 - static_cast<std::int64_t>(view)) * 75,
                                                   std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// The end of a walk or a run: the minimap follows, and the player stands.
void EndStep() {
  if (plat::Control* minimap = ui::Form1.Iminimap) {
    minimap->Left = MinimapOffset(G.ViewX);
    minimap->Top = MinimapOffset(G.ViewY);
  }
  PlayerRecord& p = G.Player;
  p.ActCounter = -1;
  p.ActStep = 0;
  p.ActState = ActionState::Stand;
}

void StandFrame(std::int32_t k) {
  PlayerRecord& p = G.Player;
  if (k == 1) {
    p.ActStep = 1;
    p.FrameNo = p.Direction * 4 + 1;
  }
  if (k % 10 == 0) {
    p.ActStep += 1;
    p.FrameNo = p.Direction * 4 + p.ActStep;
  }
  if (k == 39) p.ActCounter = 0;  // the tail makes it 1: the idle animation loops
}

// False when a portal took the player at the end of the step.
bool WalkFrame(std::int32_t k) {
  PlayerRecord& p = G.Player;
  if (k == 0) {
    StepPlayerTile();
    SetFloorDrawRange();
  }
  if (k % 2 == 0) {
    StepPlayerWalk();
    if (k % 6 == 0) StepPlayerWalk();
  }
  if (k % 4 == 0) {
    p.ActStep += 1;
    p.FrameNo = 32 + p.Direction * 6 + p.ActStep;
  }
  if ((k == 8 || k == 19) && G.SoundOn == 1) PlayFootstep();
  if (k >= 23) {
    EndStep();
    if (TakePortal(PlayerCellX(), PlayerCellY())) return false;
  }
  return true;
}

bool RunFrame(std::int32_t k) {
  PlayerRecord& p = G.Player;
  if (k == 0) {
    SetFloorDrawRange();
    StepPlayerTile();
  }
  if (k == 8) StepPlayerTile();  // the second cell
  if (k == 0 || k == 4 || k == 8 || k == 12) StepPlayerWalk();
  else StepPlayerRun();
  if (k % 3 == 0) {
    p.ActStep += 1;
    p.FrameNo = 80 + p.Direction * 6 + p.ActStep;
  }
  if ((k == 5 || k == 14) && G.SoundOn == 1) PlayFootstep();
  if (k >= 17) {
    EndStep();
    const CellOffset d = DirectionOffset(p.Direction);
    // The cell passed over counts too, so a portal in the middle of a run is taken.
    if (TakePortal(PlayerCellX(), PlayerCellY())) return false;
    if (TakePortal(PlayerCellX() - d.dx, PlayerCellY() - d.dy)) return false;
  }
  return true;
}

// The swing's hit on the cell ahead.
void MeleeHit() {
  PlayerRecord& p = G.Player;
  const CellOffset d = DirectionOffset(p.Direction);
  const std::int32_t c = 7 + d.dx, r = 7 + d.dy;
  const std::int32_t tx = ViewToMapX(c), ty = ViewToMapY(r);

  if (G.WeaponNo == 47) AddSkillEffect(11, tx, ty, 0, 2);  // this weapon calls down lightning on every hit

  const std::int32_t n = GridMonster(tx, ty);
  if (n == 0) {
    if (G.ShockSlashArmed == 0) PlayEmptySwing();
    return;
  }
  if (G.ShockSlashArmed == 1) return;  // the shock slash does the damage

  MonsterInstance& m = G.Monsters[static_cast<std::size_t>(n)];
  MonsterKind none;
  const bool known =
      m.Kind >= 1 && m.Kind <= G.MonsterKindCount && static_cast<std::size_t>(m.Kind) < G.MonsterKinds.size();
  const MonsterKind& kind = known ? G.MonsterKinds[static_cast<std::size_t>(m.Kind)] : none;

  std::int64_t damage = 0;
  const std::int64_t roll = DrawInt(11);
  const bool hit = static_cast<std::int64_t>(p.Acc) - kind.Nb >= roll || G.FireSwordArmed == 1 || G.AirSlashArmed == 1;
  if (hit) {
    if (G.SoundOn == 1) PlaySoundMci(Weapon().Pic2 < 1 ? "Sound\\徒手.wav" : "Sound\\剑击.wav");
    const bool bonus = DrawInt(11) < 4;
    std::int64_t base = DrawInt(static_cast<std::int64_t>(p.DcMax) - p.Dc + 1) + p.Dc;
    if (bonus) base += p.Luck;
    if (plat::Right(kind.MonName, 1) == "尸") base += 5 * static_cast<std::int64_t>(p.Luck);  // undead
    if (G.AirSlashArmed == 1) {
      G.AirSlashArmed = 0;
    } else if (G.FireSwordArmed == 1) {
      G.FireSwordArmed = 0;
      base = static_cast<std::int64_t>(std::floor((SkillLevel(3) * 0.3 + 0.7) * p.DcMax));
    }
    const std::int64_t aura = DrawInt(G.AuraLevel);
    const std::int64_t defence = DrawInt(static_cast<std::int64_t>(kind.DfMax) - kind.Df + 1) + kind.Df;
    damage = aura + base + Weapon().Ex / 2000 - defence;
    if (damage < 1) damage = 1;

    m.HP = Saturate32(static_cast<std::int64_t>(m.HP) - damage);
    if (m.HP <= 0) {
      m.HP = 0;  // the monster update starts its death
    } else {
      if (DrawInt(100) < p.MaBi) {
        m.Freeze = kParalyseFrames;
        AddScreenEffect(3, tx, ty, 0);
      }
      if (p.XiHP > 0 && DrawInt(6) < p.XiHP) {
        AddHpPool(1 + DrawInt(static_cast<std::int64_t>(p.Luck) + 1));
        SetTint(255, 100, kDrainTintB);  // kept until the swing ends
      }
      if (DrawInt(100) < p.zd) m.Poison = Saturate32(DrawInt(300) + 600 + 50 * static_cast<std::int64_t>(p.Luck));
      if (m.State == ActionState::Rest || m.State == ActionState::Stand) m.State = ActionState::Hit;
    }
  } else {
    PlayEmptySwing();
  }
  ViewText(damage == 0 ? std::string("MISS") : std::to_string(damage), c, r, 50, 50, 255);
}

void ArmSwing() {
  if (G.ShockSlashOn == 1 && G.Player.Mp >= 4) {
    G.ShockSlashArmed = 1;
    return;
  }
  const bool fireCheat = G.AlwaysFireSword != 0;
  const std::int64_t air = DrawInt(9);
  if ((air < SkillLevel(2) && !fireCheat) || (G.AlwaysAirSlash == 1 && !fireCheat)) {
    AddSkillEffect(2, 0, 0, 0, 0);
    G.AirSlashArmed = 1;
    return;
  }
  if (DrawInt(9) < SkillLevel(3) || G.AlwaysFireSword == 1) {
    AddSkillEffect(3, 0, 0, 0, 0);
    G.FireSwordArmed = 1;
  }
}

void SwingFrame(std::int32_t k) {
  PlayerRecord& p = G.Player;
  const std::int64_t period = SwingPeriod();
  p.InvisTime = 0;  // a swing ends invisibility
  if (k == 1) ArmSwing();
  if (k % period == 0) {
    p.ActStep += 1;
    p.FrameNo = 128 + p.Direction * 6 + p.ActStep;
    if (p.ActStep == 3 && G.SoundOn == 1) {
      if (G.FireSwordArmed == 1) PlaySoundMci("Sound\\会心一击.wav");
      if (G.ShockSlashArmed == 1) PlaySoundMci("Sound\\会心一击.wav");
    }
    if (p.ActStep == 4 && G.ShockSlashArmed == 1) {
      p.Mp = std::max(Saturate32(static_cast<std::int64_t>(p.Mp) - 4), 0);
      AddSkillEffect(4, 0, 0, 0, 0);
    }
    if (p.ActStep == 5) MeleeHit();
  }
  if (k == 5 * period + 1) {
    p.ActState = ActionState::Stand;
    p.ActStep = 0;
    G.ShockSlashArmed = 0;
    G.AirSlashArmed = 0;
    G.FireSwordArmed = 0;
    p.ActCounter = -1;
    SetTint(255, 255, 255);
  }
}

// The selected spell takes effect at the third step of the cast.
void CastEffect() {
  PlayerRecord& p = G.Player;
  const std::int32_t px = PlayerCellX(), py = PlayerCellY();
  switch (p.NowMc) {
    case 4:
      G.ShockSlashOn = G.ShockSlashOn == 1 ? 0 : 1;
      AddSysMessage(G.ShockSlashOn == 1 ? "震气斩开启" : "震气斩关闭", 255, 255, 0);
      break;
    case 5: AddSkillEffect(5, G.CastX, G.CastY, 0, 0); break;
    case 7: AddSkillEffect(7, 0, 0, 0, 0); break;
    case 8: AddSkillEffect(8, 0, 0, 0, 0); break;
    case 10: AddSkillEffect(10, 0, 0, 0, 0); break;
    case 11: AddSkillEffect(11, G.CastX, G.CastY, 0, 0); break;
    case 12: AddSkillEffect(12, px, py, p.Direction, 4); break;
    case 13: AddSkillEffect(13, G.CastX, G.CastY, 0, 0); break;
    case 14: AddSkillEffect(14, px, py, p.Direction, 5); break;
    case 15: AddSkillEffect(15, 0, 0, 0, 20); break;
    default: break;
  }
}

void CastFrame(std::int32_t k) {
  PlayerRecord& p = G.Player;
  if (k == 1) {
    p.ActStep = 1;
    p.FrameNo = 177 + p.Direction * 6;
  }
  if (k % 4 == 0) {
    p.ActStep += 1;
    p.FrameNo = 176 + p.Direction * 6 + p.ActStep;
    if (p.ActStep == 3) CastEffect();
  }
  if (k > 22) {
    p.ActCounter = -1;
    p.ActStep = 0;
    p.ActState = ActionState::Stand;
  }
}

void HitFrame(std::int32_t k) {
  PlayerRecord& p = G.Player;
  if (k == 1) {
    p.ActStep = 1;
    p.FrameNo = 225 + p.Direction * 3;
    PlaySound("Sound\\被攻击.wav");
  }
  if (k % 4 == 0) {
    p.ActStep += 1;
    p.FrameNo = 224 + p.Direction * 3 + p.ActStep;
  }
  if (k >= 9) {
    p.ActCounter = -1;
    p.ActStep = 0;
    p.ActState = ActionState::Stand;
  }
}

void DyingFrame(std::int32_t k) {
  PlayerRecord& p = G.Player;
  if (k == 1) {
    p.ActStep = 1;
    p.FrameNo = 249 + p.Direction * 4;
    PlaySound("Sound\\死亡.wav");
    ShowControl(ui::Form1.Psys2, false);
    G.ScrollX = 0;
    G.ScrollY = 0;
    SetFlash(0, 0, 255);
    G.FlashAlpha = 80;
    G.FlashMode = 3;
  }
  if (k % 4 == 0) {
    p.ActStep += 1;
    p.FrameNo = 248 + p.Direction * 4 + p.ActStep;
  }
  if (k > 14) p.ActState = ActionState::Dead;
}

// Runs the frame of the current action. False when a portal took the player.
bool ActionFrame() {
  const std::int32_t k = G.Player.ActCounter;
  switch (G.Player.ActState) {
    case ActionState::Stand: StandFrame(k); break;
    case ActionState::Walk: return WalkFrame(k);
    case ActionState::Run: return RunFrame(k);
    case ActionState::Attack: SwingFrame(k); break;
    case ActionState::Magic: CastFrame(k); break;
    case ActionState::Hit: HitFrame(k); break;
    case ActionState::Dying: DyingFrame(k); break;
    default: break;
  }
  return true;
}

// The character dies: the dying animation starts, a bag item may fall now and then, and
// the death panel offers its choices.
void Die() {
  PlayerRecord& p = G.Player;
  p.HP = 0;
  p.ActState = ActionState::Dying;
  p.ActCounter = 1;
  for (std::int32_t slot = kBagFirst; slot <= kBagLast; ++slot) {
    const ItemRecord& item = p.Items[static_cast<std::size_t>(slot)];
    if (item.Name.empty() || item.Type >= 99) continue;
    if (DrawInt(15) == 0) DropBagItem(slot);
  }
  AddSysMessage("你死了！", 255, 255, 0);
  ShowControl(ui::Form1.Psys1, false);
  ShowControl(ui::Form1.Psys2, false);
  ShowControl(ui::Form1.PDead, true);
  const double loss = std::floor(static_cast<double>(SquareTimes(p.Level, 8)) * 0.25);
  ShowControl(ui::Form1.Label11, p.Ex > loss);  // reviving here is offered only when it can be paid
  G.ShowAllItemNames = 1;
}

void Tail() {
  PlayerRecord& p = G.Player;
  p.ActCounter = Saturate32(static_cast<std::int64_t>(p.ActCounter) + 1);
  if (p.ActState != ActionState::Dying && p.HP <= 0) Die();
}

void AddToPool(std::int32_t& pool, std::int64_t points) {
  pool = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(static_cast<std::int64_t>(pool) + points, 0, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

void AddHpPool(std::int64_t points) { AddToPool(G.HpPool, points); }
void AddMpPool(std::int64_t points) { AddToPool(G.MpPool, points); }

void UpdatePlayer() {
  const std::int64_t now = plat::Tick();
  if (G.Player.HP > 0) Regenerate(now);
  if (!Afflictions()) return;  // paralysed: no input, no animation, no counter
  if (G.Player.ActState == ActionState::Dead) return;  // nothing runs until a revival
  if (G.Player.ActState == ActionState::Stand) IdleInput(now);
  if (!ActionFrame()) return;  // a portal took the player
  if (G.Player.ActState == ActionState::Dead) return;  // the dying animation has just ended
  Tail();
}

void PlayFootstep() {
  const std::int32_t t = CellFloorNumber(G.SubMap, PlayerCellX(), PlayerCellY());
  const char* file = "Sound\\走.wav";
  if ((t >= 16 && t <= 75) || (t >= 96 && t <= 104) || (t >= 106 && t <= 109) || (t >= 111 && t <= 114)) {
    file = "Sound\\草地.wav";
  } else if (t >= 140 && t <= 155) {
    file = "Sound\\砖地.wav";
  } else if (t == 160 || t == 165 || t == 170 || t == 175) {
    file = "Sound\\沼地.wav";
  } else if ((t >= 200 && t <= 204) || (t >= 214 && t <= 218)) {
    file = "Sound\\水地.wav";
  }
  PlayWav(file);
}

std::int64_t SwingPeriod() { return std::max<std::int64_t>(1, 11 - static_cast<std::int64_t>(G.Player.DcSpeed)); }
