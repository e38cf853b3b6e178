// The forge panel PwUP: a weapon of the bag or belt, iron ore and gold make the weapon
// one forge level better, with a chance that falls as the level rises; a failed attempt
// destroys the weapon.
#pragma once

#include <cstdint>

namespace ui {

// What one attempt from a forge level (0..8) takes and gives.
struct ForgeStep {
  std::int32_t ore;     // pieces of "铁矿石" taken
  std::int32_t gold;    // Money taken
  std::int32_t chance;  // success when Rnd * 100 is below it; 100 = no draw at all
  bool bonusRolls;      // the eight bonus draws before the fixed gains
  std::int32_t dc;      // fixed gains on success
  std::int32_t dcMax;
};

inline constexpr std::int32_t kLastForgeLevel = 9;

// The step from `level`; nullptr for a level outside 0..8.
const ForgeStep* ForgeStepFrom(std::int32_t level);

// "武器升级": one attempt on the weapon of the held slot. A worn weapon (slots 1..10), an
// empty slot or a non-weapon only shows "请选择一件武器". Level 9 shows its text again
// and takes nothing. Too little ore or gold shows "升级条件不足！" and takes nothing. Else
// the ore and gold are taken and the roll decides: success raises the level and the
// stats and shows the new requirement text; failure destroys the weapon. Either way the
// game is saved at once.
void Command21_Click();

// The eight bonus draws of a forging success from level 3 on, on the held slot's item:
// Dc, Mc, DcMax, McMax +1 each below 10; zd (to 3), MaBi (to 5), XiHP (to 3), Acc (to 2)
// +1 each below 5. Every row takes its draw, capped or not. Ends with the success sound.
void RollForgeBonus();

// The failure: the failure sound, the weapon gone, nothing held, "真对不起，我失败了！".
void ForgeFailed();

// "放弃": closes the panels like the dialogue's close label.
void Command13_Click();

// Attaches the two buttons of PwUP (after BuildMainWindow).
void AttachForgeHandlers();

}  // namespace ui
