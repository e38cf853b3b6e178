// The three effect lists' append rules: skills in progress, screen animations and
// floating texts. A full list drops the new entry without a word.
#pragma once

#include <cstdint>
#include <string_view>

// Starts a skill effect in the first free of the five entries. Refused while another
// entry of the same kind runs when the kind is 7, 9 or 10; kind 14 is refused while an
// entry of kind 14 has P1 below 1; kind 15 with p1 = 8 is refused while an entry of
// kind 15 has P1 of 2 or more.
void AddSkillEffect(std::int32_t kind, std::int32_t x, std::int32_t y, std::int32_t p2, std::int32_t p1);

// Starts a screen animation in the first free of the twenty entries; false when all
// twenty are in use and nothing was started.
bool AddScreenEffect(std::int32_t kind, std::int32_t x, std::int32_t y, std::int32_t p);

// Starts a floating text (age 1) in the first free of the twenty-five entries.
void AddFloatingText(std::string_view text, std::int32_t x, std::int32_t y, std::int32_t r, std::int32_t g,
                     std::int32_t b);
