// The status labels of the character window, the attribute page and the skill page,
// rewritten from the player record whenever a shown value changes.
#pragma once

// Sets level, points, gold, experience percentage, the four ranges, HP and MP maxima,
// carried weight, the dodge and accuracy ratings, the icons and key labels of learned
// skills and the colours of the skill-tree links.
void RefreshStatus();
// The same operation under its second name.
void RefreshStatus2();
