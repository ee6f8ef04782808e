// Chain files: saving one port's chain (command 161 and the project save),
// loading one into CurrentPort relative to its first LED (command 162), and
// restoring one into the port it records (project open). Also the
// ChainReplaceQuestion that the encrypted import shares. A chain put in is
// reported through ReportPortLoaded. GUI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "files/file_formats.h"

// Port number 1..256; 0 counts as 1, above 256 is ignored. The file is built
// in memory and replaces an older one only when written whole; a failure
// ends silently.
void SaveChainFile(uint16_t portNumber, const char* path);
// Command 162 for a path; reports the port when a chain was put in.
void LoadChainFile(const char* path);
// Into the port the file records, at its own coordinates; reports the port
// when a chain was put in.
void RestoreChainFile(const char* path);

// The Yes/No warning box about LEDs already on port index `port`; true on Yes.
bool ChainReplaceQuestion(int port);
std::string ChainReplaceQuestionText(int port);

// Reads and parses a chain file; false when it cannot be read or is refused.
bool ReadChainFile(const char* path, ChainFileData& out);
