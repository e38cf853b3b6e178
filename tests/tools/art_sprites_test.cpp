// The sprite pictures of the built sample game folder: every picture pack reads the way
// the game reads it and every picture decodes; every sprite set the tables name is there
// with its offset table; the figures show which way they face and what they do. The
// built folder is only read; the builder runs again into temporary folders.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "art_sprites.h"
#include "graphics/pictures.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "tools/builder_process.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

fs::path Built(std::string_view gamePath) { return plat::ResolvePathIn(testsupport::GameDir(), gamePath); }

std::vector<std::uint8_t> Bytes(const fs::path& file) {
  auto b = plat::ReadAllBytes(file);
  return b ? *b : std::vector<std::uint8_t>{};
}

// ---------------------------------------------------------------- pictures

struct Picture {
  int w = 0, h = 0;
  std::vector<std::uint32_t> argb;  // row by row
  std::uint32_t At(int x, int y) const { return argb[static_cast<std::size_t>(y) * w + x]; }
  // A pixel the game draws: anything but opaque pure black (the colour key) and clear pixels.
  bool Drawn(int x, int y) const {
    const std::uint32_t p = At(x, y);
    return (p >> 24) != 0 && (p & 0x00FFFFFFu) != 0;
  }
};

// Decodes picture bytes the way the game does: any format recognised from the bytes,
// TGA as the fallback.
std::optional<Picture> Decode(const std::vector<std::uint8_t>& b) {
  if (b.empty()) return std::nullopt;
  SDL_Surface* raw = IMG_Load_RW(SDL_RWFromConstMem(b.data(), static_cast<int>(b.size())), 1);
  if (raw == nullptr) raw = IMG_LoadTyped_RW(SDL_RWFromConstMem(b.data(), static_cast<int>(b.size())), 1, "TGA");
  if (raw == nullptr) return std::nullopt;
  SDL_Surface* s = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(raw);
  if (s == nullptr) return std::nullopt;
  Picture p;
  p.w = s->w;
  p.h = s->h;
  p.argb.resize(static_cast<std::size_t>(p.w) * p.h);
  for (int y = 0; y < p.h; ++y)
    std::memcpy(&p.argb[static_cast<std::size_t>(y) * p.w], static_cast<std::uint8_t*>(s->pixels) + y * s->pitch,
                static_cast<std::size_t>(p.w) * 4);
  SDL_FreeSurface(s);
  return p;
}

// Pixels that differ between two pictures placed by their offsets.
int Difference(const Picture& a, int ax, int ay, const Picture& b, int bx, int by) {
  const int x0 = std::min(ax, bx), y0 = std::min(ay, by);
  const int x1 = std::max(ax + a.w, bx + b.w), y1 = std::max(ay + a.h, by + b.h);
  int diff = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const bool inA = x >= ax && y >= ay && x < ax + a.w && y < ay + a.h;
      const bool inB = x >= bx && y >= by && x < bx + b.w && y < by + b.h;
      const bool drawnA = inA && a.Drawn(x - ax, y - ay), drawnB = inB && b.Drawn(x - bx, y - by);
      if (drawnA != drawnB || (drawnA && a.At(x - ax, y - ay) != b.At(x - bx, y - by))) ++diff;
    }
  return diff;
}

// ---------------------------------------------------------------- packs as the game reads them

// Reading packs through the game's own reader needs the game folder as the program folder.
class GameFolderPacks : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = plat::ProgramFolder();
    plat::SetProgramFolder(testsupport::GameDir());
  }
  void TearDown() override { plat::SetProgramFolder(old_); }

  static int Records(std::string_view base) {
    const auto len = plat::FileLength(plat::ResolvePath(std::string(base) + ".Mxx"));
    return len ? static_cast<int>(*len / kPackRecordBytes) : 0;
  }
  static std::optional<Picture> Frame(std::string_view base, long n) {
    const auto bytes = ReadPackPicture(base, n);
    if (!bytes) return std::nullopt;
    return Decode(*bytes);
  }

 private:
  fs::path old_;
};

// The numbers of a ".zb" table or an "xy.txt" file, read as the game reads them.
std::vector<double> Numbers(const fs::path& file) {
  std::vector<double> out;
  plat::TextReader in(file);
  if (!in.IsOpen()) return out;
  while (auto v = in.ReadNumber()) out.push_back(*v);
  return out;
}

struct Placed {
  Picture pic;
  int x = 0, y = 0;  // offset from the cell's corner
};

// ---------------------------------------------------------------- the tables' sets

// The values of one column of a tab-separated source table.
std::vector<long> Column(const fs::path& table, const std::string& column) {
  const auto bytes = Bytes(table);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::string line;
  std::vector<std::string> header;
  std::vector<long> out;
  auto split = [](const std::string& l) {
    std::vector<std::string> f;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= l.size(); ++i)
      if (i == l.size() || l[i] == '\t') {
        f.push_back(l.substr(start, i - start));
        start = i + 1;
      }
    return f;
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const auto fields = split(line);
    if (header.empty()) {
      header = fields;
      continue;
    }
    const auto it = std::find(header.begin(), header.end(), column);
    if (it == header.end() || static_cast<std::size_t>(it - header.begin()) >= fields.size()) continue;
    out.push_back(std::stol(fields[static_cast<std::size_t>(it - header.begin())]));
  }
  return out;
}

std::set<int> MonsterSets() {
  std::set<int> sets = {83};
  for (const char* t : {"mon1.tsv", "mon2.tsv", "mon3.tsv"})
    for (long pic : Column(testsupport::DataDir() / "tables" / t, "Pic")) sets.insert(static_cast<int>(pic));
  return sets;
}

std::set<int> ItemLooks(long type) {
  const fs::path items = testsupport::DataDir() / "tables" / "items.tsv";
  const auto types = Column(items, "Type");
  const auto looks = Column(items, "Pic2");
  std::set<int> out;
  for (std::size_t i = 0; i < types.size() && i < looks.size(); ++i)
    if (types[i] == type && (type != 20 || looks[i] > 0)) out.insert(static_cast<int>(looks[i]));
  return out;
}

std::set<int> BodyLooks() {
  std::set<int> b = ItemLooks(12);
  b.insert(0);
  for (int form = 101; form <= 107; ++form) b.insert(form);
  return b;
}

// ================================================================ every pack

TEST_F(GameFolderPacks, EveryRecordOfEveryPackReadsAsTheGameReadsItAndDecodes) {
  int packs = 0;
  for (const auto& entry : fs::recursive_directory_iterator(Built("\\date"))) {
    if (!entry.is_regular_file() || entry.path().extension() != ".Mxx") continue;
    ++packs;
    const fs::path rel = fs::relative(entry.path(), testsupport::GameDir());
    std::string base = "\\" + rel.string();
    base.resize(base.size() - 4);
    std::replace(base.begin(), base.end(), '/', '\\');
    const auto index = Bytes(entry.path());
    const auto dataSize = plat::FileLength(plat::ResolvePath(base + ".dat"));
    ASSERT_TRUE(dataSize) << base << " has no data file";
    ASSERT_EQ(index.size() % kPackRecordBytes, 0u) << base;
    ASSERT_GT(index.size(), 0u) << base;
    std::map<std::pair<std::uint64_t, std::uint64_t>, bool> decoded;
    const long n = static_cast<long>(index.size() / kPackRecordBytes);
    for (long k = 1; k <= n; ++k) {
      // the second number is closed inside the record, never by the next record
      const std::string text(index.begin() + (k - 1) * kPackRecordBytes, index.begin() + k * kPackRecordBytes);
      const std::size_t comma = text.find(',');
      ASSERT_NE(comma, std::string::npos) << base << " record " << k;
      std::size_t end = comma + 1;
      while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
      ASSERT_LT(end, text.size()) << base << " record " << k << " \"" << text << "\" runs into the next record";
      const auto record = ReadPackRecord(base, k);
      ASSERT_TRUE(record) << base << " record " << k << " \"" << text << "\"";
      ASSERT_LT(record->Start, record->End) << base << " record " << k;
      ASSERT_LE(record->End, *dataSize) << base << " record " << k;
      if (decoded.count({record->Start, record->End})) continue;
      const auto pic = Frame(base, k);
      ASSERT_TRUE(pic) << base << " picture " << k << " does not decode";
      EXPECT_GT(pic->w, 0);
      decoded[{record->Start, record->End}] = true;
    }
    // one past the last record is no picture
    EXPECT_FALSE(ReadPackRecord(base, n + 1)) << base;
  }
  EXPECT_GE(packs, 1 + 1 + 4 + 53 + 18 + 14 + 1 + 6);
}

TEST_F(GameFolderPacks, StartUpAndMapPicturesHaveTheSizesTheGameShowsThemAt) {
  // the start-up and story pack
  const std::vector<std::pair<int, int>> game = {{400, 200}, {400, 200}, {400, 200}, {400, 200}, {360, 108},
                                                 {420, 208}, {190, 190}, {180, 40},  {164, 42},  {39, 39},
                                                 {100, 10},  {100, 10},  {38, 3},    {38, 3},    {230, 22}};
  ASSERT_EQ(Records("\\date\\game"), 15);
  for (int n = 1; n <= 15; ++n) {
    const auto p = Frame("\\date\\game", n);
    ASSERT_TRUE(p) << n;
    EXPECT_EQ(p->w, game[n - 1].first) << "Game picture " << n;
    EXPECT_EQ(p->h, game[n - 1].second) << "Game picture " << n;
  }
  // the logos stand on the fading background: their corners are transparent
  for (int n : {5, 6}) {
    const auto p = Frame("\\date\\Game", n);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->Drawn(0, 0));
    EXPECT_FALSE(p->Drawn(p->w - 1, p->h - 1));
  }
  // floor tiles fill whole cells
  ASSERT_EQ(Records("\\date\\floor"), 20);
  for (int n = 1; n <= 20; ++n) {
    const auto p = Frame("\\date\\floor", n);
    ASSERT_TRUE(p) << n;
    EXPECT_EQ(p->w, 48);
    EXPECT_EQ(p->h, 32);
    int blank = 0;
    for (int y = 0; y < p->h; ++y)
      for (int x = 0; x < p->w; ++x) blank += p->Drawn(x, y) ? 0 : 1;
    EXPECT_EQ(blank, 0) << "floor tile " << n << " has holes";
  }
  // scenery covers whole cells and stands on a transparent background; the pieces of
  // the large pictures follow the whole pictures, one cell each
  const int wholes[5] = {0, 16, 19, 16, 11};
  for (int set = 1; set <= 4; ++set) {
    const std::string base = "\\date\\fj\\" + std::to_string(set);
    const auto count = std::count_if(tools::SceneryCatalogue().begin(), tools::SceneryCatalogue().end(),
                                     [set](const tools::SceneryPicture& s) { return s.set == set; });
    ASSERT_GT(count, wholes[set]) << base;
    ASSERT_EQ(Records(base), count) << base;
    for (int n = 1; n <= count; ++n) {
      const auto p = Frame(base, n);
      ASSERT_TRUE(p) << base << " " << n;
      const tools::SceneryPicture* s = tools::FindScenery(set, n);
      ASSERT_NE(s, nullptr) << base << " " << n;
      EXPECT_EQ(s->pieceOf != 0, n > wholes[set]) << base << " " << n;
      EXPECT_EQ(p->w, s->width) << base << " " << n;
      EXPECT_EQ(p->h, s->height) << base << " " << n;
      EXPECT_EQ(p->w % 48, 0) << base << " " << n;
      EXPECT_EQ(p->h % 32, 0) << base << " " << n;
      int drawn = 0;
      for (int y = 0; y < p->h; ++y)
        for (int x = 0; x < p->w; ++x) drawn += p->Drawn(x, y) ? 1 : 0;
      EXPECT_GT(drawn, 20) << base << " " << n;
      if (s->pieceOf == 0) {
        EXPECT_LT(drawn, p->w * p->h) << base << " " << n << " has no transparent background";
        continue;
      }
      // A piece is its cell of the whole picture, pixel for pixel.
      const auto whole = Frame(base, s->pieceOf);
      ASSERT_TRUE(whole) << base << " " << s->pieceOf;
      int differ = 0;
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) differ += p->At(x, y) != whole->At(s->pieceCol * 48 + x, s->pieceRow * 32 + y);
      EXPECT_EQ(differ, 0) << base << " " << n << " is not its cell of picture " << s->pieceOf;
    }
  }
}

TEST_F(GameFolderPacks, DatabaseFilesAreNeverPicturePacks) {
  for (const char* base : {"\\date\\Mon\\74", "\\date\\Mon\\75", "\\date\\rpg\\21"}) {
    EXPECT_FALSE(plat::FileExists(plat::ResolvePath(std::string(base) + ".Mxx"))) << base;
    EXPECT_FALSE(ReadPackRecord(base, 1)) << base;
    const auto data = Bytes(plat::ResolvePath(std::string(base) + ".dat"));
    if (data.size() >= 8) {
      EXPECT_NE(std::memcmp(data.data(), "\x89PNG", 4), 0) << base << " holds pictures";
    }
  }
  // the start-up reads the offset tables of those numbers too
  for (int m : {74, 75}) EXPECT_GE(Numbers(Built("\\date\\Mon\\" + std::to_string(m) + ".zb")).size(), 416u) << m;
}

// ================================================================ the sets the tables name

TEST_F(GameFolderPacks, EverySetTheGameReadsHasItsFramesAndOffsets) {
  const std::set<int> monsters = MonsterSets();
  ASSERT_GT(monsters.size(), 10u);
  for (int m = 1; m <= 119; ++m) {
    const std::string base = "\\date\\Mon\\" + std::to_string(m);
    const auto zb = Numbers(Built(base + ".zb"));
    ASSERT_EQ(zb.size(), 416u) << base << ".zb";
    for (double v : zb) EXPECT_EQ(v, std::floor(v)) << base << ".zb";
    if (monsters.count(m)) {
      EXPECT_EQ(Records(base), 208) << base;
    } else if (m != 74 && m != 75) {
      EXPECT_EQ(Records(base), 0) << base << " is drawn although no table uses it";
    }
  }
  for (int n = 1; n <= 53; ++n) {
    const std::string base = "\\date\\NPC\\" + std::to_string(n);
    EXPECT_EQ(Records(base), 12) << base;
    EXPECT_EQ(Numbers(Built(base + ".zb")).size(), 24u) << base;
  }
  for (int b : BodyLooks()) {
    ASSERT_NE(b, 21);
    const std::string base = "\\date\\Rpg\\" + std::to_string(b);
    EXPECT_EQ(Records(base), 280) << base;
    EXPECT_EQ(Numbers(Built(base + ".zb")).size(), 560u) << base;
  }
  const std::set<int> weapons = ItemLooks(20);
  ASSERT_FALSE(weapons.empty());
  for (int w : weapons) {
    const std::string base = "\\date\\Weapon\\" + std::to_string(w);
    EXPECT_EQ(Records(base), 280) << base;
    EXPECT_EQ(Numbers(Built(base + ".zb")).size(), 560u) << base;
  }
  EXPECT_EQ(Records("\\date\\Rpg\\Head"), 280);
  EXPECT_EQ(Numbers(Built("\\date\\Rpg\\Head.zb")).size(), 560u);
}

// ================================================================ what the figures show

class Figures : public GameFolderPacks {
 protected:
  static Placed At(const std::string& base, int frame) {
    const auto zb = Numbers(Built(base + ".zb"));
    auto p = Frame(base, frame);
    EXPECT_TRUE(p) << base << " frame " << frame;
    Placed out;
    if (p) out.pic = *p;
    if (zb.size() >= static_cast<std::size_t>(2 * frame)) {
      out.x = static_cast<int>(zb[2 * frame - 2]);
      out.y = static_cast<int>(zb[2 * frame - 1]);
    }
    return out;
  }
  static int Diff(const Placed& a, const Placed& b) { return Difference(a.pic, a.x, a.y, b.pic, b.x, b.y); }
  // Mean of red minus green over the drawn pixels.
  static double Redness(const Picture& p) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x)
        if (p.Drawn(x, y)) {
          const std::uint32_t c = p.At(x, y);
          sum += static_cast<double>((c >> 16) & 0xFF) - static_cast<double>((c >> 8) & 0xFF);
          ++n;
        }
    return n ? sum / n : 0;
  }
  // Height of the opaque part (the shadow under flying figures is left out).
  static int OpaqueHeight(const Picture& p) {
    int top = p.h, bottom = -1;
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x)
        if (p.Drawn(x, y) && (p.At(x, y) >> 24) == 0xFF) {
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
    return bottom < top ? 0 : bottom - top + 1;
  }
};

TEST_F(Figures, EveryDirectionOfEverySetLooksDifferent) {
  std::vector<std::string> sets;
  for (int m : MonsterSets()) sets.push_back("\\date\\Mon\\" + std::to_string(m));
  for (int b : BodyLooks()) sets.push_back("\\date\\Rpg\\" + std::to_string(b));
  sets.push_back("\\date\\Rpg\\Head");
  for (int w : ItemLooks(20)) sets.push_back("\\date\\Weapon\\" + std::to_string(w));
  for (const std::string& base : sets) {
    std::vector<Placed> standing;
    for (int d = 0; d < 8; ++d) standing.push_back(At(base, 4 * d + 1));
    for (int a = 0; a < 8; ++a)
      for (int b = a + 1; b < 8; ++b)
        EXPECT_GT(Diff(standing[a], standing[b]), 8) << base << ": directions " << a << " and " << b << " look alike";
    // facing east is not facing west seen in a mirror: the figure turns, it is not flipped in place
    EXPECT_NE(standing[2].pic.argb, standing[6].pic.argb) << base;
  }
  // NPCs face south, west and east
  for (int n = 1; n <= 53; ++n) {
    const std::string base = "\\date\\NPC\\" + std::to_string(n);
    const Placed south = At(base, 1), west = At(base, 5), east = At(base, 9);
    EXPECT_GT(Diff(south, west), 8) << base;
    EXPECT_GT(Diff(south, east), 8) << base;
    EXPECT_GT(Diff(west, east), 8) << base;
  }
}

TEST_F(Figures, MonstersShowStandingWalkingStrikingReelingAndLyingDead) {
  for (int m : MonsterSets()) {
    const std::string base = "\\date\\Mon\\" + std::to_string(m);
    for (int d : {0, 3, 6}) {
      const Placed stand = At(base, 4 * d + 1);
      const Placed walk = At(base, 32 + 6 * d + 2);
      const Placed strike = At(base, 80 + 6 * d + 4);
      const Placed reel = At(base, 128 + 10 * d + 2);
      const Placed dead = At(base, 128 + 10 * d + 10);
      EXPECT_GT(Diff(stand, walk), 8) << base << " dir " << d;
      EXPECT_GT(Diff(stand, strike), 8) << base << " dir " << d;
      EXPECT_GT(Diff(walk, strike), 8) << base << " dir " << d;
      EXPECT_GT(Redness(reel.pic), Redness(stand.pic) + 20) << base << " dir " << d << ": a hit shows red";
      EXPECT_LT(OpaqueHeight(dead.pic), OpaqueHeight(stand.pic)) << base << " dir " << d << ": the dead lie down";
    }
    // a walk is a cycle of different steps
    EXPECT_GT(Diff(At(base, 32 + 2), At(base, 32 + 5)), 8) << base;
  }
}

TEST_F(Figures, ThePlayerShowsEveryActionAndItsLayersFitTogether) {
  for (int b : BodyLooks()) {
    const std::string base = "\\date\\Rpg\\" + std::to_string(b);
    for (int d : {1, 4, 7}) {
      const Placed stand = At(base, 4 * d + 1);
      const Placed walk = At(base, 32 + 6 * d + 2);
      const Placed strike = At(base, 128 + 6 * d + 4);
      const Placed cast = At(base, 176 + 6 * d + 4);
      const Placed hit = At(base, 224 + 3 * d + 2);
      const Placed dead = At(base, 248 + 4 * d + 4);
      EXPECT_GT(Diff(stand, walk), 8) << base << " dir " << d;
      EXPECT_GT(Diff(stand, strike), 8) << base << " dir " << d;
      EXPECT_GT(Diff(stand, cast), 8) << base << " dir " << d;
      EXPECT_GT(Redness(hit.pic), Redness(stand.pic) + 20) << base << " dir " << d;
      EXPECT_LT(OpaqueHeight(dead.pic), OpaqueHeight(stand.pic)) << base << " dir " << d;
      // casting shows a white-hot light
      bool white = false;
      for (std::uint32_t p : cast.pic.argb) white = white || p == 0xFFFFFFFFu;
      EXPECT_TRUE(white) << base << " dir " << d;
    }
  }
  // the head sits on the shoulders and the weapon is in the hand, frame by frame
  const std::string body = "\\date\\Rpg\\1";
  const int weapon = *ItemLooks(20).begin();
  for (int f : {1, 13, 40, 100, 150, 200, 230}) {
    const Placed torso = At(body, f);
    const Placed head = At("\\date\\Rpg\\Head", f);
    const Placed blade = At("\\date\\Weapon\\" + std::to_string(weapon), f);
    const int headBottom = head.y + head.pic.h;
    EXPECT_GE(headBottom, torso.y) << "frame " << f << ": head floats above the body";
    EXPECT_LE(headBottom, torso.y + 16) << "frame " << f << ": head sunk into the body";
    EXPECT_LT(std::abs((head.x + head.pic.w / 2) - (torso.x + torso.pic.w / 2)), 16) << "frame " << f;
    // the weapon overlaps the body's box
    EXPECT_LT(blade.x, torso.x + torso.pic.w) << "frame " << f;
    EXPECT_GT(blade.x + blade.pic.w, torso.x) << "frame " << f;
    EXPECT_LT(blade.y, torso.y + torso.pic.h) << "frame " << f;
    EXPECT_GT(blade.y + blade.pic.h, torso.y) << "frame " << f;
  }
}

TEST_F(Figures, StandingFiguresStandInTheirCell) {
  std::vector<std::string> sets;
  for (int m : MonsterSets()) sets.push_back("\\date\\Mon\\" + std::to_string(m));
  for (int n = 1; n <= 53; ++n) sets.push_back("\\date\\NPC\\" + std::to_string(n));
  sets.push_back("\\date\\Rpg\\0");
  for (const std::string& base : sets) {
    const Placed p = At(base, 1);
    const int bottom = p.y + p.pic.h, middle = p.x + p.pic.w / 2;
    EXPECT_GE(bottom, 16) << base << ": feet above the cell";
    EXPECT_LE(bottom, 40) << base << ": feet below the cell";
    EXPECT_GE(middle, 8) << base;
    EXPECT_LE(middle, 40) << base;
    EXPECT_LT(p.y, 16) << base << ": a figure rises above its feet";
  }
}

// ================================================================ effects

TEST(SpriteEffects, EveryEffectPictureAndOffsetFileTheGameOpensIsThere) {
  auto decodes = [](const std::string& gamePath) {
    const auto p = Decode(Bytes(Built(gamePath)));
    EXPECT_TRUE(p) << gamePath;
    return p;
  };
  for (int t = 1; t <= 3; ++t)
    for (int i = 1; i <= 8; ++i) decodes("\\date\\Dead\\" + std::to_string(t) + "\\" + std::to_string(i) + ".tga");
  const int screen[11] = {0, 8, 6, 4, 8, 7, 8, 8, 8, 6, 7};
  for (int s = 1; s <= 10; ++s)
    for (int i = 1; i <= screen[s]; ++i) decodes("\\date\\mgc\\sp" + std::to_string(s) + "\\" + std::to_string(i) + ".tga");
  struct Skill {
    int set, frames;
    const char* ext;
    bool xy;
  };
  const Skill skills[] = {{2, 48, ".tga", true}, {3, 48, ".tga", true},  {4, 32, ".tga", true},  {5, 10, ".tga", true},
                          {7, 6, ".tga", true},  {8, 10, ".tga", true},  {9, 6, ".bmp", true},   {10, 3, ".tga", false},
                          {11, 8, ".tga", true}, {12, 8, ".bmp", true},  {13, 12, ".tga", true}, {15, 12, ".tga", true}};
  for (const Skill& s : skills) {
    const std::string folder = "\\date\\mgc\\" + std::to_string(s.set) + "\\";
    for (int i = 1; i <= s.frames; ++i) decodes(folder + std::to_string(i) + s.ext);
    if (!s.xy) continue;
    const auto xy = Numbers(Built(folder + "xy.txt"));
    ASSERT_GE(xy.size(), static_cast<std::size_t>(2 * s.frames)) << folder << "xy.txt";
    for (double v : xy) {
      EXPECT_EQ(v, std::floor(v)) << folder;
      EXPECT_LT(std::fabs(v), 400) << folder;
    }
  }
  // the slash of each direction is drawn on that side of the player (set 2 is drawn at
  // (384 + x, 256 + y); the player's feet are at (360, 250))
  const auto xy = Numbers(Built("\\date\\mgc\\2\\xy.txt"));
  ASSERT_GE(xy.size(), 96u);
  // the middle of what a frame draws, on the screen
  auto centreX = [&](int frame) {
    const auto p = Decode(Bytes(Built("\\date\\mgc\\2\\" + std::to_string(frame) + ".tga")));
    if (!p) return 0.0;
    double sum = 0;
    int n = 0;
    for (int y = 0; y < p->h; ++y)
      for (int x = 0; x < p->w; ++x)
        if (p->Drawn(x, y)) {
          sum += x;
          ++n;
        }
    return n ? 384 + xy[2 * frame - 2] + sum / n : 0.0;
  };
  EXPECT_GT(centreX(2 * 6 + 6), 370) << "facing east the slash is right of the player";
  EXPECT_LT(centreX(6 * 6 + 6), 350) << "facing west the slash is left of the player";

  const auto aura = decodes("\\date\\Mgc\\Tz.tga");
  const auto glow = decodes("\\date\\Mgc\\Sp.bmp");
  const auto flash = decodes("\\date\\Mgc\\Lj.bmp");
  ASSERT_TRUE(flash);
  // the flash is stretched 360 x 220 times over the 720 x 448 view and tinted: white
  EXPECT_EQ(flash->w, 2);
  EXPECT_EQ(flash->h, 2);
  EXPECT_EQ(flash->At(0, 0) & 0x00FFFFFFu, 0x00FFFFFFu);
  ASSERT_TRUE(aura);
  EXPECT_LE(aura->w * 2, 104) << "the aura is drawn twice its size around the player";
}

// ================================================================ the builder

int RunBuilder(const fs::path& data, const fs::path& game, const fs::path& log) {
  return buildertest::RunBuilderProcess({data.string(), game.string()}, log);
}

// The sprite files of a game folder, by path relative to it.
std::map<std::string, fs::path> SpriteFiles(const fs::path& game) {
  std::map<std::string, fs::path> out;
  for (const char* folder : {"date/NPC", "date/Mon", "date/rpg", "date/Weapon", "date/fj", "date/Dead", "date/mgc"}) {
    const fs::path dir = plat::ResolvePathIn(game, std::string("\\") + folder);
    if (!fs::is_directory(dir)) continue;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
      if (!e.is_regular_file()) continue;
      const std::string rel = fs::relative(e.path(), game).string();
      if (rel.find("/ico/") != std::string::npos) continue;  // the skill icons belong to the interface
      const std::string ext = e.path().extension().string();
      if (ext == ".Mxx" || ext == ".zb" || ext == ".tga" || ext == ".bmp" || ext == ".txt" ||
          (ext == ".dat" && fs::exists(fs::path(e.path()).replace_extension(".Mxx"))))
        out[rel] = e.path();
    }
  }
  for (const char* file : {"date/floor.Mxx", "date/floor.dat", "date/Game.Mxx", "date/Game.dat"}) {
    const fs::path p = game / file;
    if (fs::exists(p)) out[file] = p;
  }
  return out;
}

TEST(SpriteBuilder, TheSameSourcesGiveTheSameSprites) {
  TempDir tmp;
  ASSERT_EQ(RunBuilder(testsupport::DataDir(), tmp.path() / "game", tmp / "log.txt"), 0);
  const auto built = SpriteFiles(testsupport::GameDir());
  const auto again = SpriteFiles(tmp.path() / "game");
  ASSERT_GT(built.size(), 600u);
  ASSERT_EQ(built.size(), again.size());
  for (const auto& [rel, file] : built) {
    ASSERT_TRUE(again.count(rel)) << rel;
    EXPECT_TRUE(Bytes(file) == Bytes(again.at(rel))) << rel << " differs between two builds";
  }
}

void CopyData(const fs::path& to) { fs::copy(testsupport::DataDir(), to, fs::copy_options::recursive); }

void ReplaceFirst(const fs::path& file, const std::string& from, const std::string& to) {
  auto b = Bytes(file);
  std::string text(b.begin(), b.end());
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
  ASSERT_TRUE(plat::WriteAllBytes(file, std::vector<std::uint8_t>(text.begin(), text.end())));
}

TEST(SpriteBuilder, RefusesTablesThatWouldDrawOverADatabase) {
  {
    TempDir tmp;
    CopyData(tmp / "data");
    // the first monster row's sprite set becomes 74
    ReplaceFirst(tmp / "data" / "tables" / "mon1.tsv", "鸡\t1\t", "鸡\t74\t");
    EXPECT_NE(RunBuilder(tmp / "data", tmp / "game", tmp / "log.txt"), 0);
    EXPECT_FALSE(fs::exists(tmp / "game" / "date" / "Mon" / "74.Mxx"));
  }
  {
    TempDir tmp;
    CopyData(tmp / "data");
    // the cloth armour's look becomes 21
    auto b = Bytes(tmp / "data" / "tables" / "items.tsv");
    std::string text(b.begin(), b.end());
    const std::size_t row = text.find("\n布衣\t12\t");
    ASSERT_NE(row, std::string::npos);
    // Name, Type, Type2, Pic1, Pic2: replace the fifth field
    std::size_t at = row + 1;
    for (int i = 0; i < 4; ++i) at = text.find('\t', at) + 1;
    const std::size_t end = text.find('\t', at);
    text.replace(at, end - at, "21");
    ASSERT_TRUE(plat::WriteAllBytes(tmp / "data" / "tables" / "items.tsv", std::vector<std::uint8_t>(text.begin(), text.end())));
    EXPECT_NE(RunBuilder(tmp / "data", tmp / "game", tmp / "log.txt"), 0);
    EXPECT_FALSE(fs::exists(tmp / "game" / "date" / "rpg" / "21.Mxx"));
  }
}

}  // namespace
