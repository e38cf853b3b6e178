#include "ui/storage.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

#include "common/game_state.h"
#include "graphics/sound.h"
#include "platform/forms.h"
#include "platform/text.h"
#include "ui/game_screen_input.h"
#include "window/form1.h"
#include "world/equipment.h"
#include "world/game_loop.h"
#include "world/items.h"
#include "world/status.h"

namespace ui {

namespace {

constexpr int kStorageFirst = 61;
constexpr int kStorageRows = 60;
constexpr const char* kEmptyRow = "空位";
constexpr std::string_view kClickSound = "Sound\\按键1.wav";
constexpr std::string_view kGoldSound = "Sound\\钱.wav";

ItemRecord& Slot(std::int32_t i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

void Refuse(std::string_view text) { AddSysMessage(text, 255, 0, 0); }

void Click() {
  if (G.SoundOn == 1) PlayWav(kClickSound);
}

// The rows of the storage list; the list is built with all 60.
bool RowFree(int row) {
  const plat::Control* list = Form1.BankList;
  return list != nullptr && row >= 0 && row < list->ListCount() &&
         list->Items[static_cast<std::size_t>(row)] == kEmptyRow;
}

void SetRow(int row, const std::string& text) {
  plat::Control* list = Form1.BankList;
  if (list != nullptr && row >= 0 && row < list->ListCount()) list->Items[static_cast<std::size_t>(row)] = text;
}

int SelectedRow() { return Form1.BankList != nullptr ? Form1.BankList->ListIndex() : -1; }

// Selecting from code shows the row like a click does; the row already selected is
// shown again (the list itself runs its click only for a change of row).
void SelectRow(int row) {
  plat::Control* list = Form1.BankList;
  if (list == nullptr) return;
  if (list->ListIndex() != row) {
    list->SetListIndex(row);
  } else if (list->OnClick) {
    auto click = list->OnClick;
    click();
  }
}

// Where a store goes: the selected row when it is free, else the first free row after
// it, else the first free row before it; -1 when every row is taken.
int TargetRow(int selected) {
  if (selected >= 0 && RowFree(selected)) return selected;
  for (int r = selected + 1; r < kStorageRows; ++r) {
    if (RowFree(r)) return r;
  }
  for (int r = 0; r < selected; ++r) {
    if (RowFree(r)) return r;
  }
  return -1;
}

void ShowBank() {
  if (Form1.Bmoney != nullptr) Form1.Bmoney->Caption = std::to_string(G.Player.Bank);
}

// Moves n gold from `from` to `to`. Nothing unless 0 < n <= from and the new `to` stays
// within 32 bits.
void MoveGold(std::int32_t& from, std::int32_t& to, std::int32_t n) {
  if (n <= 0 || n > from) return;
  const std::int64_t sum = static_cast<std::int64_t>(to) + n;
  if (sum > std::numeric_limits<std::int32_t>::max() || sum < std::numeric_limits<std::int32_t>::min()) return;
  to = static_cast<std::int32_t>(sum);
  from -= n;
  ShowBank();
  if (G.SoundOn == 1) PlayWav(kGoldSound);
  RefreshStatus2();
}

std::optional<std::int32_t> AskGold(const std::string& prompt, const std::string& title) {
  return TypedGold(plat::InputBox(prompt, title, ""));
}

}  // namespace

std::optional<std::int32_t> TypedGold(std::string_view answer) {
  std::size_t lead = 0;
  while (lead < answer.size() && (answer[lead] == ' ' || answer[lead] == '\t')) ++lead;
  // Hex and octal forms are not amounts.
  if (lead < answer.size() && answer[lead] == '&') return 0;
  const double v = plat::Val(answer);
  if (!std::isfinite(v) || v <= -0.5 || v >= 2147483647.5) return std::nullopt;
  return static_cast<std::int32_t>(plat::RoundHalfEven(v));
}

void Command5_Click() {
  Click();
  const std::int32_t held = HeldItemSlot();
  if (held < kBeltFirst) {
    Refuse("请先选择一个道具栏中的道具！");
    return;
  }
  const int target = TargetRow(SelectedRow());
  if (target < 0) {
    Refuse("次元箱已满！");
    return;
  }
  SetRow(target, Slot(held).Name);
  Slot(kStorageFirst + target) = Slot(held);
  ClearItem(held);
  G.SelectedSlot = 0;
  if (Form1.ShItem != nullptr) Form1.ShItem->Visible = false;
  SelectRow(target);
}

void Command6_Click() {
  Click();
  const int row = SelectedRow();
  if (row < 0) {
    Refuse("请先选择一个次元箱中的道具！");
    return;
  }
  if (RowFree(row)) {
    Refuse("您要取出的位置是个空位！");
    return;
  }
  if (CountFreeBagSlots() == 0) {
    Refuse("您的道具栏中没有位置了！");
    return;
  }
  const std::int32_t from = kStorageFirst + row;
  if (static_cast<std::int64_t>(FreeWeight()) - Slot(from).Weight < 0) {
    Refuse("您的负重力不足！");
    return;
  }
  int bag = kBagFirst;
  while (bag <= kBagLast && !Slot(bag).Name.empty()) ++bag;
  if (bag > kBagLast) return;  // counted free above; kept for safety
  Slot(bag) = Slot(from);
  SetRow(row, kEmptyRow);
  ClearItem(from);
  for (int r = row; r < kStorageRows; ++r) {
    if (!RowFree(r)) {
      SelectRow(r);
      return;
    }
  }
  if (Form1.Ibank != nullptr) Form1.Ibank->Picture.clear();
}

void Command7_Click() {
  if (const auto n = AskGold("请输入要存储的金币数：", "金币存储")) MoveGold(G.Player.Money, G.Player.Bank, *n);
}

void Command8_Click() {
  if (const auto n = AskGold("请输入要取出的金币数：", "金币取出")) MoveGold(G.Player.Bank, G.Player.Money, *n);
}

void Command9_Click() { Lquit_Click(); }

void AttachStorageHandlers() {
  MainWindow& w = Form1;
  if (w.Command5 != nullptr) w.Command5->OnClick = [] { Command5_Click(); };
  if (w.Command6 != nullptr) w.Command6->OnClick = [] { Command6_Click(); };
  if (w.Command7 != nullptr) w.Command7->OnClick = [] { Command7_Click(); };
  if (w.Command8 != nullptr) w.Command8->OnClick = [] { Command8_Click(); };
  if (w.Command9 != nullptr) w.Command9->OnClick = [] { Command9_Click(); };
}

}  // namespace ui
