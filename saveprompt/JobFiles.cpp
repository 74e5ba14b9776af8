#include "JobFiles.h"

#include <windows.h>

#include <memory>

#include "JobError.h"
#include "JobNames.h"

namespace {
struct SearchCloser {
  void operator()(HANDLE search) const noexcept { FindClose(search); }
};
}  // namespace

std::vector<std::string> ListFilesByName(const std::string& folder) {
  WIN32_FIND_DATAA entry{};
  const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // An existing folder without any entry at all (not even "." and "..").
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return {};
    throw JobErrorFromWin32(error == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : error);
  }
  const std::unique_ptr<void, SearchCloser> closer(search);
  std::vector<std::string> names;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(entry.cFileName);
  } while (FindNextFileA(search, &entry));
  const DWORD stopped = GetLastError();
  if (stopped != ERROR_NO_MORE_FILES) throw JobErrorFromWin32(stopped);
  folvarek::SortByName(names);
  return names;
}

void DeleteWithoutForcing(const std::string& path) {
  if (!DeleteFileA(path.c_str())) throw JobErrorFromWin32(GetLastError());
}
