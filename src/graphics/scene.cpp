#include "graphics/scene.h"

void DrawScene() {}
