// The job window's two handlers that touch files after the job: the close-down that runs on every
// unload, and the Open action of its picture button.
#pragma once

#include <windows.h>

#include <string>

// Removes the scratch folder (appFolder + "\temp") and the three staged files in the system folder.
// Never fails and never shows anything.
void CloseDown(const std::string& appFolder);

// Opens `path` (the caption of Label5) in the user's PDF viewer; offers the reader download when no
// viewer is registered; a missing file is reported and unloads the job window.
void OpenAction(HWND jobWindow, const std::string& path);
