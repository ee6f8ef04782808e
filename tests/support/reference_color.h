// The colour steps one LED at a time, written out plainly: the reference
// the program's per-channel lookups (BuildLedParts) are checked against.
// Each uses the current colour settings.
#pragma once

#include <cstdint>

// rgb is red, green, blue; each changes it in place.
void ApplyBlackLevel(uint8_t rgb[3]);
void ApplyBrightness(uint8_t rgb[3]);
void ApplyCalibration(uint8_t rgb[3]);
// The three output bytes for `order`; rgb is left unchanged.
void ReorderColor(const uint8_t rgb[3], int order, uint8_t out[3]);

// The program's processed value per channel for the current settings, read
// back out of BuildLedParts: tables[c][v] is channel c's value v after black
// level, brightness and calibration.
void ProgramChannelTables(uint8_t tables[3][256]);
