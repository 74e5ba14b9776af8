#include "Files.h"

#include <shlobj.h>

#include "Text.h"
#include "Unique.h"

namespace win {

DWORD ForEachEntry(const std::wstring& pattern, const std::function<bool(const WIN32_FIND_DATAW&)>& visit) {
  WIN32_FIND_DATAW entry{};
  const UniqueFind search(FindFirstFileW(pattern.c_str(), &entry));
  if (!search) return GetLastError();
  for (;;) {
    const std::wstring_view name(entry.cFileName);
    const bool dots = name.size() <= 2 && name.find_first_not_of(L'.') == name.npos;
    if (!dots && !visit(entry)) return ERROR_SUCCESS;
    if (!FindNextFileW(search.get(), &entry)) {
      return GetLastError() == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : GetLastError();
    }
  }
}

std::wstring ProgramFolder() {
  const std::wstring path =
      FetchString([](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); }).value_or(L"");
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace win
