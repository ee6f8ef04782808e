// Opening a project file or an import list (command 177), and the reset of
// everything the layout files keep. The window's view comes in and goes out
// as a value. GUI thread.
#pragma once

#include <cstdint>

#include "files/file_formats.h"

// Command 177 for a path (at most 511 characters). A path the project path
// state refuses changes nothing; otherwise the layout is emptied, `view` is
// set from the project header and the chains are loaded.
void OpenFile(const char* path, HeaderView& view);

// Tests: path state, project header, import list and imported chains back
// to process start.
void ResetLayoutFiles();
