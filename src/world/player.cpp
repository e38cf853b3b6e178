#include "world/player.h"

void UpdatePlayer() {}
