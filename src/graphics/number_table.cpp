#include "graphics/number_table.h"

#include <cmath>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

NumberTable::NumberTable(std::string_view gamePath) {
  const auto bytes = plat::ReadAllBytes(plat::ResolvePath(gamePath));
  if (!bytes) return;
  data_.assign(bytes->begin(), bytes->end());
  open_ = true;
}

std::optional<std::string> NumberTable::Next() {
  if (!open_) return std::nullopt;
  // Blank lines and leading blanks before an item are skipped.
  while (pos_ < data_.size() && (IsBlank(data_[pos_]) || IsLineEnd(data_[pos_]))) ++pos_;
  if (pos_ >= data_.size()) return std::nullopt;
  const std::size_t start = pos_;
  while (pos_ < data_.size() && data_[pos_] != ',' && !IsBlank(data_[pos_]) && !IsLineEnd(data_[pos_])) ++pos_;
  std::string item = data_.substr(start, pos_ - start);
  // The item's end: blanks, then at most one comma or one line end.
  while (pos_ < data_.size() && IsBlank(data_[pos_])) ++pos_;
  if (pos_ < data_.size() && data_[pos_] == ',') {
    ++pos_;
  } else if (pos_ < data_.size() && data_[pos_] == '\r') {
    ++pos_;
    if (pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
  } else if (pos_ < data_.size() && data_[pos_] == '\n') {
    ++pos_;
  }
  return item;  // empty between two commas: "1,,2"

}

std::optional<std::int32_t> NumberTable::NextOffset() {
  const auto item = Next();
  if (!item) return std::nullopt;
  const auto v = plat::StrictNumber(*item, plat::NumberForm::Whole);
  if (!v || *v < -32768 || *v > 32767) return std::nullopt;
  return static_cast<std::int32_t>(*v);
}

std::optional<std::int32_t> NumberTable::NextFloor() {
  const auto item = Next();
  if (!item || item->empty()) return std::nullopt;
  const double v = std::floor(plat::Val(*item));
  if (!std::isfinite(v) || v < -2147483648.0 || v > 2147483647.0) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

std::optional<FrameOffset> NumberTable::NextFrame() {
  const auto x = NextOffset();
  if (!x) return std::nullopt;
  const auto y = NextOffset();
  if (!y) return std::nullopt;
  return FrameOffset{*x, *y};
}
