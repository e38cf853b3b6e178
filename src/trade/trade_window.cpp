#include "trade/trade_window.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/process.h"
#include "platform/text.h"
#include "trade/socket_network.h"
#include "window/form1.h"
#include "window/form2.h"
#include "window/window_system.h"
#include "world/item_description.h"
#include "world/item_pictures.h"

namespace trade {

const char* const kTradeHelpLines[7] = {
    "■和对方建立连接后：",
    "■",
    "■鼠标左键单击道具栏中的道具，可以把道具放到交换栏中",
    "■鼠标右键单击道具栏中的道具，可以丢弃该道具",
    "■鼠标单击交换栏中的道具，可以把道具放回道具栏中",
    "■当双方都按下交易按钮时，道具将被交换。",
    "■当一方按下交易按钮后，任何一方改动了道具，交易状态将还原。",
};

namespace {

using ui::Form2;
constexpr const char* kCrLf = "\r\n";

// The open window's session and what it asked for while it ran.
class WindowState : public SessionListener {
 public:
  std::unique_ptr<Network> net;
  std::unique_ptr<Session> session;
  int hook = 0;
  bool ended = false;
  std::vector<std::string> boxes;            // message boxes to show once the session's call is over
  const plat::Control* described = nullptr;  // the picture whose item the description shows

  void OnLog(const std::string& line) override { AppendTradeLog(line); }
  void OnBagChanged(int slot) override;
  void OnOffer(Side side, int k, const ItemRecord* item) override;
  void OnConfirm(Side, bool) override;
  void OnCommitted(const std::vector<ItemRecord>&, const std::vector<ItemRecord>&) override {
    ShowTradePictures();
  }
  void OnCommitFailed(const std::string& text) override { boxes.push_back(text); }
  void OnClosed(const std::string& message) override {
    ended = true;
    if (!message.empty()) boxes.push_back(message);
  }
};

std::unique_ptr<WindowState> gState;
// Set while the window writes the session's boxes into CMY and CDF: the change is not a click.
bool gSyncing = false;

void ClearDescription() {
  if (gState) gState->described = nullptr;
  if (Form2.ItemInf(1) != nullptr) Form2.ItemInf(1)->Caption.clear();
  if (Form2.ItemInf(2) != nullptr) Form2.ItemInf(2)->Caption.clear();
}

// An item that left the slot whose description shows takes the description with it.
void SlotChanged(const plat::Control* image) {
  if (gState && image != nullptr && image == gState->described) ClearDescription();
}

Session* LiveSession() {
  return gState && gState->session && !gState->ended ? gState->session.get() : nullptr;
}

void SetPicture(plat::Control* image, const ItemRecord& item) {
  if (image != nullptr) image->Picture = ItemPicturePath(item);
}

void SyncConfirmBoxes() {
  const Session* s = LiveSession();
  gSyncing = true;
  if (Form2.CMY != nullptr) Form2.CMY->SetValue(s != nullptr && s->OwnConfirm() ? 1 : 0);
  if (Form2.CDF != nullptr) Form2.CDF->SetValue(s != nullptr && s->PeerConfirm() ? 1 : 0);
  gSyncing = false;
}

void WindowState::OnBagChanged(int slot) {
  if (session) SetPicture(Form2.Iitem(slot), session->Bag(slot));
  SlotChanged(Form2.Iitem(slot));
}

void WindowState::OnOffer(Side side, int k, const ItemRecord* item) {
  plat::Control* image = side == Side::Own ? Form2.Imy(k) : Form2.Idf(k);
  SetPicture(image, item != nullptr ? *item : ItemRecord{});
  SlotChanged(image);
}

void WindowState::OnConfirm(Side, bool) { SyncConfirmBoxes(); }

// The session has ended: the trade window goes and the main window comes back.
void TearDown() {
  std::unique_ptr<WindowState> state = std::move(gState);
  plat::Application::Get().RemoveIdleHook(state->hook);
  if (Form2.Plost != nullptr) Form2.Plost->Visible = false;
  if (Form2.Form != nullptr) {
    Form2.Form->Visible = false;
    Form2.Form->Focus = nullptr;
    Form2.Form->Capture = nullptr;
  }
  if (ui::Form1.Form != nullptr) {
    ui::Form1.Form->Visible = true;
    ui::ShowTopLevelForm(*ui::Form1.Form);
  }
  std::vector<std::string> boxes = std::move(state->boxes);
  state.reset();  // the session and its socket are gone before any box shows
  for (const std::string& text : boxes) plat::MsgBox(text);
}

// After every call into the session: the boxes it asked for, and the end of the window
// when the session ended.
void AfterSessionCall() {
  if (!gState) return;
  if (gState->ended) {
    TearDown();
    return;
  }
  std::vector<std::string> boxes = std::move(gState->boxes);
  gState->boxes.clear();
  for (const std::string& text : boxes) plat::MsgBox(text);
}

void Describe(const plat::Control* image, const ItemRecord& item) {
  if (item.Name.empty()) return;  // over an empty slot the lines stay as they are
  if (gState) gState->described = image;
  ShowItemDescription(Form2.ItemInf(1), Form2.ItemInf(2), item);
}

// Every control of the window that shows no item clears the description when the
// pointer comes over it, as the background does.
void ClearOnPointer(plat::Control& c) {
  if (!c.OnMouseMove) c.OnMouseMove = [](int, int, int, int) { Form_MouseMove(); };
  for (const auto& child : c.Children()) ClearOnPointer(*child);
}

int LostSlot() {
  if (Form2.Ilost == nullptr) return 0;
  const auto n = plat::StrictNumber(Form2.Ilost->Tag, plat::NumberForm::Whole);
  return n ? static_cast<int>(*n) : 0;
}

void AttachHandlers() {
  ui::TradeWindow& w = Form2;
  for (const auto& [i, image] : w.Iitem.All()) {
    const int slot = i;
    image->OnMouseDown = [slot](int button, int, int, int) { Iitem_MouseDown(slot, button); };
    image->OnMouseMove = [slot](int, int, int, int) { Iitem_MouseMove(slot); };
  }
  for (const auto& [k, image] : w.Imy.All()) {
    const int n = k;
    image->OnMouseDown = [n](int, int, int, int) { Imy_MouseDown(n); };
    image->OnMouseMove = [n](int, int, int, int) { Imy_MouseMove(n); };
  }
  for (const auto& [k, image] : w.Idf.All()) {
    const int n = k;
    image->OnMouseMove = [n](int, int, int, int) { Idf_MouseMove(n); };
  }
  for (const auto& [k, label] : w.Label1.All()) {
    const int n = k;
    label->OnClick = [n] { Label1_Click(n); };
  }
  w.Ilost->OnMouseMove = [](int, int, int, int) { Ilost_MouseMove(); };
  w.CMY->OnClick = [] { CMY_Click(); };
  w.Command1->OnClick = [] { Command1_Click(); };
  w.Command2->OnClick = [] { Command2_Click(); };
  w.Command3->OnClick = [] { Command3_Click(); };
  w.Command4->OnClick = [] { Command4_Click(); };
  w.Command6->OnClick = [] { Command6_Click(); };
  w.Form->OnMouseMove = [](int, int, int, int) { Form_MouseMove(); };
  w.Form->OnUnload = [](int& cancel) { Form_Unload(cancel); };
  ClearOnPointer(*w.Form);
}

}  // namespace

bool OpenTradeWindow(SessionOptions options, std::string* error, std::unique_ptr<Network> network) {
  if (gState) {
    if (error != nullptr) *error = "交易已经开始";
    return false;
  }
  auto state = std::make_unique<WindowState>();
  state->net = network ? std::move(network) : std::make_unique<SocketNetwork>();
  state->session = std::make_unique<Session>(*state->net, *state, std::move(options));

  // The window exists before the session opens: the session writes its first lines
  // into the log.
  ui::BuildTradeWindow();
  AttachHandlers();
  Form2.T->Text.clear();
  gState = std::move(state);
  std::string why;
  if (!gState->session->Open(plat::Tick(), &why)) {
    gState.reset();
    if (error != nullptr) *error = why;
    return false;
  }
  gState->hook = plat::Application::Get().AddIdleHook([] { PollTradeWindow(); });
  // A program that ends during the trade still says goodbye to the peer and lets go of
  // the save (the session's end does both); the windows are left as they are.
  plat::AddShutdownHook([] {
    if (!gState) return;
    plat::Application::Get().RemoveIdleHook(gState->hook);
    gState.reset();
  });

  // Form_Load: the window shows with both description lines empty.
  ClearDescription();
  ShowTradePictures();
  SyncConfirmBoxes();
  Form2.Form->Visible = true;
  if (ui::Form1.Form != nullptr) ui::Form1.Form->Visible = false;
  ui::ShowTopLevelForm(*Form2.Form);
  return true;
}

bool TradeWindowOpen() { return gState != nullptr; }

Session* CurrentTradeSession() { return gState ? gState->session.get() : nullptr; }

void PollTradeWindow() {
  if (!gState) return;
  if (!gState->ended) gState->session->Poll(plat::Tick());
  AfterSessionCall();
}

void AbandonTradeWindow() {
  if (!gState) return;
  gState->boxes.clear();
  gState->ended = true;
  TearDown();
}

void ShowTradePictures() {
  const Session* s = gState ? gState->session.get() : nullptr;
  if (s == nullptr) return;
  for (int k = 1; k <= kOfferSlots; ++k) {
    SetPicture(Form2.Idf(k), s->PeerOffer(k));
    SetPicture(Form2.Imy(k), s->OwnOffer(k));
  }
  for (int i = kBagFirstSlot; i <= kBagLastSlot; ++i) SetPicture(Form2.Iitem(i), s->Bag(i));
}

namespace {

// Keeps the log short: over kLogMaxChars characters it is cut to its last kLogKeptChars;
// the newest line is brought into view.
void KeepLogShort(plat::Control* t) {
  if (plat::Len(t->Text) > kLogMaxChars) t->Text = plat::Right(t->Text, kLogKeptChars);
  t->ScrolledBack = 0;
}

}  // namespace

void AppendTradeLog(const std::string& line) {
  plat::Control* t = Form2.T;
  if (t == nullptr) return;
  if (!t->Text.empty()) t->Text += kCrLf;
  t->Text += line;
  KeepLogShort(t);
}

// ---------------------------------------------------------------- the player's clicks

void Iitem_MouseDown(int index, int button) {
  Session* s = LiveSession();
  if (s == nullptr || !s->Trading()) return;
  if (button == plat::kLeftButton) {
    s->Offer(index);
  } else if (button == plat::kRightButton && !s->Bag(index).Name.empty() && Form2.Plost != nullptr) {
    Form2.Ilost->Tag = std::to_string(index);
    Form2.Ilost->Picture = Form2.Iitem(index) != nullptr ? Form2.Iitem(index)->Picture : std::string();
    Form2.Plost->Visible = true;
  }
  AfterSessionCall();
}

void Imy_MouseDown(int index) {
  Session* s = LiveSession();
  if (s == nullptr) return;
  s->Withdraw(index);
  AfterSessionCall();
}

void CMY_Click() {
  if (gSyncing) return;
  if (Session* s = LiveSession()) s->SetConfirm(Form2.CMY->Value() == 1);
  // The box shows what the session announced: a refused click reverts it.
  SyncConfirmBoxes();
  AfterSessionCall();
}

void Command1_Click() {
  Session* s = LiveSession();
  if (s == nullptr) return;
  // A line that went out leaves the chat box; a refused one stays for another try.
  if (s->Say(Form2.Tsay != nullptr ? Form2.Tsay->Text : std::string()) && Form2.Tsay != nullptr)
    Form2.Tsay->Text.clear();
  AfterSessionCall();
}

void Label1_Click(int index) {
  Session* s = LiveSession();
  if (s == nullptr || index < 0 || index >= ui::kQuickPhrases) return;
  s->QuickPhrase(Form2.Label1(index)->Caption);
  AfterSessionCall();
}

void Command3_Click() {
  plat::Control* t = Form2.T;
  if (t == nullptr) return;
  t->Text += std::string(kCrLf) + kCrLf + kCrLf;
  for (const char* line : kTradeHelpLines) t->Text += std::string(line) + kCrLf;
  KeepLogShort(t);
}

void Command2_Click() {
  const int n = LostSlot();
  if (Session* s = LiveSession()) s->Discard(n);
  if (Form2.Plost != nullptr) Form2.Plost->Visible = false;
  SlotChanged(Form2.Ilost);
  AfterSessionCall();
}

void Command4_Click() {
  if (Form2.Plost != nullptr) Form2.Plost->Visible = false;
}

void Command6_Click() {
  if (gState && !gState->ended) gState->session->Close(plat::Tick());
  AfterSessionCall();
}

void Form_Unload(int& cancel) {
  // The session closes the window when it is done (a pending commit may hold it a
  // moment); the window system's close never takes it away under the session.
  cancel = 1;
  Command6_Click();
}

// ---------------------------------------------------------------- descriptions

void Form_MouseMove() { ClearDescription(); }

void Iitem_MouseMove(int index) {
  if (const Session* s = LiveSession()) Describe(Form2.Iitem(index), s->Bag(index));
}

void Imy_MouseMove(int index) {
  if (const Session* s = LiveSession()) Describe(Form2.Imy(index), s->OwnOffer(index));
}

void Idf_MouseMove(int index) {
  if (const Session* s = LiveSession()) Describe(Form2.Idf(index), s->PeerOffer(index));
}

void Ilost_MouseMove() {
  if (const Session* s = LiveSession()) Describe(Form2.Ilost, s->Bag(LostSlot()));
}

}  // namespace trade
