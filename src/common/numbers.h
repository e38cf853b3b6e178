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
