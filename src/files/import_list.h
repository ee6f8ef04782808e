// The import list (.iqp): a text file naming the encrypted chain files of
// one layout. This module owns the ImportNameList. GUI thread only.
#pragma once

#include "files/file_formats.h"

const ImportNameList& CurrentImportNames();
void EmptyImportNameList();

// Reads the list at `path` into the ImportNameList and gives the number of
// names. A missing file shows "Error access file " and gives 0; an empty
// one gives 0 without a message.
int ReadImportList(const char* path);
// The NUL-terminated list text into the ImportNameList; gives the count.
int ParseImportList(const char* text);

// Tests: the list empty.
void ResetImportList();
