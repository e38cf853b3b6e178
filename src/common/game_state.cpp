#include "common/game_state.h"

#include <algorithm>
#include <cmath>

#include "platform/text.h"

GameState G;

namespace {

constexpr std::array<std::string_view, kActionStateCount> kActionTexts{
    "停  ", "走  ", "跑  ", "攻击 ", "魔法 ", "被攻击", "死亡 ", "   ", "移动 ", "追击 ", "间歇 ",
};
constexpr std::array<std::string_view, 3> kSpiritTexts{"停止", "移动", "魔法"};

constexpr std::size_t kGridCells = static_cast<std::size_t>(kGridSize) * kGridSize;

const std::string kEmptyText;
const std::string kBlockedKind = "0";

bool ValidPart(std::int32_t part) { return part >= 0 && part <= kMaxParts; }

std::size_t GridIndex(std::int32_t x, std::int32_t y) {
  return static_cast<std::size_t>(x - 1) * kGridSize + static_cast<std::size_t>(y - 1);
}

// The stored index of (x, y) in a part sized w x h, or -1 outside the part.
long PartIndex(std::int32_t part, std::int32_t storedW, std::int32_t storedH, std::int32_t x, std::int32_t y) {
  if (!ValidPart(part)) return -1;
  const std::int32_t w = std::min(storedW, G.PartWidths[static_cast<std::size_t>(part)]);
  const std::int32_t h = std::min(storedH, G.PartHeights[static_cast<std::size_t>(part)]);
  if (x < 1 || y < 1 || x > w || y > h) return -1;
  return static_cast<long>(x - 1) * storedH + (y - 1);
}

long CellIndex(std::int32_t part, std::int32_t x, std::int32_t y) {
  if (!ValidPart(part)) return -1;
  const auto& p = G.MapCells[static_cast<std::size_t>(part)];
  return PartIndex(part, p.Width, p.Height, x, y);
}

long TemplateIndex(std::int32_t part, std::int32_t x, std::int32_t y) {
  if (!ValidPart(part)) return -1;
  const auto& p = G.PartGrids[static_cast<std::size_t>(part)];
  return PartIndex(part, p.Width, p.Height, x, y);
}

std::int32_t ClampSize(std::int32_t v) { return std::clamp(v, 0, kGridSize); }

std::int32_t NumberOf(std::string_view text) {
  if (text.empty()) return 0;
  const double v = plat::Val(text);
  if (!std::isfinite(v) || v > 2147483647.0 || v < -2147483648.0) return 0;
  return static_cast<std::int32_t>(plat::RoundHalfEven(v));
}

}  // namespace

std::string_view ActionText(ActionState state) {
  const auto i = static_cast<std::size_t>(state);
  return i < kActionTexts.size() ? kActionTexts[i] : kActionTexts[static_cast<std::size_t>(ActionState::Dead)];
}

std::string_view SpiritText(SpiritState state) {
  const auto i = static_cast<std::size_t>(state);
  return i < kSpiritTexts.size() ? kSpiritTexts[i] : kSpiritTexts[0];
}

// ---------------------------------------------------------------------------------

StringTable::StringTable() : texts_{std::string()}, numbers_{0} { ids_.emplace(std::string(), 0u); }

std::uint32_t StringTable::Intern(std::string_view text) {
  if (auto it = ids_.find(text); it != ids_.end()) return it->second;
  const auto id = static_cast<std::uint32_t>(texts_.size());
  texts_.emplace_back(text);
  numbers_.push_back(NumberOf(text));
  ids_.emplace(std::string(text), id);
  return id;
}

const std::string& StringTable::Text(std::uint32_t id) const {
  return id < texts_.size() ? texts_[id] : texts_[0];
}

std::int32_t StringTable::Number(std::uint32_t id) const { return id < numbers_.size() ? numbers_[id] : 0; }

// ---------------------------------------------------------------------------------

GameState::GameState()
    : Grid(kGridCells, kGridFree),
      ItemGrid(kGridCells, 0),
      DeadGrid(kGridCells, 0),
      MonsterKinds(1),
      ScriptLines(kScriptLineMax + 1),
      DbConn(std::make_unique<plat::db::Connection>()),
      DbRecordset(std::make_unique<plat::db::Recordset>()) {}

// ---------------------------------------------------------------------------------
// Map cells

void SetPartSize(std::int32_t part, std::int32_t w, std::int32_t h) {
  if (!ValidPart(part)) return;
  w = ClampSize(w);
  h = ClampSize(h);
  const auto p = static_cast<std::size_t>(part);
  G.PartWidths[p] = w;
  G.PartHeights[p] = h;
  const auto n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  G.MapCells[p].Width = w;
  G.MapCells[p].Height = h;
  G.MapCells[p].Cells.assign(n, MapCell{});
  G.PartGrids[p].Width = w;
  G.PartGrids[p].Height = h;
  G.PartGrids[p].Codes.assign(n, kGridFree);
}

bool InPart(std::int32_t part, std::int32_t x, std::int32_t y) { return CellIndex(part, x, y) >= 0; }

bool OnGrid(std::int32_t x, std::int32_t y) {
  if (!ValidPart(G.SubMap)) return false;
  const auto p = static_cast<std::size_t>(G.SubMap);
  const std::int32_t w = ClampSize(G.PartWidths[p]);
  const std::int32_t h = ClampSize(G.PartHeights[p]);
  return x >= 1 && y >= 1 && x <= w && y <= h;
}

void ClearMapArrays() {
  for (auto& p : G.MapCells) std::fill(p.Cells.begin(), p.Cells.end(), MapCell{});
  for (auto& p : G.PartGrids) std::fill(p.Codes.begin(), p.Codes.end(), kGridFree);
  for (auto& s : G.PartNames) s.clear();
  for (auto& s : G.PartScripts) s.clear();
  ClearGrid();
}

const std::string& CellField(std::int32_t part, std::int32_t x, std::int32_t y, int field) {
  const long i = CellIndex(part, x, y);
  if (i < 0) return field == 3 ? kBlockedKind : kEmptyText;
  const MapCell& c = G.MapCells[static_cast<std::size_t>(part)].Cells[static_cast<std::size_t>(i)];
  switch (field) {
    case 1: return G.Texts.Text(c.Floor);
    case 2: return G.Texts.Text(c.Object);
    case 3: return G.Texts.Text(c.Kind);
    case 4: return G.Texts.Text(c.Portal);
    default: return kEmptyText;
  }
}

void SetCellField(std::int32_t part, std::int32_t x, std::int32_t y, int field, std::string_view text) {
  const long i = CellIndex(part, x, y);
  if (i < 0 || field < 1 || field > 4) return;
  MapCell& c = G.MapCells[static_cast<std::size_t>(part)].Cells[static_cast<std::size_t>(i)];
  const std::uint32_t id = G.Texts.Intern(text);
  switch (field) {
    case 1: c.Floor = id; break;
    case 2: c.Object = id; break;
    case 3: c.Kind = id; break;
    default: c.Portal = id; break;
  }
}

std::int32_t CellFloorNumber(std::int32_t part, std::int32_t x, std::int32_t y) {
  const long i = CellIndex(part, x, y);
  if (i < 0) return 0;
  return G.Texts.Number(G.MapCells[static_cast<std::size_t>(part)].Cells[static_cast<std::size_t>(i)].Floor);
}

// ---------------------------------------------------------------------------------
// Grid codes

std::int32_t GridCodeOf(std::string_view text) {
  if (text.empty()) return kGridFree;
  if (text == "1") return kGridBlocked;
  if (text.size() == 5 && text[0] == 'M' &&
      std::all_of(text.begin() + 1, text.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
    const int n = (text[1] - '0') * 1000 + (text[2] - '0') * 100 + (text[3] - '0') * 10 + (text[4] - '0');
    return kGridMonsterBase + n;
  }
  return -static_cast<std::int32_t>(G.Texts.Intern(text));
}

std::string GridCodeText(std::int32_t code) {
  if (code == kGridFree) return std::string();
  if (code == kGridBlocked) return "1";
  if (code >= kGridMonsterBase && code <= kGridMonsterLast) {
    const int n = code - kGridMonsterBase;
    std::string s = "M0000";
    s[1] = static_cast<char>('0' + n / 1000);
    s[2] = static_cast<char>('0' + n / 100 % 10);
    s[3] = static_cast<char>('0' + n / 10 % 10);
    s[4] = static_cast<char>('0' + n % 10);
    return s;
  }
  if (code < 0) return G.Texts.Text(static_cast<std::uint32_t>(-static_cast<std::int64_t>(code)));
  return std::string();
}

bool GridCodeBlocks(std::int32_t code) {
  if (code == kGridBlocked) return true;
  if (code >= kGridMonsterBase && code <= kGridMonsterLast) return true;
  if (code < 0) {
    const std::string& t = G.Texts.Text(static_cast<std::uint32_t>(-static_cast<std::int64_t>(code)));
    return !t.empty() && t[0] == 'M';
  }
  return false;
}

// ---------------------------------------------------------------------------------
// The live grid

std::int32_t GridCode(std::int32_t x, std::int32_t y) {
  return OnGrid(x, y) ? G.Grid[GridIndex(x, y)] : kGridBlocked;
}

std::string GridText(std::int32_t x, std::int32_t y) { return GridCodeText(GridCode(x, y)); }

bool GridBlocked(std::int32_t x, std::int32_t y) { return GridCodeBlocks(GridCode(x, y)); }

std::int32_t GridMonster(std::int32_t x, std::int32_t y) {
  const std::int32_t code = GridCode(x, y);
  const std::int32_t n = code - kGridMonsterBase;
  return (code >= kGridMonsterBase && code <= kGridMonsterLast && n >= 1 && n <= kMaxMonsters) ? n : 0;
}

void SetGridCode(std::int32_t x, std::int32_t y, std::int32_t code) {
  if (OnGrid(x, y)) G.Grid[GridIndex(x, y)] = code;
}
void SetGridFree(std::int32_t x, std::int32_t y) { SetGridCode(x, y, kGridFree); }
void SetGridBlocked(std::int32_t x, std::int32_t y) { SetGridCode(x, y, kGridBlocked); }
void SetGridMonster(std::int32_t x, std::int32_t y, std::int32_t index) {
  if (index < 0 || index > 9999) return;
  SetGridCode(x, y, kGridMonsterBase + index);
}
void SetGridText(std::int32_t x, std::int32_t y, std::string_view text) {
  if (OnGrid(x, y)) G.Grid[GridIndex(x, y)] = GridCodeOf(text);
}

void ClearGrid() { std::fill(G.Grid.begin(), G.Grid.end(), kGridFree); }

void CopyPartGridToGrid(std::int32_t part) {
  for (std::int32_t x = 1; x <= kGridSize; ++x)
    for (std::int32_t y = 1; y <= kGridSize; ++y) {
      const long i = TemplateIndex(part, x, y);
      G.Grid[GridIndex(x, y)] =
          i < 0 ? kGridFree : G.PartGrids[static_cast<std::size_t>(part)].Codes[static_cast<std::size_t>(i)];
    }
}

// ---------------------------------------------------------------------------------
// Part templates

std::int32_t PartGridCode(std::int32_t part, std::int32_t x, std::int32_t y) {
  const long i = TemplateIndex(part, x, y);
  return i < 0 ? kGridBlocked : G.PartGrids[static_cast<std::size_t>(part)].Codes[static_cast<std::size_t>(i)];
}

std::string PartGridText(std::int32_t part, std::int32_t x, std::int32_t y) {
  return GridCodeText(PartGridCode(part, x, y));
}

void SetPartGridCode(std::int32_t part, std::int32_t x, std::int32_t y, std::int32_t code) {
  const long i = TemplateIndex(part, x, y);
  if (i >= 0) G.PartGrids[static_cast<std::size_t>(part)].Codes[static_cast<std::size_t>(i)] = code;
}

void SetPartGridText(std::int32_t part, std::int32_t x, std::int32_t y, std::string_view text) {
  if (TemplateIndex(part, x, y) >= 0) SetPartGridCode(part, x, y, GridCodeOf(text));
}

// ---------------------------------------------------------------------------------
// Ground items and corpses

std::int32_t ItemGridAt(std::int32_t x, std::int32_t y) { return OnGrid(x, y) ? G.ItemGrid[GridIndex(x, y)] : 0; }
void SetItemGridAt(std::int32_t x, std::int32_t y, std::int32_t index) {
  if (OnGrid(x, y)) G.ItemGrid[GridIndex(x, y)] = index;
}
std::int32_t DeadGridAt(std::int32_t x, std::int32_t y) { return OnGrid(x, y) ? G.DeadGrid[GridIndex(x, y)] : 0; }
void SetDeadGridAt(std::int32_t x, std::int32_t y, std::int32_t index) {
  if (OnGrid(x, y)) G.DeadGrid[GridIndex(x, y)] = index;
}
void ClearItemGrid() { std::fill(G.ItemGrid.begin(), G.ItemGrid.end(), 0); }
void ClearDeadGrid() { std::fill(G.DeadGrid.begin(), G.DeadGrid.end(), 0); }
