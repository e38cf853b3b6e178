#include "platform/sdl_host.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "platform/input.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"

namespace plat {

namespace {

// Looks of the controls drawn by the host.
constexpr int kScrollBarWidth = 14;
constexpr int kComboButtonWidth = 16;
constexpr int kCheckBoxSize = 13;
constexpr int kOptionDiameter = 12;
constexpr Uint32 kToolTipDelayMs = 700;
// Stretched control pictures kept at once; the cache starts afresh when full.
constexpr std::size_t kStretchedLimit = 256;
const Color kMissingPicture{32, 32, 32, 255};
const Color kFace{192, 192, 192, 255};
const Color kShadow{128, 128, 128, 255};
const Color kDarkShadow{64, 64, 64, 255};
const Color kLight{255, 255, 255, 255};
const Color kHighlight{0, 0, 128, 255};
const Color kGreyText{128, 128, 128, 255};

// The SDL subsystems the hosts use, initialised once and shut down at the end of the program.
struct SdlState {
  bool video = false;
  bool events = false;
  bool hook = false;
  bool programEnded = false;  // the real end: hosts destroyed later touch nothing global
  std::vector<SdlHost::Impl*> live;
};

// Never destroyed: hosts owned by static objects may die after it would have.
SdlState& State() {
  static SdlState* state = new SdlState;
  return *state;
}

void ShutdownSdl();

void EnsureSdl(bool video) {
  SdlState& s = State();
  if (!s.hook) {
    s.hook = true;
    AddShutdownHook(ShutdownSdl);
  }
  if (!s.events) {
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) {
      throw RenderError(std::string("cannot start SDL events: ") + SDL_GetError());
    }
    s.events = true;
  }
  if (video && !s.video) {
    // The window's close button asks the form; it does not end SDL by itself.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The input method shows its own composition and candidate windows.
    SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      throw RenderError(std::string("cannot start SDL video: ") + SDL_GetError());
    }
    s.video = true;
    // Text input runs only while a text box has the focus.
    SDL_StopTextInput();
  }
}

// Colours of controls: 0xBBGGRR, or 0x80000000 + i for the system colour i.
Color Col(std::uint32_t v) {
  if ((v & 0x80000000u) == 0) return Color::FromBgr(v & 0xFFFFFFu);
  switch (v & 0xFFu) {
    case 5: return kLight;            // window background
    case 6: case 7: case 8: case 18: case 23: return Color{0, 0, 0, 255};  // frames and texts
    case 9: case 14: case 20: return kLight;  // caption text, highlighted text, 3-D highlight
    case 2: case 13: return kHighlight;       // active caption, highlight
    case 16: case 17: return kShadow;         // shadow, grey text
    case 21: return kDarkShadow;
    case 24: return Color{255, 255, 225, 255};  // tool tip background
    default: return kFace;
  }
}

std::optional<Rect> Intersect(const Rect& a, const Rect& b) {
  int x1 = std::max(a.x, b.x), y1 = std::max(a.y, b.y);
  int x2 = std::min(a.x + a.w, b.x + b.w), y2 = std::min(a.y + a.h, b.y + b.h);
  if (x2 <= x1 || y2 <= y1) return std::nullopt;
  return Rect{x1, y1, x2 - x1, y2 - y1};
}

bool SameNoCase(std::string_view a, std::string_view b) { return EqualsNoCase(a, b); }

Rect Bounds(const Control* c) { return Rect{c->ScreenX(), c->ScreenY(), c->PixelWidth(), c->PixelHeight()}; }

Rect Inset(const Rect& r, int d) { return Rect{r.x + d, r.y + d, r.w - 2 * d, r.h - 2 * d}; }

InputEvent MakeEvent(InputEvent::Type type) {
  InputEvent e{};
  e.type = type;
  return e;
}

int MouseMask(Uint32 sdlState) {
  int m = 0;
  if ((sdlState & SDL_BUTTON_LMASK) != 0) m |= kLeftButton;
  if ((sdlState & SDL_BUTTON_RMASK) != 0) m |= kRightButton;
  if ((sdlState & SDL_BUTTON_MMASK) != 0) m |= kMiddleButton;
  return m;
}

int ButtonBit(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return kLeftButton;
    case SDL_BUTTON_RIGHT: return kRightButton;
    case SDL_BUTTON_MIDDLE: return kMiddleButton;
    default: return 0;
  }
}

// The virtual-key code of a mouse button.
int ButtonVk(int bit) {
  switch (bit) {
    case kLeftButton: return vk::LButton;
    case kRightButton: return vk::RButton;
    case kMiddleButton: return 4;
    default: return 0;
  }
}

// One modal box: a message with its buttons, or a prompt with a text field.
struct ModalBox {
  std::string title;
  std::string text;
  bool input = false;
  std::string field;
  std::vector<std::pair<std::string, int>> buttons;
  int okResult = kOk;
  int cancelResult = kCancel;
  int pressed = -1;  // the button held down with the mouse
  // Layout, in the form's pixels.
  Rect box, titleBar, textRect, fieldRect;
  std::vector<Rect> buttonRects;
  std::vector<std::string> lines;

  int ButtonAt(int x, int y) const {
    for (std::size_t i = 0; i < buttonRects.size(); ++i) {
      if (buttonRects[i].Contains(x, y)) return static_cast<int>(i);
    }
    return -1;
  }
};

void ButtonsFor(int buttons, ModalBox& b) {
  switch (buttons & 7) {
    case 1:
      b.buttons = {{"确定", kOk}, {"取消", kCancel}};
      b.cancelResult = kCancel;
      break;
    case 2:
      b.buttons = {{"中止", 3}, {"重试", 4}, {"忽略", 5}};
      b.okResult = 3;
      b.cancelResult = 3;
      break;
    case 3:
      b.buttons = {{"是", kYes}, {"否", kNo}, {"取消", kCancel}};
      b.okResult = kYes;
      b.cancelResult = kCancel;
      break;
    case 4:
      b.buttons = {{"是", kYes}, {"否", kNo}};
      b.okResult = kYes;
      b.cancelResult = kNo;
      break;
    case 5:
      b.buttons = {{"重试", 4}, {"取消", kCancel}};
      b.okResult = 4;
      b.cancelResult = kCancel;
      break;
    default:
      b.buttons = {{"确定", kOk}};
      b.okResult = kOk;
      b.cancelResult = kOk;
      break;
  }
}

}  // namespace

int SdlHost::VirtualKey(int sdlKeycode) {
  const SDL_Keycode k = sdlKeycode;
  if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
  if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
  if (k >= SDLK_F1 && k <= SDLK_F12) return vk::F1 + (k - SDLK_F1);
  if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return 0x61 + (k - SDLK_KP_1);
  switch (k) {
    case SDLK_KP_0: return 0x60;
    case SDLK_KP_MULTIPLY: return 0x6A;
    case SDLK_KP_PLUS: return 0x6B;
    case SDLK_KP_MINUS: return 0x6D;
    case SDLK_KP_PERIOD: return 0x6E;
    case SDLK_KP_DIVIDE: return 0x6F;
    case SDLK_KP_ENTER: return vk::Return;
    case SDLK_RETURN: return vk::Return;
    case SDLK_ESCAPE: return vk::Escape;
    case SDLK_SPACE: return vk::Space;
    case SDLK_TAB: return vk::Tab;
    case SDLK_BACKSPACE: return vk::Back;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return vk::Shift;
    case SDLK_LCTRL: case SDLK_RCTRL: return vk::Control;
    case SDLK_LALT: case SDLK_RALT: return vk::Menu;
    case SDLK_PAUSE: return 19;
    case SDLK_CAPSLOCK: return 20;
    case SDLK_PAGEUP: return vk::PageUp;
    case SDLK_PAGEDOWN: return vk::PageDown;
    case SDLK_END: return vk::End;
    case SDLK_HOME: return vk::Home;
    case SDLK_LEFT: return vk::Left;
    case SDLK_UP: return vk::Up;
    case SDLK_RIGHT: return vk::Right;
    case SDLK_DOWN: return vk::Down;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return vk::Delete;
    case SDLK_NUMLOCKCLEAR: return 0x90;
    case SDLK_SCROLLLOCK: return 0x91;
    case SDLK_SEMICOLON: return 0xBA;
    case SDLK_EQUALS: return 0xBB;
    case SDLK_COMMA: return 0xBC;
    case SDLK_MINUS: return 0xBD;
    case SDLK_PERIOD: return 0xBE;
    case SDLK_SLASH: return 0xBF;
    case SDLK_BACKQUOTE: return vk::Grave;
    case SDLK_LEFTBRACKET: return 0xDB;
    case SDLK_BACKSLASH: return 0xDC;
    case SDLK_RIGHTBRACKET: return 0xDD;
    case SDLK_QUOTE: return 0xDE;
    default: return 0;
  }
}

int SdlHost::ShiftBits(int sdlKeymod) {
  int s = 0;
  if ((sdlKeymod & KMOD_SHIFT) != 0) s |= kShiftMask;
  if ((sdlKeymod & KMOD_CTRL) != 0) s |= kCtrlMask;
  if ((sdlKeymod & KMOD_ALT) != 0) s |= kAltMask;
  return s;
}

struct SdlHost::Impl {
  SdlHost* self = nullptr;
  Form* form = nullptr;
  SDL_Window* window = nullptr;
  std::unique_ptr<Renderer> renderer;
  Texture gameScreen;
  bool headless = false;
  std::unordered_map<std::string, Texture> pictures;
  // Pictures stretched to the sizes they are drawn at.
  struct PictureSize {
    std::string path;
    int w = 0, h = 0;
    bool operator<(const PictureSize& o) const { return std::tie(path, w, h) < std::tie(o.path, o.w, o.h); }
  };
  std::map<PictureSize, Texture> stretched;
  // What the output shows: the look of the form and of the host's own state when it
  // was last drawn, and the output's content version right after; a redraw is due
  // when either differs, or when the window system asked for one.
  std::string shownLook, look;
  std::uint64_t shownOutputVersion = 0;
  bool redrawDue = true;
  std::uint64_t presents = 0;
  int mouseX = -1, mouseY = -1;
  int buttonsHeld = 0;
  bool textInputOn = false;
  // A list whose scroll bar thumb is being dragged (the press does not reach the form).
  Control* scrollList = nullptr;
  int scrollGrab = -1;  // offset of the pointer in the thumb; -1 for an arrow or page press
  // Tool tips.
  Control* hover = nullptr;
  Uint32 hoverSince = 0;
  // Combo box drop-down list drawn last, above everything.
  Control* droppedCombo = nullptr;

  ~Impl() { Release(); }

  // Closes the window and the renderer (at the end of the program or with the host).
  void Release() {
    pictures.clear();
    stretched.clear();
    renderer.reset();
    if (window != nullptr) {
      if (textInputOn) SDL_StopTextInput();
      SDL_DestroyWindow(window);
      window = nullptr;
    }
    auto& live = State().live;
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
  }

  Renderer& R() { return *renderer; }

  Texture Picture(const std::string& path) {
    auto it = pictures.find(path);
    if (it != pictures.end()) return it->second;
    Texture t = R().LoadPictureFile(ResolvePath(path).string());
    pictures[path] = t;  // a picture that failed stays failed until the cache is cleared
    return t;
  }

  // A control's picture stretched over its rectangle. The stretch is made once per size
  // and kept; an opaque picture is copied, not blended (the same pixels, less work).
  void DrawPicture(const std::string& path, Texture t, const Rect& r) {
    if (r.Empty()) return;
    Texture drawn = t;
    if (R().TextureSize(t) != Size{r.w, r.h}) {
      const PictureSize key{path, r.w, r.h};
      auto it = stretched.find(key);
      if (it == stretched.end()) {
        if (stretched.size() >= kStretchedLimit) ClearStretched();
        it = stretched.emplace(key, R().StretchedCopy(t, r.w, r.h)).first;
      }
      drawn = it->second;
      if (!drawn) {
        R().DrawStretched(t, r);
        return;
      }
    }
    if (R().Opaque(drawn)) {
      R().CopyRect(drawn, Rect{0, 0, r.w, r.h}, r.x, r.y);
    } else {
      R().DrawSprite(drawn, std::nullopt, static_cast<float>(r.x), static_cast<float>(r.y));
    }
  }

  void ClearStretched() {
    for (auto& [key, tex] : stretched) R().ReleaseTexture(tex);
    stretched.clear();
  }

  void SetClip(const std::optional<Rect>& r) {
    // An empty rectangle must hide everything, not lift the clip.
    R().SetClip(r ? *r : Rect{-10, -10, 0, 0});
  }

  // ---- Drawing ----

  void Bevel(const Rect& r, bool pressed) {
    if (pressed) {
      R().DrawRectOutline(r, kDarkShadow);
      R().DrawRectOutline(Inset(r, 1), kShadow);
      return;
    }
    R().FillRect(Rect{r.x, r.y, r.w, 1}, kLight);
    R().FillRect(Rect{r.x, r.y, 1, r.h}, kLight);
    R().FillRect(Rect{r.x, r.y + r.h - 1, r.w, 1}, kDarkShadow);
    R().FillRect(Rect{r.x + r.w - 1, r.y, 1, r.h}, kDarkShadow);
    R().FillRect(Rect{r.x + 1, r.y + r.h - 2, r.w - 2, 1}, kShadow);
    R().FillRect(Rect{r.x + r.w - 2, r.y + 1, 1, r.h - 2}, kShadow);
  }

  void Sunken(const Rect& r) {
    R().FillRect(Rect{r.x, r.y, r.w, 1}, kShadow);
    R().FillRect(Rect{r.x, r.y, 1, r.h}, kShadow);
    R().FillRect(Rect{r.x, r.y + r.h - 1, r.w, 1}, kLight);
    R().FillRect(Rect{r.x + r.w - 1, r.y, 1, r.h}, kLight);
  }

  // A filled circle: the pixels whose centres lie within the radius of (cx, cy).
  void Disc(double cx, double cy, double radius, Color c) {
    const int y0 = static_cast<int>(std::floor(cy - radius)), y1 = static_cast<int>(std::ceil(cy + radius));
    for (int y = y0; y <= y1; ++y) {
      const double dy = y + 0.5 - cy;
      const double span = radius * radius - dy * dy;
      if (span < 0) continue;
      const double hw = std::sqrt(span);
      const int x0 = static_cast<int>(std::ceil(cx - hw - 0.5)), x1 = static_cast<int>(std::floor(cx + hw - 0.5));
      if (x1 >= x0) R().FillRect(Rect{x0, y, x1 - x0 + 1, 1}, c);
    }
  }

  void Triangle(int cx, int cy, Color c) {
    for (int k = 0; k < 4; ++k) R().FillRect(Rect{cx - 3 + k, cy - 1 + k, 7 - 2 * k, 1}, c);
  }

  // Text centred in a rectangle both ways.
  void CentredText(const std::string& text, Color c, const Rect& r, FontWeight weight = FontWeight::Regular) {
    if (text.empty()) return;
    auto lines = R().WrapText(text, std::max(1, r.w), weight);
    const int h = R().LineHeight() * static_cast<int>(lines.size());
    R().DrawTextInRect(text, c, Rect{r.x, r.y + (r.h - h) / 2, r.w, std::max(h, 1)}, TextAlign::Centre, true,
                       weight);
  }

  static FontWeight CaptionWeight(const Control* c) {
    return c->FontBold ? FontWeight::Bold : FontWeight::Regular;
  }

  // Text on one line, vertically centred, starting at x.
  void LineText(const std::string& text, Color c, int x, const Rect& r) {
    if (text.empty()) return;
    R().DrawText(text, c, x, r.y + (r.h - R().LineHeight()) / 2);
  }

  bool IsGameScreen(const Control* c) const {
    return c->Kind == ControlKind::PictureBox && c->PixelScale && SameNoCase(c->Name, "GameScreen");
  }

  bool Pressed(const Control* c) const {
    return form->Capture == c && (buttonsHeld & kLeftButton) != 0 && Bounds(c).Contains(mouseX, mouseY);
  }

  void DrawContainer(Control* c, const Rect& r) {
    const Texture t = c->Picture.empty() ? Texture{} : Picture(c->Picture);
    const int inset = c->ClientInset();
    const bool screen = IsGameScreen(c) && gameScreen;
    const Rect screenRect{r.x + inset, r.y + inset, kGameScreenWidth, kGameScreenHeight};
    // An opaque game screen is copied, not blended (the same pixels, less work).
    const bool opaqueScreen = screen && R().Opaque(gameScreen);
    // An opaque picture, or an opaque game screen over the whole client area inside the
    // border, hides the background colour.
    const bool covered = R().Opaque(t) || (opaqueScreen && Intersect(screenRect, Inset(r, inset)) == Inset(r, inset));
    if (!c->BackTransparent && !covered) R().FillRect(r, Col(c->BackColor));
    if (!c->Picture.empty()) {
      if (t) DrawPicture(c->Picture, t, r);
      else R().FillRect(r, kMissingPicture);
    }
    if (opaqueScreen) {
      R().CopyRect(gameScreen, Rect{0, 0, kGameScreenWidth, kGameScreenHeight}, screenRect.x, screenRect.y);
    } else if (screen) {
      R().DrawSprite(gameScreen, std::nullopt, static_cast<float>(screenRect.x), static_cast<float>(screenRect.y));
    }
    if (c->HasBorder) {
      R().DrawRectOutline(r, kShadow);
      if (kBorderPixels > 1) R().DrawRectOutline(Inset(r, 1), kDarkShadow, kBorderPixels - 1);
    }
  }

  void DrawLabel(Control* c, const Rect& r) {
    if (!c->BackTransparent) R().FillRect(r, Col(c->BackColor));
    Rect textRect = r;
    if (c->HasBorder) {
      R().DrawRectOutline(r, Color{0, 0, 0, 255});
      textRect = Inset(r, 1);
    }
    // A disabled label keeps its colour: the game shows dimmed choices by its own colours.
    R().DrawTextInRect(c->Caption, Col(c->ForeColor), textRect, static_cast<TextAlign>(std::clamp(c->Alignment, 0, 2)),
                       c->WordWrap, CaptionWeight(c));
  }

  void DrawImage(Control* c, const Rect& r) {
    if (!c->Picture.empty()) {
      if (Texture t = Picture(c->Picture)) DrawPicture(c->Picture, t, r);
    }
    if (c->HasBorder) R().DrawRectOutline(r, Color{0, 0, 0, 255});
  }

  // A push button's face: its picture (the down picture while down, when it has one),
  // or a bevelled face with the caption, which moves with the face while down.
  void DrawPushFace(Control* c, const Rect& r, bool down, Color face, Color caption) {
    const std::string& path = down && !c->DownPicture.empty() ? c->DownPicture : c->Picture;
    if (!path.empty()) {
      if (Texture t = Picture(path)) {
        DrawPicture(path, t, r);
        return;
      }
    }
    R().FillRect(r, face);
    Bevel(r, down);
    Rect text = Inset(r, 2);
    if (down) {
      text.x += 1;
      text.y += 1;
    }
    CentredText(c->Caption, caption, text, CaptionWeight(c));
  }

  void DrawButton(Control* c, const Rect& r) {
    DrawPushFace(c, r, Pressed(c), c->BackTransparent ? kFace : Col(c->BackColor),
                 c->Enabled ? Col(c->ForeColor) : kGreyText);
  }

  // Where a list's rows lie: a list box's own rectangle, a combo box's drop-down list
  // below it.
  static Rect RowsArea(const Control* c) {
    const Rect r = Bounds(c);
    if (c->Kind != ControlKind::ComboBox) return r;
    return Rect{r.x, r.y + r.h, r.w, c->VisibleRows() * kListRowPixels};
  }

  // Geometry of a list's scroll bar; false when the list needs none.
  struct ScrollBar {
    Rect bar, up, down, track, thumb;
    int maxTop = 0;
  };
  static bool ListScrollBar(const Control* c, ScrollBar& sb) {
    const int visible = c->VisibleRows();
    if (c->ListCount() <= visible) return false;
    const Rect r = RowsArea(c);
    sb.maxTop = c->ListCount() - visible;
    sb.bar = Rect{r.x + r.w - 1 - kScrollBarWidth, r.y + 1, kScrollBarWidth, r.h - 2};
    const int arrow = std::min(kScrollBarWidth, sb.bar.h / 2);
    sb.up = Rect{sb.bar.x, sb.bar.y, sb.bar.w, arrow};
    sb.down = Rect{sb.bar.x, sb.bar.y + sb.bar.h - arrow, sb.bar.w, arrow};
    sb.track = Rect{sb.bar.x, sb.bar.y + arrow, sb.bar.w, sb.bar.h - 2 * arrow};
    if (sb.track.h >= 8) {
      const long long th = static_cast<long long>(sb.track.h) * visible / c->ListCount();
      const int thumbH = std::clamp(static_cast<int>(th), 8, sb.track.h);
      const int top = std::clamp(c->TopIndex, 0, sb.maxTop);
      const int y = sb.track.y +
                    static_cast<int>(static_cast<long long>(sb.track.h - thumbH) * top / std::max(1, sb.maxTop));
      sb.thumb = Rect{sb.track.x, y, sb.track.w, thumbH};
    } else {
      sb.thumb = Rect{};
    }
    return true;
  }

  void DrawRows(const Control* c, const Rect& area, int top, int rows, int highlight) {
    const Color fore = c->Enabled ? Col(c->ForeColor) : kGreyText;
    for (int k = 0; k < rows; ++k) {
      const int row = top + k;
      if (row < 0 || row >= c->ListCount()) break;
      const Rect rr{area.x, area.y + k * kListRowPixels, area.w, kListRowPixels};
      const bool lit = row == highlight;
      if (lit) R().FillRect(rr, kHighlight);
      R().DrawTextInRect(c->Items[static_cast<std::size_t>(row)], lit ? kLight : fore,
                         Rect{rr.x + 2, rr.y + (kListRowPixels - R().LineHeight()) / 2, rr.w - 2, R().LineHeight()},
                         TextAlign::Left, false);
    }
  }

  void DrawListBox(Control* c, const Rect& r) {
    R().FillRect(r, c->BackTransparent ? kLight : Col(c->BackColor));
    ScrollBar sb;
    const bool bar = ListScrollBar(c, sb);
    const Rect rows{r.x + 1, r.y, r.w - 2 - (bar ? kScrollBarWidth : 0), r.h};
    std::optional<Rect> saved = R().Clip();
    if (auto inner = saved ? Intersect(*saved, rows) : std::optional<Rect>(rows)) {
      SetClip(inner);
      DrawRows(c, rows, c->TopIndex, c->VisibleRows() + 1, c->ListIndex());
    }
    SetClip(saved);
    if (bar) DrawScrollBar(c, sb);
    Sunken(r);
  }

  // The bar with its two arrows (pressed while held) and the thumb.
  void DrawScrollBar(const Control* c, const ScrollBar& sb) {
    R().FillRect(sb.bar, Color{224, 224, 224, 255});
    R().FillRect(sb.up, kFace);
    Bevel(sb.up, scrollList == c && scrollGrab < 0 && sb.up.Contains(mouseX, mouseY));
    R().FillRect(sb.down, kFace);
    Bevel(sb.down, scrollList == c && scrollGrab < 0 && sb.down.Contains(mouseX, mouseY));
    // Arrows: up points up, down points down.
    const int cx = sb.up.x + sb.up.w / 2;
    for (int k = 0; k < 4; ++k) {
      R().FillRect(Rect{cx - k, sb.up.y + sb.up.h / 2 - 2 + k, 2 * k + 1, 1}, Color{0, 0, 0, 255});
    }
    Triangle(sb.down.x + sb.down.w / 2, sb.down.y + sb.down.h / 2 - 1, Color{0, 0, 0, 255});
    if (!sb.thumb.Empty()) {
      R().FillRect(sb.thumb, kFace);
      Bevel(sb.thumb, false);
    }
  }

  // The text caret at x, one line high, vertically centred in r.
  void Caret(int x, const Rect& r, Color c) {
    const int lh = std::max(R().LineHeight(), 1);
    R().FillRect(Rect{x, r.y + (r.h - lh) / 2, 1, lh}, c);
  }

  void DrawComboBox(Control* c, const Rect& r) {
    R().FillRect(r, c->BackTransparent ? kLight : Col(c->BackColor));
    const Rect btn{r.x + r.w - 1 - kComboButtonWidth, r.y + 1, kComboButtonWidth, r.h - 2};
    std::optional<Rect> saved = R().Clip();
    const Rect textArea{r.x + 3, r.y, btn.x - r.x - 4, r.h};
    if (auto inner = saved ? Intersect(*saved, textArea) : std::optional<Rect>(textArea)) {
      SetClip(inner);
      LineText(c->Text, c->Enabled ? Col(c->ForeColor) : kGreyText, textArea.x, r);
      if (form->Focus == c && c->Enabled)
        Caret(textArea.x + R().MeasureText(c->Text).w, r, Col(c->ForeColor));
    }
    SetClip(saved);
    R().FillRect(btn, kFace);
    Bevel(btn, c->Dropped);
    Triangle(btn.x + btn.w / 2, btn.y + btn.h / 2 - 1, Color{0, 0, 0, 255});
    Sunken(r);
    if (c->Dropped && c->ListCount() > 0) droppedCombo = c;
  }

  // The open list of a combo box, above everything; a list longer than its rows has a
  // scroll bar like a list box's.
  void DrawDropDown(Control* c) {
    const Rect list = RowsArea(c);
    const std::optional<Rect> shown = Intersect(list, FormRect());
    SetClip(shown);
    R().FillRect(list, kLight);
    ScrollBar sb;
    const bool bar = ListScrollBar(c, sb);
    const Rect rows{list.x + 1, list.y, list.w - 2 - (bar ? kScrollBarWidth : 0), list.h};
    // The row under the pointer is lit, unless the pointer drags the thumb.
    int lit = c->ListIndex();
    if (rows.Contains(mouseX, mouseY) && scrollList == nullptr) {
      lit = c->TopIndex + (mouseY - list.y) / kListRowPixels;
    }
    SetClip(shown ? Intersect(*shown, rows) : std::nullopt);
    DrawRows(c, rows, c->TopIndex, c->VisibleRows(), lit);
    SetClip(shown);
    if (bar) DrawScrollBar(c, sb);
    R().DrawRectOutline(list, Color{0, 0, 0, 255});
  }

  // A multi-line text box: its wrapped lines, the newest at the bottom unless the wheel
  // scrolled back, and a scroll bar showing where the lines in view lie.
  void DrawMultiLineText(Control* c, const Rect& r) {
    R().FillRect(r, c->BackTransparent ? kLight : Col(c->BackColor));
    const Rect bar{r.x + r.w - 1 - kScrollBarWidth, r.y + 1, kScrollBarWidth, r.h - 2};
    const Rect area{r.x + 3, r.y + 2, bar.x - r.x - 4, r.h - 4};
    const int lh = std::max(R().LineHeight(), 1);
    const auto lines = R().WrapText(c->Text, std::max(1, area.w));
    const int total = static_cast<int>(lines.size());
    const int shown = std::max(1, area.h / lh);
    const int maxBack = std::max(0, total - shown);
    c->ScrolledBack = std::clamp(c->ScrolledBack, 0, maxBack);
    const int first = std::max(0, total - shown - c->ScrolledBack);
    std::optional<Rect> saved = R().Clip();
    if (auto inner = saved ? Intersect(*saved, area) : std::optional<Rect>(area)) {
      SetClip(inner);
      const Color fore = c->Enabled ? Col(c->ForeColor) : kGreyText;
      for (int k = 0; k < shown && first + k < total; ++k) {
        R().DrawText(lines[static_cast<std::size_t>(first + k)], fore, area.x, area.y + k * lh);
      }
    }
    SetClip(saved);
    R().FillRect(bar, Color{224, 224, 224, 255});
    if (total > 0 && bar.h >= 8) {
      const int thumbH = std::clamp(bar.h * std::min(shown, total) / total, 8, bar.h);
      const int y = bar.y + (maxBack == 0 ? 0 : (bar.h - thumbH) * first / maxBack);
      const Rect thumb{bar.x, y, bar.w, thumbH};
      R().FillRect(thumb, kFace);
      Bevel(thumb, false);
    }
    Sunken(r);
  }

  void DrawTextBox(Control* c, const Rect& r) {
    if (c->MultiLine) {
      DrawMultiLineText(c, r);
      return;
    }
    R().FillRect(r, c->BackTransparent ? kLight : Col(c->BackColor));
    const bool focused = form->Focus == c && c->Enabled;
    const Rect area{r.x + 3, r.y + 1, r.w - 6, r.h - 2};
    std::optional<Rect> saved = R().Clip();
    if (auto inner = saved ? Intersect(*saved, area) : std::optional<Rect>(area)) {
      SetClip(inner);
      const int w = R().MeasureText(c->Text).w;
      // The end of a long text stays in view while it is typed.
      const int x = (focused && w > area.w - 2) ? area.x + area.w - 2 - w : area.x;
      if (c->AllSelected && focused && w > 0) {
        R().FillRect(Rect{x, r.y + 2, w, r.h - 4}, kHighlight);
        LineText(c->Text, kLight, x, r);
      } else {
        LineText(c->Text, c->Enabled ? Col(c->ForeColor) : kGreyText, x, r);
      }
      if (focused) Caret(x + w, r, Col(c->ForeColor));
    }
    SetClip(saved);
    Sunken(r);
  }

  // A check box drawn as a push button: down while ticked (or pressed).
  void DrawPushCheck(Control* c, const Rect& r) {
    DrawPushFace(c, r, c->Value() != 0 || Pressed(c), kFace, c->Enabled ? Color{0, 0, 0, 255} : kGreyText);
  }

  void DrawCheck(Control* c, const Rect& r, bool option) {
    if (!option && c->Graphical) {
      DrawPushCheck(c, r);
      return;
    }
    if (!c->BackTransparent) R().FillRect(r, Col(c->BackColor));
    const Color fore = c->Enabled ? Col(c->ForeColor) : kGreyText;
    const Color mark = c->Enabled ? Color{0, 0, 0, 255} : kGreyText;
    int textX;
    if (option) {
      const int d = kOptionDiameter;
      const double cx = r.x + d / 2.0, cy = r.y + (r.h - d) / 2 + d / 2.0;
      Disc(cx, cy, d / 2.0, kShadow);
      Disc(cx, cy, d / 2.0 - 1.2, kLight);
      if (c->Value() != 0) Disc(cx, cy, 2.5, mark);
      textX = r.x + d + 4;
    } else {
      const Rect box{r.x, r.y + (r.h - kCheckBoxSize) / 2, kCheckBoxSize, kCheckBoxSize};
      R().FillRect(box, c->Value() == 2 ? kFace : kLight);
      R().DrawRectOutline(box, kShadow);
      if (c->Value() != 0) {
        // The tick: down to the lower middle, then up to the right.
        const int bx = box.x + 3, by = box.y + 6;
        for (int k = 0; k < 3; ++k) R().FillRect(Rect{bx + k, by + k, 1, 3}, mark);
        for (int k = 0; k < 4; ++k) R().FillRect(Rect{bx + 3 + k, by + 1 - k, 1, 3}, mark);
      }
      textX = box.x + kCheckBoxSize + 4;
    }
    const Rect text{textX, r.y, r.x + r.w - textX, r.h};
    if (text.w > 0) {
      const FontWeight weight = CaptionWeight(c);
      auto lines = R().WrapText(c->Caption, text.w, weight);
      const int h = R().LineHeight() * static_cast<int>(lines.size());
      R().DrawTextInRect(c->Caption, fore, Rect{text.x, r.y + (r.h - h) / 2, text.w, std::max(h, 1)},
                         TextAlign::Left, c->WordWrap, weight);
    }
  }

  void DrawLineControl(Control* c) {
    const Control* p = c->Parent;
    const int ox = p != nullptr ? p->ScreenX() + p->ClientInset() : 0;
    const int oy = p != nullptr ? p->ScreenY() + p->ClientInset() : 0;
    R().DrawLine(ox + ChildPixels(c->X1, p), oy + ChildPixels(c->Y1, p), ox + ChildPixels(c->X2, p),
                 oy + ChildPixels(c->Y2, p), Col(c->BorderColor), std::max(1, c->BorderWidth));
  }

  void DrawShape(Control* c, const Rect& r) {
    if (!c->BackTransparent) R().FillRect(r, Col(c->BackColor));
    R().DrawRectOutline(r, Col(c->BorderColor), std::max(1, c->BorderWidth));
  }

  Rect FormRect() const { return Rect{0, 0, form->PixelWidth(), form->PixelHeight()}; }

  // Draws a shown control and its children, clipped to the parent's client area.
  void DrawControl(Control* c, const Rect& clip) {
    if (!c->Visible || c->Kind == ControlKind::Timer) return;
    if (c->Kind == ControlKind::Line) {
      SetClip(clip);
      DrawLineControl(c);
      return;
    }
    const Rect r = c->Kind == ControlKind::Form ? FormRect() : Bounds(c);
    auto own = Intersect(clip, r);
    if (!own) return;
    SetClip(own);
    switch (c->Kind) {
      case ControlKind::Form:
      case ControlKind::Panel:
      case ControlKind::PictureBox: DrawContainer(c, r); break;
      case ControlKind::Label: DrawLabel(c, r); break;
      case ControlKind::Image: DrawImage(c, r); break;
      case ControlKind::Button: DrawButton(c, r); break;
      case ControlKind::ListBox: DrawListBox(c, r); break;
      case ControlKind::ComboBox: DrawComboBox(c, r); break;
      case ControlKind::TextBox: DrawTextBox(c, r); break;
      case ControlKind::CheckBox: DrawCheck(c, r, false); break;
      case ControlKind::OptionButton: DrawCheck(c, r, true); break;
      case ControlKind::Shape: DrawShape(c, r); break;
      default: break;
    }
    if (c->Children().empty()) return;
    auto inner = Intersect(*own, Inset(r, c->ClientInset()));
    if (!inner) return;
    // Lightweight controls first, windowed ones above them; later siblings above earlier.
    for (int pass = 0; pass < 2; ++pass) {
      for (const auto& k : c->Children()) {
        if (IsWindowed(k->Kind) == (pass == 1)) DrawControl(k.get(), *inner);
      }
    }
  }

  bool ToolTipShown() const {
    if (headless || hover == nullptr || hover->ToolTip.empty() || buttonsHeld != 0) return false;
    return SDL_GetTicks() - hoverSince >= kToolTipDelayMs && hover->IsShown();
  }

  void DrawToolTip() {
    if (!ToolTipShown()) return;
    const Size s = R().MeasureText(hover->ToolTip);
    const Rect f = FormRect();
    Rect box{mouseX, mouseY + 20, s.w + 6, s.h + 4};
    if (box.x + box.w > f.w) box.x = f.w - box.w;
    if (box.y + box.h > f.h) box.y = mouseY - box.h - 2;
    box.x = std::max(0, box.x);
    box.y = std::max(0, box.y);
    SetClip(f);
    R().FillRect(box, Color{255, 255, 225, 255});
    R().DrawRectOutline(box, Color{0, 0, 0, 255});
    R().DrawText(hover->ToolTip, Color{0, 0, 0, 255}, box.x + 3, box.y + 2);
  }

  void DrawWholeForm() {
    droppedCombo = nullptr;
    const Rect f = FormRect();
    SetClip(f);
    // A form with a background colour covers the whole output by itself.
    if (form->BackTransparent || !form->Visible || R().OutputSize() != Size{f.w, f.h}) R().Clear(Color{0, 0, 0, 255});
    DrawControl(form, f);
    if (droppedCombo != nullptr && droppedCombo->IsShown()) DrawDropDown(droppedCombo);
    DrawToolTip();
  }

  // Everything the next draw would show, into `look`: the form's controls and the
  // host's own state (pointer, buttons, hover, scroll drag, the game screen's content).
  void ComputeLook() {
    look.clear();
    form->AppendLook(look);
    const int host[] = {mouseX, mouseY, buttonsHeld, scrollGrab, ToolTipShown() ? 1 : 0};
    look.append(reinterpret_cast<const char*>(host), sizeof host);
    const void* pointers[] = {form, hover, scrollList};
    look.append(reinterpret_cast<const char*>(pointers), sizeof pointers);
    const std::uint64_t screen = R().ContentVersion(gameScreen);
    look.append(reinterpret_cast<const char*>(&screen), sizeof screen);
  }

  // Draws and shows the window when anything in it changed since it was last shown.
  void PresentIfChanged() {
    ComputeLook();
    if (!redrawDue && look == shownLook && R().ContentVersion(Texture{}) == shownOutputVersion) return;
    self->DrawForm();
    R().Present();
    ++presents;
    std::swap(shownLook, look);
    shownOutputVersion = R().ContentVersion(Texture{});
    redrawDue = false;
  }

  // ---- Modal boxes ----

  void LayoutBox(ModalBox& b) {
    const Rect f = FormRect();
    const int lh = std::max(R().LineHeight(), 12);
    const int maxW = std::max(160, f.w - 40);
    const int buttonW = 75, buttonH = 23, gap = 8;
    const int buttonsW = static_cast<int>(b.buttons.size()) * (buttonW + gap) - gap;
    int textW = 0;
    for (const auto& l : R().WrapText(b.text, maxW - 32)) textW = std::max(textW, R().MeasureText(l).w);
    int w = std::max({textW + 32, buttonsW + 32, R().MeasureText(b.title).w + 24, b.input ? 300 : 200});
    w = std::min(w, maxW);
    b.lines = R().WrapText(b.text, w - 32);
    const int maxLines = std::max(1, (f.h - 120) / lh);
    if (static_cast<int>(b.lines.size()) > maxLines) b.lines.resize(static_cast<std::size_t>(maxLines));
    const int textH = lh * static_cast<int>(b.lines.size());
    const int fieldH = b.input ? 22 + 8 : 0;
    const int h = 22 + 14 + textH + fieldH + 14 + buttonH + 12;
    b.box = Rect{(f.w - w) / 2, std::max(0, (f.h - h) / 2), w, h};
    b.titleBar = Rect{b.box.x + 2, b.box.y + 2, w - 4, 20};
    b.textRect = Rect{b.box.x + 16, b.box.y + 22 + 14, w - 32, textH};
    b.fieldRect = Rect{b.box.x + 16, b.textRect.y + textH + 8, w - 32, 22};
    const int by = b.box.y + h - 12 - buttonH;
    int bx = b.box.x + (w - buttonsW) / 2;
    b.buttonRects.clear();
    for (std::size_t i = 0; i < b.buttons.size(); ++i) {
      b.buttonRects.push_back(Rect{bx, by, buttonW, buttonH});
      bx += buttonW + gap;
    }
  }

  void DrawBox(ModalBox& b) {
    LayoutBox(b);
    const Rect f = FormRect();
    SetClip(f);
    R().FillRect(f, Color{0, 0, 0, 96});
    R().FillRect(b.box, kFace);
    Bevel(b.box, false);
    R().FillRect(b.titleBar, kHighlight);
    SetClip(b.titleBar);
    R().DrawText(b.title, kLight, b.titleBar.x + 4, b.titleBar.y + (b.titleBar.h - R().LineHeight()) / 2);
    SetClip(b.box);
    int y = b.textRect.y;
    for (const auto& l : b.lines) {
      R().DrawText(l, Color{0, 0, 0, 255}, b.textRect.x, y);
      y += R().LineHeight();
    }
    if (b.input) {
      const Rect fr = b.fieldRect;
      R().FillRect(fr, kLight);
      Sunken(fr);
      const Rect area{fr.x + 3, fr.y + 1, fr.w - 6, fr.h - 2};
      SetClip(area);
      const int w = R().MeasureText(b.field).w;
      const int x = w > area.w - 2 ? area.x + area.w - 2 - w : area.x;
      const int ty = fr.y + (fr.h - R().LineHeight()) / 2;
      R().DrawText(b.field, Color{0, 0, 0, 255}, x, ty);
      R().FillRect(Rect{x + w, ty, 1, std::max(R().LineHeight(), 1)}, Color{0, 0, 0, 255});
      SetClip(b.box);
    }
    for (std::size_t i = 0; i < b.buttons.size(); ++i) {
      const Rect br = b.buttonRects[i];
      const bool pressed = b.pressed == static_cast<int>(i) && br.Contains(mouseX, mouseY);
      R().FillRect(br, kFace);
      Bevel(br, pressed);
      if (i == 0) R().DrawRectOutline(Rect{br.x - 1, br.y - 1, br.w + 2, br.h + 2}, Color{0, 0, 0, 255});
      Rect text = Inset(br, 2);
      if (pressed) {
        text.x += 1;
        text.y += 1;
      }
      CentredText(b.buttons[i].first, Color{0, 0, 0, 255}, text);
    }
  }

  // Runs the box until it is answered; the result of the button chosen.
  int RunModal(ModalBox& b) {
    if (window != nullptr && (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED) != 0) SDL_RestoreWindow(window);
    const bool hadText = textInputOn;
    SetTextInput(b.input, &b.fieldRect);
    // A press that began on the form ends with the box: nothing stays captured.
    form->Capture = nullptr;
    std::optional<int> result;
    // The box is drawn again only after events: nothing in it changes by itself.
    bool changed = true;
    while (!result) {
      CheckEndRequest();  // an end asked from outside (a signal) ends the program under a box too
      Application::Get().RunIdleHooks();  // a network link goes on under the box
      if (changed) {
        changed = false;
        const Texture oldTarget = R().Target();
        const std::optional<Rect> oldClip = R().Clip();
        R().SetTarget(Texture{});
        DrawWholeForm();
        DrawBox(b);
        R().Present();
        R().SetTarget(oldTarget);
        R().SetClip(oldClip);
      }
      SDL_Event e;
      if (SDL_WaitEventTimeout(&e, 100) == 0) continue;
      changed = true;
      do {
        if (auto r = BoxEvent(b, e)) {
          if (!result) result = r;
        }
      } while (SDL_PollEvent(&e) != 0);
    }
    SetTextInput(hadText, nullptr);
    UpdateTextInput();
    return *result;
  }

  std::optional<int> BoxEvent(ModalBox& b, const SDL_Event& e) {
    switch (e.type) {
      case SDL_QUIT: return b.input ? kCancel : b.cancelResult;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) return b.input ? kCancel : b.cancelResult;
        WindowEvent(e);
        return std::nullopt;
      case SDL_KEYDOWN: {
        const int key = VirtualKey(e.key.keysym.sym);
        if (key != 0) SetKeyHeld(key, true);
        if (key == vk::Return) return b.okResult;
        if (key == vk::Escape) return b.input ? kCancel : b.cancelResult;
        if (!b.input) {
          // The first letters of the buttons as accelerators on Yes/No boxes.
          for (const auto& [label, value] : b.buttons) {
            if ((value == kYes && key == 'Y') || (value == kNo && key == 'N')) return value;
          }
        }
        if (b.input && key == vk::Back) {
          const long n = Len(b.field);
          if (n > 0) b.field = Left(b.field, n - 1);
        }
        return std::nullopt;
      }
      case SDL_KEYUP: {
        const int key = VirtualKey(e.key.keysym.sym);
        if (key != 0) SetKeyHeld(key, false);
        return std::nullopt;
      }
      case SDL_TEXTINPUT:
        if (b.input) {
          for (const std::string& ch : Chars(e.text.text)) {
            if (ch.size() == 1 && static_cast<unsigned char>(ch[0]) < 32) continue;
            b.field += ch;
          }
        }
        return std::nullopt;
      case SDL_MOUSEMOTION:
        mouseX = e.motion.x;
        mouseY = e.motion.y;
        return std::nullopt;
      case SDL_MOUSEBUTTONDOWN: {
        const int bit = ButtonBit(e.button.button);
        mouseX = e.button.x;
        mouseY = e.button.y;
        if (bit != 0) {
          buttonsHeld |= bit;
          SetKeyHeld(ButtonVk(bit), true);
        }
        if (bit == kLeftButton) b.pressed = b.ButtonAt(mouseX, mouseY);
        return std::nullopt;
      }
      case SDL_MOUSEBUTTONUP: {
        const int bit = ButtonBit(e.button.button);
        mouseX = e.button.x;
        mouseY = e.button.y;
        if (bit != 0) {
          buttonsHeld &= ~bit;
          SetKeyHeld(ButtonVk(bit), false);
        }
        if (bit != kLeftButton) return std::nullopt;
        const int at = b.ButtonAt(mouseX, mouseY);
        const int was = b.pressed;
        b.pressed = -1;
        if (at >= 0 && at == was) return b.buttons[static_cast<std::size_t>(at)].second;
        return std::nullopt;
      }
      default: return std::nullopt;
    }
  }

  // ---- Input ----

  void SetTextInput(bool on, const Rect* where) {
    if (headless || window == nullptr) {
      textInputOn = on;
      return;
    }
    if (on) {
      if (where != nullptr) {
        SDL_Rect r{where->x, where->y, where->w, where->h};
        SDL_SetTextInputRect(&r);
      }
      if (!textInputOn || !SDL_IsTextInputActive()) SDL_StartTextInput();
    } else if (textInputOn || SDL_IsTextInputActive()) {
      SDL_StopTextInput();
    }
    textInputOn = on;
  }

  // Text input (and the input method) runs while a shown, enabled text box or combo box
  // has the focus.
  void UpdateTextInput() {
    Control* f = form->Focus;
    const bool editable =
        f != nullptr && (f->Kind == ControlKind::TextBox || f->Kind == ControlKind::ComboBox);
    const bool want = editable && f->IsShown() && f->Enabled;
    if (want) {
      const Rect r = Bounds(f);
      if (!textInputOn) SetTextInput(true, &r);
    } else if (textInputOn) {
      SetTextInput(false, nullptr);
    }
  }

  void Post(InputEvent e) {
    e.form = form;
    Application::Get().Post(std::move(e));
  }

  void WindowEvent(const SDL_Event& e) {
    // The window system may have lost what the window showed (exposed, resized, restored).
    redrawDue = true;
    switch (e.window.event) {
      case SDL_WINDOWEVENT_MINIMIZED:
        if (!self->minimized_) {
          self->minimized_ = true;
          if (self->OnMinimize) {
            auto f = self->OnMinimize;
            f();
          }
        }
        break;
      case SDL_WINDOWEVENT_RESTORED:
      case SDL_WINDOWEVENT_MAXIMIZED:
      case SDL_WINDOWEVENT_SHOWN:
        if (self->minimized_) {
          self->minimized_ = false;
          if (self->OnRestore) {
            auto f = self->OnRestore;
            f();
          }
        }
        break;
      case SDL_WINDOWEVENT_LEAVE: hover = nullptr; break;
      default: break;
    }
  }

  // A press on the scroll bar of a list (or of an open drop-down list) moves the list and
  // does not reach the form: the drop-down list stays open.
  bool ScrollBarPress(int x, int y) {
    Control* c = form->HitTest(x, y);
    if (c == nullptr) return false;
    if (c->Kind != ControlKind::ListBox && !(c->Kind == ControlKind::ComboBox && c->Dropped)) return false;
    ScrollBar sb;
    if (!ListScrollBar(c, sb) || !sb.bar.Contains(x, y)) return false;
    scrollList = c;
    scrollGrab = -1;
    const int page = c->VisibleRows();
    if (sb.up.Contains(x, y)) {
      c->TopIndex = std::max(0, std::min(c->TopIndex, sb.maxTop) - 1);
    } else if (sb.down.Contains(x, y)) {
      c->TopIndex = std::min(sb.maxTop, std::max(c->TopIndex, 0) + 1);
    } else if (!sb.thumb.Empty() && sb.thumb.Contains(x, y)) {
      scrollGrab = y - sb.thumb.y;
    } else if (!sb.thumb.Empty() && y < sb.thumb.y) {
      c->TopIndex = std::max(0, std::min(c->TopIndex, sb.maxTop) - page);
    } else if (!sb.thumb.Empty()) {
      c->TopIndex = std::min(sb.maxTop, std::max(c->TopIndex, 0) + page);
    }
    return true;
  }

  void ScrollBarDrag(int y) {
    Control* c = scrollList;
    ScrollBar sb;
    if (scrollGrab < 0 || !c->IsShown() || !ListScrollBar(c, sb) || sb.thumb.Empty()) return;
    if (c->Kind == ControlKind::ComboBox && !c->Dropped) return;
    const int range = sb.track.h - sb.thumb.h;
    if (range <= 0) return;
    const int pos = std::clamp(y - scrollGrab - sb.track.y, 0, range);
    c->TopIndex = static_cast<int>((static_cast<long long>(pos) * sb.maxTop + range / 2) / range);
  }

  void TrackHover(int x, int y) {
    Control* c = form->HitTest(x, y);
    if (c != hover) {
      hover = c;
      hoverSince = SDL_GetTicks();
    }
  }

  void Handle(const SDL_Event& e) {
    switch (e.type) {
      case SDL_QUIT: Post(MakeEvent(InputEvent::Close)); break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
          Post(MakeEvent(InputEvent::Close));
        } else {
          WindowEvent(e);
        }
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        const int key = VirtualKey(e.key.keysym.sym);
        if (key == 0) break;
        const bool down = e.type == SDL_KEYDOWN;
        SetKeyHeld(key, down);
        InputEvent ev = MakeEvent(down ? InputEvent::KeyDown : InputEvent::KeyUp);
        ev.key = key;
        ev.shift = ShiftBits(e.key.keysym.mod);
        Post(std::move(ev));
        break;
      }
      case SDL_TEXTINPUT: {
        InputEvent ev = MakeEvent(InputEvent::Text);
        ev.text = e.text.text;
        if (!ev.text.empty()) Post(std::move(ev));
        break;
      }
      case SDL_MOUSEMOTION: {
        mouseX = e.motion.x;
        mouseY = e.motion.y;
        if (scrollList != nullptr) {
          ScrollBarDrag(mouseY);
          break;
        }
        TrackHover(mouseX, mouseY);
        InputEvent ev = MakeEvent(InputEvent::MouseMove);
        ev.x = mouseX;
        ev.y = mouseY;
        ev.button = MouseMask(e.motion.state);
        ev.shift = ShiftBits(SDL_GetModState());
        Post(std::move(ev));
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        const int bit = ButtonBit(e.button.button);
        if (bit == 0) break;
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        mouseX = e.button.x;
        mouseY = e.button.y;
        SetKeyHeld(ButtonVk(bit), down);
        if (down) {
          buttonsHeld |= bit;
          hover = nullptr;
        } else {
          buttonsHeld &= ~bit;
        }
        if (window != nullptr) SDL_CaptureMouse(buttonsHeld != 0 ? SDL_TRUE : SDL_FALSE);
        if (scrollList != nullptr) {
          if (!down && bit == kLeftButton) scrollList = nullptr;
          break;
        }
        if (down && bit == kLeftButton && form->Capture == nullptr && ScrollBarPress(mouseX, mouseY)) break;
        InputEvent ev = MakeEvent(down ? InputEvent::MouseDown : InputEvent::MouseUp);
        ev.x = mouseX;
        ev.y = mouseY;
        ev.button = bit;
        ev.shift = ShiftBits(SDL_GetModState());
        Post(std::move(ev));
        break;
      }
      case SDL_MOUSEWHEEL: {
        int y = e.wheel.y;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
        if (y == 0) break;
        InputEvent ev = MakeEvent(InputEvent::Wheel);
        ev.x = e.wheel.mouseX;
        ev.y = e.wheel.mouseY;
        // Three rows a notch, towards the end when the wheel turns towards the user.
        ev.key = -y * 3;
        Post(std::move(ev));
        break;
      }
      default: break;
    }
  }
};

namespace {

void ShutdownHosts() {
  auto live = State().live;
  for (SdlHost::Impl* h : live) h->Release();
}

void ShutdownSdl() {
  SdlState& s = State();
  s.hook = false;  // the hook ran; a later start registers it again
  // At the real end the windows close; while tests run their hosts stay theirs.
  if (!EndThrows()) {
    s.programEnded = true;
    ShutdownHosts();
  }
  if (!s.live.empty()) return;
  if (s.video) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (s.events) SDL_QuitSubSystem(SDL_INIT_EVENTS);
  s.video = s.events = false;
}

}  // namespace

SdlHost::SdlHost() : impl_(std::make_unique<Impl>()) { impl_->self = this; }

SdlHost::~SdlHost() {
  if (State().programEnded) return;  // released when the program ended
  auto& app = Application::Get();
  app.SetEventSource(nullptr);
  if (CurrentDialogProvider() == this) SetDialogProvider(nullptr);
  if (impl_->form != nullptr) app.RemoveForm(impl_->form);
  impl_->Release();
}

namespace {

// The window's icon from the form's icon picture (BMP), when it has one that loads.
void SetWindowIconOf(SDL_Window* window, const Form& form) {
  if (window == nullptr || form.Icon.empty()) return;
  SDL_Surface* icon = SDL_LoadBMP(ResolvePath(form.Icon).string().c_str());
  if (icon == nullptr) return;
  SDL_SetWindowIcon(window, icon);
  SDL_FreeSurface(icon);
}

}  // namespace

std::unique_ptr<SdlHost> SdlHost::CreateWindowed(Form& form) {
  EnsureSdl(true);
  std::unique_ptr<SdlHost> host(new SdlHost());
  Impl& m = *host->impl_;
  m.form = &form;
  const int w = std::max(1, form.PixelWidth()), h = std::max(1, form.PixelHeight());
  m.window = SDL_CreateWindow(form.Caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                              SDL_WINDOW_SHOWN);
  if (m.window == nullptr) throw RenderError(std::string("cannot open the window: ") + SDL_GetError());
  SetWindowIconOf(m.window, form);
  State().live.push_back(&m);
  m.renderer = Renderer::CreateForWindow(m.window);
  m.gameScreen = m.renderer->CreateTarget(kGameScreenWidth, kGameScreenHeight);
  if (!m.gameScreen) throw RenderError("cannot create the game screen: " + m.renderer->LastError());
  auto& app = Application::Get();
  app.SetEventSource(host.get());
  app.AddForm(&form);
  SetDialogProvider(host.get());
  return host;
}

std::unique_ptr<SdlHost> SdlHost::CreateHeadless(Form& form) {
  EnsureSdl(false);
  std::unique_ptr<SdlHost> host(new SdlHost());
  Impl& m = *host->impl_;
  m.form = &form;
  m.headless = true;
  State().live.push_back(&m);
  m.renderer = Renderer::CreateHeadless(std::max(1, form.PixelWidth()), std::max(1, form.PixelHeight()));
  m.gameScreen = m.renderer->CreateTarget(kGameScreenWidth, kGameScreenHeight);
  if (!m.gameScreen) throw RenderError("cannot create the game screen: " + m.renderer->LastError());
  auto& app = Application::Get();
  app.SetEventSource(host.get());
  app.AddForm(&form);
  return host;
}

bool SdlHost::Headless() const { return impl_->headless; }
Renderer& SdlHost::Render() { return *impl_->renderer; }
SDL_Window* SdlHost::Window() const { return impl_->window; }
Form& SdlHost::CurrentForm() { return *impl_->form; }
Texture SdlHost::GameScreenTarget() const { return impl_->gameScreen; }

void SdlHost::SetForm(Form& form) {
  Impl& m = *impl_;
  if (m.form == &form) return;
  auto& app = Application::Get();
  if (m.form != nullptr) app.RemoveForm(m.form);
  m.form = &form;
  m.hover = nullptr;
  m.scrollList = nullptr;
  app.AddForm(&form);
  const int w = std::max(1, form.PixelWidth()), h = std::max(1, form.PixelHeight());
  if (m.window != nullptr) {
    SDL_SetWindowSize(m.window, w, h);
    SDL_SetWindowPosition(m.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    SetWindowIconOf(m.window, form);
    RefreshCaption();
  } else if (m.renderer->OutputSize() != Size{w, h}) {
    // A headless picture of the new size; the game screen starts afresh.
    m.pictures.clear();
    m.stretched.clear();
    m.renderer = Renderer::CreateHeadless(w, h);
    m.gameScreen = m.renderer->CreateTarget(kGameScreenWidth, kGameScreenHeight);
  }
  m.UpdateTextInput();
}

void SdlHost::RefreshCaption() {
  if (impl_->window != nullptr) SDL_SetWindowTitle(impl_->window, impl_->form->Caption.c_str());
}

void SdlHost::Poll() {
  SDL_Event e;
  while (SDL_PollEvent(&e) != 0) impl_->Handle(e);
  impl_->UpdateTextInput();
}

void SdlHost::HandleEvent(const SDL_Event& e) { impl_->Handle(e); }

void SdlHost::DrawForm() {
  Renderer& r = *impl_->renderer;
  const Texture oldTarget = r.Target();
  const std::optional<Rect> oldClip = r.Clip();
  r.SetTarget(Texture{});
  impl_->DrawWholeForm();
  r.SetTarget(oldTarget);
  r.SetClip(oldClip);
}

void SdlHost::Present() {
  impl_->PresentIfChanged();
  impl_->UpdateTextInput();
}

std::uint64_t SdlHost::PresentCount() const { return impl_->presents; }

void SdlHost::RequestRedraw() { impl_->redrawDue = true; }

int SdlHost::ShowMessage(const std::string& text, int buttons, const std::string& title) {
  ModalBox b;
  b.title = title;
  b.text = text;
  ButtonsFor(buttons, b);
  // Headless there is no one to answer: the safe button.
  if (impl_->headless) return b.cancelResult;
  return impl_->RunModal(b);
}

std::optional<std::string> SdlHost::ShowInput(const std::string& prompt, const std::string& title,
                                              const std::string& defaultText) {
  if (impl_->headless) return std::nullopt;
  ModalBox b;
  b.title = title;
  b.text = prompt;
  b.input = true;
  b.field = defaultText;
  b.buttons = {{"确定", kOk}, {"取消", kCancel}};
  b.okResult = kOk;
  b.cancelResult = kCancel;
  if (impl_->RunModal(b) != kOk) return std::nullopt;
  return b.field;
}

void SdlHost::ClearPictureCache() {
  for (auto& [path, tex] : impl_->pictures) impl_->renderer->ReleaseTexture(tex);
  impl_->pictures.clear();
  impl_->ClearStretched();
  impl_->redrawDue = true;
}

}  // namespace plat
