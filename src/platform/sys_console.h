// The platform layer of command-line tools: no window system. A message box
// is not shown but kept, so the tool can report it as a one-line error; a
// save dialog is always cancelled; the screen has no size.
#pragma once

#include <string>

// The text of the first error box shown since the last clear ("" if none).
const std::string& SysConsole_FirstError();
void SysConsole_ClearErrors();
