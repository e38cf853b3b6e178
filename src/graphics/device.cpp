#include "graphics/device.h"

#include "platform/process.h"

void EndGame() { plat::EndProgram(0); }
