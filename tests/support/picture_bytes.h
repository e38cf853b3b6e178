// Encoded pictures for tests, in each format the game reads (made here with SDL and
// SDL_image, or by hand for TGA), and the damaged headers that hostile files carry.
#pragma once

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/render.h"
#include "support/test_support.h"

namespace picbytes {

using Bytes = std::vector<std::uint8_t>;
using PixelFn = std::function<plat::Color(int x, int y)>;

inline PixelFn Plain(plat::Color c) {
  return [c](int, int) { return c; };
}

inline Bytes ReadFile(const testsupport::fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline SDL_Surface* MakeSurface(int w, int h, const PixelFn& px) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      plat::Color c = px(x, y);
      auto* p = static_cast<std::uint8_t*>(s->pixels) + y * s->pitch + x * 4;
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
      p[3] = c.a;
    }
  }
  return s;
}

// Saves the picture with `save` into a temporary file and reads the file back.
inline Bytes Encode(int w, int h, const PixelFn& px, const char* name,
                    const std::function<int(SDL_Surface*, const char*)>& save) {
  testsupport::TempDir dir;
  SDL_Surface* s = MakeSurface(w, h, px);
  const auto path = dir / name;
  EXPECT_EQ(save(s, path.string().c_str()), 0) << name;
  SDL_FreeSurface(s);
  return ReadFile(path);
}

// A PNG with alpha.
inline Bytes Png(int w, int h, const PixelFn& px) {
  return Encode(w, h, px, "p.png", [](SDL_Surface* s, const char* f) { return IMG_SavePNG(s, f); });
}

// A 24-bit BMP.
inline Bytes Bmp(int w, int h, const PixelFn& px) {
  return Encode(w, h, px, "p.bmp", [](SDL_Surface* s, const char* f) {
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB24, 0);
    const int result = SDL_SaveBMP(rgb, f);
    SDL_FreeSurface(rgb);
    return result;
  });
}

inline Bytes Jpg(int w, int h, const PixelFn& px) {
  return Encode(w, h, px, "p.jpg", [](SDL_Surface* s, const char* f) { return IMG_SaveJPG(s, f, 95); });
}

// The 18-byte header of a TGA: image type, size and bits per pixel, no id and no colour map.
inline Bytes TgaHeader(std::uint8_t type, int w, int h, std::uint8_t bits = 24) {
  Bytes b(18, 0);
  b[2] = type;
  b[12] = static_cast<std::uint8_t>(w & 0xFF);
  b[13] = static_cast<std::uint8_t>(w >> 8);
  b[14] = static_cast<std::uint8_t>(h & 0xFF);
  b[15] = static_cast<std::uint8_t>(h >> 8);
  b[16] = bits;
  return b;
}

// An uncompressed 24-bit TGA, rows bottom to top: the format carries no signature.
inline Bytes Tga(int w, int h, const PixelFn& px) {
  Bytes b = TgaHeader(2, w, h);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      plat::Color c = px(x, y);
      b.push_back(c.b);
      b.push_back(c.g);
      b.push_back(c.r);
    }
  }
  return b;
}

// Byte offset of the first chunk of that type in a PNG (its length field); fails the test
// when there is none.
inline std::size_t PngChunkAt(const Bytes& png, const std::string& type) {
  for (std::size_t pos = 8; pos + 12 <= png.size();) {
    const std::uint32_t n = (std::uint32_t{png[pos]} << 24) | (std::uint32_t{png[pos + 1]} << 16) |
                            (std::uint32_t{png[pos + 2]} << 8) | png[pos + 3];
    if (std::string(png.begin() + static_cast<long>(pos) + 4, png.begin() + static_cast<long>(pos) + 8) == type) {
      return pos;
    }
    pos += 12 + n;
  }
  ADD_FAILURE() << "no " << type << " chunk";
  return 0;
}

inline void PutBe32(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v >> 24);
  b[at + 1] = static_cast<std::uint8_t>(v >> 16);
  b[at + 2] = static_cast<std::uint8_t>(v >> 8);
  b[at + 3] = static_cast<std::uint8_t>(v);
}

// The PNG with the length field of its first chunk of that type set to `length`.
inline Bytes WithPngChunkLength(Bytes png, const std::string& type, std::uint32_t length) {
  PutBe32(png, PngChunkAt(png, type), length);
  return png;
}

// The 18 bytes of a TGA of 16 x 0 pixels.
inline Bytes ZeroHeightTga() { return TgaHeader(2, 16, 0); }

// A small PNG carrying an ancillary chunk after its header (as the nested pictures of our
// packs do) whose length field claims 654 MB.
inline Bytes HugeChunkPng() {
  Bytes png = Png(8, 8, Plain({1, 2, 3, 255}));
  const std::size_t after = PngChunkAt(png, "IDAT");
  Bytes chunk = {0, 0, 0, 0, 's', 'k', 'I', 'p'};
  chunk.resize(chunk.size() + 24 + 4, 7);
  PutBe32(chunk, 0, 654'000'000);
  png.insert(png.begin() + static_cast<long>(after), chunk.begin(), chunk.end());
  return png;
}

}  // namespace picbytes
