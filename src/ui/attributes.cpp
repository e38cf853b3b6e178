#include "ui/attributes.h"

#include "common/game_state.h"
#include "platform/forms.h"
#include "window/form1.h"
#include "world/player_record.h"
#include "world/status.h"

namespace ui {

namespace {

constexpr std::int32_t kLastPlainBody = 99;  // higher body numbers are transformed forms

}  // namespace

const PointGain kAttackPoint{.dcMax = 1, .heavy = 1, .hpMax = 3};
const PointGain kMagicPoint{.mcMax = 1, .mpMax = 6};
const PointGain kDefencePoint{.dfMax = 1, .heavy = 3, .hpMax = 5};
const PointGain kMagicDefencePoint{.mfMax = 1, .heavy = 2, .hpMax = 2, .mpMax = 5};

void SpendAttributePoint(const PointGain& gain) {
  PlayerRecord& p = G.Player;
  if (p.LevelPoint <= 0 || G.BodyNo > kLastPlainBody) return;
  p.LevelPoint -= 1;
  AddLastingStat(&PlayerRecord::DcMax, gain.dcMax);
  AddLastingStat(&PlayerRecord::McMax, gain.mcMax);
  AddLastingStat(&PlayerRecord::DfMax, gain.dfMax);
  AddLastingStat(&PlayerRecord::MfMax, gain.mfMax);
  AddLastingStat(&PlayerRecord::Heavy, gain.heavy);
  AddLastingStat(&PlayerRecord::HpMax, gain.hpMax);
  AddLastingStat(&PlayerRecord::MpMax, gain.mpMax);
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
