#include "graphics/scene_draw.h"

#include "graphics/device.h"

namespace {

void Note(FrameStep step) {
  if (Gfx.Recorder == nullptr) return;
  FrameEvent e;
  e.Step = step;
  Gfx.Recorder->Record(e);
}

void Sprite(plat::Texture tex, std::optional<plat::Rect> src, float x, float y, plat::Color colour) {
  if (!tex || Gfx.Device == nullptr) return;
  if (Gfx.Recorder != nullptr) {
    FrameEvent e;
    e.Step = FrameStep::Sprite;
    e.Tex = tex;
    e.Src = src;
    e.X = x;
    e.Y = y;
    e.ScaleX = Gfx.ScalingX;
    e.ScaleY = Gfx.ScalingY;
    e.Colour = colour;
    Gfx.Recorder->Record(e);
  }
  Gfx.Device->DrawSprite(tex, src, x, y, Gfx.ScalingX, Gfx.ScalingY, colour);
}

}  // namespace

void FrameBeginScene() {
  BeginScene();
  Note(FrameStep::BeginScene);
}

void FrameFloorTile(plat::Surface tile, int x, int y) {
  if (!tile || Gfx.Device == nullptr) return;
  if (Gfx.Recorder != nullptr) {
    FrameEvent e;
    e.Step = FrameStep::FloorTile;
    e.X = static_cast<float>(x);
    e.Y = static_cast<float>(y);
    Gfx.Recorder->Record(e);
  }
  Gfx.Device->CopySurfaceRect(tile, plat::Rect{0, 0, kFloorTileWidth, kFloorTileHeight}, Gfx.MapSurface, x, y);
}

void FrameFloorBlank(int x, int y) {
  if (Gfx.Device == nullptr) return;
  if (Gfx.Recorder != nullptr) {
    FrameEvent e;
    e.Step = FrameStep::FloorBlank;
    e.X = static_cast<float>(x);
    e.Y = static_cast<float>(y);
    Gfx.Recorder->Record(e);
  }
  Gfx.Device->FillSurfaceRect(Gfx.MapSurface, plat::Rect{x, y, kFloorTileWidth, kFloorTileHeight},
                              plat::Color::Black());
}

void FrameFloorCopy() {
  if (Gfx.Device == nullptr) return;
  Note(FrameStep::FloorCopy);
  Gfx.Device->CopyRect(Gfx.MapSurface, plat::Rect{kSceneMarginX, kSceneMarginY, kSceneWidth, kSceneHeight}, 0, 0);
}

// The render layer draws each sprite and text as it comes; the batch brackets are kept
// as steps of the frame.
void FrameSpriteBegin() { Note(FrameStep::SpriteBegin); }
void FrameFontBegin() { Note(FrameStep::FontBegin); }
void FrameFontEnd() { Note(FrameStep::FontEnd); }
void FrameSpriteEnd() { Note(FrameStep::SpriteEnd); }

void FramePresent() {
  Note(FrameStep::Present);
  PresentScene();
}

void FrameEndScene() { Note(FrameStep::EndScene); }

void DrawSpriteAt(plat::Texture tex, float x, float y, plat::Color colour) {
  Sprite(tex, std::nullopt, x, y, colour);
}

void DrawSpritePart(plat::Texture tex, plat::Rect src, float x, float y, plat::Color colour) {
  if (src.Empty()) return;
  Sprite(tex, src, x, y, colour);
}

void DrawSceneText(std::string_view text, plat::Color colour, float x, float y, std::int32_t right,
                   std::int32_t bottom) {
  if (Gfx.Device == nullptr || text.empty()) return;
  if (Gfx.Recorder != nullptr) {
    FrameEvent e;
    e.Step = FrameStep::Text;
    e.X = x;
    e.Y = y;
    e.Colour = colour;
    e.Text = text;
    Gfx.Recorder->Record(e);
  }
  DrawTextAt(text, colour, x, y, right, bottom);
}
