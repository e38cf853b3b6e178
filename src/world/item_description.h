// The two-line description of an item, shown whenever the player points at one: on the
// main window's description panel and in the trade window.
#pragma once

#include <string>

#include "common/game_state.h"
#include "platform/forms.h"

struct ItemLines {
  std::string line1;  // name, requirements, weight, skill bonus, forge level, weapon level
  std::string line2;  // the item's stats, each entry followed by one space
};

// Builds the two lines of an item. Reads the record only.
ItemLines DescribeItem(const ItemRecord& item);

// Writes the description of item into the two labels, each only when its caption
// differs (line 1 first). A missing label is skipped. Any window's pair of labels.
void ShowItemDescription(plat::Control* line1, plat::Control* line2, const ItemRecord& item);
