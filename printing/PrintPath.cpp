#include "PrintPath.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <cwchar>

#include "Files.h"
#include "Unique.h"

namespace printpath {

std::wstring UserFolder(const char* relative) {
  const std::wstring local = win::ShellFolder(CSIDL_LOCAL_APPDATA);
  return local.empty() ? local : local + L"\\" + Wide(relative);
}

std::vector<DWORD> RunnerProcesses() {
  std::vector<DWORD> ids;
  const win::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (CompareStringOrdinal(entry.szExeFile, -1, kRunnerExe, -1, TRUE) == CSTR_EQUAL)
      ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

void AppendLogLine(const std::wstring& file, std::wstring_view text) noexcept {
  try {
    if (file.empty()) return;
    // A link in place of the log is not followed.
    const win::UniqueFile log(CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!log) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L"%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
    const std::string line = Utf8(stamp + std::wstring(text)) + "\r\n";
    DWORD written = 0;
    WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  } catch (...) {
    // Nothing more to do: a lost line loses no job.
  }
}

}  // namespace printpath
