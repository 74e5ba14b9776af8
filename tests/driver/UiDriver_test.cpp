// The driver against Wine's real message box and Save dialog, shown by a child copy of this program.
#include "UiDriver.h"

#include <commdlg.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string SelfPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

std::string TempFolder() {
  char path[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, path);
  return path;
}

// Child roles: show a message box and exit with the answer, or show a Save dialog and write the
// chosen name into a file.
int RunChild(int argc, char** argv) {
  const std::string role = argv[1];
  if (role == "--child-box" && argc == 3) {
    return MessageBoxA(nullptr, "First line\r\nSecond line", "Driver Box", std::strtoul(argv[2], nullptr, 10));
  }
  if (role == "--child-save" && argc == 3) {
    char file[260] = {};
    OPENFILENAMEA record{};
    record.lStructSize = sizeof record;
    record.lpstrFilter = "PDF Files (*.PDF)\0*.PDF\0";
    record.lpstrFile = file;
    record.nMaxFile = sizeof file;
    const std::string folder = TempFolder();
    record.lpstrInitialDir = folder.c_str();
    record.lpstrTitle = "Driver Save";
    const BOOL chosen = GetSaveFileNameA(&record);
    std::ofstream(argv[2], std::ios::binary) << (chosen ? file : "<cancel>");
    return 0;
  }
  return 2;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

TEST(UiDriver, ReadsAndAnswersMessageBoxesOfAnotherProcess) {
  const struct {
    UINT style;
    int answer;
    const char* seen;
    // clang-format off
  } cases[] = {
      {MB_YESNO | MB_ICONHAND, IDNO, "Driver Box | First line\\r\\nSecond line | Yes,No | stop"},
      {MB_OK, IDOK, "Driver Box | First line\\r\\nSecond line | OK | none"},
      {MB_YESNO | MB_ICONQUESTION, IDYES, "Driver Box | First line\\r\\nSecond line | Yes,No | question"},
      {MB_OK | MB_ICONEXCLAMATION, IDOK, "Driver Box | First line\\r\\nSecond line | OK | exclamation"},
  };
  // clang-format on
  for (const auto& c : cases) {
    auto child = uidriver::Process::Start(SelfPath(), "--child-box " + std::to_string(c.style));
    ASSERT_TRUE(child);
    const auto box = uidriver::AnswerMessageBox("Driver Box", c.answer);
    ASSERT_TRUE(box);
    EXPECT_EQ(uidriver::Describe(*box), c.seen);
    EXPECT_EQ(child->WaitExit(), std::optional<DWORD>(c.answer));
  }
}

TEST(UiDriver, ChoosesAndCancelsInTheSaveDialog) {
  const std::string result = TempFolder() + "uidriver-save.txt";
  {
    auto child = uidriver::Process::Start(SelfPath(), "--child-save \"" + result + "\"");
    ASSERT_TRUE(child);
    const HWND dialog = uidriver::WaitForWindow("Driver Save");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(uidriver::SaveDialogChoose(dialog, "chosen name"));
    ASSERT_EQ(child->WaitExit(), std::optional<DWORD>(0));
    EXPECT_EQ(ReadFile(result), TempFolder() + "chosen name");
  }
  {
    auto child = uidriver::Process::Start(SelfPath(), "--child-save \"" + result + "\"");
    ASSERT_TRUE(child);
    const HWND dialog = uidriver::WaitForWindow("Driver Save");
    ASSERT_NE(dialog, nullptr);
    uidriver::SaveDialogCancel(dialog);
    ASSERT_EQ(child->WaitExit(), std::optional<DWORD>(0));
    EXPECT_EQ(ReadFile(result), "<cancel>");
  }
  DeleteFileA(result.c_str());
}

TEST(UiDriver, AWindowThatNeverAppearsEndsTheWaitInTime) {
  EXPECT_EQ(uidriver::WaitForWindow("No Such Window", std::chrono::milliseconds(200)), nullptr);
  EXPECT_FALSE(uidriver::AnswerMessageBox("No Such Box", IDOK, std::chrono::milliseconds(200)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strncmp(argv[1], "--child-", 8) == 0) return RunChild(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
