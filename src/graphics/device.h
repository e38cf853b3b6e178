// The drawing device's start and end.
#pragma once

// The one way the program ends: releases what the graphics hold and ends the process
// at once, without saving and without asking.
[[noreturn]] void EndGame();
