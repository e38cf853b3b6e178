// Test pictures and picture packs, written into temporary game folders: BMP pictures
// made with SDL, packs in the game's format (11-byte "start,end" records and the data
// file), ".zb" offset tables, and the whole set of files the start-up reads.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/render.h"

namespace testpics {

namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

inline void WriteBytes(const fs::path& p, const Bytes& b) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline void WriteText(const fs::path& p, const std::string& s) { WriteBytes(p, Bytes(s.begin(), s.end())); }

// A 24-bit BMP of w x h pixels in the background colour, with an optional inner
// rectangle in another colour.
inline Bytes Bmp(int w, int h, plat::Color background, plat::Rect inner = {}, plat::Color fill = {}) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
  SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, background.r, background.g, background.b));
  if (!inner.Empty()) {
    SDL_Rect r{inner.x, inner.y, inner.w, inner.h};
    SDL_FillRect(s, &r, SDL_MapRGB(s->format, fill.r, fill.g, fill.b));
  }
  Bytes buffer(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4 + 1024);
  SDL_RWops* rw = SDL_RWFromMem(buffer.data(), static_cast<int>(buffer.size()));
  SDL_SaveBMP_RW(s, rw, 0);
  const Sint64 written = SDL_RWtell(rw);
  SDL_RWclose(rw);
  SDL_FreeSurface(s);
  buffer.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return buffer;
}

// A plain picture whose colour tells which picture it is.
inline Bytes Numbered(int n, int w = 8, int h = 8) {
  return Bmp(w, h, plat::Color{static_cast<std::uint8_t>(n % 200 + 20), static_cast<std::uint8_t>(n / 200 + 10), 77});
}

// One 11-byte index record: "start,end" padded with blanks. The end number must close
// inside the record, so a record holds at most ten characters of numbers and comma.
inline std::string Record(std::uint64_t start, std::uint64_t end) {
  std::string r = std::to_string(start) + "," + std::to_string(end);
  EXPECT_LE(r.size(), 10u) << "a test pack outgrew its 11-byte records";
  r.resize(11, ' ');
  return r;
}

// Writes base + ".Mxx" and base + ".dat": the pictures stored back to back, and `count`
// records (at least one per picture) going round the stored pictures.
inline void WritePack(const fs::path& base, const std::vector<Bytes>& pictures, std::size_t count = 0) {
  Bytes data;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> stored;
  for (const Bytes& p : pictures) {
    const std::uint64_t start = data.size();
    data.insert(data.end(), p.begin(), p.end());
    stored.emplace_back(start, data.size());
  }
  std::string index;
  if (count < stored.size()) count = stored.size();
  for (std::size_t n = 0; n < count; ++n) {
    const auto& [start, end] = stored[n % stored.size()];
    index += Record(start, end);
  }
  WriteText(fs::path(base.string() + ".Mxx"), index);
  WriteBytes(fs::path(base.string() + ".dat"), data);
}

// A pack of `count` numbered pictures.
inline void WriteNumberedPack(const fs::path& base, int count, int w = 8, int h = 8) {
  std::vector<Bytes> pictures;
  for (int i = 1; i <= count; ++i) pictures.push_back(Numbered(i, w, h));
  WritePack(base, pictures);
}

// A ".zb" table: frame f has the offsets (seed + f, -f), one "x,y" line per frame.
inline void WriteZb(const fs::path& p, int frames, int seed) {
  std::string s;
  for (int f = 1; f <= frames; ++f) s += std::to_string(seed + f) + "," + std::to_string(-f) + "\r\n";
  WriteText(p, s);
}

// Every file the start-up reads, under a program folder, with the logos red (5) and
// green (6) and the intro and ending pictures 1..4 in their own colours.
inline void WriteStartupFolder(const fs::path& root) {
  WriteBytes(root / "date" / "Item" / "1.bmp", Bmp(16, 16, plat::Color{40, 60, 80}));
  WriteText(root / "DisplayMemory.cfg", "1\r\n");
  std::vector<Bytes> game;
  game.push_back(Bmp(8, 4, plat::Color{200, 0, 200}));  // 1 the intro
  game.push_back(Bmp(8, 4, plat::Color{0, 0, 200}));    // 2..4 the ending
  game.push_back(Bmp(8, 4, plat::Color{0, 200, 200}));
  game.push_back(Bmp(8, 4, plat::Color{200, 200, 0}));
  game.push_back(Bmp(12, 10, plat::Color{255, 0, 0}));  // 5 first logo
  game.push_back(Bmp(12, 10, plat::Color{0, 255, 0}));  // 6 second logo
  game.push_back(Bmp(4, 4, plat::Color{90, 90, 90}));   // 7 loading, large
  game.push_back(Bmp(8, 2, plat::Color{120, 120, 120}));  // 8 loading, small
  for (int i = 9; i <= 15; ++i) game.push_back(Numbered(i, 2, 2));
  WritePack(root / "date" / "Game", game);
  // 280 head frames sharing four stored pictures.
  WritePack(root / "date" / "Rpg" / "Head", {Numbered(1, 2, 2), Numbered(2, 2, 2), Numbered(3, 2, 2), Numbered(4, 2, 2)},
            280);
  WriteZb(root / "date" / "Rpg" / "Head.zb", 280, 1000);
  for (int n = 1; n <= 53; ++n) WriteZb(root / "date" / "NPC" / (std::to_string(n) + ".zb"), 12, n * 100);
  for (int m = 1; m <= 119; ++m) WriteZb(root / "date" / "Mon" / (std::to_string(m) + ".zb"), 208, m * 10);
  for (int d = 0; d <= 10; ++d) WriteBytes(root / "date" / "Number" / (std::to_string(d) + ".bmp"), Numbered(d));
  WriteBytes(root / "date" / "Mgc" / "Tz.tga", Numbered(1));  // any picture the decoder reads
  WriteBytes(root / "date" / "Mgc" / "Sp.bmp", Numbered(2));
  WriteBytes(root / "date" / "Mgc" / "Lj.bmp", Numbered(3));
  fs::create_directories(root / "Save");
}

}  // namespace testpics
