// Whole-number helpers the rules share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

// v held within the 32-bit range: sums and products of game numbers saturate instead of
// wrapping.
inline std::int32_t Saturate32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

// v x v x factor (factor at least 0) for level rules such as the experience thresholds:
// the square of any 32-bit value fits 64 bits, and the product stops at the largest
// 64-bit value instead of wrapping.
inline std::int64_t SquareTimes(std::int32_t v, std::int64_t factor) {
  const std::int64_t square = static_cast<std::int64_t>(v) * v;
  if (factor <= 0) return 0;
  constexpr std::int64_t kTop = std::numeric_limits<std::int64_t>::max();
  if (square > kTop / factor) return kTop;
  return square * factor;
}
