#include "ModOnTOp.h"

void SetOnTop(HWND window, bool onTop) {
  RECT rect{};
  GetWindowRect(window, &rect);
  SetWindowPos(window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

std::string GetSystemDir() {
  std::string buffer(255, ' ');
  const UINT length = GetSystemDirectoryA(buffer.data(), 255);
  // A path that does not fit reports the size it needs instead of its length.
  if (length == 0 || length >= 255) return {};
  buffer.resize(length);
  return buffer;
}
