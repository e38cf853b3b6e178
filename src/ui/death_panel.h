// The death panel PDead: quit without saving, revive in town, revive on the spot.
#pragma once

#include <cstdint>

namespace ui {

// The share of Level * Level * 8 of experience, and of gold, that a revival costs.
struct RevivalLoss {
  double exShare;
  double moneyShare;
};
// On the spot: 15 % and 10 % (expert 25 % and 20 %); in town: 3 % and 1 % (expert 10 %
// and 5 %).
RevivalLoss OnTheSpotLoss(bool expert);
RevivalLoss InTownLoss(bool expert);

// Takes a revival's cost: Ex less Int(Level * Level * 8 * exShare), never below 0, and
// Money less Int(Money * moneyShare).
void ApplyRevivalLoss(const RevivalLoss& loss);

// "放弃存档，退出游戏": ends the program at once, without saving and without a sound.
[[noreturn]] void Label18_Click();
// "回到城镇": the panel goes, the town loss is taken, the character stands again with 30 %
// of its maximum HP (rounded down) and is moved to the return point; the teleport sound
// while sounds are on. Poison is not cured.
void Label17_Click();
// "原地复活": the panel goes, the on-the-spot loss is taken, the character stands again
// where it died with 30 % of its maximum HP, and poison is cured.
void Label11_Click();

// Attaches the three handlers to Form1's death panel (after BuildMainWindow).
void AttachDeathPanelHandlers();

}  // namespace ui
