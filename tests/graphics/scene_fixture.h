// The scene on the headless device with the real sample packs: the program folder is
// the built game folder (only read), the working folder too (item icons are found
// from there). A small part is laid out through the game-state accessors, and a
// recorder keeps the steps of each frame.
#pragma once

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/graphics_fixture.h"
#include "graphics/look.h"
#include "graphics/pictures.h"
#include "graphics/resources.h"
#include "graphics/scene.h"
#include "graphics/scene_draw.h"
#include "graphics/startup_assets.h"
#include "graphics/texture_cache.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "window/form1.h"

namespace scenetest {

// Every step of the frames drawn while it is installed, texts copied.
class Recorder : public FrameRecorder {
 public:
  struct Event {
    FrameStep Step;
    plat::Texture Tex;
    std::optional<plat::Rect> Src;
    float X, Y, ScaleX, ScaleY;
    plat::Color Colour;
    std::string Text;
  };
  void Record(const FrameEvent& e) override {
    events.push_back(Event{e.Step, e.Tex, e.Src, e.X, e.Y, e.ScaleX, e.ScaleY, e.Colour, std::string(e.Text)});
  }
  // Index of the first event after `from` that matches; -1 when none.
  long Find(const std::function<bool(const Event&)>& match, long from = -1) const {
    for (long i = from + 1; i < static_cast<long>(events.size()); ++i) {
      if (match(events[static_cast<std::size_t>(i)])) return i;
    }
    return -1;
  }
  long FindSprite(plat::Texture tex, long from = -1) const {
    return Find([tex](const Event& e) { return e.Step == FrameStep::Sprite && e.Tex == tex; }, from);
  }
  long FindText(const std::string& text, long from = -1) const {
    return Find([&text](const Event& e) { return e.Step == FrameStep::Text && e.Text == text; }, from);
  }
  long CountSprites(plat::Texture tex) const {
    return std::count_if(events.begin(), events.end(),
                         [tex](const Event& e) { return e.Step == FrameStep::Sprite && e.Tex == tex; });
  }
  const Event& operator[](long i) const { return events.at(static_cast<std::size_t>(i)); }
  std::vector<Event> events;
};

// A decoded picture, 4 bytes a pixel (r, g, b, a).
struct Picture {
  int w = 0, h = 0;
  std::vector<std::uint8_t> rgba;
  plat::Color At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)) * 4;
    return plat::Color{rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
  }
  // Drawn fully covering: opaque and not the transparent black.
  bool Solid(int x, int y) const {
    const plat::Color c = At(x, y);
    return c.a == 255 && (c.r != 0 || c.g != 0 || c.b != 0);
  }
  // Drawn at all (partly or fully).
  bool Visible(int x, int y) const {
    const plat::Color c = At(x, y);
    return c.a != 0 && (c.r != 0 || c.g != 0 || c.b != 0);
  }
};

inline Picture Decode(const std::vector<std::uint8_t>& bytes) {
  Picture p;
  SDL_Surface* raw = IMG_Load_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
  if (raw == nullptr) raw = IMG_LoadTyped_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1, "TGA");
  if (raw == nullptr) return p;
  SDL_Surface* s = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_RGBA32, 0);
  SDL_FreeSurface(raw);
  if (s == nullptr) return p;
  p.w = s->w;
  p.h = s->h;
  p.rgba.resize(static_cast<std::size_t>(p.w) * static_cast<std::size_t>(p.h) * 4);
  for (int y = 0; y < p.h; ++y) {
    const auto* row = static_cast<const std::uint8_t*>(s->pixels) + static_cast<std::ptrdiff_t>(y) * s->pitch;
    std::copy(row, row + static_cast<std::ptrdiff_t>(p.w) * 4, p.rgba.begin() + static_cast<std::ptrdiff_t>(y) * p.w * 4);
  }
  SDL_FreeSurface(s);
  return p;
}

// Picture n of a pack of the game folder (a game path such as "\date\rpg\1").
inline Picture PackPicture(std::string_view base, long n) {
  auto bytes = ReadPackPicture(base, n);
  return bytes ? Decode(*bytes) : Picture{};
}

// The game screen as drawn, 4 bytes a pixel.
struct Screen {
  int w = 0, h = 0;
  std::vector<std::uint8_t> rgba;
  plat::Color At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)) * 4;
    return plat::Color{rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
  }
  bool operator==(const Screen&) const = default;
};

class SceneTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    savedCwd_ = std::filesystem::current_path();
    plat::SetProgramFolder(testsupport::GameDir());
    std::filesystem::current_path(testsupport::GameDir());
    ui::BuildMainWindow();
    StartDevice();
    LoadGraphics();
    Gfx.ShowFrame = [this] { ++presents; };
    MakePart(30, 30);
    PlacePlayer();
  }
  void TearDown() override {
    Gfx.Recorder = nullptr;
    GraphicsTest::TearDown();
    ui::BuildMainWindow();
    std::filesystem::current_path(savedCwd_);
  }

  // Part 1 of w x h cells, every cell floor `floor`, free, no object; the view's draw
  // ranges as a game starts.
  void MakePart(int w, int h, const std::string& floor = "9") {
    G.SubMap = 1;
    SetPartSize(1, w, h);
    for (int x = 1; x <= w; ++x) {
      for (int y = 1; y <= h; ++y) SetCellField(1, x, y, 1, floor);
    }
    CopyPartGridToGrid(1);
    G.PartNames[1] = "村庄";
    G.DrawColFirst = 0;
    G.DrawColLast = 14;
    G.DrawRowFirst = 0;
    G.DrawRowLast = 13;
  }

  // The player standing on (13, 13) facing south, body look 1, weapon 1, with a head.
  void PlacePlayer() {
    G.ViewX = 5;
    G.ViewY = 5;
    PlayerRecord& p = G.Player;
    p.HP = p.HpMax = 100;
    p.Mp = p.MpMax = 50;
    p.Level = 1;
    p.McMax = 2;
    p.ID = "阿明";
    p.ActState = ActionState::Stand;
    Face(DirSouth);
    p.Items[1].Pic2 = 1;
    p.Items[5].Pic2 = 1;
    LoadLookFrames();
  }
  void Face(int d) {
    G.Player.Direction = d;
    G.Player.FrameNo = 4 * d + 1;
  }

  // The map cell of view cell (c, r).
  static int MapX(int c) { return G.ViewX + c + 1; }
  static int MapY(int r) { return G.ViewY + r + 1; }

  // A monster kind k drawn with monster picture `pic`, and monster m of it on view cell (c, r).
  void AddKind(int k, int pic, const std::string& name, int hp = 100) {
    if (G.MonsterKinds.size() <= static_cast<std::size_t>(k)) G.MonsterKinds.resize(static_cast<std::size_t>(k) + 1);
    MonsterKind& kind = G.MonsterKinds[static_cast<std::size_t>(k)];
    kind.Pic = pic;
    kind.MonName = name;
    kind.Hp = hp;
    kind.Type = 1;
    kind.R = kind.G = kind.B = kind.A = 255;
    G.MonsterKindCount = std::max(G.MonsterKindCount, k);
  }
  MonsterInstance& AddMonster(int m, int k, int c, int r) {
    MonsterInstance& mon = G.Monsters[static_cast<std::size_t>(m)];
    mon = MonsterInstance{};
    mon.Kind = k;
    mon.X = MapX(c);
    mon.Y = MapY(r);
    mon.HP = G.MonsterKinds[static_cast<std::size_t>(k)].Hp;
    mon.Frame = 17;  // standing, facing south
    mon.R = mon.G = mon.B = mon.A = 255;
    SetGridMonster(mon.X, mon.Y, m);
    G.MonsterCount = std::max(G.MonsterCount, m);
    return mon;
  }

  // Draws one frame with the recorder on.
  void Frame() {
    rec.events.clear();
    Gfx.Recorder = &rec;
    DrawScene();
    Gfx.Recorder = nullptr;
  }
  // Draws one frame and reads the game screen.
  Screen Shot() {
    Frame();
    Screen s;
    const plat::Size size = Gfx.Device->TargetSize();
    s.w = size.w;
    s.h = size.h;
    s.rgba = Gfx.Device->ReadPixels();
    return s;
  }

  Recorder rec;
  int presents = 0;

 private:
  std::filesystem::path savedCwd_;
};

}  // namespace scenetest
