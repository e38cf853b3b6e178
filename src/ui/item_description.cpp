#include "ui/item_description.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/sound.h"
#include "window/form1.h"
#include "world/item_description.h"
#include "world/item_pictures.h"
#include "world/items.h"

namespace ui {

namespace {

constexpr int kPanelTopWorn = 1200;
constexpr int kPanelTopBag = 4200;
constexpr int kPanelTopShop = 4890;
constexpr int kStorageFirst = 61;
constexpr const char* kEmptyRow = "空位";

std::string Num(std::int32_t v) { return std::to_string(v); }

void Hide(plat::Control* c) {
  if (c != nullptr) c->Visible = false;
}

// The panel at Top 4890 with the character window on its bag page beside it.
void ShowBesideBag(const ItemRecord& item) {
  MainWindow& w = Form1;
  if (w.PItemInf != nullptr) {
    w.PItemInf->Top = kPanelTopShop;
    w.PItemInf->Visible = true;
  }
  if (w.Psys2 != nullptr) w.Psys2->Visible = true;
  Hide(w.Pmc);
  ShowItemDescription(w.ItemInf(1), w.ItemInf(2), item);
}

}  // namespace

void Iitem_MouseMove(int index) {
  const bool worn = index >= 1 && index <= 10;
  const bool belt = index >= 11 && index <= 16;
  const bool bag = index >= kBagFirst && index <= kBagLast;
  if (!worn && !belt && !bag) return;
  plat::Control* panel = Form1.PItemInf;
  if (panel == nullptr) return;
  const ItemRecord& item = G.Player.Items[static_cast<std::size_t>(index)];
  if (item.Name.empty()) {
    panel->Visible = false;
    return;
  }
  if (worn || bag) {
    panel->Top = worn ? kPanelTopWorn : kPanelTopBag;
    panel->Visible = true;
  }
  // Pointing at the belt leaves the panel as it is.
  if (panel->Visible && !belt) ShowItemDescription(Form1.ItemInf(1), Form1.ItemInf(2), item);
}

void BuyList_Click() {
  MainWindow& w = Form1;
  if (w.BuyList == nullptr) return;
  const std::string name = w.BuyList->SelectedItem();
  ItemRecord item;
  if (name.empty() || !ReadItemTableRow(name, item)) {
    // Nothing chosen, or a listed name the table does not hold.
    if (w.Ibuy != nullptr) w.Ibuy->Picture.clear();
    // An unknown name shows no price either; it cannot be bought.
    if (!name.empty() && w.Lbuy != nullptr) w.Lbuy->Caption.clear();
    Hide(w.PItemInf);
    return;
  }
  if (w.Ibuy != nullptr) w.Ibuy->Picture = ItemPicturePath(item);
  if (w.Lbuy != nullptr) w.Lbuy->Caption = Num(item.Money);
  ShowBesideBag(item);
  if (G.SoundOn == 1) PlayWav("Sound\\按键1.wav");
}

void BankList_Click() {
  MainWindow& w = Form1;
  if (w.BankList == nullptr) return;
  const int row = w.BankList->ListIndex();
  const int slot = kStorageFirst + row;
  if (row < 0 || slot > kItemSlots || w.BankList->Items[static_cast<std::size_t>(row)] == kEmptyRow ||
      w.BankList->Items[static_cast<std::size_t>(row)].empty()) {
    if (w.Ibank != nullptr) w.Ibank->Picture.clear();
    Hide(w.PItemInf);
    return;
  }
  const ItemRecord& item = G.Player.Items[static_cast<std::size_t>(slot)];
  if (w.Ibank != nullptr) w.Ibank->Picture = ItemPicturePath(item);
  ShowBesideBag(item);
}

void AttachItemDescriptionHandlers() {
  MainWindow& w = Form1;
  for (const auto& [index, control] : w.Iitem.All()) {
    if (control != nullptr) control->OnMouseMove = [i = index](int, int, int, int) { Iitem_MouseMove(i); };
  }
  if (w.BuyList != nullptr) w.BuyList->OnClick = [] { BuyList_Click(); };
  if (w.BankList != nullptr) w.BankList->OnClick = [] { BankList_Click(); };
}

}  // namespace ui
