// The settings routines and the save folder against Wine's real registry and file system. Each case
// starts without the keys and folders it uses.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "ModReg.h"
#include "SaveFolder.h"

using namespace std::string_literals;

namespace {

const char* const kTree = "SOFTWARE\\Folvarek";

void DeleteKey(const std::string& path) { RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str()); }

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS && RegCloseKey(key) == 0;
}

void Put(const std::string& path, const std::string& name, DWORD type, const std::string& bytes) {
  ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, path.c_str(), name.empty() ? nullptr : name.c_str(), type, bytes.data(),
                            static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

// A default value read back in UTF-16, so a code-page slip in the routines cannot hide.
std::wstring ReadWide(const std::string& path) {
  wchar_t data[600] = {};
  DWORD size = sizeof data;
  const LSTATUS rc = RegGetValueW(HKEY_LOCAL_MACHINE, std::wstring(path.begin(), path.end()).c_str(), nullptr,
                                  RRF_RT_REG_SZ, nullptr, data, &size);
  return rc == ERROR_SUCCESS ? data : L"<" + std::to_wstring(rc) + L">";
}

// Each setting with its own text, blanks and all, and a non-ASCII one, which travels as UTF-8.
const struct {
  std::function<std::string()> get;
  std::function<bool(std::string_view)> set;
  const char* path;
  std::string text;
  std::wstring stored;
  // clang-format off
} kSettings[] = {
    {ModReg::GetSaveLocation, ModReg::SetSaveLocation, "SOFTWARE\\Folvarek\\SaveLocation\\Path", " C:\\Отчёт ",
     L" C:\\\x041E\x0442\x0447\x0451\x0442 "},
    {ModReg::GetPasswordOpt, ModReg::SetPasswordOpt, "SOFTWARE\\Folvarek\\Password\\Opt", "1", L"1"},
    {ModReg::GetAllowCopyOpt, ModReg::SetAllowCopyOpt, "SOFTWARE\\Folvarek\\AllowCopy\\Opt", "2", L"2"},
    {ModReg::GetAllowPrintOpt, ModReg::SetAllowPrintOpt, "SOFTWARE\\Folvarek\\AllowPrint\\Opt", "0.5", L"0.5"},
    {ModReg::GetViewPDFOpt, ModReg::SetViewPDFOpt, "SOFTWARE\\Folvarek\\ViewPDF\\Opt", "", L""},
    {ModReg::GetKeyLengthOpt, ModReg::SetKeyLengthOpt, "SOFTWARE\\Folvarek\\KeyLength\\Opt", "256", L"256"},
};
// clang-format on

}  // namespace

TEST(ModReg, EachSettingIsTheDefaultValueOfItsOwnKeyStoredExactly) {
  DeleteKey(kTree);
  for (const auto& s : kSettings) EXPECT_EQ(s.get(), "") << s.path;
  EXPECT_FALSE(KeyExists(kTree)) << "a reader created keys";
  for (const auto& s : kSettings) ASSERT_TRUE(s.set(s.text)) << s.path;
  for (const auto& s : kSettings) {
    EXPECT_EQ(ReadWide(s.path), s.stored) << s.path;
    EXPECT_EQ(s.get(), s.text) << s.path;
  }
  // The setting key's own value is not the setting.
  Put("SOFTWARE\\Folvarek\\ViewPDF", "", REG_SZ, "1");
  EXPECT_EQ(ModReg::GetViewPDFOpt(), "");
  DeleteKey(kTree);
}

TEST(ModReg, TheReadBufferHolds259BytesAndAValueEndsAtItsFirstNul) {
  DeleteKey(kTree);
  std::string cyrillic;
  for (int i = 0; i < 130; ++i) cyrillic += "ж";  // 260 bytes in UTF-8
  const std::pair<std::string, std::string> cases[] = {{std::string(259, 'a'), std::string(259, 'a')},
                                                       {std::string(260, 'b'), ""},
                                                       {cyrillic, ""},
                                                       {cyrillic.substr(0, 258), cyrillic.substr(0, 258)}};
  for (const auto& [stored, read] : cases) {
    ASSERT_TRUE(ModReg::SetSaveLocation(stored));
    EXPECT_EQ(ModReg::GetSaveLocation(), read) << stored.size() << " bytes";
  }
  Put(kSettings[0].path, "", REG_SZ, "C:\\A\0C:\\B\0"s);
  EXPECT_EQ(ModReg::GetSaveLocation(), "C:\\A");
  DeleteKey(kTree);
}

TEST(CreateSaveFolder, CreatesEveryMissingLevelOnceAndNothingForBlankRelativeOrMissingDrives) {
  const std::string scratch = "C:\\folvarek-savefolder";
  std::filesystem::remove_all(scratch);
  ASSERT_TRUE(CreateDirectoryA(scratch.c_str(), nullptr));
  ASSERT_TRUE(SetCurrentDirectoryA(scratch.c_str()));  // relative paths would land here
  EXPECT_TRUE(CreateSaveFolder(nullptr, scratch + "\\one\\two\\three"));
  EXPECT_TRUE(std::filesystem::is_directory(scratch + "\\one\\two\\three"));
  EXPECT_FALSE(CreateSaveFolder(nullptr, scratch + "\\one\\two\\three"));
  ASSERT_EQ(GetDriveTypeA("Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  for (const std::string& path : {""s, "   "s, "relative\\folder"s, " " + scratch + "\\blank", "Q:\\missing"s}) {
    EXPECT_FALSE(CreateSaveFolder(nullptr, path)) << '"' << path << '"';
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch), {}), 1);
  SetCurrentDirectoryA("C:\\");
  std::filesystem::remove_all(scratch);
}
