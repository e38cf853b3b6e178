#include "ui/game_screen_input.h"

#include "common/game_state.h"
#include "graphics/sound.h"
#include "platform/forms.h"
#include "platform/text.h"
#include "script/script.h"
#include "window/form1.h"
#include "world/equipment.h"
#include "world/ground_items.h"
#include "world/movement.h"

namespace ui {

namespace {

constexpr std::string_view kClickSound = "Sound\\按键1.wav";
constexpr std::int32_t kTargetFrames = 100;
constexpr int kNpcCodeTail = 4;     // the picture number after an NPC's name
constexpr int kLastWornSlot = 10;   // slots 1..10 are worn and are never dropped here

void Hide(plat::Control* c) {
  if (c != nullptr) c->Visible = false;
}

void ClearPicture(plat::Control* c) {
  if (c != nullptr) c->Picture.clear();
}

void ClearCaption(plat::Control* c) {
  if (c != nullptr) c->Caption.clear();
}

bool MapLoaded() { return G.PartWidths[1] > 0; }

// The map cell under the cursor, and the one below it.
std::int32_t CursorMapX() { return ViewToMapX(G.MouseCellX); }
std::int32_t CursorMapY() { return ViewToMapY(G.MouseCellY); }

// The monster number of a live grid cell whose text starts with "M" (its last four
// characters); -1 when the cell holds no such text.
std::int32_t MonsterOfCell(std::int32_t x, std::int32_t y) {
  const std::int32_t code = GridCode(x, y);
  if (code >= kGridMonsterBase && code <= kGridMonsterLast) return code - kGridMonsterBase;
  if (code < 0) {
    const std::string text = GridCodeText(code);
    if (!text.empty() && text[0] == 'M') return static_cast<std::int32_t>(plat::Val(plat::Right(text, kNpcCodeTail)));
  }
  return -1;
}

// Talks to the NPC standing on (x, y) of the current part; false when none stands there.
bool TalkAt(std::int32_t x, std::int32_t y) {
  const std::string code = NpcCodeOf(CellField(G.SubMap, x, y, 3));
  if (code.empty()) return false;
  TalkToNpc(code);
  G.Player.ActState = ActionState::Stand;
  return true;
}

}  // namespace

std::string NpcCodeOf(const std::string& kind) {
  if (kind.empty() || kind[0] != 'N') return {};
  const long n = plat::Len(kind);
  return plat::Left(kind, n > kNpcCodeTail ? n - kNpcCodeTail : 0);
}

void GameScreen_MouseMove(int, int, int x, int y) {
  G.MouseCellX = x / kCellPixelsWide;
  G.MouseCellY = y / kCellPixelsHigh;
  // A captured press follows the pointer off the screen: the cell stays in the view.
  KeepCursorInView();
  if (!MapLoaded()) return;

  if (Form1.PItemInf != nullptr && Form1.PItemInf->Visible) Form1.PItemInf->Visible = false;
  std::int32_t n = MonsterOfCell(CursorMapX(), CursorMapY());
  if (n < 0) n = MonsterOfCell(CursorMapX(), CursorMapY() + 1);
  if (n >= 0) {
    G.TargetMon = n;
    G.TargetTimer = kTargetFrames;
  }
}

void GameScreen_MouseDown(int button, int, int, int) {
  if (button == plat::kLeftButton) G.MouseLeftDown = 1;
  if (button == plat::kRightButton) G.MouseRightDown = 1;

  if (button != plat::kLeftButton || G.Player.HP <= 0 || !MapLoaded() ||
      G.Player.ActState != ActionState::Stand) {
    return;
  }
  const std::int32_t x = CursorMapX();
  const std::int32_t y = CursorMapY();
  if (TalkAt(x, y)) return;
  if (TalkAt(x, y + 1)) return;

  // A held slot whose item has gone (used up, taken by a script) holds nothing.
  if (const std::int32_t held = HeldItemSlot();
      Form1.Psys2 != nullptr && Form1.Psys2->Visible && held > kLastWornSlot) {
    DropBagItem(held);
    ClearCaption(Form1.Lsell);
    ClearPicture(Form1.Isell);
    ClearPicture(Form1.IwUP);
    ClearPicture(Form1.Ibank);
    G.MouseLeftDown = 0;
    G.Player.ActState = ActionState::Stand;
  }
}

void GameScreen_MouseUp(int, int, int, int) {
  G.MouseLeftDown = 0;
  G.MouseRightDown = 0;
}

void Lb_Click(int index) {
  if (index < 1 || index > kChoiceCount) return;
  PlayWav(kClickSound);
  ClearCaption(Form1.Lbuy);
  ClearPicture(Form1.Ibuy);
  // The label is copied: the script run rewrites the choices.
  const std::string label = G.ChoiceLabel[static_cast<std::size_t>(index)];
  ScriptGotoLabel(label);
}

void Lquit_Click() {
  MainWindow& w = Form1;
  PlayWav(kClickSound);
  Hide(w.Pspt);
  Hide(w.Pbank);
  Hide(w.Psell);
  Hide(w.Pbuy);
  Hide(w.PwUP);
  Hide(w.PItemInf);
  ClearPicture(w.Ibuy);
  ClearCaption(w.Lbuy);
  ClearCaption(w.Lsell);
  ClearPicture(w.Isell);
  ClearPicture(w.IwUP);
  ClearPicture(w.Ibank);
  G.SelectedSlot = 0;
  Hide(w.ShItem);
  G.GamePaused = 0;
}

void AttachGameScreenHandlers() {
  MainWindow& w = Form1;
  if (w.GameScreen != nullptr) {
    w.GameScreen->OnMouseMove = GameScreen_MouseMove;
    w.GameScreen->OnMouseDown = GameScreen_MouseDown;
    w.GameScreen->OnMouseUp = GameScreen_MouseUp;
  }
  for (const auto& [index, label] : w.Lb.All()) {
    if (label != nullptr) label->OnClick = [i = index] { Lb_Click(i); };
  }
  if (w.Lquit != nullptr) w.Lquit->OnClick = [] { Lquit_Click(); };
}

}  // namespace ui
