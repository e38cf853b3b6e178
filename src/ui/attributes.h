// The four "+" labels of the status page: each spends one attribute point on attack,
// magic, defence or magic defence.
#pragma once

#include <cstdint>

namespace ui {

// What one point adds to the player.
struct PointGain {
  std::int32_t dcMax = 0, mcMax = 0, dfMax = 0, mfMax = 0;
  std::int32_t heavy = 0, hpMax = 0, mpMax = 0;
};

// Attack: DcMax +1, Heavy +1, HpMax +3. Magic: McMax +1, MpMax +6. Defence: DfMax +1,
// Heavy +3, HpMax +5. Magic defence: MfMax +1, Heavy +2, HpMax +2, MpMax +5.
extern const PointGain kAttackPoint, kMagicPoint, kDefencePoint, kMagicDefencePoint;

// Spends one point on the gain and rewrites the status page. Nothing happens without
// points left (LevelPoint 0 or below) or while transformed (the body look above 99). The lower
// ends of the ranges and the current HP and MP stay as they are.
void SpendAttributePoint(const PointGain& gain);

void LDcAdd_Click();
void LMcAdd_Click();
void LDfAdd_Click();
void LMfAdd_Click();

// Attaches the four handlers to Form1 (after BuildMainWindow).
void AttachAttributeHandlers();

}  // namespace ui
