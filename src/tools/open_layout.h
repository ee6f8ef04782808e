// Opening the layout for the command-line programs (console platform only).
#pragma once

#include <string>

// Opens the layout by the rules of the window's open command (a .quor
// project or an .iqp import list, with at least one LED); false with the
// line to print.
bool OpenLayoutForTool(const std::string& path, std::string* error);
