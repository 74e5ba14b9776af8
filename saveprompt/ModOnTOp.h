// The program's start routine, window stacking and the folders of the program and of the user, used
// by the job flow and the close-down.
#pragma once

#include <windows.h>

#include <string>

// The start routine: ends at once when another saveprompt of this user runs (nothing shown, read or
// cleaned); otherwise runs the print job in the job window and returns the program's exit code when
// the job window has unloaded.
int Main(HINSTANCE instance);

// Puts the window into (onTop) or out of the topmost band, keeping its place and size, showing it
// without activating it.
void SetOnTop(HWND window, bool onTop);

// A prompt the user must answer: above every other window and in the foreground, so it is never
// hidden behind the application that printed.
void BringToFront(HWND window) noexcept;

// The Windows system folder without a trailing backslash; empty when the platform cannot say.
[[nodiscard]] std::string GetSystemDir();

// This user's scratch folder, where the print path leaves the job's PDF, without a trailing
// backslash; empty when the user's local application data folder is unknown.
[[nodiscard]] std::string UserScratchFolder();
