// Starting a program on POSIX systems without waiting for it. Shared by the
// real and the scripted platform layer, which both really start programs.
#pragma once

// Spawns `path` (a name without '/' means the file in the current
// directory) with no arguments, in the background. A detached thread per
// child waits for that child alone, so it never lingers as a zombie and no
// other child of the process is reaped behind its owner's back. False when
// the program could not be started (missing, not executable).
bool SpawnDetached(const char* path);
