// The job's small Windows helpers: failure numbers, waiting while pumping, stacking, system folder.
#include <gtest/gtest.h>

#include <chrono>

#include "JobError.h"
#include "ModOnTOp.h"
#include "Pump.h"

using namespace std::chrono_literals;

TEST(JobErrorFromWin32, FileErrorsMapToTheNumbersTheErrorHandlerActsOn) {
  for (DWORD error : {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_WRITE_PROTECT}) {
    const JobError e = JobErrorFromWin32(error);
    EXPECT_EQ(e.Number(), 70) << error;
    EXPECT_EQ(e.Description(), "Permission denied");
    EXPECT_TRUE(e.SendsBackToPrompt());
  }
  EXPECT_EQ(JobErrorFromWin32(ERROR_FILE_NOT_FOUND).Description(), "File not found");
  EXPECT_EQ(JobErrorFromWin32(ERROR_PATH_NOT_FOUND).Description(), "Path not found");
  const JobError other = JobErrorFromWin32(ERROR_DISK_FULL);
  EXPECT_EQ(other.Description(), "Disk full.");  // the system's own words, without the line break
  EXPECT_FALSE(other.SendsBackToPrompt());
}

TEST(GetSystemDir, IsTheSystemFolderWithoutATrailingBackslash) {
  const std::string folder = GetSystemDir();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_EQ(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_NE(GetFileAttributesA((folder + "\\kernel32.dll").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(SetOnTop, MovesTheWindowBetweenBandsWithoutMovingOrActivatingIt) {
  const HWND window = CreateWindowExA(0, "STATIC", "stacking", WS_POPUP, 40, 50, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  const HWND active = GetForegroundWindow();
  SetOnTop(window, true);
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(IsWindowVisible(window));
  SetOnTop(window, false);
  EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 40);
  EXPECT_EQ(rect.top, 50);
  EXPECT_EQ(rect.right - rect.left, 1);
  EXPECT_EQ(rect.bottom - rect.top, 1);
  EXPECT_NE(GetForegroundWindow(), window);
  EXPECT_EQ(GetForegroundWindow(), active);
  DestroyWindow(window);
}

TEST(PumpWaitFor, EndsOnTheConditionTheHandleOrTheTime) {
  EXPECT_EQ(Pump::WaitFor([] { return true; }, 0ms), Pump::WaitResult::Done);
  EXPECT_EQ(Pump::WaitFor([] { return false; }, 50ms), Pump::WaitResult::TimedOut);

  const HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(Pump::WaitFor([] { return false; }, 10s, event), Pump::WaitResult::Signalled);
  CloseHandle(event);

  // Messages posted to this thread run while it waits: the condition is set by one of them.
  static bool seen = false;
  const HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_APP) seen = true;
    return DefWindowProcA(w, m, wp, lp);
  }));
  SetTimer(window, 1, 30, +[](HWND w, UINT, UINT_PTR, DWORD) { PostMessageA(w, WM_APP, 0, 0); });
  EXPECT_EQ(Pump::WaitFor([] { return seen; }, 10s), Pump::WaitResult::Done);
  DestroyWindow(window);
}

TEST(PumpPendingMessages, KeepsAQuitRequestForTheMainLoop) {
  PostQuitMessage(7);
  Pump::PendingMessages();
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}
