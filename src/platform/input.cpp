#include "platform/input.h"

#include <array>

namespace plat {

namespace {

constexpr std::uint16_t kHeld = 0xFF80;  // the held bits as the system reports them
constexpr std::uint16_t kToggle = 0x0001;

std::array<std::uint16_t, 256>& States() {
  static std::array<std::uint16_t, 256> states{};
  return states;
}

std::array<std::uint32_t, 256>& Presses() {
  static std::array<std::uint32_t, 256> presses{};
  return presses;
}

bool InRange(int vkCode) { return vkCode >= 0 && vkCode < 256; }

}  // namespace

std::int16_t GetKeyState(int vkCode) {
  if (!InRange(vkCode)) return 0;
  return static_cast<std::int16_t>(States()[static_cast<std::size_t>(vkCode)]);
}

void SetKeyHeld(int vkCode, bool held) {
  if (!InRange(vkCode)) return;
  std::uint16_t& s = States()[static_cast<std::size_t>(vkCode)];
  if (held) {
    // A repeated press of a key already held is not a new press: the toggle stays.
    if ((s & kHeld) == 0) {
      s = static_cast<std::uint16_t>(kHeld | ((s & kToggle) ^ kToggle));
      Presses()[static_cast<std::size_t>(vkCode)] += 1;  // unsigned: wraps round
    }
  } else {
    s = static_cast<std::uint16_t>(s & kToggle);
  }
}

void ResetKeyStates() {
  States().fill(0);
  Presses().fill(0);
}

void ClearKeyToggle(int vkCode) {
  if (!InRange(vkCode)) return;
  std::uint16_t& s = States()[static_cast<std::size_t>(vkCode)];
  s = static_cast<std::uint16_t>(s & ~kToggle);
}

std::uint32_t KeyPressCount(int vkCode) {
  if (!InRange(vkCode)) return 0;
  return Presses()[static_cast<std::size_t>(vkCode)];
}

}  // namespace plat
