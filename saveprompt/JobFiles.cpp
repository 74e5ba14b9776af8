#include "JobFiles.h"

#include <windows.h>

#include "Files.h"
#include "JobError.h"
#include "JobNames.h"
#include "Text.h"

std::vector<std::string> ListFilesByName(const std::string& folder) {
  std::vector<std::string> names;
  const DWORD stopped = win::ForEachEntry(win::Wide(folder + "\\*"), [&](const WIN32_FIND_DATAW& entry) {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(win::Utf8(entry.cFileName));
    return true;
  });
  // ERROR_FILE_NOT_FOUND: an existing folder without any entry at all (not even "." and "..").
  if (stopped != ERROR_SUCCESS && stopped != ERROR_FILE_NOT_FOUND && stopped != ERROR_NO_MORE_FILES) {
    throw JobErrorFromWin32(stopped == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : stopped);
  }
  folvarek::SortByName(names);
  return names;
}

void DeleteWithoutForcing(const std::string& path) {
  if (!DeleteFileW(win::Wide(path).c_str())) throw JobErrorFromWin32(GetLastError());
}
