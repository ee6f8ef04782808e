// The controller files as a conversion output: one file per port with LEDs,
// named "PORT-<n>-<name>" beside the target the user gave, in the format of
// export.h (512-byte header with the frame length and the two keys, then
// the frames at a fixed stride, each scrambled).
//
// The files are written as the frames come: each port's temporary file is
// sized for the whole video at the start (so frames never reached stay zero
// and unscrambled), each frame is written at its place once scrambled, and
// at the end the temporary files are made durable and renamed over the
// targets. A failed or stopped conversion removes them, so it never leaves
// a partial controller file nor replaces a good one. Memory stays a few
// frames: they are gathered per port and written as one piece, and the
// write-back of each piece is started at once, so the final flush has
// little left to wait for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/packet.h"
#include "convert/controller_format.h"
#include "convert/sink.h"
#include "model/layout.h"

struct ControllerFileSink {
    char directory[kPathBufferSize];
    char name[kPathBufferSize];
    uint8_t keyA;
    uint8_t keyB;
    uint32_t frameLength;  // 3 x the longest chain over all ports
    uint32_t frameStride;
    int32_t frameCount;
    int32_t batchStart;  // first frame gathered and not yet written
    int32_t batchCount;
    int file[kPortCount];  // descriptor of the temporary file, -1 when none
    std::string target[kPortCount];
    std::string temporary[kPortCount];
    uint8_t stream[kMaxFrameLength];  // the scrambling stream of the keys
    // A few frames per port, scrambled, at the file's stride: written as one
    // piece per port.
    std::vector<uint8_t> batch;
    std::string error;
};

// Splits `targetPath` into the directory and the name part of the files.
// The target itself is never written.
void SetControllerFileTarget(ControllerFileSink* sink, const char* targetPath);

// The sink's functions over `sink`, which must outlive the conversion.
OutputSink ControllerFileOutput(ControllerFileSink* sink);
