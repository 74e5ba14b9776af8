// The folder picker of the preferences window; the calling window owns the browse dialog.
#pragma once

#include <windows.h>

#include <string>

// Shows the shell's folder-browse dialog ("Specify the location to save images", file-system
// folders only, the resizable dialog with its new-folder button). Returns the chosen folder's path
// as the shell gives it, or empty text when the user cancelled or chose no file-system folder.
// The calling thread must have COM initialised as a single-threaded apartment.
[[nodiscard]] std::string BrowseForFolder(HWND owner);
