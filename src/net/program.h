// The whole program: the command channel wired to the window shell and the
// reports of the lower layers turned into status messages.
#pragma once

// Start-up, then the GLUT main loop. Returns the exit code.
int RunQuorvane(int argc, char** argv);

// The hook that sends "port loaded" and "frame done" as status messages.
void InstallStatusReports();
