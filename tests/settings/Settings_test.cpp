// The settings routines and the save folder against Wine's real registry and file system. Each case
// starts without the keys and folders it uses.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "ModReg.h"
#include "SaveFolder.h"

using namespace std::string_literals;

namespace {

const char* const kTree = "SOFTWARE\\Folvarek";
const char* const kPolicies = "SOFTWARE\\Policies\\Folvarek";

void DeleteKey(const std::string& path) { RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str()); }

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS && RegCloseKey(key) == 0;
}

// Raw bytes as a value: the wide call stores them unconverted.
void Put(const std::string& path, const std::string& name, DWORD type, const std::string& bytes) {
  const std::wstring widePath(path.begin(), path.end()), wideName(name.begin(), name.end());
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, widePath.c_str(), name.empty() ? nullptr : wideName.c_str(), type,
                            bytes.data(), static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

// Text as the registry holds it, in UTF-16 with (unless cut off) its NUL.
std::string Utf16(const std::wstring& text) { return {reinterpret_cast<const char*>(text.data()), text.size() * 2}; }

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
  Put("SOFTWARE\\Folvarek\\ViewPDF", "", REG_SZ, Utf16({L"1", 2}));
  EXPECT_EQ(ModReg::GetViewPDFOpt(), "");
  DeleteKey(kTree);
}

TEST(ModReg, TheReadBufferHolds259CharactersAndAValueEndsAtItsFirstNul) {
  DeleteKey(kTree);
  std::string cyrillic;
  for (int i = 0; i < 260; ++i) cyrillic += "ж";
  const std::pair<std::string, std::string> cases[] = {{std::string(259, 'a'), std::string(259, 'a')},
                                                       {std::string(260, 'b'), ""},
                                                       {cyrillic, ""},
                                                       {cyrillic.substr(0, 2 * 259), cyrillic.substr(0, 2 * 259)}};
  for (const auto& [stored, read] : cases) {
    ASSERT_TRUE(ModReg::SetSaveLocation(stored));
    EXPECT_EQ(ModReg::GetSaveLocation(), read) << stored.size() << " bytes";
  }
  Put(kSettings[0].path, "", REG_SZ, Utf16(L"C:\\A\0C:\\B\0"s));
  EXPECT_EQ(ModReg::GetSaveLocation(), "C:\\A");
  DeleteKey(kTree);
}

// A value named after the setting under the policy key wins over the stored one, empty text too;
// other settings stay as stored.
TEST(ModReg, APolicyValueOverridesItsStoredSettingAsTextOrNumber) {
  using settings::Id;
  // clang-format off
  const struct { Id setting; DWORD type; std::string data; std::optional<std::string> policy; } cases[] = {
      {Id::SaveLocation, REG_SZ, Utf16(L" C:\\Отчёт \0"s), " C:\\Отчёт "}, {Id::ViewPDF, REG_SZ, "", ""},
      {Id::AllowCopy, REG_DWORD, {"\xff\xff\xff\xff", 4}, "4294967295"}, {Id::AllowPrint, REG_SZ, Utf16(L"\0"s), ""},
      {Id::KeyLength, REG_SZ, Utf16(std::wstring(300, L'9')), ""},  // too long reads as empty, and is set
      {Id::AutoSavePath, REG_SZ, Utf16(L"%TEMP%\0"s), "%TEMP%"},  // a value of its own name, not the key's
      {Id::Password, REG_EXPAND_SZ, Utf16(L"1\0"s), {}}, {Id::Password, REG_DWORD, {"\1\0", 2}, {}}};  // not a policy
  // clang-format on
  DeleteKey(kTree);
  for (const settings::Setting& s : settings::kSettings) ASSERT_TRUE(ModReg::Write(s.id, "stored"));
  for (const auto& c : cases) {
    const std::string name(settings::Of(c.setting).policy);
    SCOPED_TRACE(name + " of type " + std::to_string(c.type));
    DeleteKey(kPolicies);
    Put(kPolicies, name, c.type, c.data);
    EXPECT_EQ(ModReg::PolicyValue(c.setting), c.policy);
    for (const settings::Setting& other : settings::kSettings) {
      EXPECT_EQ(ModReg::Read(other.id), other.id == c.setting ? c.policy.value_or("stored") : "stored") << other.key;
    }
  }
  DeleteKey(kPolicies);
  DeleteKey(kTree);
}

// Each setting read as the job has always read it: the password only for exactly 1, the
// permissions for any number but 0, viewing above 0, AES-256 for the text "256" exactly, saving
// without asking for the text "1" exactly.
TEST(SettingsTable, EachSettingKeepsItsReading) {
  using settings::Id;
  // A text, and whether it reads as on for the password, copying, printing, viewing, AES-256 and saving.
  const std::pair<std::string, std::string> cases[] = {
      {"", "000000"},     {"1.0", "111100"},   {"2", "011100"},      {"-1", "011000"}, {"256", "011110"},
      {" 256", "011100"}, {"256.0", "011100"}, {"256\0"s, "011100"}, {"40", "011100"}, {"1", "111101"}};
  for (const auto& [text, on] : cases) {
    std::string read;
    for (Id id : {Id::Password, Id::AllowCopy, Id::AllowPrint, Id::ViewPDF, Id::KeyLength, Id::AutoSave})
      read += settings::IsOn(id, text) ? '1' : '0';
    EXPECT_EQ(read, on) << '"' << text << '"';
    EXPECT_EQ(settings::KeyLengthBits(text), on[4] == '1' ? 256 : 128);
  }
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
