#include "world/skills.h"

// The skill rules are not written yet: no entry advances or draws.
void RunAreaSkills() {}

void RunSkills() {}
