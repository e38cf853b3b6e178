#include "ui/death_panel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/game_state.h"
#include "common/numbers.h"
#include "graphics/device.h"
#include "graphics/sound.h"
#include "platform/forms.h"
#include "window/form1.h"
#include "world/item_use.h"

namespace ui {

namespace {

constexpr double kReviveHpShare = 0.3;
constexpr std::string_view kTeleportSound = "Sound\\传送.wav";

void HideDeadPanel() {
  if (Form1.PDead != nullptr) Form1.PDead->Visible = false;
}

// The character back on its feet: standing, first frame, 30 % of its maximum HP.
void StandUp() {
  PlayerRecord& p = G.Player;
  p.ActCounter = 0;
  p.ActStep = 0;
  p.FrameNo = 1;
  p.HP = static_cast<std::int32_t>(std::floor(static_cast<double>(p.HpMax) * kReviveHpShare));
  p.ActState = ActionState::Stand;
}

bool Expert() { return G.ExpertMode == 1; }

}  // namespace

RevivalLoss OnTheSpotLoss(bool expert) { return expert ? RevivalLoss{0.25, 0.20} : RevivalLoss{0.15, 0.10}; }

RevivalLoss InTownLoss(bool expert) { return expert ? RevivalLoss{0.10, 0.05} : RevivalLoss{0.03, 0.01}; }

void ApplyRevivalLoss(const RevivalLoss& loss) {
  PlayerRecord& p = G.Player;
  // Level * Level * 8 in whole numbers first; an extreme level makes it huge, never
  // negative, and the loss only ever lowers the experience, never below 0.
  const double exLoss = std::floor(static_cast<double>(SquareTimes(p.Level, 8)) * loss.exShare);
  const double ex = static_cast<double>(p.Ex) - std::max(exLoss, 0.0);
  p.Ex = ex < 0 ? 0 : static_cast<std::int32_t>(ex);
  const double moneyLoss = std::floor(static_cast<double>(p.Money) * loss.moneyShare);
  const double money = std::clamp(static_cast<double>(p.Money) - moneyLoss,
                                  static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                                  static_cast<double>(std::numeric_limits<std::int32_t>::max()));
  p.Money = static_cast<std::int32_t>(money);
}

void Label18_Click() { EndGame(); }

void Label17_Click() {
  HideDeadPanel();
  ApplyRevivalLoss(InTownLoss(Expert()));
  StandUp();
  G.FlashMode = 0;
  RecallToReturnPoint();
  if (G.SoundOn == 1) PlaySoundMci(kTeleportSound);
}

void Label11_Click() {
  HideDeadPanel();
  ApplyRevivalLoss(OnTheSpotLoss(Expert()));
  StandUp();
  G.Player.PoisonTime = 0;
  G.FlashMode = 0;
}

void AttachDeathPanelHandlers() {
  MainWindow& w = Form1;
  if (w.Label18 != nullptr) w.Label18->OnClick = [] { Label18_Click(); };
  if (w.Label17 != nullptr) w.Label17->OnClick = [] { Label17_Click(); };
  if (w.Label11 != nullptr) w.Label11->OnClick = [] { Label11_Click(); };
}

}  // namespace ui
