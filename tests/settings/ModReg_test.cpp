// The settings routines against Wine's real registry. Each case starts from a tree that does not exist.
#include "ModReg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

const char* const kTree = "SOFTWARE\\Folvarek";

class ModRegTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteTree(); }
  void TearDown() override { DeleteTree(); }

  static void DeleteTree() {
    const LSTATUS rc = RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTree);
    ASSERT_TRUE(rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) << rc;
  }

  static bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  // Writes raw bytes as the default value of a key, bypassing the routines under test.
  static void PutRaw(const std::string& path, const std::string& bytes, DWORD type = REG_SZ) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  // Reads a default value back in UTF-16, so a code-page slip in the routines cannot hide.
  static std::wstring ReadWide(const std::string& path) {
    std::wstring wpath(path.begin(), path.end());
    std::vector<wchar_t> data(1024);
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    const LSTATUS rc = RegGetValueW(HKEY_LOCAL_MACHINE, wpath.c_str(), nullptr, RRF_RT_ANY, &type,
                                    data.data(), &size);
    if (rc != ERROR_SUCCESS) return L"<" + std::to_wstring(rc) + L">";
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    return std::wstring(data.data());
  }
};

TEST_F(ModRegTest, EveryReaderIsEmptyWithoutTheTree) {
  EXPECT_FALSE(KeyExists(kTree));
  EXPECT_EQ(ModReg::GetSaveLocation(), "");
  EXPECT_EQ(ModReg::GetPasswordOpt(), "");
  EXPECT_EQ(ModReg::GetAllowCopyOpt(), "");
  EXPECT_EQ(ModReg::GetAllowPrintOpt(), "");
  EXPECT_EQ(ModReg::GetViewPDFOpt(), "");
  EXPECT_FALSE(KeyExists(kTree)) << "a reader must not create keys";
}

TEST_F(ModRegTest, FirstWriteCreatesTheChainAndStoresTheDefaultValue) {
  EXPECT_TRUE(ModReg::SetPasswordOpt("1"));
  EXPECT_EQ(ReadWide("SOFTWARE\\Folvarek\\Password\\Opt"), L"1");
  EXPECT_EQ(ModReg::GetPasswordOpt(), "1");
  // Only the setting written came into being.
  EXPECT_FALSE(KeyExists("SOFTWARE\\Folvarek\\AllowCopy"));
  EXPECT_EQ(ModReg::GetAllowCopyOpt(), "");
}

TEST_F(ModRegTest, EachSettingLivesUnderItsOwnKeyAndValueKey) {
  EXPECT_TRUE(ModReg::SetSaveLocation("C:\\Out"));
  EXPECT_TRUE(ModReg::SetPasswordOpt("1"));
  EXPECT_TRUE(ModReg::SetAllowCopyOpt("0"));
  EXPECT_TRUE(ModReg::SetAllowPrintOpt("1"));
  EXPECT_TRUE(ModReg::SetViewPDFOpt("0"));
  EXPECT_EQ(ReadWide("SOFTWARE\\Folvarek\\SaveLocation\\Path"), L"C:\\Out");
  EXPECT_EQ(ReadWide("SOFTWARE\\Folvarek\\Password\\Opt"), L"1");
  EXPECT_EQ(ReadWide("SOFTWARE\\Folvarek\\AllowCopy\\Opt"), L"0");
  EXPECT_EQ(ReadWide("SOFTWARE\\Folvarek\\AllowPrint\\Opt"), L"1");
  EXPECT_EQ(ReadWide("SOFTWARE\\Folvarek\\ViewPDF\\Opt"), L"0");
  // A second write goes through the existing parent and replaces the value.
  EXPECT_TRUE(ModReg::SetAllowPrintOpt("0"));
  EXPECT_EQ(ModReg::GetAllowPrintOpt(), "0");
  EXPECT_EQ(ModReg::GetSaveLocation(), "C:\\Out");
}

TEST_F(ModRegTest, SettingKeyWithoutItsValueKey) {
  PutRaw("SOFTWARE\\Folvarek\\ViewPDF", "not the setting");
  EXPECT_EQ(ModReg::GetViewPDFOpt(), "") << "the setting key's own value is not the setting";
  EXPECT_TRUE(ModReg::SetViewPDFOpt("1"));
  EXPECT_EQ(ReadWide("SOFTWARE\\Folvarek\\ViewPDF\\Opt"), L"1");
  EXPECT_EQ(ReadWide("SOFTWARE\\Folvarek\\ViewPDF"), L"not the setting");
}

TEST_F(ModRegTest, TheReadBufferHolds259BytesAndNotMore) {
  const std::string fits(259, 'a');
  const std::string tooLong(260, 'b');
  ASSERT_TRUE(ModReg::SetSaveLocation(fits));
  EXPECT_EQ(ModReg::GetSaveLocation(), fits);
  ASSERT_TRUE(ModReg::SetSaveLocation(tooLong));
  EXPECT_EQ(ModReg::GetSaveLocation(), "");
  // The limit counts bytes of the code page: 130 two-byte letters are 260 bytes.
  std::string cyrillic;
  for (int i = 0; i < 130; ++i) cyrillic += "ж";
  ASSERT_TRUE(ModReg::SetSaveLocation(cyrillic));
  EXPECT_EQ(ModReg::GetSaveLocation(), "");
  cyrillic.resize(258);
  ASSERT_TRUE(ModReg::SetSaveLocation(cyrillic));
  EXPECT_EQ(ModReg::GetSaveLocation(), cyrillic);
}

TEST_F(ModRegTest, AValueWithANulInTheMiddleReadsUpToTheNul) {
  PutRaw("SOFTWARE\\Folvarek\\SaveLocation\\Path", "C:\\A\0C:\\B\0"s);
  EXPECT_EQ(ModReg::GetSaveLocation(), "C:\\A");
}

TEST_F(ModRegTest, TextIsStoredExactlyAsGiven) {
  EXPECT_TRUE(ModReg::SetSaveLocation(" C:\\My Files "));
  EXPECT_EQ(ModReg::GetSaveLocation(), " C:\\My Files ");
  EXPECT_EQ(ReadWide("SOFTWARE\\Folvarek\\SaveLocation\\Path"), L" C:\\My Files ");
  EXPECT_TRUE(ModReg::SetPasswordOpt(""));
  EXPECT_EQ(ModReg::GetPasswordOpt(), "");
  EXPECT_TRUE(KeyExists("SOFTWARE\\Folvarek\\Password\\Opt"));
}

TEST_F(ModRegTest, NonAsciiLocationTravelsAsUtf8) {
  ASSERT_EQ(GetACP(), 65001u) << "the manifest must make the process code page UTF-8";
  const std::string location = "D:\\Отчёты";
  EXPECT_TRUE(ModReg::SetSaveLocation(location));
  EXPECT_EQ(ModReg::GetSaveLocation(), location);
  EXPECT_EQ(ReadWide("SOFTWARE\\Folvarek\\SaveLocation\\Path"), L"D:\\\x041E\x0442\x0447\x0451\x0442\x044B");
}

TEST_F(ModRegTest, QueryValueTextOfANullKeyIsEmpty) {
  EXPECT_EQ(ModReg::QueryValueText(nullptr, ""), "");
  EXPECT_FALSE(ModReg::OpenSettingKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Folvarek\\Nothing"));
}

}  // namespace
