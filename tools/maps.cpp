#include "maps.h"

#include <SDL.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "platform/files.h"
#include "platform/paths.h"
#include "art_sprites.h"
#include "platform/text.h"
#include "text_table.h"

namespace tools {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxSize = 200;
constexpr int kMaxPartsPerMap = 30;
constexpr int kMaxScriptLines = 999;
constexpr int kFloorLast = 220;
constexpr int kNpcPictureLast = 53;
constexpr int kMinimapCell = 5;  // pixels per cell

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines = plat::Split(text, "\n");
  for (auto& l : lines) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
  }
  return lines;
}

// Blank-separated words of a line.
std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.emplace_back(line.substr(start, i - start));
  }
  return words;
}

bool IsComment(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  return i == line.size() || line[i] == ';';
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Padded(long n, std::size_t digits) {
  std::string s = std::to_string(n);
  if (s.size() < digits) s.insert(0, digits - s.size(), '0');
  return s;
}

class Parser {
 public:
  Parser(const std::string& file, int map, int part) : file_(file) {
    out_.file = file;
    out_.map = map;
    out_.part = part;
  }

  MapPartSource Parse(const std::string& text) {
    const std::vector<std::string> lines = Lines(text);
    std::size_t i = 0;
    bool haveRows = false;
    for (; i < lines.size(); ++i) {
      line_ = static_cast<int>(i + 1);
      const std::string& l = lines[i];
      if (IsComment(l)) continue;
      const std::vector<std::string> w = Words(l);
      const std::string& key = w[0];
      if (key == "name") {
        Need(w, 2);
        out_.name = w[1];
      } else if (key == "legend") {
        Need(w, 5);
        if (w[1].size() != 1) Fail("a legend names one character");
        legend_[w[1][0]] = {"", Field(w[2]), Field(w[3]), Field(w[4]), ""};
      } else if (key == "rows") {
        if (haveRows) Fail("the rows are given twice");
        i = ReadRows(lines, i + 1) - 1;
        haveRows = true;
      } else if (key == "cell") {
        Need(w, 6);
        auto& c = At(w[1], w[2]);
        for (int f = 1; f <= 3; ++f) {
          if (w[static_cast<std::size_t>(f) + 2] != "=") c[static_cast<std::size_t>(f)] = Field(w[static_cast<std::size_t>(f) + 2]);
        }
      } else if (key == "object") {
        Need(w, 4);
        PlaceObject(w[1], w[2], w[3]);
      } else if (key == "npc" || key == "hiddennpc") {
        Need(w, 6);
        if (!AllDigits(w[4]) || w[4].size() != 1) Fail("an NPC pose is one digit");
        const long pic = Number(w[5]);
        if (pic < 1 || pic > kNpcPictureLast) Fail("NPC pictures are 1.." + std::to_string(kNpcPictureLast));
        At(w[1], w[2])[3] = std::string(key == "hiddennpc" ? "*" : "") + "N" + w[3] + w[4] + Padded(pic, 3);
      } else if (key == "spawn") {
        Need(w, 4);
        At(w[1], w[2])[3] = "M" + w[3];
      } else if (key == "portal") {
        Need(w, 7);
        const long m = Number(w[3]), p = Number(w[4]), tx = Number(w[5]), ty = Number(w[6]);
        if (m < 1 || m > 99 || p < 1 || p > kMaxPartsPerMap || tx < 1 || tx > kMaxSize || ty < 1 || ty > kMaxSize) {
          Fail("a portal leads to map 1..99, part 1..30, cell 1..200");
        }
        At(w[1], w[2])[4] = Padded(m, 2) + Padded(p, 2) + Padded(tx, 4) + Padded(ty, 4);
      } else if (key == "script") {
        ReadScript(lines, i + 1);
        break;
      } else {
        Fail("unknown line \"" + l + "\"");
      }
    }
    line_ = 0;
    if (out_.name.empty()) Fail("no name");
    if (!haveRows) Fail("no rows");
    CheckFields();
    return std::move(out_);
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw SourceError(file_ + (line_ > 0 ? ":" + std::to_string(line_) : std::string()) + ": " + what);
  }

  void Need(const std::vector<std::string>& w, std::size_t n) const {
    if (w.size() != n) Fail("\"" + w[0] + "\" takes " + std::to_string(n - 1) + " words");
  }

  long Number(const std::string& s) const {
    if (!AllDigits(s) || s.size() > 6) Fail("\"" + s + "\" is not a whole number");
    return std::stol(s);
  }

  static std::string Field(const std::string& s) { return s == "-" ? std::string() : s; }

  std::array<std::string, 5>& At(const std::string& xs, const std::string& ys) {
    if (out_.width == 0) Fail("cells before the rows");
    const long x = Number(xs), y = Number(ys);
    if (x < 1 || y < 1 || x > out_.width || y > out_.height) {
      Fail("cell (" + xs + ", " + ys + ") lies outside the part of " + std::to_string(out_.width) + " x " +
           std::to_string(out_.height));
    }
    return out_.Cell(static_cast<int>(x), static_cast<int>(y));
  }

  static bool Blocked(const std::string& kind) { return kind == "0" || kind == "0-"; }

  // A scenery object by its pieces, the picture's top-left corner on (x, y): the cells it
  // stands on block and are drawn under the figures; the rest of its bottom row is drawn
  // under them too, the rows above it over them (a figure there stands behind it). A
  // cell keeps whether it blocked.
  void PlaceObject(const std::string& xs, const std::string& ys, const std::string& code) {
    if (code.size() != 5 || !AllDigits(code)) Fail("object \"" + code + "\" is no set digit and picture number");
    const int set = code[0] - '0';
    const SceneryPicture* whole = FindScenery(set, std::stoi(code.substr(1)));
    if (whole == nullptr || whole->pieceOf != 0) Fail("object \"" + code + "\" is no whole scenery picture");
    At(xs, ys);
    const int x0 = static_cast<int>(Number(xs)), y0 = static_cast<int>(Number(ys));
    if (x0 + whole->Cols() - 1 > out_.width || y0 + whole->Rows() - 1 > out_.height) {
      Fail("object \"" + code + "\" on (" + xs + ", " + ys + ") reaches beyond the part");
    }
    const int upperRows = whole->Rows() - std::max(whole->footRows, 1);
    for (int row = 0; row < whole->Rows(); ++row) {
      for (int col = 0; col < whole->Cols(); ++col) {
        const SceneryPicture* piece =
            whole->Cols() == 1 && whole->Rows() == 1 ? whole : FindSceneryPiece(set, whole->number, col, row);
        if (piece == nullptr) continue;
        auto& c = out_.Cell(x0 + col, y0 + row);
        std::string& kind = c[3];
        if (!kind.empty() && (kind[0] == 'N' || kind[0] == '*' || kind[0] == 'M')) {
          Fail("object \"" + code + "\" covers the NPC or spawn on (" + std::to_string(x0 + col) + ", " +
               std::to_string(y0 + row) + ")");
        }
        c[2] = std::to_string(set) + Padded(piece->number, 4);
        if (whole->InFoot(col, row)) {
          kind = "0-";
        } else if (row < upperRows) {
          kind = Blocked(kind) ? "0" : "";
        } else {
          kind = Blocked(kind) ? "0-" : "1";
        }
      }
    }
  }

  std::size_t ReadRows(const std::vector<std::string>& lines, std::size_t first) {
    std::size_t i = first;
    std::vector<std::string> rows;
    // The rows end at an empty line or at the first line with a blank (a directive).
    for (; i < lines.size() && !lines[i].empty() && lines[i].find_first_of(" \t") == std::string::npos; ++i)
      rows.push_back(lines[i]);
    line_ = static_cast<int>(first + 1);
    if (rows.empty()) Fail("no rows after \"rows\"");
    const std::size_t w = rows[0].size();
    if (w < 1 || w > kMaxSize || rows.size() > kMaxSize) Fail("a part is 1..200 cells wide and high");
    out_.width = static_cast<int>(w);
    out_.height = static_cast<int>(rows.size());
    out_.cells.assign(w * rows.size(), {});
    for (std::size_t y = 0; y < rows.size(); ++y) {
      line_ = static_cast<int>(first + y + 1);
      if (rows[y].size() != w) Fail("every row is " + std::to_string(w) + " characters long");
      for (std::size_t x = 0; x < w; ++x) {
        const char c = rows[y][x];
        auto it = legend_.find(c);
        if (it == legend_.end()) Fail(std::string("no legend for '") + c + "'");
        out_.Cell(static_cast<int>(x + 1), static_cast<int>(y + 1)) = it->second;
      }
    }
    return i;
  }

  void ReadScript(const std::vector<std::string>& lines, std::size_t first) {
    std::size_t last = lines.size();
    while (last > first && lines[last - 1].empty()) --last;
    for (std::size_t i = first; i < last; ++i) {
      line_ = static_cast<int>(i + 1);
      if (lines[i].find('"') != std::string::npos) Fail("a script line cannot hold '\"'");
      out_.script.push_back(lines[i]);
    }
    if (out_.script.size() > static_cast<std::size_t>(kMaxScriptLines)) Fail("more than 999 script lines");
  }

  // Fields the game would warn about or could not draw are refused here.
  void CheckFields() {
    for (int x = 1; x <= out_.width; ++x) {
      for (int y = 1; y <= out_.height; ++y) {
        const auto& c = out_.Cell(x, y);
        const std::string where = "cell (" + std::to_string(x) + ", " + std::to_string(y) + "): ";
        for (int f = 1; f <= 4; ++f) {
          if (c[static_cast<std::size_t>(f)].find_first_of("\"\r\n") != std::string::npos) Fail(where + "a field holds '\"' or a line break");
        }
        const std::string& floor = c[1];
        if (!floor.empty() && (!AllDigits(floor) || floor.size() > 3 || std::stol(floor) < 1 || std::stol(floor) > kFloorLast)) {
          Fail(where + "floor \"" + floor + "\" is no tile 1..220");
        }
        const std::string& object = c[2];
        if (!object.empty() && (object.size() != 5 || !AllDigits(object) || object[0] < '1' || object[0] > '4' ||
                                object.substr(1) == "0000")) {
          Fail(where + "object \"" + object + "\" is no set digit 1..4 and picture number 0001..9999");
        }
        const std::string& kind = c[3];
        if (kind == "M" || kind == "N" || kind == "*N") Fail(where + "kind \"" + kind + "\" names nothing");
      }
    }
  }

  std::string file_;
  int line_ = 0;
  MapPartSource out_;
  std::map<char, std::array<std::string, 5>> legend_;
};

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Writes bytes beside `file` and renames them over it.
void WriteFileReplacing(const fs::path& file, const std::string& bytes) {
  if (!plat::WriteFileAtomically(file, std::vector<std::uint8_t>(bytes.begin(), bytes.end()))) {
    throw std::runtime_error(file.string() + ": cannot be written");
  }
}

struct Rgb {
  Uint8 r, g, b;
};

// The minimap colour of each floor tile.
Rgb FloorColour(const std::string& floor) {
  static const Rgb kColours[] = {
      {40, 40, 40},    // none
      {70, 140, 60},   // 1 grass
      {80, 150, 70},   // 2 grass
      {90, 150, 80},   // 3 flowers
      {130, 100, 60},  // 4 dirt
      {150, 140, 120}, // 5 road
      {200, 180, 120}, // 6 sand
      {40, 80, 170},   // 7 water
      {70, 120, 190},  // 8 shallows
      {150, 150, 150}, // 9 stone
      {150, 110, 70},  // 10 wood
      {100, 85, 70},   // 11 cave
      {80, 75, 80},    // 12 dungeon
      {230, 230, 240}, // 13 snow
      {200, 70, 30},   // 14 lava
      {80, 100, 60},   // 15 swamp
      {140, 120, 60},  // 16 farmland
      {160, 40, 40},   // 17 carpet
      {40, 90, 40},    // 18 dark grass
      {90, 80, 80},    // 19 ash
      {170, 210, 230}, // 20 ice
  };
  if (floor.empty()) return kColours[0];
  const long n = std::stol(floor);
  if (n >= 1 && n <= 20) return kColours[n];
  return {120, 120, 120};
}

Rgb Darker(Rgb c, int percent) {
  auto d = [percent](Uint8 v) { return static_cast<Uint8>(v * (100 - percent) / 100); };
  return {d(c.r), d(c.g), d(c.b)};
}

struct SurfaceFree {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
struct ArchiveDiscard {
  void operator()(zip_t* z) const {
    if (z != nullptr) zip_discard(z);
  }
};

}  // namespace

MapPartSource ParseMapPartSource(const std::string& text, const std::string& file, int map, int part) {
  return Parser(file, map, part).Parse(text);
}

std::vector<MapSource> ReadMapSources(const fs::path& mapsDir) {
  std::map<int, std::map<int, MapPartSource>> byMap;
  std::vector<std::string> names = plat::ListFiles(mapsDir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    // "<MM><PP>.txt"; other files (notes) are not parts.
    if (name.size() != 8 || name.substr(4) != ".txt" || !AllDigits(name.substr(0, 4))) continue;
    const int map = std::stoi(name.substr(0, 2));
    const int part = std::stoi(name.substr(2, 2));
    const fs::path file = mapsDir / name;
    if (map < 1 || part < 1 || part > kMaxPartsPerMap) throw SourceError(file.string() + ": maps 01..99, parts 01..30");
    byMap[map].emplace(part, ParseMapPartSource(ReadSourceText(file), file.string(), map, part));
  }
  if (byMap.empty()) throw SourceError(mapsDir.string() + ": no map parts");
  std::vector<MapSource> maps;
  for (auto& [number, parts] : byMap) {
    MapSource m;
    m.number = number;
    int expected = 1;
    for (auto& [n, p] : parts) {
      if (n != expected) {
        throw SourceError(mapsDir.string() + ": map " + std::to_string(number) + " has no part " +
                          std::to_string(expected));
      }
      m.parts.push_back(std::move(p));
      ++expected;
    }
    maps.push_back(std::move(m));
  }
  return maps;
}

std::string MapPartFileText(const MapPartSource& part) {
  std::string out;
  out.reserve(static_cast<std::size_t>(part.width) * static_cast<std::size_t>(part.height) * 16 + 256);
  out += Quoted(part.name) + "," + std::to_string(part.width) + "," + std::to_string(part.height) + "\r\n";
  for (int x = 1; x <= part.width; ++x) {
    for (int y = 1; y <= part.height; ++y) {
      const auto& c = part.Cell(x, y);
      out += Quoted(c[1]) + "," + Quoted(c[2]) + "," + Quoted(c[3]) + "," + Quoted(c[4]) + "\r\n";
    }
  }
  for (const std::string& line : part.script) out += Quoted(line) + "\r\n";
  return out;
}

void WriteMapArchive(const fs::path& zipFile, const std::vector<MapSource>& maps) {
  const fs::path temp = zipFile.parent_path() / (zipFile.filename().string() + ".new");
  std::error_code ec;
  fs::remove(temp, ec);
  std::vector<std::string> texts;  // kept alive until the archive is closed
  for (const MapSource& m : maps)
    for (const MapPartSource& p : m.parts) texts.push_back(MapPartFileText(p));

  int err = 0;
  std::unique_ptr<zip_t, ArchiveDiscard> z(zip_open(temp.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err));
  if (!z) throw std::runtime_error(temp.string() + ": cannot make the archive");
  // 2024-01-01 12:00, the same for every member and every build.
  std::tm stamp{};
  stamp.tm_year = 124;
  stamp.tm_mon = 0;
  stamp.tm_mday = 1;
  stamp.tm_hour = 12;
  const time_t when = timegm(&stamp);
  std::size_t t = 0;
  for (const MapSource& m : maps) {
    for (const MapPartSource& p : m.parts) {
      const std::string& text = texts[t++];
      const std::string member = Padded(m.number, 2) + Padded(p.part, 2) + ".map";
      zip_source_t* src = zip_source_buffer(z.get(), text.data(), text.size(), 0);
      if (src == nullptr) throw std::runtime_error(zipFile.string() + ": cannot add " + member);
      const zip_int64_t index = zip_file_add(z.get(), member.c_str(), src, ZIP_FL_OVERWRITE);
      if (index < 0) {
        zip_source_free(src);
        throw std::runtime_error(zipFile.string() + ": cannot add " + member);
      }
      zip_file_set_mtime(z.get(), static_cast<zip_uint64_t>(index), when, 0);
      zip_set_file_compression(z.get(), static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9);
    }
  }
  if (zip_close(z.get()) != 0) throw std::runtime_error(zipFile.string() + ": cannot write the archive");
  z.release();  // closed
  fs::rename(temp, zipFile, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw std::runtime_error(zipFile.string() + ": cannot be replaced");
  }
}

void WriteMinimap(const fs::path& file, const MapPartSource& part) {
  std::unique_ptr<SDL_Surface, SurfaceFree> s(SDL_CreateRGBSurfaceWithFormat(
      0, part.width * kMinimapCell, part.height * kMinimapCell, 24, SDL_PIXELFORMAT_RGB24));
  if (!s) throw std::runtime_error(file.string() + ": " + SDL_GetError());
  for (int x = 1; x <= part.width; ++x) {
    for (int y = 1; y <= part.height; ++y) {
      const auto& c = part.Cell(x, y);
      const std::string& kind = c[3];
      Rgb colour = FloorColour(c[1]);
      if (!c[2].empty()) colour = Darker(colour, 35);
      if (kind == "0" || kind == "0-") colour = Darker(colour, 55);
      if (!kind.empty() && kind[0] == 'N') colour = {240, 210, 40};
      if (!c[4].empty()) colour = {250, 250, 250};
      SDL_Rect r{(x - 1) * kMinimapCell, (y - 1) * kMinimapCell, kMinimapCell, kMinimapCell};
      SDL_FillRect(s.get(), &r, SDL_MapRGB(s->format, colour.r, colour.g, colour.b));
    }
  }
  const fs::path temp = file.parent_path() / (file.filename().string() + ".new");
  if (SDL_SaveBMP(s.get(), temp.c_str()) != 0) throw std::runtime_error(file.string() + ": " + SDL_GetError());
  std::error_code ec;
  fs::rename(temp, file, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw std::runtime_error(file.string() + ": cannot be replaced");
  }
}

void BuildMaps(const fs::path& dataDir, const fs::path& gameDir) {
  const std::vector<MapSource> maps = ReadMapSources(dataDir / "maps");
  // Names already in the folder keep their spelling ("Map" is the game's "map").
  const fs::path mapDir = plat::ResolvePathIn(gameDir, "map");
  if (!plat::MakeFolder(mapDir)) throw std::runtime_error(mapDir.string() + ": cannot be made");
  WriteMapArchive(plat::ResolvePathIn(gameDir, "Ham.dll"), maps);
  for (const MapSource& m : maps) {
    WriteFileReplacing(plat::ResolvePathIn(mapDir, std::to_string(m.number) + ".Mxx"),
                       std::to_string(m.parts.size()) + "\r\n");
    for (const MapPartSource& p : m.parts) {
      const std::string stem = Padded(m.number, 2) + Padded(p.part, 2);
      WriteFileReplacing(plat::ResolvePathIn(mapDir, stem + ".map"), MapPartFileText(p));
      WriteMinimap(plat::ResolvePathIn(mapDir, stem + ".dat"), p);
    }
  }
}

}  // namespace tools
