#include "trade/trade_setup.h"

#include <cstdlib>
#include <string>

#include "platform/forms.h"
#include "platform/text.h"
#include "trade/link.h"
#include "trade/session.h"
#include "trade/trade_window.h"
#include "window/form1.h"
#include "world/save_list.h"

namespace trade {

namespace {

using ui::Form1;

std::string SelectedRow() { return Form1.IdList != nullptr ? Form1.IdList->SelectedItem() : std::string(); }

// The account check of the chosen row: a normal or an expert account may trade; no row,
// a cheat account or the row of an older save gets its message box.
bool AccountMayTrade(const std::string& row) {
  if (row.empty()) {
    plat::MsgBox(kChooseAccountText);
    return false;
  }
  const std::string mode = RowMode(row);
  if (mode == "普通" || mode == "专家") return true;
  plat::MsgBox(kNotTradableText, plat::kOkOnly, kErrorTitle);
  return false;
}

// The address box focused with all of its text selected.
void FocusAddress() {
  if (Form1.Form == nullptr || Form1.DIP == nullptr) return;
  Form1.Form->Focus = Form1.DIP;
  Form1.DIP->AllSelected = true;
}

}  // namespace

std::uint16_t TradeSetupPort() {
  const char* value = std::getenv(kPortVariable);
  if (value == nullptr) return kTradePort;
  const auto n = plat::StrictNumber(value, plat::NumberForm::Whole);
  if (!n || *n < 1 || *n > 65535) return kTradePort;
  return static_cast<std::uint16_t>(*n);
}

namespace setup {

void Command4_Click() {
  if (!AccountMayTrade(SelectedRow())) return;
  if (Form1.Pnet != nullptr) Form1.Pnet->Visible = true;
  plat::Application::Get().DoEvents();
}

void O1_Click() {
  if (Form1.DIP != nullptr) Form1.DIP->Enabled = false;
}

void O2_Click() {
  if (Form1.DIP == nullptr) return;
  Form1.DIP->Enabled = true;
  FocusAddress();
}

void Command15_Click() {
  const bool join = Form1.O2 != nullptr && Form1.O2->Value() == 1;
  const std::string typed = Form1.DIP != nullptr ? Form1.DIP->Text : std::string();
  if (join && !UsableJoinAddress(typed)) {
    plat::MsgBox(kBadAddressText, plat::kOkOnly, kErrorTitle);
    FocusAddress();
    return;
  }
  // The row chosen now names the character; its account is checked again here and once
  // more on the save as loaded.
  const std::string row = SelectedRow();
  if (!AccountMayTrade(row)) return;
  SessionOptions options;
  options.role = join ? Role::Join : Role::Host;
  options.address = join ? typed : std::string();
  options.port = TradeSetupPort();
  options.name = RowName(row);
  std::string error;
  if (!OpenTradeWindow(std::move(options), &error)) plat::MsgBox(error);
}

void Command14_Click() {
  if (Form1.Pnet != nullptr) Form1.Pnet->Visible = false;
}

}  // namespace setup

void AttachTradeSetupHandlers() {
  ui::MainWindow& w = Form1;
  if (w.Command4 != nullptr) w.Command4->OnClick = [] { setup::Command4_Click(); };
  if (w.O1 != nullptr) w.O1->OnClick = [] { setup::O1_Click(); };
  if (w.O2 != nullptr) w.O2->OnClick = [] { setup::O2_Click(); };
  if (w.Command15 != nullptr) w.Command15->OnClick = [] { setup::Command15_Click(); };
  if (w.Command14 != nullptr) w.Command14->OnClick = [] { setup::Command14_Click(); };
}

}  // namespace trade
