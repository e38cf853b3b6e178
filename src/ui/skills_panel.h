// The skills page Pmc of the character window: learning and raising skills with skill
// points (confirmed in the small panel Psplyn), the skill descriptions in PItemInf, and
// the hotkey row Pf that binds one of F1..F8 to an active skill.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

struct SkillInfo {
  const char* name;       // as asked in the question
  bool passive;           // passive skills take no key
  std::int32_t cost;      // raising from level L costs L + cost points
  int needs;              // skill that must stand at level 2 or more; 0 = none
  bool needsItself;       // only raised once learned (its first level comes from a script)
  const char* head;       // line 1 of the description begins with this
  const char* mpText;     // line 1 ends with this
  const char* line2;
};

// k = 1..15; nullptr for any other number.
const SkillInfo* SkillAt(int k);

// The level digit of a skill string (its third character) as a number, 0 when the
// string has no digit there.
int SkillLevelDigit(const std::string& m);

// The two description lines of skill k as the player's strings stand now.
std::string SkillDescriptionLine1(int k);
std::string SkillDescriptionLine2(int k);

// Whether a left press on skill k may open the question now (points, level below 3,
// prerequisite).
bool CanRaiseSkill(int k);

// A mouse button (1 left, 2 right) pressed on the icon McI(k).
void McI_MouseDown(int k, int button);
// The pointer over McI(k): its description in PItemInf.
void McI_MouseMove(int k);
// "是" and "否" of the question panel.
void Lsply_Click();
void Lspln_Click();

// The hotkey image F(n), n = 1..8: pressed, and released (which binds the key).
void F_MouseDown(int n);
void F_MouseUp(int n);

// Attaches the handlers above to Form1 (after BuildMainWindow).
void AttachSkillsPanelHandlers();

}  // namespace ui
