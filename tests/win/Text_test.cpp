// The growing fetch against calls of both kinds Windows has: those that say the size they need,
// and those that only fill the buffer they were given.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Text.h"

TEST(FetchString, GrowsUntilTheTextFitsAndTellsFailureFromEmpty) {
  const std::wstring longValue(1000, L'x');
  ASSERT_TRUE(SetEnvironmentVariableW(L"FOLVAREK_FETCH", longValue.c_str()));
  const auto variable = [](const wchar_t* name) {
    return win::FetchString([&](wchar_t* buffer, DWORD size) { return GetEnvironmentVariableW(name, buffer, size); }, 8);
  };
  EXPECT_EQ(variable(L"FOLVAREK_FETCH"), longValue);
  EXPECT_EQ(variable(L"FOLVAREK_NO_SUCH_VARIABLE"), std::nullopt);

  wchar_t whole[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, whole, MAX_PATH);
  const auto filled =
      win::FetchString([](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); }, 3);
  EXPECT_EQ(filled, std::wstring(whole));
}
