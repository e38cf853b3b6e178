#include "graphics/map_loader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/startup_assets.h"
#include "graphics/texture_cache.h"
#include "platform/archive.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "window/form1.h"

namespace {

constexpr std::string_view kMissingFileMessage = "文件缺失，程序不能进行";

void DoEvents() { plat::Application::Get().DoEvents(); }

void SetVisible(plat::Control* c, bool visible) {
  if (c != nullptr) c->Visible = visible;
}

// A load that cannot go on: the game's message, then the end of the program.
[[noreturn]] void LoadFailed() {
  plat::MsgBox(std::string(kMissingFileMessage));
  EndGame();
}

// "00" formatting: at least two digits.
std::string TwoDigits(std::int32_t n) {
  std::string s = std::to_string(n);
  if (n >= 0 && s.size() < 2) s.insert(0, 2 - s.size(), '0');
  return s;
}

// A whole count read from an item (a number with optional fraction and exponent,
// truncated toward zero) within lo..hi; nothing for a text that is not a number or a
// value outside the range.
std::optional<std::int32_t> CountItem(const std::optional<std::string>& item, std::int32_t lo, std::int32_t hi) {
  if (!item) return std::nullopt;
  const auto v = plat::StrictNumber(*item);
  if (!v) return std::nullopt;
  const double t = std::trunc(*v);
  if (t < lo || t > hi) return std::nullopt;
  return static_cast<std::int32_t>(t);
}

// Monster kinds by name, the first kind of each name (the order of MonsterKinds).
std::unordered_map<std::string, std::int32_t> KindsByName() {
  std::unordered_map<std::string, std::int32_t> byName;
  const std::int32_t last =
      std::min<std::int32_t>(G.MonsterKindCount, static_cast<std::int32_t>(G.MonsterKinds.size()) - 1);
  for (std::int32_t k = 1; k <= last; ++k) byName.emplace(G.MonsterKinds[static_cast<std::size_t>(k)].MonName, k);
  return byName;
}

// The warning for a floor or object field whose leading number is 0 ("0", "00", or a
// text that does not begin with a number). The load goes on when it is closed.
void WarnZeroField(int field, const std::string& s) {
  plat::MsgBox(std::to_string(field) + " " + s, plat::kOkOnly);
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Reads one extracted part file into part `part`. False when the file cannot be read
// or holds data the arrays cannot take.
bool ReadPart(const plat::fs::path& file, std::int32_t part,
              const std::unordered_map<std::string, std::int32_t>& kinds) {
  plat::TextReader in(file);
  if (!in.IsOpen()) return false;
  const auto p = static_cast<std::size_t>(part);

  const auto name = in.ReadItem();
  if (!name) return false;
  const auto w = CountItem(in.ReadItem(), 1, kGridSize);
  if (!w) return false;
  const auto h = CountItem(in.ReadItem(), 1, kGridSize);
  if (!h) return false;
  G.PartNames[p] = *name;
  SetPartSize(part, *w, *h);

  auto& spawns = G.MonsterSpawns[p];
  for (std::int32_t x = 1; x <= *w; ++x) {
    for (std::int32_t y = 1; y <= *h; ++y) {
      std::array<std::string, 5> f;
      for (int k = 1; k <= 4; ++k) {
        auto item = in.ReadItem();
        if (!item) return false;  // the file ends inside the cells
        if ((k == 1 || k == 2) && !item->empty() && plat::Val(*item) == 0.0) WarnZeroField(k, *item);
        f[static_cast<std::size_t>(k)] = std::move(*item);
      }

      std::int32_t code = kGridFree;
      std::string& kind = f[3];
      if (kind == "0" || kind == "0-") code = kGridBlocked;
      if (!kind.empty() && kind[0] == 'M') {
        // A spawn point: the monster of that name, when the difficulty has one.
        if (auto it = kinds.find(kind.substr(1)); it != kinds.end()) {
          if (G.MonsterCount >= kMaxMonsters) return false;  // more spawns than a part can hold
          ++G.MonsterCount;
          MonsterInstance& m = spawns[static_cast<std::size_t>(G.MonsterCount)];
          m.X = x;
          m.Y = y;
          m.Kind = it->second;
          m.HP = G.MonsterKinds[static_cast<std::size_t>(it->second)].Hp;
          code = kGridMonsterBase + G.MonsterCount;
        }
        kind.clear();
      }
      if (StartsWith(kind, "N")) code = kGridBlocked;

      for (int k = 1; k <= 4; ++k) SetCellField(part, x, y, k, f[static_cast<std::size_t>(k)]);
      if (code != kGridFree) SetPartGridCode(part, x, y, code);
    }
  }

  // The script: up to 999 lines up to the end of the file.
  std::string script;
  for (int i = 0; i < kScriptLineMax; ++i) {
    auto line = in.ReadItem();
    if (!line) break;
    script += *line;
    script += "\r\n";
  }
  G.PartScripts[p] = std::move(script);
  return true;
}

}  // namespace

std::string MapPartFileName(std::int32_t map, std::int32_t part) { return TwoDigits(map) + TwoDigits(part) + ".map"; }

std::string MapIndexFileName(std::int32_t map) { return std::to_string(map) + ".Mxx"; }

std::string MinimapFileName(std::int32_t map, std::int32_t part) { return TwoDigits(map) + TwoDigits(part) + ".dat"; }

void LoadMap(std::int32_t map) {
  using ui::Form1;
  // 1. and 2. The frame, the minimap and the character window go away.
  SetVisible(Form1.PbkUp, false);
  SetVisible(Form1.PbkLeft, false);
  SetVisible(Form1.PbkRight, false);
  SetVisible(Form1.PBkDown1, false);
  SetVisible(Form1.PbkDown2, false);
  SetVisible(Form1.Pminimap, false);
  SetVisible(Form1.Psys2, false);
  DoEvents();
  G.MainMap = map;
  DoEvents();
  // 3. The loading screen stays on the game screen while the parts are read, until the
  // first frame of the new part.
  ShowLoadingScreen();
  DoEvents();

  // 4. The arrays and the pictures of the old map.
  ClearMapArrays();
  for (std::int32_t part = 0; part <= kMaxParts; ++part) SetPartSize(part, 0, 0);
  EmptyMapTextureSets();

  // 5. The part count.
  const plat::fs::path mapFolder = plat::ResolvePath("\\map");
  G.PathText = mapFolder.string() + "/";
  std::int32_t parts = 0;
  {
    plat::TextReader index(plat::ResolvePathIn(mapFolder, MapIndexFileName(map)));
    if (!index.IsOpen()) LoadFailed();
    const auto p = CountItem(index.ReadItem(), 1, kMaxParts);
    if (!p) LoadFailed();
    parts = *p;
  }

  // 6. Every part: the old copy goes, the archive's copy comes, and is read.
  const plat::fs::path archive = plat::ResolvePath("\\Ham.dll");
  const auto kinds = KindsByName();
  for (std::int32_t part = 1; part <= parts; ++part) {
    G.MonsterCount = 0;
    const std::string member = MapPartFileName(map, part);
    const plat::fs::path copy = plat::ResolvePathIn(mapFolder, member);
    // The old copy goes when it is there (a missing copy is fine); one that cannot be
    // removed would be read in place of the archive's.
    if (!plat::DeleteFile(copy)) LoadFailed();
    // A failed extraction shows as the part file not being there.
    plat::ExtractMember(archive, member, mapFolder);
    if (!ReadPart(plat::ResolvePathIn(mapFolder, member), part, kinds)) LoadFailed();
  }

  // 7. The frame and the minimap come back; the character window stays hidden.
  SetVisible(Form1.PbkUp, true);
  SetVisible(Form1.PbkLeft, true);
  SetVisible(Form1.PbkRight, true);
  SetVisible(Form1.PBkDown1, true);
  SetVisible(Form1.PbkDown2, true);
  SetVisible(Form1.Pminimap, true);
}
