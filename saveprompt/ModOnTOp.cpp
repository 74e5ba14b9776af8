#include "ModOnTOp.h"

#include <shlobj.h>

#include <optional>

#include "ComApartment.h"
#include "Files.h"
#include "FrmPDFOptions.h"
#include "Pump.h"
#include "Text.h"
#include "Unique.h"
#include "UserFolders.h"

namespace {

// The lock that allows one saveprompt per user: a file in the user's own profile, which no other
// account can create, hold or change, held open unshared while the program runs. Nothing when
// another saveprompt of this user holds it. Any other failure proves no other instance holds it, so
// the job goes on without the lock.
std::optional<win::UniqueFile> HoldUserLock() {
  const std::wstring local = win::ShellFolder(CSIDL_LOCAL_APPDATA);
  if (local.empty()) return win::UniqueFile();
  const std::wstring path = local + L"\\" + win::Wide(folvarek::kSavepromptLock);
  CreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str(), nullptr);
  win::UniqueFile lock(CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!lock && GetLastError() == ERROR_SHARING_VIOLATION) return std::nullopt;
  return lock;
}

}  // namespace

int Main(HINSTANCE instance) {
  // One print job at a time per user, as the user has one scratch folder; other users' jobs run
  // beside it. The lock's place is fixed, so copies in other folders count too.
  const std::optional<win::UniqueFile> firstInstance = HoldUserLock();
  if (!firstInstance) return 0;

  const win::ComApartment com;
  FrmPDFOptions jobWindow(instance);
  jobWindow.Show();
  return win::RunMessageLoop();
}

void SetOnTop(HWND window, bool onTop) {
  RECT rect{};
  GetWindowRect(window, &rect);
  SetWindowPos(window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void BringToFront(HWND window) noexcept {
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(window);
}

std::string GetSystemDir() {
  return win::Utf8(
      win::FetchString([](wchar_t* buffer, DWORD size) { return GetSystemDirectoryW(buffer, size); }).value_or(L""));
}

std::string UserScratchFolder() {
  const std::string local = win::Utf8(win::ShellFolder(CSIDL_LOCAL_APPDATA));
  return local.empty() ? local : local + "\\" + folvarek::kScratchFolder;
}
