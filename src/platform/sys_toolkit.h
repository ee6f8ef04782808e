// The process's widget toolkit (Qt) as the video library's windows use it:
// the video library's own event pump sleeps a millisecond or more on each
// call, so a window shown every frame is pumped through the toolkit
// directly. Shared by the real and the scripted platform layer.
#pragma once

// True when a top-level toolkit window has the title `title` (a window the
// video library made with the toolkit).
bool Sys_ToolkitHasWindow(const char* title);

// Runs the toolkit's pending events once without waiting: posted repaints
// are painted. Nothing happens without a running toolkit.
void Sys_ProcessToolkitEvents();
