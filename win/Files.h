// The file system as the programs walk it: the entries of a folder and the running program's folder.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace win {

// Calls `visit` with each entry FindFirstFile finds for `pattern` ("." and ".." left out) until it
// returns false. ERROR_SUCCESS when every entry was seen or `visit` stopped; else why the search
// ended (ERROR_FILE_NOT_FOUND when nothing matches, ERROR_PATH_NOT_FOUND for a missing folder).
DWORD ForEachEntry(const std::string& pattern, const std::function<bool(const WIN32_FIND_DATAA&)>& visit);
DWORD ForEachEntry(const std::wstring& pattern, const std::function<bool(const WIN32_FIND_DATAW&)>& visit);

// The folder of the running program, without a trailing backslash.
[[nodiscard]] std::wstring ProgramFolderW();
[[nodiscard]] std::string ProgramFolder();

}  // namespace win
