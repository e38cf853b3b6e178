#include "platform/render.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "support/picture_bytes.h"
#include "support/test_support.h"

namespace {

using plat::Color;
using plat::Rect;
using plat::Renderer;
using plat::Size;
using plat::Texture;

using picbytes::Bytes;
using picbytes::Bmp;
using picbytes::Jpg;
using picbytes::Png;
using picbytes::Tga;

// Left column pure black, middle column (0, 0, 1), right column red.
Color KeyPattern(int x, int) {
  if (x == 0) return Color{0, 0, 0, 255};
  if (x == 1) return Color{0, 0, 1, 255};
  return Color{200, 10, 10, 255};
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override { r = Renderer::CreateHeadless(64, 48); }
  std::unique_ptr<Renderer> r;
  const Color green{0, 200, 0, 255};
};

::testing::AssertionResult Near(Color got, Color want, int tol = 2) {
  auto off = [&](int a, int b) { return std::abs(a - b) > tol; };
  if (off(got.r, want.r) || off(got.g, want.g) || off(got.b, want.b)) {
    return ::testing::AssertionFailure() << "got (" << int(got.r) << "," << int(got.g) << "," << int(got.b)
                                         << ") want (" << int(want.r) << "," << int(want.g) << "," << int(want.b)
                                         << ")";
  }
  return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------
// Textures and the black key

TEST_F(RenderTest, PureBlackIsTransparentAndNearBlackIsKeptInEveryFormat) {
  const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> pictures = {
      {"png", Png(3, 2, KeyPattern)}, {"bmp", Bmp(3, 2, KeyPattern)}, {"tga", Tga(3, 2, KeyPattern)}};
  for (const auto& [name, bytes] : pictures) {
    SCOPED_TRACE(name);
    Texture t = r->LoadTexture(bytes);
    ASSERT_TRUE(t) << r->LastError();
    EXPECT_EQ(r->TextureSize(t), (Size{3, 2}));
    r->Clear(green);
    r->DrawSprite(t, std::nullopt, 10, 10);
    EXPECT_EQ(r->ReadPixel(10, 10), green);               // black: the background shows
    EXPECT_EQ(r->ReadPixel(10, 11), green);
    EXPECT_EQ(r->ReadPixel(11, 10), (Color{0, 0, 1, 255}));  // (0, 0, 1) is drawn
    EXPECT_EQ(r->ReadPixel(12, 11), (Color{200, 10, 10, 255}));
    EXPECT_EQ(r->ReadPixel(13, 10), green);  // beyond the picture
    r->ReleaseTexture(t);
  }
}

TEST_F(RenderTest, PictureFilesLoadAndBadPicturesFailWithoutCrashing) {
  testsupport::TempDir dir;
  const auto good = dir / "face.dat";  // the name says nothing: the bytes do
  {
    auto bytes = Png(5, 4, [](int, int) { return Color{9, 8, 7, 255}; });
    std::ofstream(good, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  }
  Texture t = r->LoadTextureFile(good.string());
  ASSERT_TRUE(t) << r->LastError();
  EXPECT_EQ(r->TextureSize(t), (Size{5, 4}));

  EXPECT_FALSE(r->LoadTextureFile((dir / "missing.bmp").string()));
  EXPECT_FALSE(r->LastError().empty());
  const std::vector<std::uint8_t> junk = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'};
  EXPECT_FALSE(r->LoadTexture(junk));
  EXPECT_FALSE(r->LoadTexture(nullptr, 0));
  // A truncated picture.
  auto png = Png(8, 8, KeyPattern);
  png.resize(png.size() / 2);
  EXPECT_FALSE(r->LoadTexture(png));

  // Released and never-valid handles do nothing.
  r->ReleaseTexture(t);
  r->ReleaseTexture(t);
  EXPECT_FALSE(r->Valid(t));
  EXPECT_EQ(r->TextureSize(t), (Size{0, 0}));
  r->Clear(green);
  r->DrawSprite(t, std::nullopt, 0, 0);
  r->DrawSprite(Texture{12345}, std::nullopt, 0, 0);
  EXPECT_EQ(r->ReadPixel(0, 0), green);
}

TEST_F(RenderTest, TextureAtARequestedSizeAndPictureWithoutKey) {
  auto bytes = Png(2, 2, [](int x, int) { return x == 0 ? Color{0, 0, 0, 255} : Color{0, 0, 255, 255}; });
  Texture t = r->LoadTexture(bytes, 8, 6);
  ASSERT_TRUE(t);
  EXPECT_EQ(r->TextureSize(t), (Size{8, 6}));
  r->Clear(green);
  r->DrawSprite(t, std::nullopt, 0, 0);
  EXPECT_EQ(r->ReadPixel(0, 0), green);                      // the key survives the scaling
  EXPECT_EQ(r->ReadPixel(7, 5), (Color{0, 0, 255, 255}));

  // A control picture keeps its black.
  Texture p = r->LoadPicture(bytes.data(), bytes.size());
  ASSERT_TRUE(p);
  r->DrawSprite(p, std::nullopt, 20, 20);
  EXPECT_EQ(r->ReadPixel(20, 20), (Color{0, 0, 0, 255}));
}

// Hostile and edge-case picture bytes: each either decodes to its size or is refused
// cleanly by every entry point that decodes (texture, scaled texture, control picture,
// surface fill), before the image library can crash, spin or ask for gigabytes.
struct PictureCase {
  const char* name;
  Bytes bytes;
  Size decoded;  // 0 x 0: refused
};

// Offset of the first frame header (baseline or progressive) of a JPG.
std::size_t JpgFrameAt(const Bytes& jpg) {
  for (std::size_t i = 2; i + 9 < jpg.size(); ++i) {
    if (jpg[i] == 0xFF && (jpg[i + 1] == 0xC0 || jpg[i + 1] == 0xC2)) return i;
  }
  ADD_FAILURE() << "no frame header";
  return 0;
}

Bytes Patched(Bytes b, std::size_t at, std::initializer_list<std::uint8_t> values) {
  for (std::uint8_t v : values) b.at(at++) = v;
  return b;
}

Bytes Cut(Bytes b, std::size_t n) {
  b.resize(n);
  return b;
}

Bytes Joined(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<PictureCase> PictureCases() {
  const auto red = picbytes::Plain(Color{200, 10, 10, 255});
  const Bytes png = Png(4, 3, red);
  const Bytes jpg = Jpg(8, 8, red);
  const std::size_t sof = JpgFrameAt(jpg);
  const Bytes bmp = Bmp(3, 2, red);
  const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0,    0,    0,    0xFF, 0xFF, 0xFF, 0x21, 0xF9,
                     4,   1,   0,   0,   0,   0,   0x2C, 0, 0, 0, 0,    1, 0, 1, 0, 0, 2, 1, 0x44, 0,    0x3B};
  const Bytes colourMapped = {0, 1, 1, 0, 0, 2, 0, 24, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0,  // 2 x 1, two colours
                              10, 10, 200, 10, 200, 10, 0, 1};
  const Bytes rle = Joined(picbytes::TgaHeader(10, 4, 1), {0x83, 10, 10, 200});  // one run of 4 pixels
  return {
      {"png", png, {4, 3}},
      {"jpg", jpg, {8, 8}},
      {"bmp", bmp, {3, 2}},
      {"bmp with rows top to bottom", Patched(bmp, 22, {0xFE, 0xFF, 0xFF, 0xFF}), {3, 2}},
      {"tga", Tga(3, 2, red), {3, 2}},
      {"tga run-length coded", rle, {4, 1}},
      {"tga colour-mapped", colourMapped, {2, 1}},
      {"tga 4096 wide", Tga(4096, 1, red), {4096, 1}},
      {"empty", Bytes{}, {}},
      {"unknown signature (GIF)", gif, {}},
      {"text", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e', ' ', 'a', 't', ' ', 'a', 'l', 'l'}, {}},
      {"png zero height", Patched(png, 20, {0, 0, 0, 0}), {}},
      {"png zero width", Patched(png, 16, {0, 0, 0, 0}), {}},
      {"png 4097 wide", Png(4097, 1, red), {}},
      {"png chunk claiming 654 MB", picbytes::HugeChunkPng(), {}},
      {"png chunk one byte past the end", picbytes::WithPngChunkLength(png, "IEND", 1), {}},
      {"png without IEND", Cut(png, png.size() - 12), {}},
      {"png signature only", Cut(png, 8), {}},
      {"png cut inside its header", Cut(png, 20), {}},
      {"png cut in half", Cut(png, png.size() / 2), {}},
      {"jpg zero height", Patched(jpg, sof + 5, {0, 0}), {}},
      {"jpg 5000 wide", Patched(jpg, sof + 7, {0x13, 0x88}), {}},
      {"jpg segment past the end", Cut(jpg, 6), {}},
      {"jpg marker only", Cut(jpg, 3), {}},
      {"bmp zero width", Patched(bmp, 18, {0, 0, 0, 0}), {}},
      {"bmp 1 x 4097", Bmp(1, 4097, red), {}},
      {"bmp unknown info header", Patched(bmp, 14, {20, 0, 0, 0}), {}},
      {"bmp cut inside its header", Cut(bmp, 20), {}},
      {"tga 16 x 0", picbytes::ZeroHeightTga(), {}},
      {"tga 0 x 16", picbytes::TgaHeader(2, 0, 16), {}},
      {"tga 4097 wide", Tga(4097, 1, red), {}},
      {"tga header cut", Cut(Tga(3, 2, red), 17), {}},
      {"tga short of its pixels", Cut(Tga(16, 16, red), 18 + 30), {}},
      {"tga run-length coded short of its packets", Joined(picbytes::TgaHeader(10, 200, 1), {0xFF, 1, 2, 3}), {}},
      {"tga unknown image type", Patched(Tga(3, 2, red), 2, {4}), {}},
      {"tga unknown colour-map type", Patched(Tga(3, 2, red), 1, {2}), {}},
      {"tga unknown pixel depth", Patched(Tga(3, 2, red), 16, {12}), {}},
      {"tga colour-mapped without its map", Patched(colourMapped, 1, {0}), {}},
  };
}

TEST_F(RenderTest, HostilePicturesAreRefusedAtEveryDecodeAndGoodOnesStillLoad) {
  plat::Surface surf = r->CreateSurface(6, 5);
  ASSERT_TRUE(surf);
  for (const PictureCase& c : PictureCases()) {
    SCOPED_TRACE(c.name);
    const bool good = c.decoded != Size{};
    Texture t = r->LoadTexture(c.bytes);
    EXPECT_EQ(bool(t), good) << r->LastError();
    EXPECT_EQ(r->TextureSize(t), c.decoded);
    if (!good) {
      EXPECT_NE(r->LastError(), "");
    }
    Texture scaled = r->LoadTexture(c.bytes, 5, 5);
    EXPECT_EQ(r->TextureSize(scaled), (good ? Size{5, 5} : Size{}));
    Texture picture = r->LoadPicture(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(r->TextureSize(picture), c.decoded);
    EXPECT_EQ(r->FillSurface(surf, c.bytes), good);
    for (Texture made : {t, scaled, picture}) r->ReleaseTexture(made);
  }
  EXPECT_FALSE(r->LoadTexture(nullptr, 0));
}

TEST_F(RenderTest, OnlyOpaqueBlackIsKeyedOutAndHalfTransparentBlackBlends) {
  const Bytes pic = Png(3, 1, [](int x, int) {
    if (x == 0) return Color{0, 0, 0, 128};
    if (x == 1) return Color{0, 0, 0, 255};
    return Color{0, 0, 0, 0};
  });
  Texture t = r->LoadTexture(pic);
  ASSERT_TRUE(t) << r->LastError();
  r->Clear(green);
  r->DrawSprite(t, std::nullopt, 0, 0);
  EXPECT_TRUE(Near(r->ReadPixel(0, 0), Color{0, 100, 0, 255}));  // half black over green
  EXPECT_EQ(r->ReadPixel(1, 0), green);                         // opaque black: keyed out
  EXPECT_EQ(r->ReadPixel(2, 0), green);
}

// ---------------------------------------------------------------------------
// Sprites

TEST_F(RenderTest, SpriteSourceRectangleScaleAndColour) {
  // Four columns: red, green, blue, white.
  const Color cols[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
  Texture t = r->LoadTexture(Png(4, 2, [&](int x, int) { return cols[x]; }));
  ASSERT_TRUE(t);
  const Color bg{10, 20, 30, 255};
  r->Clear(bg);
  // Columns 1 and 2, twice as wide and three times as high.
  r->DrawSprite(t, Rect{1, 0, 2, 2}, 5, 5, 2.0f, 3.0f);
  EXPECT_EQ(r->ReadPixel(5, 5), cols[1]);
  EXPECT_EQ(r->ReadPixel(6, 10), cols[1]);
  EXPECT_EQ(r->ReadPixel(7, 5), cols[2]);
  EXPECT_EQ(r->ReadPixel(8, 10), cols[2]);
  EXPECT_EQ(r->ReadPixel(9, 5), bg);
  EXPECT_EQ(r->ReadPixel(5, 11), bg);
  EXPECT_EQ(r->ReadPixel(4, 5), bg);

  // Colour modulation: white drawn in red is red; blue drawn in red is black... but
  // pure black from modulation is drawn (only the picture's own black is keyed).
  r->Clear(bg);
  r->DrawSprite(t, Rect{3, 0, 1, 1}, 0, 0, 1, 1, Color{255, 0, 0, 255});
  EXPECT_EQ(r->ReadPixel(0, 0), (Color{255, 0, 0, 255}));
  r->DrawSprite(t, Rect{2, 0, 1, 1}, 1, 0, 1, 1, Color{255, 0, 0, 255});
  EXPECT_EQ(r->ReadPixel(1, 0), (Color{0, 0, 0, 255}));
  // Half alpha over black.
  r->Clear(Color{0, 0, 0, 255});
  r->DrawSprite(t, Rect{3, 0, 1, 1}, 0, 0, 1, 1, Color{255, 255, 255, 128});
  EXPECT_TRUE(Near(r->ReadPixel(0, 0), Color{128, 128, 128, 255}));
  // A grey fade frame: white at level 64.
  r->DrawSprite(t, Rect{3, 0, 1, 1}, 2, 0, 1, 1, Color{64, 64, 64, 255});
  EXPECT_TRUE(Near(r->ReadPixel(2, 0), Color{64, 64, 64, 255}));
  // Alpha 0 draws nothing.
  r->DrawSprite(t, Rect{3, 0, 1, 1}, 4, 0, 1, 1, Color{255, 255, 255, 0});
  EXPECT_EQ(r->ReadPixel(4, 0), (Color{0, 0, 0, 255}));
}

TEST_F(RenderTest, SourceRectangleOutsideTheTextureDrawsOnlyItsInsidePart) {
  Texture t = r->LoadTexture(Png(2, 2, [](int, int) { return Color{255, 0, 0, 255}; }));
  ASSERT_TRUE(t);
  r->Clear(green);
  // The source begins two columns left of the texture: the picture lands two pixels in.
  r->DrawSprite(t, Rect{-2, 0, 4, 2}, 10, 10);
  EXPECT_EQ(r->ReadPixel(10, 10), green);
  EXPECT_EQ(r->ReadPixel(11, 10), green);
  EXPECT_EQ(r->ReadPixel(12, 10), (Color{255, 0, 0, 255}));
  EXPECT_EQ(r->ReadPixel(13, 11), (Color{255, 0, 0, 255}));
  // Empty and wholly outside source rectangles, zero and absurd scales draw nothing.
  r->Clear(green);
  r->DrawSprite(t, Rect{0, 0, 0, 2}, 0, 0);
  r->DrawSprite(t, Rect{5, 5, 2, 2}, 0, 0);
  r->DrawSprite(t, std::nullopt, 0, 0, 0.0f, 1.0f);
  r->DrawSprite(t, std::nullopt, 0, 0, 1e30f, 1e30f);
  r->DrawSprite(t, std::nullopt, -1e30f, 0);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(r->ReadPixel(x, 0), green);
}

// ---------------------------------------------------------------------------
// Surfaces, targets, copies

TEST_F(RenderTest, SurfacesCopyRectanglesWithoutBlendingOrKey) {
  plat::Surface floor = r->CreateSurface(32, 24);
  plat::Surface tile = r->CreateSurface(4, 4);
  ASSERT_TRUE(floor);
  ASSERT_TRUE(tile);
  EXPECT_EQ(r->SurfaceSize(floor), (Size{32, 24}));
  // A new surface is opaque black.
  r->Clear(green);
  ASSERT_TRUE(r->CopyRect(floor, Rect{0, 0, 32, 24}, 0, 0));
  EXPECT_EQ(r->ReadPixel(5, 5), (Color{0, 0, 0, 255}));

  // A tile filled from a picture (scaled to the surface, black kept).
  auto pic = Png(2, 2, [](int x, int) { return x == 0 ? Color{0, 0, 0, 255} : Color{250, 200, 0, 255}; });
  ASSERT_TRUE(r->FillSurface(tile, pic));
  ASSERT_TRUE(r->CopySurfaceRect(tile, Rect{0, 0, 4, 4}, floor, 8, 4));
  ASSERT_TRUE(r->FillSurfaceRect(floor, Rect{0, 0, 2, 2}, Color{1, 2, 3, 255}));

  // The visible part of the floor goes to (10, 10) of the target.
  r->Clear(green);
  ASSERT_TRUE(r->CopyRect(floor, Rect{8, 4, 4, 4}, 10, 10));
  EXPECT_EQ(r->ReadPixel(10, 10), (Color{0, 0, 0, 255}));  // drawn, not keyed
  EXPECT_EQ(r->ReadPixel(13, 13), (Color{250, 200, 0, 255}));
  EXPECT_EQ(r->ReadPixel(14, 10), green);
  ASSERT_TRUE(r->CopyRect(floor, Rect{0, 0, 1, 1}, 0, 0));
  EXPECT_EQ(r->ReadPixel(0, 0), (Color{1, 2, 3, 255}));
  // A source partly outside the surface copies what is inside, in place.
  r->Clear(green);
  ASSERT_TRUE(r->CopyRect(floor, Rect{-1, -1, 3, 3}, 20, 20));
  EXPECT_EQ(r->ReadPixel(20, 20), green);
  EXPECT_EQ(r->ReadPixel(21, 21), (Color{1, 2, 3, 255}));

  // A see-through tile replaces what the floor held there; it is not laid over it.
  ASSERT_TRUE(r->FillSurfaceRect(floor, Rect{16, 0, 4, 4}, Color{9, 9, 9, 255}));
  ASSERT_TRUE(r->FillSurface(tile, Png(1, 1, [](int, int) { return Color{200, 0, 0, 0}; })));
  ASSERT_TRUE(r->CopySurfaceRect(tile, Rect{0, 0, 4, 4}, floor, 16, 0));
  r->Clear(green);
  ASSERT_TRUE(r->CopyRect(floor, Rect{16, 0, 1, 1}, 0, 0));
  EXPECT_EQ(r->ReadPixel(0, 0), (Color{200, 0, 0, 255}));

  // Later changes reach the next copy.
  ASSERT_TRUE(r->FillSurfaceRect(floor, Rect{0, 0, 1, 1}, Color{7, 7, 7, 255}));
  ASSERT_TRUE(r->CopyRect(floor, Rect{0, 0, 1, 1}, 0, 0));
  EXPECT_EQ(r->ReadPixel(0, 0), (Color{7, 7, 7, 255}));

  // Bad pictures and released surfaces fail cleanly.
  EXPECT_FALSE(r->FillSurface(tile, std::vector<std::uint8_t>{1, 2, 3}));
  r->ReleaseSurface(tile);
  EXPECT_FALSE(r->CopySurfaceRect(tile, Rect{0, 0, 4, 4}, floor, 0, 0));
  EXPECT_FALSE(r->CopyRect(tile, Rect{0, 0, 4, 4}, 0, 0));
  EXPECT_FALSE(r->CreateSurface(0, 5));
}

TEST_F(RenderTest, RenderTargetsAndTheirComposition) {
  Texture screen = r->CreateTarget(20, 10);
  ASSERT_TRUE(screen);
  // A new target is transparent: drawing it leaves the background.
  r->Clear(green);
  r->DrawSprite(screen, std::nullopt, 0, 0);
  EXPECT_EQ(r->ReadPixel(0, 0), green);

  ASSERT_TRUE(r->SetTarget(screen));
  EXPECT_EQ(r->TargetSize(), (Size{20, 10}));
  r->Clear(Color{0, 0, 0, 255});
  r->FillRect(Rect{2, 2, 3, 3}, Color{255, 255, 0, 255});
  EXPECT_EQ(r->ReadPixel(3, 3), (Color{255, 255, 0, 255}));
  // The target cannot be drawn into itself.
  r->DrawSprite(screen, std::nullopt, 0, 0);
  EXPECT_FALSE(r->CopyRect(screen, Rect{0, 0, 2, 2}, 0, 0));
  ASSERT_TRUE(r->SetTarget(Texture{}));
  EXPECT_EQ(r->TargetSize(), (Size{64, 48}));

  r->Clear(green);
  r->DrawSprite(screen, std::nullopt, 30, 30);
  EXPECT_EQ(r->ReadPixel(33, 33), (Color{255, 255, 0, 255}));
  EXPECT_EQ(r->ReadPixel(30, 30), (Color{0, 0, 0, 255}));
  EXPECT_EQ(r->ReadPixel(29, 30), green);

  // Only targets can be targets.
  Texture plain = r->LoadTexture(Png(2, 2, KeyPattern));
  EXPECT_FALSE(r->SetTarget(plain));
  EXPECT_EQ(r->Target(), Texture{});
  // Releasing the current target returns to the output.
  ASSERT_TRUE(r->SetTarget(screen));
  r->ReleaseTexture(screen);
  EXPECT_EQ(r->Target(), Texture{});
  EXPECT_EQ(r->TargetSize(), (Size{64, 48}));
}

TEST_F(RenderTest, ClipRectanglesLinesAndOutlines) {
  r->Clear(green);
  r->SetClip(Rect{0, 0, 5, 5});
  r->FillRect(Rect{0, 0, 64, 48}, Color{255, 0, 0, 255});
  EXPECT_EQ(r->ReadPixel(4, 4), (Color{255, 0, 0, 255}));
  EXPECT_EQ(r->ReadPixel(5, 5), green);
  // Clear ignores the clip; the clip stays.
  r->Clear(green);
  EXPECT_EQ(r->ReadPixel(40, 40), green);
  ASSERT_TRUE(r->Clip().has_value());
  r->SetClip(Rect{0, 0, 0, 0});  // an empty clip hides everything
  r->FillRect(Rect{0, 0, 64, 48}, Color{255, 0, 0, 255});
  EXPECT_EQ(r->ReadPixel(0, 0), green);
  r->SetClip(std::nullopt);

  r->DrawRectOutline(Rect{10, 10, 10, 8}, Color{0, 0, 255, 255}, 2);
  EXPECT_EQ(r->ReadPixel(10, 10), (Color{0, 0, 255, 255}));
  EXPECT_EQ(r->ReadPixel(11, 11), (Color{0, 0, 255, 255}));
  EXPECT_EQ(r->ReadPixel(19, 17), (Color{0, 0, 255, 255}));
  EXPECT_EQ(r->ReadPixel(12, 12), green);
  EXPECT_EQ(r->ReadPixel(20, 10), green);

  r->DrawLine(30, 5, 30, 20, Color{255, 255, 255, 255}, 4);
  EXPECT_EQ(r->ReadPixel(28, 10), (Color{255, 255, 255, 255}));
  EXPECT_EQ(r->ReadPixel(31, 10), (Color{255, 255, 255, 255}));
  EXPECT_EQ(r->ReadPixel(33, 10), green);
  r->DrawLine(40, 40, 50, 40, Color{255, 0, 255, 255});
  EXPECT_EQ(r->ReadPixel(45, 40), (Color{255, 0, 255, 255}));
  EXPECT_EQ(r->ReadPixel(45, 41), green);
  r->DrawLine(40, 20, 50, 30, Color{255, 0, 255, 255}, 3);
  EXPECT_EQ(r->ReadPixel(45, 25), (Color{255, 0, 255, 255}));
  // A half-transparent fill blends.
  r->FillRect(Rect{60, 0, 4, 4}, Color{255, 0, 0, 128});
  EXPECT_TRUE(Near(r->ReadPixel(60, 0), Color{128, 100, 0, 255}));
}

// ---------------------------------------------------------------------------
// Text

TEST_F(RenderTest, ChineseTextDrawsInItsColourInsideItsBox) {
  ASSERT_TRUE(r->HasFont()) << r->LastError();
  EXPECT_GE(r->LineHeight(), 12);
  EXPECT_LE(r->LineHeight(), 16);
  const std::string text = "游戏存档";
  const Size s = r->MeasureText(text);
  EXPECT_GT(s.w, 30);  // four characters of about 12 pixels
  EXPECT_LT(s.w, 60);
  EXPECT_EQ(s.h, r->LineHeight());

  r->Clear(Color{0, 0, 0, 255});
  ASSERT_TRUE(r->DrawText(text, Color{255, 0, 0, 255}, 6, 8));
  int inside = 0, outside = 0, pureRed = 0, otherHue = 0;
  auto px = r->ReadPixels();
  ASSERT_EQ(px.size(), 64u * 48u * 4u);
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      const std::uint8_t* p = &px[(static_cast<std::size_t>(y) * 64 + x) * 4];
      if (p[0] == 0 && p[1] == 0 && p[2] == 0) continue;
      const bool in = x >= 6 && y >= 8 && x < 6 + s.w && y < 8 + s.h;
      ++(in ? inside : outside);
      if (p[0] == 255 && p[1] == 0 && p[2] == 0) ++pureRed;
      if (p[1] != 0 || p[2] != 0) ++otherHue;
    }
  }
  EXPECT_GT(inside, 40);
  EXPECT_EQ(outside, 0);
  EXPECT_GT(pureRed, 0);  // the glyphs' solid cores
  EXPECT_EQ(otherHue, 0);

  // Line breaks start new lines.
  EXPECT_EQ(r->MeasureText("甲\r\n乙乙").h, 2 * r->LineHeight());
  EXPECT_EQ(r->MeasureText("").w, 0);
  EXPECT_TRUE(r->DrawText("", Color::White(), 0, 0));
  // Broken UTF-8 neither crashes nor loops.
  r->DrawText(std::string("\xE6\xB8", 2), Color::White(), 0, 0);
  r->WrapText(std::string("\xE6\xB8\xFF\xC0 abc", 8), 5);
}

TEST_F(RenderTest, WrappingBreaksChineseAnywhereAndWordsAtBlanks) {
  const std::string ten = "一二三四五六七八九十";
  const int w = r->MeasureText("一二三").w;
  auto lines = r->WrapText(ten, w);
  ASSERT_GE(lines.size(), 3u);
  std::string joined;
  for (const auto& l : lines) {
    EXPECT_LE(r->MeasureText(l).w, w) << l;
    EXPECT_FALSE(l.empty());
    joined += l;
  }
  EXPECT_EQ(joined, ten);

  const int ww = r->MeasureText("hello wor").w;
  auto words = r->WrapText("hello world again", ww);
  EXPECT_EQ(words, (std::vector<std::string>{"hello", "world", "again"}));
  const int wide = r->MeasureText("hello world").w;
  EXPECT_EQ(r->WrapText("hello world again", wide), (std::vector<std::string>{"hello world", "again"}));
  // A width narrower than one character still gives every character, one a line.
  auto narrow = r->WrapText("甲乙", 1);
  EXPECT_EQ(narrow, (std::vector<std::string>{"甲", "乙"}));
  // No width: the lines as written.
  EXPECT_EQ(r->WrapText("a\nb", 0), (std::vector<std::string>{"a", "b"}));
}

// Closing punctuation never starts a wrapped line: the character before it goes down
// with it, as Chinese typesetting does.
TEST_F(RenderTest, WrappedLinesNeverStartWithClosingPunctuation) {
  const std::vector<std::string> closing = {"。", "，", "！", "？", "、", "；", "：", "）", "」", "”", "…"};
  const std::vector<std::string> texts = {
      "一二三。四五六，七八九！十一二？三四五", "你好，我是道长。你要学习炼尸咒吗？需要一千金币！",
      "一二三」。四五六七八九十",  // a run of two
      "。。。。。。",              // nothing but punctuation: it still all shows
  };
  for (const auto& text : texts) {
    for (const int chars : {1, 2, 3, 4, 5}) {
      std::string fit;
      for (int k = 0; k < chars; ++k) fit += "中";
      const int w = r->MeasureText(fit).w;
      const auto lines = r->WrapText(text, w);
      std::string joined;
      for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& l = lines[i];
        SCOPED_TRACE(text + " in " + std::to_string(chars) + ": line " + l);
        EXPECT_FALSE(l.empty());
        EXPECT_LE(r->MeasureText(l).w, w);
        const std::string first =
            l.substr(0, l.size() >= 3 && static_cast<unsigned char>(l[0]) >= 0xE0 ? 3 : 1);
        // (A line of three holds a character with the longest run of punctuation.)
        if (i > 0 && text != "。。。。。。" && chars >= 3) {
          EXPECT_EQ(std::count(closing.begin(), closing.end(), first), 0);
        }
        joined += l;
      }
      EXPECT_EQ(joined, text);
    }
  }
}

TEST_F(RenderTest, TextInARectangleIsAlignedAndClipped) {
  auto litColumns = [&](int y0, int y1, int& first, int& last) {
    first = 1000;
    last = -1;
    for (int y = y0; y < y1; ++y) {
      for (int x = 0; x < 64; ++x) {
        Color c = r->ReadPixel(x, y);
        if (c.r > 60) {
          first = std::min(first, x);
          last = std::max(last, x);
        }
      }
    }
  };
  const Rect box{4, 4, 56, 14};
  const int tw = r->MeasureText("中").w;
  int first, last;
  r->Clear(Color::Black());
  r->DrawTextInRect("中", Color::White(), box, plat::TextAlign::Right);
  litColumns(4, 18, first, last);
  EXPECT_GE(first, box.x + box.w - tw - 1);
  EXPECT_LT(last, box.x + box.w);
  r->Clear(Color::Black());
  r->DrawTextInRect("中", Color::White(), box, plat::TextAlign::Centre);
  litColumns(4, 18, first, last);
  EXPECT_GE(first, box.x + (box.w - tw) / 2 - 1);
  EXPECT_LE(last, box.x + (box.w + tw) / 2 + 1);
  r->Clear(Color::Black());
  r->DrawTextInRect("中", Color::White(), box, plat::TextAlign::Left);
  litColumns(4, 18, first, last);
  EXPECT_LE(first, box.x + 3);

  // Wrapped lines below the rectangle are cut off, and nothing leaks outside it.
  r->Clear(Color::Black());
  r->DrawTextInRect("一二三四五六七八九十一二三四五六七八九十", Color::White(), Rect{4, 4, 30, 14});
  litColumns(18, 48, first, last);
  EXPECT_EQ(last, -1);
  litColumns(0, 18, first, last);
  EXPECT_GE(first, 4);
  EXPECT_LT(last, 34);
  // The clip in force stays in force.
  ASSERT_FALSE(r->Clip().has_value());
}

TEST_F(RenderTest, AMissingFontIsReportedAndTheOldOneKept) {
  EXPECT_FALSE(r->LoadFont("/nonexistent/font.ttc"));
  EXPECT_FALSE(r->LastError().empty());
  EXPECT_TRUE(r->HasFont());
  EXPECT_FALSE(r->LoadFont(plat::kDefaultFontPath, 0));
  EXPECT_TRUE(r->LoadFont(plat::kDefaultFontPath, 24));
  EXPECT_GT(r->MeasureText("中").w, 18);
}

// ---------------------------------------------------------------------------
// Output

TEST_F(RenderTest, ScreenshotsRoundTripThroughPng) {
  testsupport::TempDir dir;
  r->Clear(Color{12, 34, 56, 255});
  r->FillRect(Rect{1, 1, 2, 2}, Color{200, 100, 50, 255});
  const auto path = (dir / "shot.png").string();
  ASSERT_TRUE(r->SavePng(path)) << r->LastError();
  Texture back = r->LoadPictureFile(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(r->TextureSize(back), (Size{64, 48}));
  r->Clear(Color::Black());
  r->DrawSprite(back, std::nullopt, 0, 0);
  EXPECT_EQ(r->ReadPixel(1, 1), (Color{200, 100, 50, 255}));
  EXPECT_EQ(r->ReadPixel(10, 10), (Color{12, 34, 56, 255}));
  EXPECT_FALSE(r->SavePng((dir / "no/such/folder/x.png").string()));
  // Pixels outside the target read as nothing.
  EXPECT_EQ(r->ReadPixel(-1, 0), (Color{0, 0, 0, 0}));
  EXPECT_EQ(r->ReadPixel(64, 0), (Color{0, 0, 0, 0}));
  EXPECT_THROW(Renderer::CreateHeadless(0, 10), plat::RenderError);
}

TEST(RenderColour, FromBgrTakesTheControlsByteOrder) {
  EXPECT_EQ(Color::FromBgr(0x0000FF), (Color{255, 0, 0, 255}));
  EXPECT_EQ(Color::FromBgr(0x00FF00), (Color{0, 255, 0, 255}));
  EXPECT_EQ(Color::FromBgr(0xFF0000, 7), (Color{0, 0, 255, 7}));
  EXPECT_EQ(Color::FromBgr(0x123456), (Color{0x56, 0x34, 0x12, 255}));
}

}  // namespace

// ---------------------------------------------------------------------------
// Caches and content versions

namespace {

// Every pixel of the output after fn drew on a black one.
std::vector<std::uint8_t> Drawn(Renderer& r, const std::function<void()>& fn) {
  r.SetTarget(Texture{});
  r.Clear(Color{0, 0, 0, 255});
  fn();
  return r.ReadPixels();
}

}  // namespace

TEST_F(RenderTest, CachedTextDrawsTheSamePixelsAsFreshlyRenderedText) {
  struct Case {
    const char* text;
    Color colour;
    Rect box;
    plat::TextAlign align;
    bool wrap;
  };
  const Case cases[] = {
      {"村长 说：你好", Color{255, 255, 0, 255}, Rect{2, 2, 60, 40}, plat::TextAlign::Left, true},
      {"一二三四五六七八九十", Color{0, 200, 255, 255}, Rect{0, 10, 30, 30}, plat::TextAlign::Centre, true},
      {"HP 30/30", Color{255, 0, 0, 128}, Rect{5, 5, 50, 14}, plat::TextAlign::Right, false},
  };
  for (const Case& c : cases) {
    auto draw = [&] { r->DrawTextInRect(c.text, c.colour, c.box, c.align, c.wrap); };
    r->LoadFont();  // starts every cache afresh: the first draw renders and measures
    const auto fresh = Drawn(*r, draw);
    const auto cached = Drawn(*r, draw);
    EXPECT_EQ(cached, fresh) << c.text;
    // The same text in another colour is the cached texture, tinted.
    r->LoadFont();
    const Color other{10, 250, 10, 255};
    const auto freshOther = Drawn(*r, [&] { r->DrawTextInRect(c.text, other, c.box, c.align, c.wrap); });
    EXPECT_EQ(Drawn(*r, [&] { r->DrawTextInRect(c.text, other, c.box, c.align, c.wrap); }), freshOther) << c.text;
    // Wrapping from the cache gives the same lines at every width.
    for (int w : {0, 1, 13, 30, 200}) {
      r->LoadFont();
      const auto lines = r->WrapText(c.text, w);
      EXPECT_EQ(r->WrapText(c.text, w), lines) << c.text << " at " << w;
    }
  }
}

TEST_F(RenderTest, AStretchedCopyDrawsTheSamePixelsAsTheStretchedPicture) {
  const auto opaque = Png(5, 3, [](int x, int y) { return Color{static_cast<std::uint8_t>(40 * x), 90, static_cast<std::uint8_t>(70 * y), 255}; });
  const auto seeThrough =
      Png(4, 4, [](int x, int y) { return Color{200, 30, 30, static_cast<std::uint8_t>((x + y) % 2 == 0 ? 255 : 0)}; });
  for (const auto* bytes : {&opaque, &seeThrough}) {
    const Texture pic = r->LoadPicture(bytes->data(), bytes->size());
    ASSERT_TRUE(pic);
    EXPECT_EQ(r->Opaque(pic), bytes == &opaque);
    for (const Rect dst : {Rect{3, 4, 37, 21}, Rect{0, 0, 64, 48}, Rect{10, 10, 5, 3}}) {
      const Texture copy = r->StretchedCopy(pic, dst.w, dst.h);
      ASSERT_TRUE(copy);
      EXPECT_EQ(r->TextureSize(copy), (Size{dst.w, dst.h}));
      EXPECT_EQ(r->Opaque(copy), r->Opaque(pic));
      const auto want = Drawn(*r, [&] { r->DrawStretched(pic, dst); });
      EXPECT_EQ(Drawn(*r, [&] { r->DrawSprite(copy, std::nullopt, dst.x, dst.y); }), want);
      if (r->Opaque(copy)) {
        EXPECT_EQ(Drawn(*r, [&] { r->CopyRect(copy, Rect{0, 0, dst.w, dst.h}, dst.x, dst.y); }), want);
      }
      r->ReleaseTexture(copy);
    }
  }
  EXPECT_FALSE(r->StretchedCopy(Texture{}, 4, 4));
  EXPECT_FALSE(r->StretchedCopy(r->CreateTarget(4, 4), 4, 4));
}

TEST_F(RenderTest, ContentVersionsMoveWithEveryDrawIntoTheirTarget) {
  const Texture target = r->CreateTarget(16, 16);
  const auto bytes = Png(2, 2, [](int, int) { return Color{1, 2, 3, 255}; });
  const Texture pic = r->LoadPicture(bytes.data(), bytes.size());
  const plat::Surface surf = r->CreateSurface(4, 4);
  const std::vector<std::pair<const char*, std::function<void()>>> draws = {
      {"clear", [&] { r->Clear(green); }},
      {"fill", [&] { r->FillRect(Rect{0, 0, 2, 2}, green); }},
      {"outline", [&] { r->DrawRectOutline(Rect{0, 0, 8, 8}, green); }},
      {"line", [&] { r->DrawLine(0, 0, 5, 5, green); }},
      {"sprite", [&] { r->DrawSprite(pic, std::nullopt, 1, 1); }},
      {"stretched", [&] { r->DrawStretched(pic, Rect{0, 0, 9, 9}); }},
      {"texture copy", [&] { r->CopyRect(pic, Rect{0, 0, 2, 2}, 0, 0); }},
      {"surface copy", [&] { r->CopyRect(surf, Rect{0, 0, 4, 4}, 0, 0); }},
      {"text", [&] { r->DrawText("字", green, 0, 0); }},
  };
  for (const Texture where : {target, Texture{}}) {
    for (const auto& [what, draw] : draws) {
      ASSERT_TRUE(r->SetTarget(where));
      const auto here = r->ContentVersion(where);
      const auto elsewhere = r->ContentVersion(where ? Texture{} : target);
      draw();
      EXPECT_NE(r->ContentVersion(where), here) << what;
      EXPECT_EQ(r->ContentVersion(where ? Texture{} : target), elsewhere) << what;
    }
  }
  // Looking, measuring and choosing a target draw nothing.
  const auto v = r->ContentVersion(target);
  r->SetTarget(target);
  r->ReadPixels();
  r->MeasureText("字");
  r->SetTarget(Texture{});
  EXPECT_EQ(r->ContentVersion(target), v);
  EXPECT_EQ(r->ContentVersion(Texture{12345}), 0u);
}

TEST_F(RenderTest, ATargetIsOpaqueOnlyWhileEveryPixelHasFullAlpha) {
  const Texture t = r->CreateTarget(8, 8);
  const auto half = Png(2, 2, [](int, int) { return Color{200, 100, 50, 128}; });
  const Texture see = r->LoadPicture(half.data(), half.size());
  const auto full = Png(2, 2, [](int, int) { return Color{20, 10, 5, 255}; });
  const Texture solid = r->LoadPicture(full.data(), full.size());
  const plat::Surface surf = r->CreateSurface(8, 8);
  struct Step {
    const char* what;
    std::function<void()> draw;
    bool opaque;
  };
  const Step steps[] = {
      {"new", [] {}, false},
      {"cleared opaque", [&] { r->Clear(Color{1, 2, 3, 255}); }, true},
      {"blended sprites", [&] { r->DrawStretched(see, Rect{0, 0, 8, 8}, Color{255, 255, 255, 77}); }, true},
      {"see-through fill", [&] { r->FillRect(Rect{0, 0, 8, 8}, Color{9, 9, 9, 3}); }, true},
      {"text", [&] { r->DrawText("字", Color{255, 255, 255, 200}, 0, 0); }, true},
      {"opaque copies", [&] { r->CopyRect(solid, Rect{0, 0, 2, 2}, 1, 1); r->CopyRect(surf, Rect{0, 0, 8, 8}, 0, 0); }, true},
      {"a see-through copy", [&] { r->CopyRect(see, Rect{0, 0, 2, 2}, 0, 0); }, false},
      {"cleared opaque again", [&] { r->Clear(Color{0, 0, 0, 255}); }, true},
      {"cleared see-through", [&] { r->Clear(Color{0, 0, 0, 0}); }, false},
  };
  for (const Step& s : steps) {
    ASSERT_TRUE(r->SetTarget(t));
    s.draw();
    EXPECT_EQ(r->Opaque(t), s.opaque) << s.what;
    // What the flag says holds for every pixel.
    if (r->Opaque(t)) {
      const auto px = r->ReadPixels();
      for (std::size_t i = 3; i < px.size(); i += 4) ASSERT_EQ(px[i], 255) << s.what;
    }
  }
  r->SetTarget(Texture{});
  // A surface with see-through pixels makes a copy of it see-through too.
  r->FillSurfaceRect(surf, Rect{0, 0, 1, 1}, Color{0, 0, 0, 0});
  r->SetTarget(t);
  r->Clear(Color{0, 0, 0, 255});
  r->CopyRect(surf, Rect{0, 0, 8, 8}, 0, 0);
  EXPECT_FALSE(r->Opaque(t));
}

namespace {

// How much white text covers a black picture: its red channel summed.
long Ink(const std::vector<std::uint8_t>& px) {
  long n = 0;
  for (std::size_t i = 0; i < px.size(); i += 4) n += px[i];
  return n;
}

TEST_F(RenderTest, BoldTextIsWiderAndDarkerAndKeepsItsOwnCacheEntries) {
  ASSERT_TRUE(r->HasFont()) << r->LastError();
  const std::string text = "确实要";
  const auto bold = plat::FontWeight::Bold;
  const Size regularSize = r->MeasureText(text);
  const Size boldSize = r->MeasureText(text, bold);
  EXPECT_GT(boldSize.w, regularSize.w);
  EXPECT_EQ(boldSize.h, regularSize.h);  // one line height for both

  const auto regularPx = Drawn(*r, [&] { r->DrawText(text, Color::White(), 2, 2); });
  const auto boldPx = Drawn(*r, [&] { r->DrawText(text, Color::White(), 2, 2, bold); });
  EXPECT_GT(Ink(boldPx), Ink(regularPx) * 5 / 4);
  // Each weight keeps its own cached line: regular text after the bold one is regular.
  EXPECT_EQ(Drawn(*r, [&] { r->DrawText(text, Color::White(), 2, 2); }), regularPx);
  EXPECT_EQ(Drawn(*r, [&] { r->DrawTextInRect(text, Color::White(), Rect{2, 2, 60, 20}, plat::TextAlign::Left,
                                              false, bold); }),
            boldPx);
  // A width the regular line just fits in breaks the bold one.
  EXPECT_EQ(r->WrapText(text, regularSize.w).size(), 1u);
  EXPECT_EQ(r->WrapText(text, regularSize.w, bold).size(), 2u);
  EXPECT_EQ(r->WrapText(text, regularSize.w).size(), 1u);
}

}  // namespace
