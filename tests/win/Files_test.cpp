// Folder walking as the programs rely on it, against Wine's real file system.
#include <windows.h>

#include <gtest/gtest.h>

#include "Files.h"
#include "TestSupport.h"

TEST(ForEachEntry, EveryEntryButTheDotsUntilToldToStopAndWhyASearchEnded) {
  const std::string folder = "C:\\folvarek-files-test";
  testsupport::RemoveTree(folder);
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) && CreateDirectoryA((folder + "\\sub").c_str(), nullptr));
  testsupport::WriteFile(folder + "\\a.pdf", "a");
  int seen = 0, wanted = 3;
  const auto count = [&](const WIN32_FIND_DATAA&) { return ++seen < wanted; };
  EXPECT_EQ(win::ForEachEntry(folder + "\\*", count), ERROR_SUCCESS);
  EXPECT_EQ(seen, 2);  // sub and a.pdf
  seen = 0, wanted = 1;
  EXPECT_EQ(win::ForEachEntry(std::wstring(L"C:\\folvarek-files-test\\*"),
                              [&](const WIN32_FIND_DATAW&) { return ++seen < wanted; }),
            ERROR_SUCCESS);
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(win::ForEachEntry(folder + "\\*.doc", count), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(win::ForEachEntry(folder + "\\none\\*", count), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  testsupport::RemoveTree(folder);
}
