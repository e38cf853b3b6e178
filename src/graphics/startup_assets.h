// The pictures and tables loaded once at start: the loading-screen pictures, the head
// frames with their offsets, the frame-offset tables of every NPC and monster picture,
// the head-up display, the damage digits, three effect pictures and the cold-wind
// particles; then the title line and the title menu.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "graphics/resources.h"

// The version line drawn under the title menu.
inline constexpr std::string_view kTitleLine = "Orvanth：6.0.02";

// Reads `frames` offsets of a ".zb" table (a game path): element f (1..frames) is
// frame f's; values after them are ignored. A missing or short table, or a bad value,
// ends the program with a message naming the file.
std::vector<FrameOffset> ReadOffsetTable(std::string_view gamePath, int frames);

// Loads everything above in its order, then shows the title menu MainMeun.
void LoadGraphics();

// One frame of the loading screen: black, the small loading picture at (500, 400) and
// the large one at (260, 120), presented. Shown at start and by every map load.
void ShowLoadingScreen();
