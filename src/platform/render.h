// The drawing device: textures, off-screen surfaces, sprite draws, rectangle copies,
// text in the one CJK font, read-back. One interface over SDL_Renderer with two back
// ends: the window renderer (play) and a headless software renderer drawing into an
// SDL surface (tests, screenshots).
//
// Textures and surfaces are owned by the renderer and named by small handles. A handle
// that was released, or never valid, draws nothing and reports a size of 0 x 0; releasing
// it again does nothing. Every handle dies with the renderer.
//
// Failures (a picture that cannot be decoded, a missing file, a missing font) are
// reported by the return value (an empty handle, false) with the reason in LastError();
// nothing here crashes or ends the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct SDL_Window;
struct SDL_Renderer;

namespace plat {

// Thrown only when a renderer cannot be created at all.
struct RenderError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Color {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  // From a control colour written 0xBBGGRR (0x0000FF is red).
  static Color FromBgr(std::uint32_t bbggrr, std::uint8_t alpha = 255) {
    return Color{static_cast<std::uint8_t>(bbggrr & 0xFF), static_cast<std::uint8_t>((bbggrr >> 8) & 0xFF),
                 static_cast<std::uint8_t>((bbggrr >> 16) & 0xFF), alpha};
  }
  static Color White(std::uint8_t alpha = 255) { return Color{255, 255, 255, alpha}; }
  static Color Black(std::uint8_t alpha = 255) { return Color{0, 0, 0, alpha}; }
  bool operator==(const Color&) const = default;
};

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Empty() const { return w <= 0 || h <= 0; }
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  bool operator==(const Rect&) const = default;
};

struct Size {
  int w = 0, h = 0;
  bool operator==(const Size&) const = default;
};

// A texture: a picture on the device, drawn as a sprite. Render targets are textures too.
struct Texture {
  std::uint32_t id = 0;
  explicit operator bool() const { return id != 0; }
  bool operator==(const Texture&) const = default;
};

// An off-screen picture in memory (the floor is composed on one): filled from pictures,
// copied rectangle by rectangle onto other surfaces and onto the current target.
struct Surface {
  std::uint32_t id = 0;
  explicit operator bool() const { return id != 0; }
  bool operator==(const Surface&) const = default;
};

enum class TextAlign { Left = 0, Right = 1, Centre = 2 };
// Text in the font as it is, or emboldened.
enum class FontWeight { Regular, Bold };

// The one font of the game.
constexpr const char* kDefaultFontPath = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
// 9 points at 96 dots per inch.
constexpr int kDefaultFontPixels = 12;

class Renderer {
 public:
  // The window's renderer (hardware accelerated where available, else software).
  // Throws RenderError when no renderer can be created for the window.
  static std::unique_ptr<Renderer> CreateForWindow(SDL_Window* window);
  // A software renderer drawing into a surface of w x h pixels; needs no display.
  // Throws RenderError for a size below 1 x 1.
  static std::unique_ptr<Renderer> CreateHeadless(int w, int h);

  // Both try to open the default font; without it every text call draws nothing and
  // reports false / a size of 0 (HasFont() is false).
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  bool Headless() const;
  // Size of the output (the window's client area or the headless surface).
  Size OutputSize() const;
  SDL_Renderer* Sdl() const;
  // The reason of the last failure.
  const std::string& LastError() const;

  // ---- Textures ----
  // From an encoded picture (BMP, PNG, JPG, TGA, recognised from the bytes). Opaque pure
  // black (0, 0, 0, 255) becomes fully transparent; every other pixel keeps its colour and
  // alpha. With w and h above 0 the picture is scaled to that size, else it keeps its own.
  // An empty handle when the bytes are not a picture, or one whose header fails the checks
  // of CheckPicture (picture_check.h): every decode here goes through them.
  Texture LoadTexture(const void* data, std::size_t size, int w = 0, int h = 0);
  Texture LoadTexture(const std::vector<std::uint8_t>& bytes, int w = 0, int h = 0) {
    return LoadTexture(bytes.data(), bytes.size(), w, h);
  }
  // From a file (a full path as the system writes it).
  Texture LoadTextureFile(const std::string& path, int w = 0, int h = 0);
  // A picture as it stands, without the black colour key (the host's control pictures).
  Texture LoadPicture(const void* data, std::size_t size);
  Texture LoadPictureFile(const std::string& path);
  // A texture that can be drawn into (SetTarget), cleared to transparent black.
  Texture CreateTarget(int w, int h);
  Size TextureSize(Texture tex) const;
  void ReleaseTexture(Texture tex);
  bool Valid(Texture tex) const;
  // Every pixel of the texture has full alpha: a picture by its pixels, a target by what
  // was drawn into it (cleared to an opaque colour, then only blended draws, opaque fills
  // and copies of opaque pixels). False for an unknown handle.
  bool Opaque(Texture tex) const;
  // A new texture of w x h holding the picture stretched as DrawStretched would draw it,
  // so that it can be drawn 1:1 from then on; empty for a target or a bad size.
  Texture StretchedCopy(Texture src, int w, int h);

  // ---- Surfaces ----
  // A surface of w x h pixels, filled with opaque black.
  Surface CreateSurface(int w, int h);
  // Fills the whole surface with a picture scaled to the surface's size (no colour key).
  bool FillSurface(Surface surf, const void* data, std::size_t size);
  bool FillSurface(Surface surf, const std::vector<std::uint8_t>& bytes) {
    return FillSurface(surf, bytes.data(), bytes.size());
  }
  bool FillSurfaceFile(Surface surf, const std::string& path);
  // Copies a rectangle of one surface onto another at (x, y), without blending, clipped
  // to both surfaces.
  bool CopySurfaceRect(Surface src, Rect srcRect, Surface dst, int x, int y);
  // Sets one pixel / fills a rectangle of a surface (tests and tools).
  bool FillSurfaceRect(Surface surf, Rect r, Color c);
  Size SurfaceSize(Surface surf) const;
  void ReleaseSurface(Surface surf);
  bool Valid(Surface surf) const;

  // ---- The current target ----
  // Draws into a render-target texture; an empty handle means the output (window or
  // headless surface). False (and the target unchanged) for a texture that is not a target.
  bool SetTarget(Texture target);
  Texture Target() const;
  Size TargetSize() const;
  // A number that changes whenever something is drawn into the target (an empty handle:
  // the output); 0 for an unknown handle. Lets a caller tell a target it drew from
  // before has new content.
  std::uint64_t ContentVersion(Texture target) const;
  // Restricts drawing to a rectangle of the current target; nothing = no restriction.
  // Changing the target removes the clip.
  void SetClip(std::optional<Rect> clip);
  std::optional<Rect> Clip() const;

  // Fills the whole current target (ignoring the clip).
  void Clear(Color c);
  // Copies a rectangle of a surface (or texture) to (x, y) of the current target 1:1,
  // without blending (the alpha of the source is copied, not mixed).
  bool CopyRect(Surface src, Rect srcRect, int x, int y);
  bool CopyRect(Texture src, Rect srcRect, int x, int y);
  // Draws a texture (or the part `src` of it) with its top-left corner at (x, y), scaled
  // by (scaleX, scaleY), its colour multiplied by the colour and its alpha by the colour's
  // alpha, blended over what is there. Fully transparent pixels leave the target as is.
  void DrawSprite(Texture tex, std::optional<Rect> src, float x, float y, float scaleX = 1.0f, float scaleY = 1.0f,
                  Color color = Color::White());
  // Draws a texture stretched to a rectangle (the host's pictures).
  void DrawStretched(Texture tex, Rect dst, Color color = Color::White());
  void FillRect(Rect r, Color c);                          // blended when c.a < 255
  void DrawRectOutline(Rect r, Color c, int thickness = 1);  // inside the rectangle
  void DrawLine(int x1, int y1, int x2, int y2, Color c, int width = 1);

  // ---- Text ----
  // Opens another font file; false (the old font kept) when it cannot be opened.
  bool LoadFont(const std::string& path = kDefaultFontPath, int pixels = kDefaultFontPixels);
  bool HasFont() const;
  // Height of one line of text.
  int LineHeight() const;
  // Every text call takes the weight; bold lines are as high as regular ones, and wider.
  // Size of the text on one line (line breaks in the text start new lines).
  Size MeasureText(std::string_view utf8, FontWeight weight = FontWeight::Regular) const;
  // Draws the text from (x, y), unclipped to the right; "\n" and "\r\n" start new lines.
  bool DrawText(std::string_view utf8, Color c, int x, int y, FontWeight weight = FontWeight::Regular);
  // Draws the text inside a rectangle: wrapped at the rectangle's width when wrap is on
  // (between words where there are blanks, else between characters), each line aligned,
  // clipped to the rectangle.
  bool DrawTextInRect(std::string_view utf8, Color c, Rect r, TextAlign align = TextAlign::Left, bool wrap = true,
                      FontWeight weight = FontWeight::Regular);
  // The lines the text is broken into at that width (0 = no wrapping).
  std::vector<std::string> WrapText(std::string_view utf8, int width,
                                    FontWeight weight = FontWeight::Regular) const;

  // ---- Output ----
  // Shows the output (window); nothing for the headless renderer.
  void Present();
  // Reads the current target.
  Color ReadPixel(int x, int y) const;
  // The whole current target, 4 bytes per pixel in the order r, g, b, a, rows top to bottom.
  std::vector<std::uint8_t> ReadPixels() const;
  // Saves the current target as a PNG file.
  bool SavePng(const std::string& path) const;

  struct Impl;

 private:
  explicit Renderer(std::unique_ptr<Impl> impl);
  std::vector<std::string> WrapUncached(std::string_view utf8, int width, FontWeight weight) const;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plat
