#include "graphics/effects.h"

#include "common/game_state.h"

namespace {

// True when a running entry of the same kind forbids a new one.
bool SkillRefused(std::int32_t kind, std::int32_t p1) {
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxSkillEffects); ++i) {
    const SkillEffect& e = G.SkillEffects[i];
    if (e.Kind != kind) continue;
    if (kind == 7 || kind == 9 || kind == 10) return true;
    if (kind == 14 && e.P1 < 1) return true;
    if (kind == 15 && e.P1 >= 2 && p1 == 8) return true;
  }
  return false;
}

}  // namespace

void AddSkillEffect(std::int32_t kind, std::int32_t x, std::int32_t y, std::int32_t p2, std::int32_t p1) {
  if (SkillRefused(kind, p1)) return;
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxSkillEffects); ++i) {
    SkillEffect& e = G.SkillEffects[i];
    if (e.Kind != 0) continue;
    e.Kind = kind;
    e.X = x;
    e.Y = y;
    e.Frame = 0;
    e.P2 = p2;
    e.P1 = p1;
    return;
  }
}

bool AddScreenEffect(std::int32_t kind, std::int32_t x, std::int32_t y, std::int32_t p) {
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxScreenEffects); ++i) {
    ScreenEffect& e = G.ScreenEffects[i];
    if (e.Kind != 0) continue;
    e.Kind = kind;
    e.X = x;
    e.Y = y;
    e.Frame = 0;
    e.P = p;
    return true;
  }
  return false;
}

void AddFloatingText(std::string_view text, std::int32_t x, std::int32_t y, std::int32_t r, std::int32_t g,
                     std::int32_t b) {
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxFloatingTexts); ++i) {
    FloatingText& t = G.FloatingTexts[i];
    if (t.Age != 0) continue;
    t.Text.assign(text);
    t.X = x;
    t.Y = y;
    t.R = r;
    t.G = g;
    t.B = b;
    t.Age = 1;
    return;
  }
}
