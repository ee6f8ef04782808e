// The encrypted chain import: reading the .iql files an import list names
// into the ImportedChainTable, flagging the imported ports in the project
// header, and installing each flagged port's chain. This module owns the
// ImportedChainTable. GUI thread only.
#pragma once

#include "files/file_formats.h"

void EmptyImportedChainTable();

// Reads entries 0..n-1 of the ImportNameList from ProjectDirectory, in
// order. Stops at the first bad file with its message ("Error access file "
// or "Error size *.iql file "; a file with a port number of 0 or above 256
// counts as a bad file) and gives false; entries stored before stay.
bool LoadImportFiles(int n);
// The project header rewritten from the table: flags of the ports with
// LEDs, scroll origin (0, 2047), cell size 16.
void FlagImportedPorts();
// Puts table entry `port` into that port (grey, fresh history) when its
// header flag is set, asking first when level 1 already holds LEDs.
void InstallImportedChain(int port);

// Tests: the table empty.
void ResetEncryptedImport();
