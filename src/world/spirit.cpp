#include "world/spirit.h"

void UpdateSpirit() {}
