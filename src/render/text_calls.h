// The strings of the scene (the bounding frame's size labels, the cursor
// read-out) are drawn through a table of calls: by default GLUT's bitmap
// characters in the read-out font. The scene always draws through the table;
// tests put a recorder of the strings in its place.
#pragma once

struct TextCalls {
    // Draws `text` from raster position (x, y, z) in the current
    // projection and modelview matrices, in the current colour; nothing
    // when the position falls outside the window.
    void (*drawAt)(const char* text, float x, float y, float z);
};

// The table in use; tests replace entries and call ResetTextCalls after.
TextCalls& CurrentTextCalls();
void ResetTextCalls();
