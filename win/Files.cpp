#include "Files.h"

#include "Text.h"
#include "Unique.h"

namespace win {

namespace {

template <typename Data, typename Char>
DWORD Walk(const std::basic_string<Char>& pattern, const std::function<bool(const Data&)>& visit) {
  Data entry{};
  UniqueFind search;
  if constexpr (sizeof(Char) == 1) {
    search.reset(FindFirstFileA(pattern.c_str(), &entry));
  } else {
    search.reset(FindFirstFileW(pattern.c_str(), &entry));
  }
  if (!search) return GetLastError();
  for (;;) {
    const std::basic_string_view<Char> name(entry.cFileName);
    const bool dots = name.size() <= 2 && name.find_first_not_of(static_cast<Char>('.')) == name.npos;
    if (!dots && !visit(entry)) return ERROR_SUCCESS;
    BOOL more = FALSE;
    if constexpr (sizeof(Char) == 1) {
      more = FindNextFileA(search.get(), &entry);
    } else {
      more = FindNextFileW(search.get(), &entry);
    }
    if (!more) return GetLastError() == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : GetLastError();
  }
}

}  // namespace

DWORD ForEachEntry(const std::string& pattern, const std::function<bool(const WIN32_FIND_DATAA&)>& visit) {
  return Walk<WIN32_FIND_DATAA>(pattern, visit);
}

DWORD ForEachEntry(const std::wstring& pattern, const std::function<bool(const WIN32_FIND_DATAW&)>& visit) {
  return Walk<WIN32_FIND_DATAW>(pattern, visit);
}

std::wstring ProgramFolderW() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path.substr(0, path.find_last_of(L'\\'));
    }
    path.resize(path.size() * 2);  // a path longer than MAX_PATH: try again with room for it
  }
}

std::string ProgramFolder() { return Utf8(ProgramFolderW()); }

}  // namespace win
