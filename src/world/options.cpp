#include "world/options.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "window/form1.h"

namespace {

constexpr int kOptionCount = 8;
// The design values of the boxes: sound effects and damage numbers on.
constexpr std::array<int, kOptionCount> kDefaultOptions{1, 0, 0, 0, 1, 0, 0, 0};

// The minimap panel in view and parked (twips).
constexpr int kMiniMapLeft = 9210, kMiniMapTop = 120;
constexpr int kMiniMapParkedLeft = 10485, kMiniMapParkedTop = -1155;

std::filesystem::path ConfigPath() { return plat::ResolvePath("\\Config.cfg"); }

// The eight boxes in file order.
std::array<plat::Control*, kOptionCount> OptionBoxes() {
  const auto& w = ui::Form1;
  return {w.LGameMusic, w.LFullHP, w.LFullItem, w.LAutoItem, w.LActNumber, w.LMgcLock, w.LlistMinMap, w.LshowID};
}

// A field of the file: a whole number of -999999999..999999999 (digits only, no
// fraction), blanks around it allowed.
std::optional<long> WholeNumber(const std::string& item) {
  const auto v = plat::StrictNumber(item, plat::NumberForm::Whole);
  if (!v || *v < -999999999.0 || *v > 999999999.0) return std::nullopt;
  return static_cast<long>(*v);
}

// The eight options as the file gives them: the flags and the values of the boxes.
struct Options {
  std::array<int, kOptionCount> flags{};
  std::array<int, kOptionCount> boxes{};
};

Options FromBoxValues(const std::array<int, kOptionCount>& values) {
  Options o;
  o.flags = values;
  o.boxes = values;
  return o;
}

// The options of the file; nothing when the file is missing, short or holds a field
// that is not a whole number. A flag is on for any field other than exactly "0" ("00"
// too); its box takes the field's value, which a box holds as 0 clear, 1 ticked or 2
// grey; any other number ticks it.
std::optional<Options> ReadOptions() {
  plat::TextReader in(ConfigPath());
  if (!in.IsOpen()) return std::nullopt;
  Options o;
  for (int i = 0; i < kOptionCount; ++i) {
    auto item = in.ReadItem();
    if (!item) return std::nullopt;
    auto number = WholeNumber(*item);
    if (!number) return std::nullopt;
    const auto k = static_cast<std::size_t>(i);
    o.flags[k] = *item != "0" ? 1 : 0;
    o.boxes[k] = (*number >= 0 && *number <= 2) ? static_cast<int>(*number) : 1;
  }
  return o;
}

void ApplyOptions(const Options& o) {
  G.SoundOn = o.flags[0];
  G.ShowAllMonHp = o.flags[1];
  G.ShowAllItemNames = o.flags[2];
  G.AutoPickUp = o.flags[3];
  G.ShowDamage = o.flags[4];
  G.MagicLock = o.flags[5];
  G.ShowMiniMap = o.flags[6];
  if (plat::Control* map = ui::Form1.Pminimap) {
    if (o.flags[6] == 0) {
      map->Move(kMiniMapParkedLeft, kMiniMapParkedTop);
    } else {
      map->Move(kMiniMapLeft, kMiniMapTop);
    }
  }
  G.ShowPlayerId = o.flags[7];
  // For the values 0 and 1 the boxes' own click handling sets the same flags and the
  // same panel place.
  auto boxes = OptionBoxes();
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i] != nullptr) boxes[i]->SetValue(o.boxes[i]);
  }
}

}  // namespace

bool SaveConfig() {
  std::vector<plat::TextItem> items;
  for (plat::Control* box : OptionBoxes()) items.emplace_back(static_cast<long>(box != nullptr ? box->Value() : 0));
  // The file is replaced whole, never emptied first: a program killed in the middle
  // of a click leaves the old options or the new ones.
  const std::string line = plat::FormatItems(items) + "\r\n";
  return plat::WriteFileAtomically(ConfigPath(), std::vector<std::uint8_t>(line.begin(), line.end()));
}

void LoadConfig() {
  if (auto options = ReadOptions()) {
    ApplyOptions(*options);
    return;
  }
  ApplyOptions(FromBoxValues(kDefaultOptions));
  SaveConfig();
}
