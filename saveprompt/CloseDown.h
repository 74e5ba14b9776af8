// The job window's two handlers that touch files after the job: the close-down that runs on every
// unload, and the Open action of its picture button.
#pragma once

#include <windows.h>

#include <string>

// Removes the scratch folder (appFolder + "\temp", retried for about 2 s while something holds it)
// and the three staged files in the system folder (only those a plain listing finds: hidden and
// system files stay). Never fails and never shows anything.
void CloseDown(const std::string& appFolder);

// Opens `path` (the caption of Label5: the job's finished file) in the user's PDF viewer; offers the
// reader download when no viewer takes it. A missing file is reported, and the job window is then
// closed with WM_CLOSE, which unloads it.
void OpenAction(HWND jobWindow, const std::string& path);
