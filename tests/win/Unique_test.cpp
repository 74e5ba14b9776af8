// The owners close what they hold exactly once, and take the value each kind fails with as empty.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "Unique.h"

TEST(Unique, ClosesOnceAndTakesTheFailureValueOfItsKindAsEmpty) {
  DWORD flags = 0;
  const auto open = [&](HANDLE handle) { return GetHandleInformation(handle, &flags) != 0; };
  const HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  win::UniqueHandle event(raw);
  win::UniqueHandle moved(std::move(event));
  EXPECT_TRUE(!event && moved && open(raw));
  moved.reset();
  EXPECT_FALSE(open(raw));

  // CreateFile fails with INVALID_HANDLE_VALUE, which is also the current process's own handle.
  EXPECT_FALSE(
      win::UniqueFile(CreateFileA("C:\\no such folder\\x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)));
  EXPECT_TRUE(win::UniqueHandle(INVALID_HANDLE_VALUE).release() == GetCurrentProcess());
}
