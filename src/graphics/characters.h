// The moving figures of the scene: the player as layered sprites (weapon, body, head)
// with its tint and name, the dead player, a monster with its name, health bar and
// death burst, the spirit companion, and the screen animations of ScreenEffects (one
// of which carries out the spirit item's transformation).
//
// Positions: view cell (c, r) lies at (48c + ScrollX, 32r + ScrollY) of the game screen;
// the player's anchor is (336, 224), view cell (7, 7), unscrolled.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/game_state.h"

constexpr int kCellWidth = 48;
constexpr int kCellHeight = 32;
constexpr float kPlayerAnchorX = 336.0f;
constexpr float kPlayerAnchorY = 224.0f;

// The view cell under the pointer, kept inside the view (0..14, 0..13).
inline std::int32_t MouseViewCol() { return std::clamp(G.MouseCellX, 0, kViewCols - 1); }
inline std::int32_t MouseViewRow() { return std::clamp(G.MouseCellY, 0, kViewRows - 1); }

// The kind of monster m, or nothing when m is not 1..300 or its Kind is not a loaded kind.
const MonsterKind* KindOfMonster(std::int32_t m);

// hp / max cut to 0..1; 0 when max is 0 or less.
double BarRatio(double hp, double max);

// The player's layers at the anchor: weapon behind (facing 0, 5, 6, 7), body, head (not
// while transformed), weapon in front (facing 1 to 4), the ID; then the monsters beside
// the player over it while it walks or runs diagonally downwards. A body look of 100
// or more is a transformed figure: body only.
void DrawPlayer();
// Body, head and weapon of the dead player in white, no name.
void DrawDeadPlayer();
// The monster standing on view cell (c, r) (any cell, the view's margin too): its frame,
// its name while the pointer rests on it or on the free cell above, its health bar with
// the full-screen option, and the death burst of its kind while it dies.
void DrawMonster(std::int32_t c, std::int32_t r);
// The companion (monster picture 83) and its glow while it casts.
void DrawSpirit();
// The cast flash (screen effects of kind 2) over the player.
void DrawCastEffect();
// The screen animations of kinds 1 and 3 to 10, each advanced one count; frees the
// finished ones and runs the transformation of kind 8.
void DrawScreenEffects();

// The name preceded by 4 - length blanks (none from 4 characters on).
std::string PadName(std::string_view name);

// Switches the body look to n: the body frames are dropped and "\date\Rpg\<n>.zb" read.
void LoadBodyFrames(std::int32_t n);
