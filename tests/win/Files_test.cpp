// Folder walking as the programs rely on it, against Wine's real file system.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Files.h"
#include "TestSupport.h"

TEST(ForEachEntry, EveryEntryButTheDotsUntilToldToStopAndWhyASearchEnded) {
  const std::string folder = "C:\\folvarek-files-test";
  testsupport::RemoveTree(folder);
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) && CreateDirectoryA((folder + "\\sub").c_str(), nullptr));
  testsupport::WriteFile(folder + "\\a.pdf", "a");
  testsupport::WriteFile(folder + "\\b.txt", "b");
  std::vector<std::string> seen;
  bool more = true;
  const auto collect = [&](const WIN32_FIND_DATAA& entry) {
    seen.emplace_back(entry.cFileName);
    return more;
  };

  EXPECT_EQ(win::ForEachEntry(folder + "\\*", collect), ERROR_SUCCESS);
  EXPECT_EQ(seen.size(), 3u);
  seen.clear();
  more = false;
  EXPECT_EQ(win::ForEachEntry(folder + "\\*", collect), ERROR_SUCCESS);
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_EQ(win::ForEachEntry(folder + "\\*.doc", collect), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(win::ForEachEntry(folder + "\\none\\*", collect), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(win::ForEachEntry(std::wstring(L"C:\\folvarek-files-test\\*.pdf"),
                              [](const WIN32_FIND_DATAW& e) { return std::wstring(e.cFileName) != L"a.pdf"; }),
            ERROR_SUCCESS);
  testsupport::RemoveTree(folder);
}
