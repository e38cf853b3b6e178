// The per-frame run of the skills in progress (SkillEffects), called from inside the
// scene drawing: RunAreaSkills under the characters, RunSkills over them.
#pragma once

// Advances and draws the entries of kinds 4 and 15 (under the characters).
void RunAreaSkills();
// Advances and draws the entries of kinds 2, 3, 5, 7, 8, 10, 11, 12, 13 and 14.
void RunSkills();

#include <cstdint>

// The level of skill k, 0..3: the last character of M(k) read as a number.
std::int32_t SkillLevel(int k);
