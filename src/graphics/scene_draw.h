// The drawing steps of one game-screen frame, as the scene and the figures use them:
// the scene's begin, the floor tiles composed on the map surface, the copy of the
// visible floor onto the game screen, the sprite and font batch, every sprite through
// the one shared sprite setting (rotation 0, Gfx.Scaling), every text through
// DrawTextAt, and the present before the scene's end.
//
// Each step can be watched by a FrameRecorder (Gfx.Recorder): tests read the order of
// a frame from it. Without a device the steps draw nothing, and a picture that is not
// loaded (an empty handle) draws nothing and is not recorded.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "graphics/resources.h"
#include "platform/render.h"

// The one colour function: red, green, blue and alpha, each cut to 0..255.
inline plat::Color Rgba(std::int64_t r, std::int64_t g, std::int64_t b, std::int64_t a = 255) {
  auto c = [](std::int64_t v) { return static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255)); };
  return plat::Color{c(r), c(g), c(b), c(a)};
}

enum class FrameStep : std::uint8_t {
  BeginScene,   // the game screen becomes the target
  FloorTile,    // one floor tile onto the map surface (X, Y on the surface)
  FloorBlank,   // a cell without a floor made black on the map surface (X, Y on the surface)
  FloorCopy,    // the visible floor onto the game screen
  SpriteBegin,
  FontBegin,
  Sprite,       // Tex (part Src) at X, Y, scaled, in Colour
  Text,         // Text at X, Y in Colour
  FontEnd,
  SpriteEnd,
  Present,
  EndScene,
};

// One step as the recorder sees it; Text lives only for the call.
struct FrameEvent {
  FrameStep Step = FrameStep::BeginScene;
  plat::Texture Tex;
  std::optional<plat::Rect> Src;
  float X = 0.0f;
  float Y = 0.0f;
  float ScaleX = 1.0f;
  float ScaleY = 1.0f;
  plat::Color Colour;
  std::string_view Text;
};

class FrameRecorder {
 public:
  virtual ~FrameRecorder() = default;
  virtual void Record(const FrameEvent& e) = 0;
};

// The visible part of the map surface and the game screen's size.
constexpr int kSceneMarginX = 96;
constexpr int kSceneMarginY = 64;
constexpr int kSceneWidth = 720;
constexpr int kSceneHeight = 448;

void FrameBeginScene();
// Copies floor tile `tile` (48 x 32) onto the map surface at (x, y).
void FrameFloorTile(plat::Surface tile, int x, int y);
// Makes the cell at (x, y) of the map surface black (48 x 32): a cell without a floor.
void FrameFloorBlank(int x, int y);
// Copies (96, 64)-(816, 512) of the map surface to (0, 0) of the game screen.
void FrameFloorCopy();
void FrameSpriteBegin();
void FrameFontBegin();
void FrameFontEnd();
void FrameSpriteEnd();
void FramePresent();
void FrameEndScene();

// The whole picture at (x, y) with the shared scaling, in the colour.
void DrawSpriteAt(plat::Texture tex, float x, float y, plat::Color colour);
// Part src of the picture at (x, y); an empty part draws nothing.
void DrawSpritePart(plat::Texture tex, plat::Rect src, float x, float y, plat::Color colour);
// Text through DrawTextAt; right and bottom only close the rectangle.
void DrawSceneText(std::string_view text, plat::Color colour, float x, float y, std::int32_t right,
                   std::int32_t bottom);
