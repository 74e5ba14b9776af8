// The save location's folder, which both programs create when it is missing: the job before its
// first prompt, the preferences window when it stores or closes.
#pragma once

#include <windows.h>

#include <string>

// Creates the folder with every missing folder above it; the path is used as given (blanks kept)
// and `owner` owns any message the shell shows. True only when this call created it: false for a
// blank path (nothing is created), a folder that already exists, or one that cannot be made.
bool CreateSaveFolder(HWND owner, const std::string& path);
