// Placeholder until the layout files land.
#include "files/layout_files.h"
void SaveChainFile(const uint8_t*) {}
void LoadChainFile(const uint8_t*) {}
void SaveProject(const uint8_t*) {}
void OpenFile(const uint8_t*) {}
