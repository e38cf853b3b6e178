#include "graphics/aura.h"

#include <array>
#include <string>

#include "common/game_state.h"
#include "graphics/resources.h"
#include "graphics/scene_draw.h"
#include "platform/text.h"

namespace {

struct NamedColour {
  std::string_view Prefix;
  AuraColour Colour;
};

// In the order they are tested. The two sets with only red and green named get no blue.
constexpr std::array<NamedColour, 11> kSetColours{{
    {"剧毒", {0, 255, 0}},
    {"魔血", {255, 0, 0}},
    {"圣战", {255, 100, 100}},
    {"法神", {100, 100, 255}},
    {"狂战", {255, 0, 0}},
    {"圣尊", {0, 255, 0}},
    {"魔神", {0, 0, 255}},
    {"死神", {0, 0, 0}},
    {"皇族", {255, 50, 0}},
    {"精忠", {50, 255, 0}},
    {"魔术", {0, 50, 255}},
}};

std::string SetPrefix(int slot) { return plat::Left(G.Player.Items[static_cast<std::size_t>(slot)].Name, 2); }

constexpr float kAuraX = 308.0f;
constexpr float kAuraY = 206.0f;
constexpr float kAuraScale = 2.0f;

}  // namespace

AuraColour AuraColourOf(std::string_view prefix) {
  for (const auto& c : kSetColours) {
    if (c.Prefix == prefix) return c.Colour;
  }
  return AuraColour{};
}

void CheckEquipSet() {
  const std::string p2 = SetPrefix(2);
  const std::string p4 = SetPrefix(4);
  if (p2.empty() || p4.empty() || p2 != p4) {
    G.AuraLevel = 0;
    return;
  }
  const bool complete = (SetPrefix(6) == p2 || SetPrefix(7) == p2) && (SetPrefix(8) == p2 || SetPrefix(9) == p2);
  const AuraColour c = AuraColourOf(p2);
  G.AuraR = c.R;
  G.AuraG = c.G;
  G.AuraB = c.B;
  G.AuraLevel = complete ? 5 : 0;
}

void DrawAura() {
  if (G.AuraLevel < 2 || G.CheatMode != 0) return;
  G.AuraAlpha = G.AuraAlpha <= 10 ? 255 : G.AuraAlpha - 10;
  Gfx.ScalingX = Gfx.ScalingY = kAuraScale;
  DrawSpriteAt(Gfx.AuraTex, kAuraX, kAuraY, Rgba(G.AuraR, G.AuraG, G.AuraB, G.AuraAlpha));
  Gfx.ScalingX = Gfx.ScalingY = 1.0f;
}
