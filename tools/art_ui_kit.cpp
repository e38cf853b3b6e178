#include "art_ui_kit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tools::uiart {

namespace fs = std::filesystem;
using art::Align;
using art::Canvas;
using art::Rgba;

namespace {

// The encoded bytes of a picture in the format its file name asks for; the ".dat"
// button pictures are BMP files.
std::vector<std::uint8_t> Encode(const Canvas& c, std::string_view gamePath) {
  std::string lower(gamePath);
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (lower.ends_with(".tga")) return c.EncodeTga();
  if (lower.ends_with(".png")) return c.EncodePng();
  return c.EncodeBmp();
}

}  // namespace

std::uint32_t Hash(std::string_view s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

Rgba Shade(Rgba c, double f) {
  auto ch = [&](std::uint8_t v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v * f), 1L, 255L)); };
  return Rgba{ch(c.r), ch(c.g), ch(c.b), c.a};
}

void Save(const fs::path& gameDir, std::string_view gamePath, const Canvas& c) {
  const fs::path file = plat::ResolvePathIn(gameDir, gamePath);
  if (!plat::MakeFolder(file.parent_path())) {
    throw std::runtime_error("cannot make the folder " + file.parent_path().string());
  }
  if (!plat::WriteFileAtomically(file, Encode(c, gamePath))) throw std::runtime_error("cannot write " + file.string());
}

TextSize Measure(std::string_view text, int px, bool bold) {
  auto [w, h] = Canvas::MeasureText(text, px, bold);
  return {w, h};
}

void CentredText(Canvas& c, std::string_view text, int boxX, int boxY, int boxW, int boxH, int px, Rgba colour,
                 bool bold, Rgba edge, bool outline) {
  const TextSize s = Measure(text, px, bold);
  const int x = boxX + boxW / 2;
  const int y = boxY + (boxH - s.h) / 2;
  if (outline) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (dx != 0 || dy != 0) c.Text(text, x + dx, y + dy, px, edge, Align::Centre, bold);
      }
    }
  } else {
    c.Text(text, x + 1, y + 1, px, edge, Align::Centre, bold);
  }
  c.Text(text, x, y, px, colour, Align::Centre, bold);
}

// ------------------------------------------------------------------ panels

void Surface(Canvas& c, Material m, Rng& rng) {
  const int w = c.W(), h = c.H();
  if (m == Material::Wood) {
    c.Gradient(0, 0, w, h, kWoodLight, kWoodDark);
    // Grain: thin lines of slightly lighter or darker wood, gently waving.
    const int lines = std::max(1, h / 3);
    for (int i = 0; i < lines; ++i) {
      const double y = rng.Next() * h;
      const double wave = 0.5 + rng.Next() * 1.5;
      const double phase = rng.Next() * 6.28;
      const Rgba tone = rng.Next() < 0.5 ? Rgba{40, 27, 18, 70} : Rgba{120, 88, 58, 55};
      const int step = 12;
      for (int x = 0; x < w; x += step) {
        const double y0 = y + wave * std::sin(phase + x / 40.0);
        const double y1 = y + wave * std::sin(phase + (x + step) / 40.0);
        c.Line(x, y0, x + step, y1, tone, 1.0);
      }
    }
    // Plank joints every 24 pixels down a tall panel.
    for (int y = 24; y < h - 4; y += 24) c.FillRect(0, y, w, 1, Rgba{36, 25, 17, 120});
  } else {
    c.Gradient(0, 0, w, h, kStoneLight, kStoneDark);
    const int specks = w * h / 14;
    for (int i = 0; i < specks; ++i) {
      const int x = static_cast<int>(rng.Next() * w);
      const int y = static_cast<int>(rng.Next() * h);
      c.Blend(x, y, rng.Next() < 0.5 ? Rgba{24, 24, 28, 60} : Rgba{130, 130, 138, 45});
    }
    // Block joints: rows of 20 pixels, blocks of 48 shifted by half on every other row.
    for (int y = 20, row = 0; y < h; y += 20, ++row) {
      c.FillRect(0, y, w, 1, Rgba{30, 30, 34, 110});
      const int shift = (row % 2) * 24;
      for (int x = shift; x < w; x += 48) c.FillRect(x, y - 20, 1, 20, Rgba{30, 30, 34, 90});
    }
  }
}

void Border(Canvas& c) {
  const int w = c.W(), h = c.H();
  if (w < 8 || h < 8) return;
  c.FrameRect(0, 0, w, h, kRimDark);
  c.FrameRect(1, 1, w - 2, h - 2, kRimLight);
  c.FrameRect(2, 2, w - 4, h - 4, kRimDark);
  c.FrameRect(3, 3, w - 6, h - 6, Rgba{kRimInner.r, kRimInner.g, kRimInner.b, 110});
}

void Well(Canvas& c, int x, int y, int w, int h) {
  c.FillRect(x - 1, y - 1, w + 2, h + 2, kWellFill);
  c.FillRect(x - 2, y - 2, w + 4, 1, kWellShadow);
  c.FillRect(x - 2, y - 2, 1, h + 4, kWellShadow);
  c.FillRect(x - 2, y + h + 1, w + 4, 1, kWellLight);
  c.FillRect(x + w + 1, y - 2, 1, h + 4, kWellLight);
}

// ------------------------------------------------------------------ buttons

Canvas ButtonPicture(int w, int h, std::string_view caption, bool pressed, const ButtonStyle& st) {
  Canvas c(w, h, kRimDark);
  const Rgba top = pressed ? Shade(st.face, 0.65) : Shade(st.face, 1.3);
  const Rgba bottom = pressed ? Shade(st.face, 0.85) : Shade(st.face, 0.75);
  c.Gradient(1, 1, w - 2, h - 2, top, bottom);
  const Rgba lit = Shade(st.face, 2.0), shade = Shade(st.face, 0.35);
  const Rgba tl = pressed ? shade : lit, br = pressed ? lit : shade;
  c.FillRect(1, 1, w - 2, 1, tl);
  c.FillRect(1, 1, 1, h - 2, tl);
  c.FillRect(1, h - 2, w - 2, 1, br);
  c.FillRect(w - 2, 1, 1, h - 2, br);
  const int d = pressed ? 1 : 0;
  const Rgba label = pressed && st.label == kLabel ? kLabelPressed : st.label;
  if (st.vertical) {
    const auto chars = plat::Chars(caption);
    const int n = static_cast<int>(chars.size());
    if (n == 0) return c;
    const int cell = (h - 4) / n;
    for (int i = 0; i < n; ++i) {
      CentredText(c, chars[i], d, 2 + i * cell + d, w, cell, st.px, label, false, kTextShadow, false);
    }
  } else {
    CentredText(c, caption, d, d, w, h, st.px, label, false, kTextShadow, false);
  }
  return c;
}

}  // namespace tools::uiart
