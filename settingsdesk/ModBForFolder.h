// The two folder routines of the preferences window. Both take the calling window as owner, so the
// browse dialog and any message the shell shows belong to it.
#pragma once

#include <windows.h>

#include <string>

// Shows the shell's folder-browse dialog ("Specify the location to save images", file-system
// folders only, the resizable dialog with its new-folder button). Returns the chosen folder's path
// as the shell gives it, or empty text when the user cancelled or chose no file-system folder.
// The calling thread must have COM initialised as a single-threaded apartment.
[[nodiscard]] std::string BrowseForFolder(HWND owner);

// Creates the folder with every missing folder above it; the path is used as given (blanks kept).
// True only when this call created it: false for a blank path (nothing is created), a folder that
// already exists, or one that cannot be made.
[[nodiscard]] bool CreateSaveFolder(HWND owner, const std::string& path);
