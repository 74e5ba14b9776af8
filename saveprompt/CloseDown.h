// The job window's two handlers that touch files after the job: the close-down that runs on every
// unload, and the Open action of its picture button.
#pragma once

#include <windows.h>

#include <string>

// Removes `scratchFolder` (retried for about 2 s while something holds it; when only the folder
// itself may not be removed, its emptied contents are enough; skipped when empty, as the folder was
// not known) and, when the stamp pass staged, the three staged files in `stagingFolder` (only those
// a plain listing finds: hidden and system files stay), with that folder when it is then empty. The
// stamp tool's copy is given 50 ms to be let go of, unless `stampToolEnded`. Never fails and never
// shows anything.
void CloseDown(const std::string& scratchFolder, const std::string& stagingFolder, bool stampToolEnded);

// Opens `path` (the caption of Label5: the job's finished file) in the user's PDF viewer; offers the
// reader download when no viewer takes it. A missing file is reported, and the job window is then
// closed with WM_CLOSE, which unloads it.
void OpenAction(HWND jobWindow, const std::string& path);
