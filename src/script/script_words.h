// Small helpers shared by the script commands: argument words and their numbers.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "script/script.h"

namespace script {

// Argument word k of a command line.
inline std::string Word(std::string_view line, std::int32_t k) { return GetScriptArg(line, k); }

inline std::int32_t Clamp32(double v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
  if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(v);
}

inline std::int32_t Clamp32(long long v) {
  return static_cast<std::int32_t>(std::clamp<long long>(v, std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max()));
}

// A number word rounded down (7.9 is 7, -1.5 is -2); a word that is not a number is 0.
inline std::int32_t FloorNumber(std::string_view word) { return Clamp32(std::floor(plat::Val(word))); }

// A number word rounded to the nearest whole number, halves to the even one.
inline std::int32_t RoundNumber(std::string_view word) {
  return static_cast<std::int32_t>(plat::RoundHalfEven(plat::Val(word)));
}

// field + by, held within the 32-bit range.
inline std::int32_t Add32(std::int32_t field, long long by) { return Clamp32(static_cast<long long>(field) + by); }

inline bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace script
