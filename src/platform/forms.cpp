#include "platform/forms.h"

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/text.h"

namespace plat {

namespace {

// Virtual-key codes the controls handle themselves.
constexpr int kVkBack = 8;
constexpr int kVkReturn = 13;
constexpr int kVkUp = 38;
constexpr int kVkDown = 40;

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Handlers are copied before they run: a handler may replace itself.
void Run(const std::function<void()>& f) {
  if (f) {
    auto copy = f;
    copy();
  }
}
void RunMouse(const std::function<void(int, int, int, int)>& f, int button, int shift, int x, int y) {
  if (f) {
    auto copy = f;
    copy(button, shift, x, y);
  }
}

bool InRect(const Control* c, int px, int py) {
  int x = c->ScreenX();
  int y = c->ScreenY();
  return px >= x && py >= y && px < x + c->PixelWidth() && py < y + c->PixelHeight();
}

// Lines and shapes are drawn only: the mouse goes through them to what lies beneath
// (the selection frame over a bag slot does not take the slot's clicks). Timers are
// never hit.
bool TakesMouse(ControlKind k) {
  return k != ControlKind::Timer && k != ControlKind::Line && k != ControlKind::Shape;
}

// The topmost shown, enabled child of c under the point, searched down the tree. The
// point is known to lie inside c's client area.
Control* HitIn(Control* c, int px, int py) {
  const auto& kids = c->Children();
  for (int pass = 0; pass < 2; ++pass) {
    const bool wantWindowed = pass == 0;
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
      Control* k = it->get();
      if (!TakesMouse(k->Kind) || IsWindowed(k->Kind) != wantWindowed) continue;
      if (!k->Visible || !k->Enabled) continue;
      if (!InRect(k, px, py)) continue;
      // Children are clipped to the client area inside the border.
      const int inset = k->ClientInset();
      const int cx = k->ScreenX() + inset, cy = k->ScreenY() + inset;
      if (px >= cx && py >= cy && px < k->ScreenX() + k->PixelWidth() - inset &&
          py < k->ScreenY() + k->PixelHeight() - inset) {
        if (Control* deeper = HitIn(k, px, py)) return deeper;
      }
      return k;
    }
  }
  return nullptr;
}

// Mouse position relative to the control's client area, in its own unit.
void LocalCoords(const Control* c, int px, int py, int& x, int& y) {
  const int dx = px - c->ScreenX() - c->ClientInset();
  const int dy = py - c->ScreenY() - c->ClientInset();
  x = c->PixelScale ? dx : dx * kTwipsPerPixel;
  y = c->PixelScale ? dy : dy * kTwipsPerPixel;
}

void CollectTimersIn(Control* c, std::vector<Control*>& out) {
  for (const auto& k : c->Children()) {
    if (k->Kind == ControlKind::Timer) out.push_back(k.get());
    CollectTimersIn(k.get(), out);
  }
}

Control* FindDropped(Control* c) {
  for (const auto& k : c->Children()) {
    if (k->Kind == ControlKind::ComboBox && k->Dropped) {
      if (k->IsShown() && k->Enabled) return k.get();
      k->Dropped = false;  // a hidden or disabled combo box closes its list
    }
    if (Control* d = FindDropped(k.get())) return d;
  }
  return nullptr;
}

DialogProvider* gDialogs = nullptr;
std::string& TitleStore() {
  static std::string title;
  return title;
}

}  // namespace

// To the nearest pixel, the same way on both sides of 0 (a panel parked at a negative
// position lands on the right pixel): a strip of 105 twips at 10720 covers pixels 715 to
// 721, the last column of a window 10830 twips wide.
int TwipsToPixels(int twips) {
  const long long twice = 2LL * twips + kTwipsPerPixel;
  const long long unit = 2LL * kTwipsPerPixel;
  long long q = twice / unit;
  if (twice % unit != 0 && twice < 0) --q;
  return static_cast<int>(q);
}

int ChildPixels(int v, const Control* parent) {
  return (parent != nullptr && parent->PixelScale) ? v : TwipsToPixels(v);
}

bool IsWindowed(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
    case ControlKind::Image:
    case ControlKind::Line:
    case ControlKind::Shape:
    case ControlKind::Timer:
      return false;
    default:
      return true;
  }
}

// ---------------------------------------------------------------------------
// Control

Control::Control(ControlKind kind, std::string name, int index)
    : Kind(kind), Name(std::move(name)), Index(index) {}

Control* Control::Add(std::unique_ptr<Control> child) {
  child->Parent = this;
  children_.push_back(std::move(child));
  return children_.back().get();
}

Control* Control::Add(ControlKind kind, std::string name, int index) {
  return Add(std::make_unique<Control>(kind, std::move(name), index));
}

Control* Control::Find(std::string_view name, int index) {
  for (const auto& k : children_) {
    if (k->Index == index && SameNoCase(k->Name, name)) return k.get();
    if (Control* d = k->Find(name, index)) return d;
  }
  return nullptr;
}

Form* Control::OwnerForm() {
  Control* c = this;
  while (c->Parent != nullptr) c = c->Parent;
  return c->Kind == ControlKind::Form ? static_cast<Form*>(c) : nullptr;
}

void Control::SetValue(int v) {
  if (v == value_) return;
  value_ = v;
  if (Kind == ControlKind::OptionButton) {
    if (v == 0) return;  // an option button is cleared silently; only the chosen one clicks
    if (Parent != nullptr) {
      for (const auto& s : Parent->children_) {
        if (s.get() != this && s->Kind == ControlKind::OptionButton) s->value_ = 0;
      }
    }
  }
  Run(OnClick);
}

void Control::Clear() {
  Items.clear();
  listIndex_ = -1;
  TopIndex = 0;
  Dropped = false;
}

void Control::RemoveItem(int index) {
  if (index < 0 || index >= ListCount()) return;
  Items.erase(Items.begin() + index);
  if (listIndex_ == index) {
    listIndex_ = -1;
  } else if (listIndex_ > index) {
    --listIndex_;
  }
  if (listIndex_ >= ListCount()) listIndex_ = -1;
  TopIndex = std::max(0, std::min(TopIndex, ListCount() - 1));
}

// Setting the selected row from code behaves like the classic list: another row (or -1,
// no row) runs the click handler once; setting the row already selected runs nothing;
// an index outside -1 .. ListCount-1 is refused and changes nothing. A combo box shows
// the chosen row as its text. The list scrolls so that the row is in view.
void Control::SetListIndex(int i) {
  if (i < -1 || i >= ListCount()) return;
  if (i == ListIndex()) return;
  listIndex_ = i;
  if (Kind == ControlKind::ComboBox) Text = i >= 0 ? Items[static_cast<std::size_t>(i)] : std::string();
  if (i >= 0) {
    const int rows = std::max(1, VisibleRows());
    if (i < TopIndex) TopIndex = i;
    if (i >= TopIndex + rows) TopIndex = i - rows + 1;
  }
  Run(OnClick);
}

std::string Control::SelectedItem() const {
  const int i = ListIndex();
  return i >= 0 ? Items[static_cast<std::size_t>(i)] : std::string();
}

int Control::ScreenX() const {
  if (Parent == nullptr) return 0;
  return Parent->ScreenX() + Parent->ClientInset() + ChildPixels(Left, Parent);
}

int Control::ScreenY() const {
  if (Parent == nullptr) return 0;
  return Parent->ScreenY() + Parent->ClientInset() + ChildPixels(Top, Parent);
}

int Control::PixelWidth() const { return ChildPixels(Width, Parent); }
int Control::PixelHeight() const { return ChildPixels(Height, Parent); }

int Control::ClientInset() const {
  const bool container = Kind == ControlKind::Panel || Kind == ControlKind::PictureBox;
  return (container && HasBorder) ? kBorderPixels : 0;
}

int Control::VisibleRows() const {
  if (Kind == ControlKind::ComboBox) return std::min(kComboDropRows, ListCount());
  return std::max(1, PixelHeight() / kListRowPixels);
}

namespace {

template <typename T>
void PutValue(std::string& out, const T& v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

void PutText(std::string& out, const std::string& text) {
  PutValue(out, text.size());
  out += text;
}

}  // namespace

void Control::AppendLook(std::string& out) const {
  PutValue(out, Visible);
  if (!Visible || Kind == ControlKind::Timer) return;
  PutValue(out, Kind);
  PutText(out, Name);
  const int geometry[] = {Left, Top,         Width,     Height, X1,         Y1,       X2,
                          Y2,   BorderWidth, Alignment, value_, listIndex_, TopIndex, ScrolledBack};
  PutValue(out, geometry);
  const std::uint32_t colours[] = {ForeColor, BackColor, BorderColor};
  PutValue(out, colours);
  const bool flags[] = {PixelScale, Enabled,   BackTransparent, HasBorder,   WordWrap,
                        Dropped,    Graphical, MultiLine,       AllSelected, FontBold};
  PutValue(out, flags);
  PutText(out, Caption);
  PutText(out, Picture);
  PutText(out, DownPicture);
  PutText(out, ToolTip);
  PutText(out, Text);
  PutValue(out, Items.size());
  for (const auto& item : Items) PutText(out, item);
  if (Kind == ControlKind::Form) {
    const auto* form = static_cast<const Form*>(this);
    PutValue(out, form->Focus);
    PutValue(out, form->Capture);
  }
  PutValue(out, children_.size());
  for (const auto& k : children_) k->AppendLook(out);
}

bool Control::IsShown() const {
  for (const Control* c = this; c != nullptr; c = c->Parent) {
    if (!c->Visible) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Form

Form::Form(std::string name) : Control(ControlKind::Form, std::move(name)) {}

Control* Form::DroppedCombo() { return FindDropped(this); }

bool Form::InDropDown(const Control* combo, int px, int py) const {
  if (combo == nullptr || !combo->Dropped) return false;
  const int x = combo->ScreenX();
  const int top = combo->ScreenY() + combo->PixelHeight();
  return px >= x && px < x + combo->PixelWidth() && py >= top &&
         py < top + combo->VisibleRows() * kListRowPixels;
}

Control* Form::HitTest(int px, int py) {
  // An open drop-down list lies above everything else.
  if (Control* dc = DroppedCombo()) {
    if (InDropDown(dc, px, py)) return dc;
  }
  if (Width > 0 && Height > 0 && !InRect(this, px, py)) return this;
  Control* hit = HitIn(this, px, py);
  return hit != nullptr ? hit : this;
}

void Form::CollectTimers(std::vector<Control*>& out) { CollectTimersIn(this, out); }

void Form::MouseDown(int px, int py, int button, int shift) {
  Control* target = Capture;
  if (target == nullptr) {
    target = HitTest(px, py);
    Control* dc = DroppedCombo();
    if (dc != nullptr && dc != target) dc->Dropped = false;  // a press elsewhere closes it
    Capture = target;
    if (target != this && IsWindowed(target->Kind)) Focus = target;
    target->AllSelected = false;
  }
  int x, y;
  LocalCoords(target, px, py, x, y);
  RunMouse(target->OnMouseDown, button, shift, x, y);
}

void Form::MouseMove(int px, int py, int button, int shift) {
  Control* target = Capture != nullptr ? Capture : HitTest(px, py);
  int x, y;
  LocalCoords(target, px, py, x, y);
  RunMouse(target->OnMouseMove, button, shift, x, y);
}

void Form::MouseUp(int px, int py, int button, int shift) {
  Control* captured = Capture;
  Control* target = captured != nullptr ? captured : HitTest(px, py);
  Capture = nullptr;
  int x, y;
  LocalCoords(target, px, py, x, y);
  RunMouse(target->OnMouseUp, button, shift, x, y);
  // Only a press and a release on the same control make a click.
  if (captured == nullptr || !captured->IsShown() || !captured->Enabled) return;
  if (InRect(captured, px, py) || InDropDown(captured, px, py)) Click(captured, px, py, button);
}

// A click: check boxes, option buttons, buttons, lists and combo boxes answer the left
// button only; labels, images, picture boxes and the form either button.
void Form::Click(Control* c, int px, int py, int button) {
  const bool left = (button & kLeftButton) != 0;
  switch (c->Kind) {
    case ControlKind::CheckBox:
      if (left) c->SetValue(c->Value() == 1 ? 0 : 1);
      break;
    case ControlKind::OptionButton:
      if (!left) break;
      if (c->Value() == 1) {
        Run(c->OnClick);  // clicking the chosen button clicks again
      } else {
        c->SetValue(1);
      }
      break;
    case ControlKind::Button:
    case ControlKind::TextBox:
      if (left) Run(c->OnClick);
      break;
    case ControlKind::ListBox: {
      if (!left) break;
      const int dy = py - c->ScreenY();
      const int shownRow = dy / kListRowPixels;
      const int row = c->TopIndex + shownRow;
      if (dy < 0 || shownRow >= c->VisibleRows() || row >= c->ListCount()) break;  // empty area
      if (row != c->ListIndex()) {
        c->SetListIndex(row);
      } else {
        Run(c->OnClick);  // the player clicked the selected row again
      }
      break;
    }
    case ControlKind::ComboBox: {
      if (!left) break;
      if (!c->Dropped) {
        c->Dropped = c->ListCount() > 0;
        break;
      }
      const bool onList = InDropDown(c, px, py);
      c->Dropped = false;
      if (!onList) break;
      const int row = c->TopIndex + (py - c->ScreenY() - c->PixelHeight()) / kListRowPixels;
      if (row < 0 || row >= c->ListCount()) break;
      if (row != c->ListIndex()) {
        c->SetListIndex(row);
      } else {
        c->Text = c->Items[static_cast<std::size_t>(row)];
        Run(c->OnClick);
      }
      break;
    }
    default:
      Run(c->OnClick);
      break;
  }
}

void Form::MouseWheel(int px, int py, int rows) {
  Control* target = HitTest(px, py);
  if (target->Kind == ControlKind::TextBox && target->MultiLine) {
    // Towards the end is towards the newest line; how far back it may go the host
    // clamps when it draws.
    target->ScrolledBack = std::max(0, target->ScrolledBack - rows);
    return;
  }
  if (target->Kind != ControlKind::ListBox && target->Kind != ControlKind::ComboBox) return;
  if (target->Kind == ControlKind::ComboBox && !target->Dropped) return;
  const int maxTop = std::max(0, target->ListCount() - target->VisibleRows());
  const long top = static_cast<long>(target->TopIndex) + rows;
  target->TopIndex = static_cast<int>(std::clamp<long>(top, 0, maxTop));
}

void Form::KeyDown(int keyCode, int shift) {
  if (KeyPreview || Focus == nullptr) {
    if (OnFormKeyDown) {
      auto f = OnFormKeyDown;
      f(keyCode, shift);
    }
    if (keyCode == 0) return;  // the form kept the key
  }
  Control* c = Focus;
  if (c == nullptr || c == this || !c->IsShown() || !c->Enabled) return;
  if (c->OnKeyDown) {
    auto f = c->OnKeyDown;
    f(keyCode, shift);
    if (keyCode == 0) return;
  }
  const bool editable = (c->Kind == ControlKind::TextBox || c->Kind == ControlKind::ComboBox) && !c->Locked;
  if (c->AllSelected) {
    // A key that types a character keeps the selection for the text that follows it,
    // which replaces the selected text; erasing or moving ends the selection.
    const bool types = keyCode == 32 || (keyCode >= 48 && keyCode <= 90) || (keyCode >= 96 && keyCode <= 111) ||
                       keyCode >= 186;
    if (!types) c->AllSelected = false;
    if (editable && keyCode == kVkBack && !c->Text.empty()) {
      c->Text.clear();
      Run(c->OnChange);
      return;
    }
  }
  if (editable && keyCode == kVkBack) {
    const long n = Len(c->Text);
    if (n > 0) {
      c->Text = plat::Left(c->Text, n - 1);
      Run(c->OnChange);
    }
    return;
  }
  if (c->Kind == ControlKind::ComboBox) {
    if (keyCode == kVkDown && c->ListIndex() + 1 < c->ListCount()) c->SetListIndex(c->ListIndex() + 1);
    if (keyCode == kVkUp && c->ListIndex() > 0) c->SetListIndex(c->ListIndex() - 1);
    if (keyCode == kVkReturn) c->Dropped = false;
  }
}

void Form::KeyUp(int keyCode, int shift) {
  Control* c = Focus;
  if (c == nullptr || c == this || !c->IsShown() || !c->Enabled || !c->OnKeyUp) return;
  auto f = c->OnKeyUp;
  f(keyCode, shift);
}

void Form::TextInput(std::string_view utf8) {
  Control* c = Focus;
  if (c == nullptr || !c->IsShown() || !c->Enabled) return;
  if (c->Kind != ControlKind::TextBox && c->Kind != ControlKind::ComboBox) return;
  if (c->Locked) return;
  if (c->AllSelected) {
    c->AllSelected = false;
    c->Text.clear();
  }
  for (std::string ch : Chars(utf8)) {
    if (ch.size() == 1 && c->OnKeyPress) {
      int k = static_cast<unsigned char>(ch[0]);
      auto f = c->OnKeyPress;
      f(k);
      if (k <= 0 || k > 127) continue;  // swallowed (or not a character we can keep)
      ch.assign(1, static_cast<char>(k));
    }
    if (ch.size() == 1 && static_cast<unsigned char>(ch[0]) < 32) continue;  // one-line boxes
    if (c->MaxLength > 0 && Len(c->Text) >= c->MaxLength) break;
    c->Text += ch;
    Run(c->OnChange);
  }
}

bool Form::RequestClose() {
  int cancel = 0;
  if (OnUnload) {
    auto f = OnUnload;
    f(cancel);
  }
  return cancel == 0;
}

// ---------------------------------------------------------------------------
// Application

Application& Application::Get() {
  static Application app;
  return app;
}

void Application::AddForm(Form* form) {
  if (form != nullptr && std::find(forms_.begin(), forms_.end(), form) == forms_.end()) {
    forms_.push_back(form);
  }
}

void Application::RemoveForm(Form* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  // Events still queued for it are dropped.
  if (form == nullptr) return;
  for (auto& e : queue_) {
    if (e.form == form) {
      e.type = InputEvent::Custom;
      e.form = nullptr;
      e.custom = nullptr;
    }
  }
}

void Application::DoEvents() {
  // Every pump first looks whether the program was asked to end from outside.
  CheckEndRequest();
  if (source_ != nullptr) source_->Poll();
  RunIdleHooks();
  // Only the events queued before this call: what the handlers post waits for the next
  // pump. Each event leaves the queue before it runs, so a nested pump goes on with the
  // next one.
  const std::uint64_t limit = posted_;
  while (!queue_.empty() && taken_ < limit) {
    InputEvent e = std::move(queue_.front());
    queue_.pop_front();
    ++taken_;
    Dispatch(e);
  }
  FireTimers();
}

int Application::AddIdleHook(std::function<void()> hook) {
  idleHooks_.emplace_back(nextHookId_, std::move(hook));
  return nextHookId_++;
}

void Application::RemoveIdleHook(int id) {
  idleHooks_.erase(std::remove_if(idleHooks_.begin(), idleHooks_.end(), [id](const auto& h) { return h.first == id; }),
                   idleHooks_.end());
}

// A hook may add or remove hooks: each one that is still there when its turn comes runs.
void Application::RunIdleHooks() {
  if (inIdleHooks_ || idleHooks_.empty()) return;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{inIdleHooks_};
  inIdleHooks_ = true;
  std::vector<int> ids;
  for (const auto& h : idleHooks_) ids.push_back(h.first);
  for (int id : ids) {
    auto it = std::find_if(idleHooks_.begin(), idleHooks_.end(), [id](const auto& h) { return h.first == id; });
    if (it == idleHooks_.end() || !it->second) continue;
    auto hook = it->second;
    hook();
  }
}

void Application::Reset() {
  idleHooks_.clear();
  queue_.clear();
  forms_.clear();
  source_ = nullptr;
  taken_ = posted_;
}

void Application::Dispatch(InputEvent& e) {
  if (e.type == InputEvent::Custom) {
    if (e.custom) e.custom();
    return;
  }
  Form* f = e.form;
  if (f == nullptr) {
    if (forms_.empty()) return;
    f = forms_.front();
  } else if (std::find(forms_.begin(), forms_.end(), f) == forms_.end()) {
    return;  // the window is gone
  }
  switch (e.type) {
    case InputEvent::MouseDown: f->MouseDown(e.x, e.y, e.button, e.shift); break;
    case InputEvent::MouseMove: f->MouseMove(e.x, e.y, e.button, e.shift); break;
    case InputEvent::MouseUp: f->MouseUp(e.x, e.y, e.button, e.shift); break;
    case InputEvent::KeyDown: f->KeyDown(e.key, e.shift); break;
    case InputEvent::KeyUp: f->KeyUp(e.key, e.shift); break;
    case InputEvent::Text: f->TextInput(e.text); break;
    case InputEvent::Wheel: f->MouseWheel(e.x, e.y, e.key); break;
    case InputEvent::Close:
      if (f->RequestClose()) {
        f->Visible = false;
        RemoveForm(f);
      }
      break;
    case InputEvent::Custom: break;
  }
}

// Every timer whose time has come fires once, however many intervals were missed; its
// next time is one interval after this firing. A timer seen stopped (disabled or no
// interval) starts afresh, one full interval after it is next seen running. A timer
// whose handler is still running (a nested pump) is left alone. The tree is looked at
// again after every firing, since a handler may change it.
void Application::FireTimers() {
  std::vector<Control*> fired;
  for (;;) {
    std::vector<Control*> timers;
    const std::vector<Form*> forms = forms_;
    for (Form* f : forms) f->CollectTimers(timers);
    const std::int64_t now = Tick();
    Control* due = nullptr;
    for (Control* t : timers) {
      if (!t->TimerEnabled || t->Interval <= 0) {
        if (!t->firing) t->nextDue = 0;
        continue;
      }
      if (t->nextDue == 0) {
        t->nextDue = now + t->Interval;
        continue;
      }
      if (t->firing || now < t->nextDue) continue;
      if (std::find(fired.begin(), fired.end(), t) != fired.end()) continue;
      due = t;
      break;
    }
    if (due == nullptr) return;
    fired.push_back(due);
    due->nextDue = now + due->Interval;
    due->firing = true;
    auto handler = due->OnTimer;
    if (handler) handler();
    // The handler may have rebuilt the tree: touch the timer only if it is still there.
    std::vector<Control*> after;
    const std::vector<Form*> formsAfter = forms_;
    for (Form* f : formsAfter) f->CollectTimers(after);
    if (std::find(after.begin(), after.end(), due) != after.end()) due->firing = false;
  }
}

// ---------------------------------------------------------------------------
// Dialogs

void SetDialogProvider(DialogProvider* provider) { gDialogs = provider; }
DialogProvider* CurrentDialogProvider() { return gDialogs; }

void SetAppTitle(std::string title) { TitleStore() = std::move(title); }
const std::string& AppTitle() { return TitleStore(); }

// Without a provider (no window to show a box in) the text goes to stderr and the box
// answers at once with its safe button: OK for a plain message, Cancel for OK/Cancel
// (and the other sets that have a Cancel), No for Yes/No.
int MsgBox(const std::string& text, int buttons, const std::string& title) {
  const std::string& t = title.empty() ? AppTitle() : title;
  if (gDialogs != nullptr) return gDialogs->ShowMessage(text, buttons, t);
  std::fprintf(stderr, "[%s] %s\n", t.c_str(), text.c_str());
  switch (buttons & 7) {
    case kOkOnly: return kOk;
    case kYesNo: return kNo;
    default: return kCancel;
  }
}

std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) {
  const std::string& t = title.empty() ? AppTitle() : title;
  if (gDialogs != nullptr) return gDialogs->ShowInput(prompt, t, defaultText).value_or(std::string());
  std::fprintf(stderr, "[%s] %s\n", t.c_str(), prompt.c_str());
  return std::string();
}

int ScriptedDialogs::ShowMessage(const std::string& text, int buttons, const std::string& title) {
  shown.push_back(Shown{false, text, title, buttons});
  if (messageAnswers.empty()) return kOk;
  const int answer = messageAnswers.front();
  messageAnswers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedDialogs::ShowInput(const std::string& prompt, const std::string& title,
                                                      const std::string& defaultText) {
  shown.push_back(Shown{true, prompt, title, 0});
  if (inputAnswers.empty()) return defaultText;
  std::optional<std::string> answer = inputAnswers.front();
  inputAnswers.pop_front();
  return answer;
}

}  // namespace plat
