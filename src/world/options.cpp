#include "world/options.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

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

// The eight options of the file, each 0 or 1; nothing when the file is missing, short or
// holds a field that is not a whole number.
std::optional<std::array<int, kOptionCount>> ReadOptions() {
  plat::TextReader in(ConfigPath());
  if (!in.IsOpen()) return std::nullopt;
  std::array<int, kOptionCount> options{};
  for (int& option : options) {
    auto item = in.ReadItem();
    if (!item) return std::nullopt;
    auto number = WholeNumber(*item);
    if (!number) return std::nullopt;
    option = *number != 0 ? 1 : 0;
  }
  return options;
}

void ApplyOptions(const std::array<int, kOptionCount>& o) {
  G.SoundOn = o[0];
  G.ShowAllMonHp = o[1];
  G.ShowAllItemNames = o[2];
  G.AutoPickUp = o[3];
  G.ShowDamage = o[4];
  G.MagicLock = o[5];
  G.ShowMiniMap = o[6];
  if (plat::Control* map = ui::Form1.Pminimap) {
    if (o[6] == 0) {
      map->Move(kMiniMapParkedLeft, kMiniMapParkedTop);
    } else {
      map->Move(kMiniMapLeft, kMiniMapTop);
    }
  }
  G.ShowPlayerId = o[7];
  // The boxes' own click handling sets the same flags and the same panel place.
  auto boxes = OptionBoxes();
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i] != nullptr) boxes[i]->SetValue(o[i]);
  }
}

}  // namespace

bool SaveConfig() {
  std::vector<plat::TextItem> items;
  for (plat::Control* box : OptionBoxes()) items.emplace_back(static_cast<long>(box != nullptr ? box->Value() : 0));
  plat::TextWriter out(ConfigPath());
  if (!out.IsOpen()) return false;
  out.WriteItems(items);
  return out.Close();
}

void LoadConfig() {
  if (auto options = ReadOptions()) {
    ApplyOptions(*options);
    return;
  }
  ApplyOptions(kDefaultOptions);
  SaveConfig();
}
