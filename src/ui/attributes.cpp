#include "ui/attributes.h"

#include <algorithm>
#include <limits>

#include "common/game_state.h"
#include "platform/forms.h"
#include "window/form1.h"
#include "world/status.h"

namespace ui {

namespace {

constexpr std::int32_t kLastPlainBody = 99;  // higher body numbers are transformed forms

// A sum held inside the 32-bit range.
void Add(std::int32_t& value, std::int32_t gain) {
  const std::int64_t sum = static_cast<std::int64_t>(value) + gain;
  value = static_cast<std::int32_t>(std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                                             std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

const PointGain kAttackPoint{.dcMax = 1, .heavy = 1, .hpMax = 3};
const PointGain kMagicPoint{.mcMax = 1, .mpMax = 6};
const PointGain kDefencePoint{.dfMax = 1, .heavy = 3, .hpMax = 5};
const PointGain kMagicDefencePoint{.mfMax = 1, .heavy = 2, .hpMax = 2, .mpMax = 5};

void SpendAttributePoint(const PointGain& gain) {
  PlayerRecord& p = G.Player;
  if (p.LevelPoint <= 0 || G.BodyNo > kLastPlainBody) return;
  p.LevelPoint -= 1;
  Add(p.DcMax, gain.dcMax);
  Add(p.McMax, gain.mcMax);
  Add(p.DfMax, gain.dfMax);
  Add(p.MfMax, gain.mfMax);
  Add(p.Heavy, gain.heavy);
  Add(p.HpMax, gain.hpMax);
  Add(p.MpMax, gain.mpMax);
  RefreshStatus();
}

void LDcAdd_Click() { SpendAttributePoint(kAttackPoint); }
void LMcAdd_Click() { SpendAttributePoint(kMagicPoint); }
void LDfAdd_Click() { SpendAttributePoint(kDefencePoint); }
void LMfAdd_Click() { SpendAttributePoint(kMagicDefencePoint); }

void AttachAttributeHandlers() {
  MainWindow& w = Form1;
  if (w.LDcAdd != nullptr) w.LDcAdd->OnClick = LDcAdd_Click;
  if (w.LMcAdd != nullptr) w.LMcAdd->OnClick = LMcAdd_Click;
  if (w.LDfAdd != nullptr) w.LDfAdd->OnClick = LDfAdd_Click;
  if (w.LMfAdd != nullptr) w.LMfAdd->OnClick = LMfAdd_Click;
}

}  // namespace ui
