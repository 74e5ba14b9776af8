// Window stacking and the system folder, used by the job flow and the close-down.
#pragma once

#include <windows.h>

#include <string>

// Puts the window into (onTop) or out of the topmost band, keeping its place and size, showing it
// without activating it.
void SetOnTop(HWND window, bool onTop);

// The Windows system folder without a trailing backslash; empty when the platform cannot say.
[[nodiscard]] std::string GetSystemDir();
