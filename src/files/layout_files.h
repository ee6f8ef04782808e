// The layout-file commands the dispatcher calls: save and load one port's
// chain file (161, 162), save a project (176), open a project or an import
// list (177). `packet` is the 2048-byte mailbox copy. GUI thread.
#pragma once

#include <cstdint>

void SaveChainFile(const uint8_t* packet);
void LoadChainFile(const uint8_t* packet);
void SaveProject(const uint8_t* packet);
void OpenFile(const uint8_t* packet);

// Command 177 for a path (at most 511 characters).
void OpenFile(const char* path);

// Tests: path state, project header, import list and imported chains back
// to process start.
void ResetLayoutFiles();
