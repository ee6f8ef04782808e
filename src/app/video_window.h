// The "Video" window: OpenCV's own window that shows each frame of a
// playback. The window's video calls it through the display the app installs.
#pragma once

// Installs the window as the window video's display. GUI thread, at start-up.
void InstallVideoWindow();
