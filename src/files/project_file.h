// The project file: the ProjectHeader held for the whole run, the path state
// that opening and saving share, the chain-file naming rule, and saving and
// reading a project. GUI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "files/file_formats.h"

constexpr size_t kProjectPathLimit = 511;
constexpr size_t kProjectFileNameLimit = 63;
constexpr size_t kChainPathLimit = 507;

const char* ProjectPath();
const char* ProjectDirectory();
const char* ProjectFileName();

// Sets ProjectPath, ProjectDirectory and ProjectFileName from `path`. A path
// the state cannot hold whole is refused (false, nothing changes): more than
// 511 characters, a file name of more than 63, or a chain-file path of more
// than 507 for some port.
bool SetProjectPaths(const char* path);

// ProjectDirectory, the separator, the port number 1..256 in decimal,
// ProjectFileName and ".line". With no directory the name stands alone (the
// current directory).
std::string ChainFilePath(int portNumber);

const ProjectHeader& CurrentProjectHeader();
// The import's rewrite of the header: every byte zero, then the given flags
// and view (FlagImportedPorts).
void ReplaceProjectHeader(const bool flags[kPortCount], uint16_t scrollX, uint16_t scrollY,
                          uint8_t cellSize);

// Reads up to 10240 bytes of the file over the header; bytes the file does
// not supply keep their values. A file that cannot be opened changes nothing.
void ReadProjectHeader(const char* path);

// Command 176 for a path: header (`view` and flags) then one chain file per
// used port, each written whole before it replaces an older file. A project
// file that cannot be written ends the save without chain files.
void SaveProject(const char* path, const HeaderView& view);

// Tests: path state empty, header all zero.
void ResetProjectFile();
