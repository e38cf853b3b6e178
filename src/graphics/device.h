// The drawing device's start and end, the scene frame and the one text primitive.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/render.h"

// The connection strings' password of the game-data databases.
inline constexpr std::string_view kDataPassword = "qm25170894";

// Where the game draws: the window host's device, the game screen's target texture on
// it, and the routine that shows a finished frame (the host composes the window with
// the game screen). The program attaches it before InitD3D; without one InitD3D makes
// a headless device of the game screen's size for itself.
void AttachDisplay(plat::Renderer* device, plat::Texture gameScreen, std::function<void()> showFrame);

// Starts the graphics once: sizes the game screen control, takes the device (font:
// the one CJK font at 9 pt), makes the map surface from "\date\Item\1.bmp", builds the
// three data connection strings, sets the start values and reads "DisplayMemory.cfg".
void InitD3D();

// The one way the program ends: releases every texture, surface and the device, then
// ends the program at once, without saving and without asking.
[[noreturn]] void EndGame();
// The release part of EndGame alone: every texture and surface, and the device let go
// (an attached display is detached). For a program run that returns instead of ending.
void ReleaseGraphics();

// The low-memory switch: the first item of "\DisplayMemory.cfg" as a whole number
// 0..255. A missing file or an item that is not such a number gives 0 (the mode off).
std::uint8_t ReadDisplayMemory();

// A data connection string: provider, security, "Data Source=" + program folder +
// the relative path, ";", the database password.
std::string DataConnectionString(std::string_view relativePath);

// Draws into the game screen from here on.
void BeginScene();
// Shows the finished game screen.
void PresentScene();
// Clears the current target to a colour.
void ClearScene(plat::Color c);

// Draws the text with the game's font from (x, y) rounded, on one line; right and
// bottom only close the rectangle and cut nothing.
void DrawTextAt(std::string_view text, plat::Color colour, float x, float y, std::int32_t right,
                std::int32_t bottom);
