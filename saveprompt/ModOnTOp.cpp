#include "ModOnTOp.h"

#include <objbase.h>

#include <memory>

#include "FrmPDFOptions.h"

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// The shell's execute operation and the Save dialog expect COM on the window thread.
class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }

 private:
  bool initialised_;
};

int RunMessageLoop() {
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return 1;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

int Main(HINSTANCE instance) {
  // One print job at a time on the machine: the scratch folder is one for all sessions (fast user
  // switching, Remote Desktop), so the name is global. It is fixed, so copies in other folders
  // count too. A mutex that exists but may not be opened belongs to a copy run by another account.
  const UniqueHandle firstInstance(CreateMutexA(nullptr, FALSE, "Global\\Folvarek.saveprompt.job"));
  const DWORD created = GetLastError();
  if (created == ERROR_ALREADY_EXISTS || created == ERROR_ACCESS_DENIED) return 0;

  const ComApartment com;
  FrmPDFOptions jobWindow(instance);
  jobWindow.Show();
  return RunMessageLoop();
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
  std::string buffer(255, ' ');
  const UINT length = GetSystemDirectoryA(buffer.data(), 255);
  // A path that does not fit reports the size it needs instead of its length.
  if (length == 0 || length >= 255) return {};
  buffer.resize(length);
  return buffer;
}

std::string ApplicationFolder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of('\\'));
}
