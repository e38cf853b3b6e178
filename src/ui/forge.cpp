#include "ui/forge.h"

#include <cstddef>
#include <string_view>

#include "common/game_state.h"
#include "common/numbers.h"
#include "graphics/sound.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "ui/forge_text.h"
#include "ui/game_screen_input.h"
#include "window/form1.h"
#include "world/item_pictures.h"
#include "world/items.h"
#include "world/save_game.h"
#include "world/status.h"

namespace ui {

namespace {

constexpr std::int32_t kWeaponType = 20;
constexpr std::int32_t kFirstUnwornSlot = 11;
constexpr std::string_view kOre = "铁矿石";
constexpr std::string_view kSuccessSound = "Sound\\升级成功.wav";
constexpr std::string_view kFailureSound = "Sound\\升级失败.wav";
constexpr const char* kChooseWeapon = "请选择一件武器";
constexpr const char* kNotEnough = "升级条件不足！";
constexpr const char* kFailed = "真对不起，我失败了！";

// By the level forged from. Levels 7 and 8 add 1 to Dc and Mc as well.
constexpr ForgeStep kSteps[] = {
    {1, 500, 100, false, 0, 1}, {1, 800, 80, false, 0, 1}, {1, 1000, 60, false, 0, 1},
    {1, 1200, 50, true, 0, 1},  {1, 1500, 40, true, 0, 1}, {2, 1800, 30, true, 0, 1},
    {2, 2000, 20, true, 0, 2},  {2, 2500, 10, true, 1, 1}, {3, 3000, 5, true, 1, 1},
};

void SetText(const char* text) {
  if (Form1.LwUP != nullptr) Form1.LwUP->Caption = text;
}

void PlayIfSoundOn(std::string_view file) {
  if (G.SoundOn == 1) PlayWav(file);
}

bool Draw(std::int32_t below) { return plat::Rnd() * 100.0 < below; }

// A weapon field raised by `by`, held within the 32-bit range (an edited or cheated
// weapon may already stand at the top).
void Raise(std::int32_t& field, std::int32_t by) {
  field = Saturate32(static_cast<std::int64_t>(field) + by);
}

// The held slot's weapon, or nullptr: nothing held, a worn slot, an empty slot, or an
// item that is no weapon.
ItemRecord* ChosenWeapon() {
  const std::int32_t s = G.SelectedSlot;
  if (s < kFirstUnwornSlot || s > kItemSlots) return nullptr;
  ItemRecord& item = G.Player.Items[static_cast<std::size_t>(s)];
  if (item.Name.empty() || item.Type != kWeaponType) return nullptr;
  return &item;
}

void Refresh() {
  RefreshStatus();
  ShowItemPictures();
}

}  // namespace

const ForgeStep* ForgeStepFrom(std::int32_t level) {
  if (level < 0 || level >= kLastForgeLevel) return nullptr;
  return &kSteps[level];
}

void RollForgeBonus() {
  ItemRecord* w = ChosenWeapon();
  if (w == nullptr) return;
  if (Draw(10)) Raise(w->Dc, 1);
  if (Draw(10)) Raise(w->Mc, 1);
  if (Draw(10)) Raise(w->DcMax, 1);
  if (Draw(10)) Raise(w->McMax, 1);
  // The draw is taken first: a capped field still uses up its number.
  if (Draw(5) && w->zd < 3) ++w->zd;
  if (Draw(5) && w->MaBi < 5) ++w->MaBi;
  if (Draw(5) && w->XiHP < 3) ++w->XiHP;
  if (Draw(5) && w->Acc < 2) ++w->Acc;
  PlayIfSoundOn(kSuccessSound);
}

void ForgeFailed() {
  PlayIfSoundOn(kFailureSound);
  ClearItem(G.SelectedSlot);
  G.SelectedSlot = 0;
  if (Form1.ShItem != nullptr) Form1.ShItem->Visible = false;
  SetText(kFailed);
}

void Command21_Click() {
  ItemRecord* w = ChosenWeapon();
  if (w == nullptr) {
    SetText(kChooseWeapon);
    return;
  }
  if (w->dzlevel == kLastForgeLevel) {
    ShowForgeRequirement();
    return;
  }
  const ForgeStep* step = ForgeStepFrom(w->dzlevel);
  if (step == nullptr) {
    Refresh();
    return;
  }
  PlayerRecord& p = G.Player;
  if (CountItemInBag(kOre) < step->ore || p.Money < step->gold) {
    SetText(kNotEnough);
    Refresh();
    return;
  }
  for (std::int32_t i = 0; i < step->ore; ++i) RemoveItemByName(kOre);
  p.Money -= step->gold;  // checked above: stays within 0..Money

  const bool success = step->chance >= 100 || Draw(step->chance);
  if (success) {
    if (step->bonusRolls) RollForgeBonus();
    Raise(w->Dc, step->dc);
    Raise(w->Mc, step->dc);
    Raise(w->DcMax, step->dcMax);
    Raise(w->McMax, step->dcMax);
    ++w->dzlevel;
    PlayIfSoundOn(kSuccessSound);
    ShowForgeRequirement();
  } else {
    ForgeFailed();
  }
  SaveGame();
  Refresh();
}

void Command13_Click() { Lquit_Click(); }

void AttachForgeHandlers() {
  MainWindow& w = Form1;
  if (w.Command21 != nullptr) w.Command21->OnClick = [] { Command21_Click(); };
  if (w.Command13 != nullptr) w.Command13->OnClick = [] { Command13_Click(); };
}

}  // namespace ui
