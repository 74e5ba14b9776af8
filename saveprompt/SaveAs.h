// The Save File As dialog and the file check of the job window.
#pragma once

#include <windows.h>

#include <string>

// Asks where to store the finished PDF: the "Save File As" dialog, unowned, restricted to
// "PDF Files (*.PDF)", starting in `initialFolder` (the dialog's own choice when empty) with
// `proposedName` in its file name box (so queued jobs can be told apart), with no
// option flags, so it neither adds an extension nor warns about an existing file. Returns the chosen
// path followed by its terminating NUL, or empty text when the user cancelled. A chosen path too long
// for the dialog's buffer is a path/file access failure (JobError 75), so the user is asked again;
// any other failure of the dialog is a JobError with the dialog's error code.
[[nodiscard]] std::string ShowSaveAs(const std::string& initialFolder, const std::string& proposedName);

// True when a file (not a folder) exists at `szFame`.
[[nodiscard]] bool CheckFile(const std::string& szFame);
