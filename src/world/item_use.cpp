#include "world/item_use.h"

#include <cstdint>
#include <string>

#include "common/game_state.h"
#include "script/script.h"

namespace {

// A number in at least two digits, as Format(n, "00") writes it.
std::string TwoDigits(std::int32_t n) {
  const long long v = n;
  const unsigned long long mag = static_cast<unsigned long long>(v < 0 ? -v : v);
  std::string digits = std::to_string(mag);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return v < 0 ? "-" + digits : digits;
}

}  // namespace

void RecallToReturnPoint() {
  ScriptMove("#move " + TwoDigits(G.GoMain) + TwoDigits(G.GoSub) + " " + std::to_string(G.GoX) + " " +
             std::to_string(G.GoY));
}

void UseItem(std::int32_t slot) { (void)slot; }
