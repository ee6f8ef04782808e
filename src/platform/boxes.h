// The program's error message: a system-modal box without owner window,
// caption "Error", the error icon and an OK button. GUI thread; returns when
// the user has closed it.
#pragma once

void ShowErrorBox(const char* text);
