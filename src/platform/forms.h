// The window controls as a retained model: plain data that game code reads and writes,
// drawn and fed with events by a host (the SDL host in the real program, tests directly).
//
// Semantics the game relies on:
//  - setting a check box's Value from code to a different value runs its click handler
//    at once; setting the same value runs nothing;
//  - setting a list's selected row from code runs its click handler;
//  - the form sees every key before the focused control;
//  - a mouse press captures the mouse for that control until the release;
//  - containers clip their children, and panels (windowed controls) lie above images,
//    labels, lines and shapes of the same container;
//  - timers fire only while events are pumped; the pump is re-entrant;
//  - message and input boxes are modal.
// Positions are in twips (15 per pixel), relative to the parent's client area.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

constexpr int kTwipsPerPixel = 15;
// Height of one row of a list box or of a combo box's drop-down list, in pixels.
constexpr int kListRowPixels = 15;
// Rows shown by an open combo box drop-down list.
constexpr int kComboDropRows = 8;
// Width of the border of a container drawn with a border (HasBorder), in pixels; its
// client area, where the children lie, starts inside it.
constexpr int kBorderPixels = 2;

enum class ControlKind {
  Form,
  Panel,       // a picture box used as a container
  PictureBox,  // a picture box measured in pixels (the game screen)
  Label,
  Image,
  Button,
  ListBox,
  ComboBox,
  TextBox,
  CheckBox,
  OptionButton,
  Line,
  Shape,
  Timer,
};

// Windowed controls lie above the lightweight ones (labels, images, lines, shapes) of
// the same container.
bool IsWindowed(ControlKind kind);

class Control;
// Twips to pixels, rounded to the nearest pixel.
int TwipsToPixels(int twips);
// A position or size of a child in pixels, given in its parent's unit (twips, or pixels
// inside a pixel-scaled picture box).
int ChildPixels(int v, const Control* parent);

// Mouse buttons as the handlers receive them.
enum MouseButton { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
// Shift state bits.
enum ShiftState { kShiftMask = 1, kCtrlMask = 2, kAltMask = 4 };

class Form;

class Control {
 public:
  Control(ControlKind kind, std::string name, int index = -1);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // Identity and tree.
  ControlKind Kind;
  std::string Name;
  int Index;  // -1 for a control that is not part of an array
  Control* Parent = nullptr;
  const std::vector<std::unique_ptr<Control>>& Children() const { return children_; }
  // Adds a child (drawn above the earlier children of its layer) and returns it.
  Control* Add(std::unique_ptr<Control> child);
  Control* Add(ControlKind kind, std::string name, int index = -1);
  // Finds a descendant by name (without case) and index.
  Control* Find(std::string_view name, int index = -1);
  Form* OwnerForm();

  // Geometry in twips (pixels for the contents of a pixel-scaled picture box).
  int Left = 0, Top = 0, Width = 0, Height = 0;
  void Move(int left, int top) { Left = left; Top = top; }
  void Move(int left, int top, int width, int height) { Left = left; Top = top; Width = width; Height = height; }
  bool PixelScale = false;  // children and mouse positions in pixels instead of twips

  // Appearance.
  bool Visible = true;
  bool Enabled = true;
  std::string Caption;  // labels, buttons, check and option boxes, forms
  std::string Picture;  // path of the picture shown (image, panel background, button); "" = none
  // Buttons and graphical check boxes: the picture while pressed (a check box: while
  // ticked); "" = the Picture throughout.
  std::string DownPicture;
  bool Graphical = false;  // check boxes: drawn as a push button, down while ticked
  std::string ToolTip;
  std::string Tag;  // free text kept for the game's own use
  std::uint32_t ForeColor = 0x000000;  // 0xBBGGRR
  std::uint32_t BackColor = 0xFFFFFF;
  bool BackTransparent = true;  // labels: no background fill
  bool HasBorder = false;
  int BorderWidth = 1;          // lines and shapes
  std::uint32_t BorderColor = 0x000000;
  int Alignment = 0;            // 0 left, 1 right, 2 centre
  // The caption's font (labels, buttons, check and option boxes): the game's one font,
  // drawn bold when set.
  bool FontBold = false;
  bool WordWrap = true;
  int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;  // lines

  // Text boxes (and the edit text of combo boxes).
  std::string Text;
  int MaxLength = 0;  // in characters; 0 = no limit
  // Text boxes: lines broken at CR LF and wrapped, the newest in view (the window scrolls
  // to the end of the text); the mouse wheel scrolls back ScrolledBack lines.
  bool MultiLine = false;
  int ScrolledBack = 0;
  bool Locked = false;  // text boxes: typing changes nothing
  // Text boxes: the whole text is selected (shown highlighted); the next character typed
  // replaces it and Backspace clears it. A press in the box or any other key ends it.
  bool AllSelected = false;

  // Check boxes (0 clear, 1 ticked) and option buttons (0, 1). Setting a different
  // value runs the click handler (an option button set to 1 clears its siblings).
  int Value() const { return value_; }
  void SetValue(int v);

  // Lists and combo boxes.
  std::vector<std::string> Items;
  void AddItem(std::string item) { Items.push_back(std::move(item)); }
  void Clear();
  // Removes one row (nothing for an index out of range). Removing the selected row
  // leaves no row selected; rows after it move up, and so does the selection.
  // Runs no handler.
  void RemoveItem(int index);
  int ListCount() const { return static_cast<int>(Items.size()); }
  // -1 = no row selected. Setting it from code to another row (or to -1) runs the
  // click handler; the same row, or an index out of range, changes nothing.
  int ListIndex() const { return listIndex_ < ListCount() ? listIndex_ : -1; }
  void SetListIndex(int i);
  int TopIndex = 0;  // first row shown
  bool Dropped = false;  // combo boxes: the drop-down list is open
  std::string SelectedItem() const;

  // Timers.
  int Interval = 0;  // milliseconds; 0 = stopped
  bool TimerEnabled = true;

  // Handlers (any may be empty).
  std::function<void()> OnClick;
  std::function<void()> OnDblClick;
  std::function<void()> OnChange;  // text boxes
  std::function<void()> OnTimer;
  std::function<void(int button, int shift, int x, int y)> OnMouseDown, OnMouseMove, OnMouseUp;
  std::function<void(int& keyCode, int shift)> OnKeyDown, OnKeyUp;
  std::function<void(int& keyAscii)> OnKeyPress;

  // Position of the control's top-left corner in the form's client pixels.
  int ScreenX() const;
  int ScreenY() const;
  int PixelWidth() const;
  int PixelHeight() const;
  // Offset of the client area (where children lie) from the top-left corner, in pixels.
  int ClientInset() const;
  // Rows a list shows at once (a combo box: its drop-down list).
  int VisibleRows() const;
  // Visible here and in every ancestor.
  bool IsShown() const;
  // Appends to `out` everything a host draws of this control and of its visible
  // descendants (geometry, looks, texts, rows, values); hidden subtrees add only that
  // they are hidden. Two equal results draw the same picture, so a host compares them
  // to tell whether anything changed, however the fields were written.
  void AppendLook(std::string& out) const;

  // Timer bookkeeping for the pump.
  std::int64_t nextDue = 0;
  bool firing = false;

 private:
  std::vector<std::unique_ptr<Control>> children_;
  int value_ = 0;
  int listIndex_ = -1;
};

// A window: the root of a control tree, with its focus, mouse capture and key preview.
class Form : public Control {
 public:
  explicit Form(std::string name);

  Control* Focus = nullptr;
  Control* Capture = nullptr;
  bool KeyPreview = true;
  std::string Icon;  // path of the window's icon picture; "" = none
  // Runs before the window closes; setting cancel to 1 keeps it open.
  std::function<void(int& cancel)> OnUnload;
  std::function<void()> OnLoad;
  std::function<void(int& keyCode, int shift)> OnFormKeyDown;

  // The deepest shown, enabled control under a point of the client area (pixels),
  // taking clipping and the windowed-above-lightweight rule into account; the form
  // itself when nothing else is there. Lines, shapes and timers take no mouse: the
  // point goes through them. An open combo box drop-down list lies above everything.
  Control* HitTest(int px, int py);
  // Every timer in the tree.
  void CollectTimers(std::vector<Control*>& out);

  // Input dispatch, in client pixels. Mouse down captures the control until mouse up
  // and gives a windowed control the focus; a release over the captured control is a
  // click (check boxes toggle, option buttons select, list rows are chosen first, a
  // combo box opens its drop-down list or takes the row chosen in it). Check boxes,
  // option buttons, buttons, lists and combo boxes click with the left button only.
  void MouseDown(int px, int py, int button, int shift);
  void MouseMove(int px, int py, int button, int shift);
  void MouseUp(int px, int py, int button, int shift);
  // A key goes to the form first, then to the focused control (unless the form set the
  // key code to 0).
  void KeyDown(int keyCode, int shift);
  void KeyUp(int keyCode, int shift);
  // The mouse wheel over a list (or an open drop-down list): scrolls it by `rows`
  // (positive = towards the end). Does not change the selected row.
  void MouseWheel(int px, int py, int rows);
  // Text typed (UTF-8, one or more characters) goes to the focused text box.
  void TextInput(std::string_view utf8);
  // Asks to close: runs OnUnload; true when the window may close.
  bool RequestClose();

 private:
  Control* DroppedCombo();
  bool InDropDown(const Control* combo, int px, int py) const;
  void Click(Control* c, int px, int py, int button);
};

// A control array: Iitem(21), Lb(3) ... Indexes need not be contiguous.
class ControlArray {
 public:
  void Set(int index, Control* c) { items_[index] = c; }
  // The control of that index; nullptr when the array has none.
  Control* operator()(int index) const {
    auto it = items_.find(index);
    return it == items_.end() ? nullptr : it->second;
  }
  bool Has(int index) const { return items_.count(index) != 0; }
  const std::map<int, Control*>& All() const { return items_; }
  void ClearAll() { items_.clear(); }

 private:
  std::map<int, Control*> items_;
};

// Queued input for the pump.
struct InputEvent {
  // Wheel: x, y the pointer, key the rows to scroll (positive = towards the end).
  enum Type { MouseDown, MouseMove, MouseUp, KeyDown, KeyUp, Text, Close, Custom, Wheel } type;
  Form* form = nullptr;
  int x = 0, y = 0, button = 0, shift = 0, key = 0;
  std::string text;
  std::function<void()> custom;
};

// Where the pump gets events from (the SDL host); tests post events directly.
class EventSource {
 public:
  virtual ~EventSource() = default;
  // Moves any pending system events into the application's queue.
  virtual void Poll() = 0;
};

// The event pump. DoEvents takes the events pending now, dispatches them one at a time,
// then fires the timers that are due. It may be called again from inside a handler.
class Application {
 public:
  static Application& Get();

  void AddForm(Form* form);
  void RemoveForm(Form* form);
  void SetEventSource(EventSource* source) { source_ = source; }
  void Post(InputEvent e) {
    queue_.push_back(std::move(e));
    ++posted_;
  }
  void DoEvents();
  // Work that goes on whatever pump runs (a network link): every hook is called once on
  // each pass, after the system events are taken in. A pump nested inside a hook does not
  // call the hooks again. The id removes the hook.
  int AddIdleHook(std::function<void()> hook);
  void RemoveIdleHook(int id);
  // Runs the hooks now; for pumps of their own (a modal box waiting for its answer).
  void RunIdleHooks();
  // Drops every queued event and form; for tests.
  void Reset();
  std::size_t Pending() const { return queue_.size(); }

 private:
  void Dispatch(InputEvent& e);
  void FireTimers();

  std::vector<Form*> forms_;
  std::deque<InputEvent> queue_;
  EventSource* source_ = nullptr;
  // Events ever posted and ever taken: event k of the queue's history was queued before
  // a DoEvents call when k < the posted count seen at that call's start.
  std::uint64_t posted_ = 0, taken_ = 0;
  std::vector<std::pair<int, std::function<void()>>> idleHooks_;
  int nextHookId_ = 1;
  bool inIdleHooks_ = false;
};

// Message boxes and input boxes.
enum MsgButtons { kOkOnly = 0, kOkCancel = 1, kYesNo = 4 };
enum MsgResult { kOk = 1, kCancel = 2, kYes = 6, kNo = 7 };

class DialogProvider {
 public:
  virtual ~DialogProvider() = default;
  virtual int ShowMessage(const std::string& text, int buttons, const std::string& title) = 0;
  // Nothing when cancelled.
  virtual std::optional<std::string> ShowInput(const std::string& prompt, const std::string& title,
                                               const std::string& defaultText) = 0;
};

// The provider in use (the SDL host's modal windows in the real program). Without one,
// a message box writes its text to stderr and answers at once with its safe button: OK
// for an OK-only box, Cancel for a box with Cancel, No for Yes/No. An input box gives "".
void SetDialogProvider(DialogProvider* provider);
DialogProvider* CurrentDialogProvider();
// Modal message box; returns the button pressed. The title "" means the game's title.
int MsgBox(const std::string& text, int buttons = kOkOnly, const std::string& title = "");
// Modal input box; "" when cancelled.
std::string InputBox(const std::string& prompt, const std::string& title = "", const std::string& defaultText = "");
// The application's title used by message boxes without one.
void SetAppTitle(std::string title);
const std::string& AppTitle();

// A provider for tests: answers from a queue (OK / the default text when it runs dry)
// and records every box shown.
class ScriptedDialogs : public DialogProvider {
 public:
  struct Shown {
    bool input;
    std::string text, title;
    int buttons;
  };
  std::deque<int> messageAnswers;
  std::deque<std::optional<std::string>> inputAnswers;
  std::vector<Shown> shown;

  int ShowMessage(const std::string& text, int buttons, const std::string& title) override;
  std::optional<std::string> ShowInput(const std::string& prompt, const std::string& title,
                                       const std::string& defaultText) override;
};

}  // namespace plat
