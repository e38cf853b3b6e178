#include "world/monsters.h"

void UpdateMonsters() {}
