#include "graphics/device.h"

#include <cmath>
#include <optional>

#include "common/game_state.h"
#include "graphics/look.h"
#include "graphics/pictures.h"
#include "graphics/resources.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/sdl_host.h"
#include "platform/text.h"
#include "window/form1.h"

namespace {

constexpr int kGameScreenTwipsWide = 10830;
constexpr int kGameScreenTwipsHigh = 6750;

// A whole number 0..255 written as digits (an optional fraction is rounded half to
// even); nothing for any other text.
std::optional<std::uint8_t> ByteItem(const std::string& item) {
  const auto number = plat::StrictNumber(item, plat::NumberForm::Fraction);
  if (!number) return std::nullopt;
  const long v = plat::RoundHalfEven(*number);
  if (v < 0 || v > 255) return std::nullopt;
  return static_cast<std::uint8_t>(v);
}

}  // namespace

void AttachDisplay(plat::Renderer* device, plat::Texture gameScreen, std::function<void()> showFrame) {
  Gfx.OwnDevice.reset();
  Gfx.Device = device;
  Gfx.BackBuffer = gameScreen;
  Gfx.ShowFrame = std::move(showFrame);
}

std::uint8_t ReadDisplayMemory() {
  plat::TextReader in(plat::ResolvePath("\\DisplayMemory.cfg"));
  if (!in.IsOpen()) return 0;
  const auto item = in.ReadItem();
  if (!item) return 0;
  return ByteItem(*item).value_or(0);
}

std::string DataConnectionString(std::string_view relativePath) {
  std::string s = "Provider=Microsoft.Jet.OLEDB.4.0;";
  s += "Persist Security Info=False;";
  s += "Data Source=";
  s += plat::ResolvePath(relativePath).string();
  s += ";Jet OLEDB:Database Password=";
  s += kDataPassword;
  s += ";";
  return s;
}

void InitD3D() {
  if (ui::Form1.GameScreen != nullptr) {
    ui::Form1.GameScreen->Width = kGameScreenTwipsWide;
    ui::Form1.GameScreen->Height = kGameScreenTwipsHigh;
  }

  // The device: the attached window's, or a headless one of the game screen's size.
  if (Gfx.Device == nullptr) {
    Gfx.OwnDevice = plat::Renderer::CreateHeadless(plat::kGameScreenWidth, plat::kGameScreenHeight);
    Gfx.Device = Gfx.OwnDevice.get();
    Gfx.BackBuffer = plat::Texture{};
  }
  // The game's one font stands in for "宋体" at 9 points.
  if (!Gfx.Device->HasFont()) Gfx.Device->LoadFont();

  Gfx.RotCenterX = Gfx.RotCenterY = 1.0f;
  Gfx.ScalingX = Gfx.ScalingY = 1.0f;

  // The off-screen surface of the floor, first filled with the item picture 1.
  ReleaseSurf(Gfx.MapSurface);
  Gfx.MapSurface = Gfx.Device->CreateSurface(kMapSurfaceWidth, kMapSurfaceHeight);
  const std::string firstPicture = "\\date\\Item\\1.bmp";
  if (!Gfx.MapSurface || !Gfx.Device->FillSurfaceFile(Gfx.MapSurface, plat::ResolvePath(firstPicture).string())) {
    ShowMissingFile(firstPicture);
  }

  G.NpcConnStr = DataConnectionString("\\Date\\Mon\\75.dat");
  G.MonConnStr = DataConnectionString("\\Date\\rpg\\21.dat");
  G.ItemConnStr = DataConnectionString("\\Date\\Mon\\74.dat");
  G.NpcDbPath = plat::ResolvePath("\\Date\\Mon\\75.dat");
  G.MonDbPath = plat::ResolvePath("\\Date\\rpg\\21.dat");
  G.ItemDbPath = plat::ResolvePath("\\Date\\Mon\\74.dat");

  G.GameRunning = 1;
  G.GamePaused = 0;
  G.FpsAdjust = 25;
  G.SoundAliasCount = 8;
  G.Player.TintR = G.Player.TintG = G.Player.TintB = G.Player.TintA = 255;
  G.ObjectTintR = G.ObjectTintG = G.ObjectTintB = 255;
  G.Spirit.Frame = 1;
  G.Spirit.State = SpiritState::Idle;

  G.LowMemoryMode = ReadDisplayMemory();
}

void ReleaseGraphics() {
  ReleaseAllPictures();
  Looks = LookFrameTables{};
  ReleaseSurf(Gfx.MapSurface);
  Gfx.BackBuffer = plat::Texture{};
  Gfx.ShowFrame = nullptr;
  Gfx.Device = nullptr;
  Gfx.OwnDevice.reset();
}

void EndGame() {
  ReleaseGraphics();
  plat::EndProgram(0);
}

void BeginScene() {
  if (Gfx.Device == nullptr) return;
  Gfx.Device->SetTarget(Gfx.BackBuffer);
}

void PresentScene() {
  if (Gfx.ShowFrame) {
    Gfx.ShowFrame();
  } else if (Gfx.Device != nullptr) {
    Gfx.Device->Present();
  }
}

void ClearScene(plat::Color c) {
  if (Gfx.Device != nullptr) Gfx.Device->Clear(c);
}

void DrawTextAt(std::string_view text, plat::Color colour, float x, float y, std::int32_t /*right*/,
                std::int32_t /*bottom*/) {
  if (Gfx.Device == nullptr) return;
  Gfx.Device->DrawText(text, colour, static_cast<int>(plat::RoundHalfEven(x)),
                       static_cast<int>(plat::RoundHalfEven(y)));
}
