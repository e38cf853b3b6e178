// Key state by Windows virtual-key code: a signed 16-bit value, negative while the
// key or button is held, with the low bit as the toggle state (flipped at each press).
// Each key also counts its presses, so a reader that looks only between two pumps of
// the window's events still sees a key pressed and released within one pump.
#pragma once

#include <cstdint>

namespace plat {

namespace vk {
constexpr int LButton = 1, RButton = 2, Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18,
              Escape = 27, Space = 32, PageUp = 33, PageDown = 34, End = 35, Home = 36, Left = 37, Up = 38,
              Right = 39, Down = 40, Delete = 46, Key0 = 48, Key1 = 49, KeyA = 65, F1 = 112, F12 = 123,
              Grave = 0xC0;
}

std::int16_t GetKeyState(int vkCode);
// Called by the event pump (and tests): a press sets the held bit and flips the toggle bit;
// a release clears the held bit. A press of a key already held (key repeat) changes nothing.
void SetKeyHeld(int vkCode, bool held);
// Every key released, every toggle and press count cleared.
void ResetKeyStates();
// Clears one key's toggle bit; its held bit stays.
void ClearKeyToggle(int vkCode);
// The number of new presses of the key so far (a key repeat is not a new press); it
// only grows (wrapping round) until ResetKeyStates. Compare two readings for "pressed
// in between". 0 for a code out of range.
std::uint32_t KeyPressCount(int vkCode);

}  // namespace plat
