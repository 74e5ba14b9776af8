// The file system as the programs walk it: the entries of a folder, the running program's folder
// and the folders the shell names.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace win {

// Calls `visit` with each entry FindFirstFile finds for `pattern` ("." and ".." left out) until it
// returns false. ERROR_SUCCESS when every entry was seen or `visit` stopped; else why the search
// ended (ERROR_FILE_NOT_FOUND when nothing matches, ERROR_PATH_NOT_FOUND for a missing folder).
DWORD ForEachEntry(const std::wstring& pattern, const std::function<bool(const WIN32_FIND_DATAW&)>& visit);

// The folder of the running program, without a trailing backslash.
[[nodiscard]] std::wstring ProgramFolder();

// A folder the shell knows by its CSIDL (CSIDL_LOCAL_APPDATA, CSIDL_PROGRAM_FILES), the caller's
// own, without a trailing backslash; empty when the shell cannot say.
[[nodiscard]] std::wstring ShellFolder(int csidl);

// Whether `path` names an existing file (not a folder) or an existing folder.
[[nodiscard]] bool FileExists(const std::wstring& path);
[[nodiscard]] bool FolderExists(const std::wstring& path);

}  // namespace win
