// A recorder of the scene's strings for the drawing tests: it takes the
// place of the text call table's entry, keeps every string drawn from a
// valid raster position with the position asked for, and draws it as the
// program does, so the pixels stay the same.
#pragma once

#include <string>
#include <vector>

struct DrawnText {
    std::string text;
    float x, y, z;  // raster position asked for (only valid positions are kept)
};

// Puts the recorder in the table, with nothing recorded; ResetTextCalls
// (in ResetRunState) takes it out again.
void RecordDrawnTexts();
const std::vector<DrawnText>& DrawnTexts();
void ClearDrawnTexts();
