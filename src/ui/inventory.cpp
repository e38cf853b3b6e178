#include "ui/inventory.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/game_state.h"
#include "graphics/sound.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "ui/forge_text.h"
#include "window/form1.h"
#include "world/equipment.h"
#include "world/ground_items.h"
#include "world/item_pictures.h"
#include "world/item_use.h"
#include "world/items.h"

namespace ui {

namespace {

constexpr std::string_view kPickSound = "Sound\\选取.wav";
constexpr std::string_view kChooseWeapon = "请先选择您要升级的武器";
// Right clicks use items at least this many milliseconds apart.
constexpr std::int64_t kUseSpacingMs = 500;

ItemRecord& Slot(std::int32_t i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

bool IsWorn(int slot) { return slot >= kWornFirst && slot <= kWornLast; }
bool IsBelt(int slot) { return slot >= kBeltFirst && slot <= kBeltLast; }
bool IsBag(int slot) { return slot >= kBagFirst && slot <= kBagLast; }

bool Shown(const plat::Control* c) { return c != nullptr && c->Visible; }

void SetPicture(plat::Control* c, const std::string& file) {
  if (c != nullptr) c->Picture = file;
}
void SetCaption(plat::Control* c, const std::string& text) {
  if (c != nullptr) c->Caption = text;
}

void ShowFrame(bool shown) {
  if (Form1.ShItem != nullptr) Form1.ShItem->Visible = shown;
}

void LetGo() {
  ShowFrame(false);
  G.SelectedSlot = 0;
}

void Hold(int slot) {
  G.SelectedSlot = slot;
  ShowFrame(true);
}

// One of the panels that act on the held item (storage, sell, forge) is open.
bool ServicePanelOpen() { return Shown(Form1.Pbank) || Shown(Form1.Psell) || Shown(Form1.PwUP); }

void ClearPreviews() {
  SetPicture(Form1.Isell, "");
  SetPicture(Form1.IwUP, "");
  SetPicture(Form1.Ibank, "");
  SetCaption(Form1.Lsell, "");
}

void ShowPreviews(int slot) {
  const ItemRecord& item = Slot(slot);
  const std::string picture = ItemPicturePath(item);
  SetPicture(Form1.Ibank, picture);
  SetPicture(Form1.Isell, picture);
  SetPicture(Form1.IwUP, picture);
  SetCaption(Form1.Lsell, std::to_string(item.Money));
  ShowForgeRequirement();
}

std::int32_t FirstEmptyBagSlot() {
  for (std::int32_t i = kBagFirst; i <= kBagLast; ++i) {
    if (Slot(i).Name.empty()) return i;
  }
  return 0;
}

// A left click; false when it ends without the click sound.
bool LeftClick(int slot) {
  if (G.SelectedSlot > 0 && G.BodyNo < kTransformedBody && ServicePanelOpen()) LetGo();
  const std::int32_t held = HeldItemSlot();

  if (IsWorn(slot)) {
    if (held == 0) {
      if (!ServicePanelOpen()) Hold(slot);
      return true;
    }
    if (IsWorn(held)) {
      LetGo();  // worn items never swap with each other
    } else {
      MoveItemToSlot(held, slot);
    }
    ClearPreviews();
    return true;
  }

  if (IsBelt(slot)) {
    if (held != 0) {
      MoveItemToSlot(held, slot);
      LetGo();
      return false;
    }
    if (const std::int32_t bag = FirstEmptyBagSlot(); bag != 0) {
      MoveItemToSlot(bag, slot);
      return false;
    }
    return true;
  }

  // A bag slot.
  if (held != 0) {
    MoveItemToSlot(held, slot);
    ClearPreviews();
    SetCaption(Form1.LwUP, std::string(kChooseWeapon));
    return true;
  }
  Hold(slot);
  if (Slot(slot).Name.empty()) {
    MoveItemToSlot(slot, slot);
    ClearPreviews();
    SetCaption(Form1.LwUP, std::string(kChooseWeapon));
  } else {
    ShowPreviews(slot);
  }
  return true;
}

void RightClick(int slot) {
  if (G.SelectedSlot >= 1) {
    LetGo();
    return;
  }
  SetPicture(Form1.Ibuy, "");
  SetCaption(Form1.Lbuy, "");
  SetCaption(Form1.Lsell, "");
  if (IsWorn(slot)) {
    if (CountFreeBagSlots() > 0 && G.BodyNo < kTransformedBody) UnequipItem(slot);
    return;
  }
  const std::int64_t now = plat::Tick();
  if (now - G.LastItemUseTick <= kUseSpacingMs) return;
  G.LastItemUseTick = now;
  UseItem(slot);
}

}  // namespace

void Iitem_MouseDown(int slot, int button, int, int, int) {
  if (!IsWorn(slot) && !IsBelt(slot) && !IsBag(slot)) return;
  if (G.Player.HP <= 0) return;
  if (plat::GetKeyState(plat::vk::Control) < 0) {
    if (!Slot(slot).Name.empty() && !IsWorn(slot)) DropBagItem(slot);
    return;
  }
  if (const plat::Control* icon = Form1.Iitem(slot); icon != nullptr && Form1.ShItem != nullptr) {
    Form1.ShItem->Move(icon->Left, icon->Top);
  }
  if (button == plat::kLeftButton) {
    if (LeftClick(slot) && G.SoundOn == 1) PlayWav(kPickSound);
  } else if (button == plat::kRightButton) {
    RightClick(slot);
  }
}

void Psys2_MouseDown(int button, int, int, int) {
  if (button == plat::kRightButton && G.SelectedSlot >= 1) LetGo();
}

void Pbank_MouseMove(int, int, int, int) {
  if (Form1.PItemInf != nullptr) Form1.PItemInf->Visible = false;
}

void PItemInf_MouseMove(int, int, int, int) {
  if (Form1.PItemInf != nullptr) Form1.PItemInf->Visible = false;
}

// A press on the description: the panel goes away and the press goes to what lies
// beneath it (the buttons of the sell and forge panels lie under the bag's description).
void PItemInf_MouseDown(plat::Control* on, int button, int shift, int x, int y) {
  plat::Form* form = Form1.Form;
  if (Form1.PItemInf == nullptr || form == nullptr) return;
  Form1.PItemInf->Visible = false;
  const int px = on->ScreenX() + on->ClientInset() + x / plat::kTwipsPerPixel;
  const int py = on->ScreenY() + on->ClientInset() + y / plat::kTwipsPerPixel;
  form->Capture = nullptr;
  form->MouseDown(px, py, button, shift);
}

void AttachInventoryHandlers() {
  MainWindow& w = Form1;
  for (const auto& [index, icon] : w.Iitem.All()) {
    if (icon != nullptr) {
      icon->OnMouseDown = [slot = index](int button, int shift, int x, int y) {
        Iitem_MouseDown(slot, button, shift, x, y);
      };
    }
  }
  if (w.Psys2 != nullptr) w.Psys2->OnMouseDown = Psys2_MouseDown;
  if (w.Pbank != nullptr) w.Pbank->OnMouseMove = Pbank_MouseMove;
  // The two lines of text are part of the panel: moving over them hides it too, so a
  // button under the description takes the next click.
  for (plat::Control* c : {w.PItemInf, w.ItemInf(1), w.ItemInf(2)}) {
    if (c == nullptr) continue;
    c->OnMouseMove = PItemInf_MouseMove;
    c->OnMouseDown = [c](int button, int shift, int x, int y) { PItemInf_MouseDown(c, button, shift, x, y); };
  }
}

}  // namespace ui
