// CreateSaveFolder against Wine's real file system.
#include "SaveFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string kScratch = "C:\\folvarek-createsavefolder";

class CreateSaveFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Remove();
    ASSERT_TRUE(CreateDirectoryA(kScratch.c_str(), nullptr));
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    previous_ = current;
    // Relative paths would land here if they were made at all.
    ASSERT_TRUE(SetCurrentDirectoryA(kScratch.c_str()));
  }
  void TearDown() override {
    SetCurrentDirectoryA(previous_.c_str());
    Remove();
  }
  static void Remove() {
    std::error_code ignored;
    fs::remove_all(kScratch, ignored);
  }
  static bool ScratchIsEmpty() { return fs::is_empty(kScratch); }

  std::string previous_;
};

TEST_F(CreateSaveFolderTest, CreatesEveryMissingLevelAndSaysSoOnlyTheFirstTime) {
  const std::string path = kScratch + "\\one\\two\\three";
  EXPECT_TRUE(CreateSaveFolder(nullptr, path));
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_FALSE(CreateSaveFolder(nullptr, path));
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_FALSE(CreateSaveFolder(nullptr, kScratch));
}

TEST_F(CreateSaveFolderTest, BlankAndRelativePathsCreateNothing) {
  for (const std::string& path : {std::string(), std::string("   "), std::string("relative\\folder"),
                                  " " + kScratch + "\\leading-blank"}) {
    EXPECT_FALSE(CreateSaveFolder(nullptr, path)) << '"' << path << '"';
  }
  EXPECT_TRUE(ScratchIsEmpty());
}

TEST_F(CreateSaveFolderTest, AFolderOnAMissingDriveIsNotCreated) {
  // Wine maps few drive letters; Q: is not one of them in a fresh prefix.
  ASSERT_EQ(GetDriveTypeA("Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  EXPECT_FALSE(CreateSaveFolder(nullptr, "Q:\\folvarek\\missing"));
}

}  // namespace
