#include "Pump.h"

#include <algorithm>

namespace win {

int RunMessageLoop(const std::function<bool(MSG&)>& preview) {
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return 1;
    if (preview && preview(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void PendingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

WaitResult WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout, HANDLE handle,
                   std::chrono::milliseconds poll) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return WaitResult::Done;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return WaitResult::TimedOut;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    const DWORD sleep = static_cast<DWORD>(std::min(left, poll).count());
    const DWORD count = handle != nullptr ? 1 : 0;
    const DWORD woke =
        MsgWaitForMultipleObjects(count, handle != nullptr ? &handle : nullptr, FALSE, sleep, QS_ALLINPUT);
    if (count == 1 && woke == WAIT_OBJECT_0) {
      PendingMessages();
      return done() ? WaitResult::Done : WaitResult::Signalled;
    }
    PendingMessages();
  }
}

DWORD WaitForObject(HANDLE object) {
  for (;;) {
    const DWORD result = MsgWaitForMultipleObjects(1, &object, FALSE, INFINITE, QS_ALLINPUT);
    if (result != WAIT_OBJECT_0 + 1) return result;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

}  // namespace win
