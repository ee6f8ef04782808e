// The command table and dispatcher, and the run-wide values that the small
// commands set. GUI thread only.
#pragma once

#include <cstdint>

enum LedShapeKind : uint8_t { Disk = 0, Square = 1 };

struct CommandValues {
    uint8_t ledShape;              // LedShape [Disk]
    uint8_t editMode;              // EditMode [1]
    int32_t ledSizeFactor;         // LedSizeFactor [1]
    uint8_t videoPaused;           // VideoPaused [0]
    uint8_t frameImageRequest;     // FrameImageRequest [0]
    uint8_t boundingFrameVisible;  // BoundingFrameVisible [1]
};

const CommandValues& Values();
void SetVideoPaused(uint8_t paused);
void ClearFrameImageRequest();

// Every packet: geometry message, the "Send_Windows_Pos " line, then the
// command. `packet` is a full 2048-byte buffer; no handler reads `length`.
void DispatchCommand(const uint8_t* packet, int length);

// Tests: the values back to their start.
void ResetCommandValues();
