#include "ui/system_buttons.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

#include "common/game_state.h"
#include "graphics/sound.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "window/form1.h"

namespace ui {

namespace {

constexpr std::string_view kClickSound = "Sound\\按键2.wav";

void Click() {
  if (G.SoundOn == 1) PlayWav(kClickSound);
}

void Show(plat::Control* c, bool shown) {
  if (c != nullptr) c->Visible = shown;
}
bool Hidden(const plat::Control* c) { return c == nullptr || !c->Visible; }

// A button picture from "\date\button"; a file that is not there leaves the button as
// it looks.
void ShowPicture(plat::Control* c, std::string_view file) {
  if (c == nullptr) return;
  const std::string path = "\\date\\button\\" + std::string(file) + ".dat";
  std::error_code ec;
  if (!std::filesystem::is_regular_file(plat::ResolvePath(path), ec)) return;
  c->Picture = path;
}

// The window opens only over a living player.
bool MayOpenCharacterWindow() { return Hidden(Form1.Psys2) && G.Player.HP > 0; }

}  // namespace

void SysB1_Click() {
  if (Hidden(Form1.Psys1) && G.Player.HP > 0) {
    Show(Form1.Psys1, true);
    G.GamePaused = 1;
  } else {
    Show(Form1.Psys1, false);
    G.GamePaused = 0;
  }
  Click();
}

void SysB2_Click() {
  if (MayOpenCharacterWindow()) {
    Show(Form1.Psys2, true);
    Show(Form1.Psx, true);
    Click();
  } else {
    Sys2b5_Click();
  }
}

void SysB3_Click() {
  if (MayOpenCharacterWindow()) {
    Show(Form1.Psys2, true);
    Show(Form1.Pmc, false);
  } else {
    Sys2b5_Click();
  }
  Click();
}

void SysB4_Click() {
  if (MayOpenCharacterWindow()) {
    Show(Form1.Psys2, true);
    Show(Form1.Pmc, true);
  } else {
    Sys2b5_Click();
  }
  Click();
}

void Sys2b1_Click() {
  Click();
  Show(Form1.Psx, false);
}

void Sys2B2_Click() {
  Click();
  Show(Form1.Psx, true);
}

void Sys2B3_Click() {
  Click();
  Show(Form1.Pmc, false);
}

void Sys2b4_Click() {
  Click();
  Show(Form1.Pmc, true);
}

void Sys2b5_Click() {
  Click();
  for (plat::Control* c : {Form1.Psys2, Form1.Psx, Form1.Pmc, Form1.PItemInf, Form1.ShItem}) Show(c, false);
  G.SelectedSlot = 0;
}

void AttachSystemButtonHandlers() {
  MainWindow& w = Form1;
  // Control, pressed picture, released picture, click.
  const struct {
    plat::Control* control;
    const char* pressed;
    const char* released;
    void (*click)();
  } buttons[] = {
      {w.SysB1, "bt12", "bt11", SysB1_Click},   {w.SysB2, "bt22", "bt21", SysB2_Click},
      {w.SysB3, "bt32", "bt31", SysB3_Click},   {w.SysB4, "bt92", "bt91", SysB4_Click},
      {w.Sys2b1, "bt42", "bt41", Sys2b1_Click}, {w.Sys2B2, "bt52", "bt51", Sys2B2_Click},
      {w.Sys2B3, "bt62", "bt61", Sys2B3_Click}, {w.Sys2b4, "bt72", "bt71", Sys2b4_Click},
      {w.Sys2b5, "bt82", "bt81", Sys2b5_Click},
  };
  for (const auto& b : buttons) {
    if (b.control == nullptr) continue;
    plat::Control* c = b.control;
    c->OnMouseDown = [c, file = b.pressed](int, int, int, int) { ShowPicture(c, file); };
    c->OnMouseUp = [c, file = b.released](int, int, int, int) { ShowPicture(c, file); };
    c->OnClick = b.click;
  }
}

}  // namespace ui
