// What the scene draws over the world: the head-up display (panel, experience orb, HP
// and MP bars, frames per second), the rising damage numbers, the location line, the
// target bar, the system messages and the colour flash.
#pragma once

#include <cstdint>

// Width in pixels of a 100-pixel bar showing value of max: rounded, held to 0..100;
// 0 when max is 0 or less.
int BarWidth(std::int64_t value, std::int64_t max);

// The experience orb's fill: the top of the part shown, 0 (full) to 39 (empty), for
// Ex of Level² × 10 points; held inside the picture, 39 for level 0 or less.
int ExpFillTop(std::int64_t ex, std::int64_t level);

// The panel and the experience fill (not for a cheat account), the HP and MP bars with
// their numbers, and Fps.
void DrawHud();
// While ShowDamage is 1: ages every floating text by 2, draws it rising and fading,
// frees it above age 120. While it is 0 the texts neither age nor show.
void DrawFloatingTexts();
// The part's name and the view origin + 7 at (14, 384).
void DrawLocation();
// The hovered monster's health while TargetTimer runs (not with the full-screen
// monster health option); counts TargetTimer down.
void DrawTargetBar();
// The living system message lines.
void DrawSysMessages();
// The full-screen colour flash of FlashMode 1 to 3.
void DrawFlash();
