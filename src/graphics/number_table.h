// The numbers of a table file (the ".zb" frame-offset tables, the skills' "xy.txt"):
// items separated by commas, blanks or line ends, read one at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "graphics/resources.h"

class NumberTable {
 public:
  // Opens the file of a game path; IsOpen() is false when it cannot be read.
  explicit NumberTable(std::string_view gamePath);
  bool IsOpen() const { return open_; }
  // The next item's text; nothing at the end of the file. An item ends at a comma, a
  // blank or a line end; blanks before a comma or a line end belong to that one end,
  // so "1 , 2" and "1 2" are two items and "1,,2" has an empty one between.
  std::optional<std::string> Next();
  // The next item as a decimal whole number of -32768..32767 (a frame offset).
  std::optional<std::int32_t> NextOffset();
  // The next item as a number rounded down ("xy.txt"), within the 32-bit range.
  std::optional<std::int32_t> NextFloor();
  // The next two offsets, x then y.
  std::optional<FrameOffset> NextFrame();

 private:
  std::string data_;
  std::size_t pos_ = 0;
  bool open_ = false;
};
