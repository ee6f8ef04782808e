// The whole program: the command channel wired to the window shell and the
// reports of the lower layers turned into status messages.
#pragma once

// Start-up, then the GLUT main loop. Returns the exit code.
int RunQuorvane(int argc, char** argv);
