// Placeholder until the background picture lands.
#include "render/background.h"
void LoadBackgroundImage(const uint8_t*) {}
void RemoveBackgroundImage(const uint8_t*) {}
void DrawBackgroundImage() {}
