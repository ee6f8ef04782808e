// Decoding of the Windows-1251 byte strings the program holds for its
// message texts, so that a dialog toolkit that works in Unicode can show
// them. Pure table lookup; no locale or toolkit involved.
#pragma once

#include <string>

// The UTF-16 text of a NUL-terminated Windows-1251 string. Bytes below 0x80
// stay as they are; the one byte the code page leaves unassigned (0x98)
// becomes U+FFFD so that it shows as a visible mark.
std::u16string DecodeWindows1251(const char* text);
