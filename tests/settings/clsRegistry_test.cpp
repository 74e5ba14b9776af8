// clsRegistry against Wine's real registry. Each case starts without its scratch key.
#include "clsRegistry.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

const std::string kScratch = "SOFTWARE\\FolvarekRegistryTest";

std::string SystemMessage(DWORD code) {
  char text[512];
  return {text, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                               sizeof text, nullptr)};
}

// Counts real registry calls: this program's import slot of one advapi32 function points, while a
// CallCount lives, at a stand-in that counts and calls the real function.
int gCalls = 0;
void* gReal = nullptr;
LSTATUS WINAPI CountedQuery(HKEY k, LPCSTR n, LPDWORD r, LPDWORD t, LPBYTE d, LPDWORD s) {
  return ++gCalls, reinterpret_cast<decltype(&RegQueryValueExA)>(gReal)(k, n, r, t, d, s);
}
LSTATUS WINAPI CountedEnum(HKEY k, DWORD i, LPSTR n, LPDWORD nl, LPDWORD r, LPDWORD t, LPBYTE d, LPDWORD s) {
  return ++gCalls, reinterpret_cast<decltype(&RegEnumValueA)>(gReal)(k, i, n, nl, r, t, d, s);
}

class CallCount {
 public:
  CallCount(const char* function, void* standIn) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; dll->Name != 0 && slot_ == nullptr; ++dll) {
      auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
      for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk); name->u1.AddressOfData; ++name, ++slot) {
        if (!IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) &&
            std::strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name, function) == 0) {
          slot_ = reinterpret_cast<void**>(&slot->u1.Function);
        }
      }
    }
    if (slot_ == nullptr) throw std::runtime_error(function + " is not imported"s);
    Swap(standIn);
  }
  ~CallCount() { Swap(gReal); }
  int Take() { return std::exchange(gCalls, 0); }  // calls since the last Take

 private:
  void Swap(void* target) {
    DWORD old = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
    gReal = std::exchange(*slot_, target);
    VirtualProtect(slot_, sizeof *slot_, old, &old);
    gCalls = 0;
  }
  void** slot_ = nullptr;
};

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const LSTATUS rc = RegDeleteTreeA(HKEY_LOCAL_MACHINE, kScratch.c_str());
    ASSERT_TRUE(rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) << rc;
    reg.hkey(HKEY_LOCAL_MACHINE);
    reg.KeyRoot("SOFTWARE");
    reg.Subkey("FolvarekRegistryTest");
  }
  static void Put(const std::string& name, DWORD type, const std::string& data, const std::string& key = kScratch) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), type, data.data(), data.size()), 0);
  }
  static std::string Raw(const std::string& name) {  // stored bytes, unconverted
    std::string data(64, '\0');
    DWORD size = data.size();
    const LSTATUS rc = RegGetValueA(HKEY_LOCAL_MACHINE, kScratch.c_str(), name.c_str(), RRF_RT_ANY, nullptr,
                                    data.data(), &size);
    return rc == ERROR_SUCCESS ? data.substr(0, size) : "<missing>";
  }
  static bool Exists(const std::string& path) {
    HKEY key = nullptr;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == 0 && RegCloseKey(key) == 0;
  }

  clsRegistry reg;
};

TEST_F(RegistryTest, AnObjectWithoutHkeyFailsSafely) {
  clsRegistry unset;
  unset.KeyRoot("SOFTWARE");
  unset.Subkey("FolvarekRegistryTest");
  Put("v", REG_SZ, "stored");
  EXPECT_FALSE(unset.KeyExists());
  EXPECT_EQ(unset.GetRegistryValue("v", "default"), RegistryValue("default"s));
  EXPECT_FALSE(unset.SetRegistryValue("v", "new"s, REG_SZ));
  EXPECT_NE(unset.DeleteValue("v"), 0);
  EXPECT_EQ(unset.CreateKey("Other"), "");
  EXPECT_EQ(unset.ErrorMsg(), SystemMessage(ERROR_INVALID_HANDLE));
  EXPECT_EQ(Raw("v"), "stored"s + '\0');
}

TEST_F(RegistryTest, KeyPathsAndMessages) {
  ASSERT_EQ(reg.CreateKey(), "0");
  EXPECT_EQ(reg.ErrorMsg(), SystemMessage(ERROR_SUCCESS));
  EXPECT_TRUE(reg.KeyExists());
  ASSERT_EQ(reg.CreateKey("FolvarekRegistryTest\\Deep"), "0");
  EXPECT_EQ(reg.DeleteKey("FolvarekRegistryTest\\Deep"), ERROR_SUCCESS);
  EXPECT_FALSE(Exists(kScratch + "\\Deep"));

  // Without KeyRoot, CreateKey creates the name alone; the object's own path starts with "\".
  HKEY scratch = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratch.c_str(), 0, KEY_ALL_ACCESS, &scratch), 0);
  clsRegistry below;
  below.hkey(scratch);
  below.Subkey("Child");
  EXPECT_EQ(below.CreateKey(), "0");
  EXPECT_TRUE(Exists(kScratch + "\\Child"));
  EXPECT_FALSE(below.KeyExists());
  RegCloseKey(scratch);
}

TEST_F(RegistryTest, BothReadsConvertEachType) {
  const std::string longValue(2000, 'e');
  ASSERT_TRUE(SetEnvironmentVariableA("FOLVAREK_LONG", longValue.c_str()));
  Put("bin1", REG_BINARY, "\x00\x0F\xA0"s);
  Put("bin2", REG_BINARY, "\xFF"s);
  Put("dword", REG_DWORD, "\xFF\xFF\xFF\xFF"s);
  Put("empty", REG_SZ, "");
  Put("nodword", REG_DWORD, "");
  Put("expand", REG_EXPAND_SZ, "<%FOLVAREK_LONG%>");
  Put("multi", REG_MULTI_SZ, "a\0b\0\0"s);
  Put("sz", REG_SZ, "abc\0"s);
  Put("unclosed", REG_MULTI_SZ, "c\0d"s);  // the list's closing NUL is missing

  EXPECT_EQ(reg.GetRegistryValue("bin1"), RegistryValue(Bytes{0x00, 0x0F, 0xA0}));
  EXPECT_EQ(reg.GetRegistryValue("dword"), RegistryValue(-1));
  EXPECT_EQ(reg.GetRegistryValue("empty", 5), RegistryValue(5));
  EXPECT_EQ(reg.GetRegistryValue("nodword", "none"), RegistryValue("none"s));
  EXPECT_EQ(reg.GetRegistryValue("expand"), RegistryValue("<" + longValue + ">"));
  EXPECT_EQ(reg.GetRegistryValue("multi"), RegistryValue("a\0b"s));
  EXPECT_EQ(reg.GetRegistryValue("sz"), RegistryValue("abc"s));
  EXPECT_EQ(reg.GetRegistryValue("unclosed"), RegistryValue("c\0d"s));
  EXPECT_EQ(reg.GetRegistryValue("missing", 7), RegistryValue(7));

  const auto values = reg.EnumRegistryValues(HKEY_LOCAL_MACHINE, kScratch);
  std::vector<std::string> names;
  std::vector<RegistryValue> listed;
  for (const auto& [name, value] : values) names.push_back(name), listed.push_back(value);
  EXPECT_EQ(names, (std::vector<std::string>{"bin1", "bin2", "dword", "empty", "expand", "multi", "nodword", "sz",
                                             "unclosed"}));
  EXPECT_EQ(listed, (std::vector<RegistryValue>{"00 0F A0"s, "FF"s, -1, ""s, "<" + longValue + ">", "a,b"s, 0, "abc"s,
                                                "c,d"s}));
  EXPECT_THROW((void)values.Item(10), std::out_of_range);
}

TEST_F(RegistryTest, WritesStoreExactlyWhatTheTypeNames) {
  ASSERT_EQ(reg.CreateKey(), "0");
  EXPECT_TRUE(reg.SetRegistryValue("text", "Grüße, 1"s, REG_SZ));
  EXPECT_EQ(reg.GetRegistryValue("text"), RegistryValue("Grüße, 1"s));
  EXPECT_TRUE(reg.SetRegistryValue("multi", "a\0b\0"s, REG_MULTI_SZ));
  EXPECT_EQ(Raw("multi"), "a\0b\0\0"s);
  EXPECT_TRUE(reg.SetRegistryValue("number", " -42 "s, REG_DWORD));
  EXPECT_EQ(reg.GetRegistryValue("number"), RegistryValue(-42));
  EXPECT_TRUE(reg.SetRegistryValue("bytes", Bytes{1, 0, 2}, REG_BINARY));
  EXPECT_EQ(Raw("bytes"), "\x01\x00\x02"s);

  // What is not stored is never reported as stored, and leaves the message alone.
  EXPECT_EQ(reg.DeleteKey("NotThere"), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(reg.SetRegistryValue("odd", "x"s, 5));
  EXPECT_FALSE(reg.SetRegistryValue("odd", "4x"s, REG_DWORD));
  EXPECT_FALSE(reg.SetRegistryValue("odd", "99999999999"s, REG_DWORD));
  EXPECT_FALSE(reg.SetRegistryValue("odd", 3, REG_BINARY));
  EXPECT_EQ(Raw("odd"), "<missing>");
  EXPECT_EQ(reg.ErrorMsg(), SystemMessage(ERROR_FILE_NOT_FOUND));

  EXPECT_EQ(reg.DeleteValue("text"), ERROR_SUCCESS);
  EXPECT_EQ(reg.DeleteValue("text"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, LargeValuesCostOneMoreCallAndReadWhole) {
  auto bytes = [](std::size_t n) {
    std::string data(n, '\0');
    for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<char>(i * 7);
    return data;
  };
  const std::string fits = bytes(1024), over = bytes(1025);
  Put("v1024", REG_BINARY, fits);
  Put("v1025", REG_BINARY, over);
  {
    CallCount queries("RegQueryValueExA", reinterpret_cast<void*>(&CountedQuery));
    EXPECT_EQ(reg.GetRegistryValue("v1024"), RegistryValue(Bytes(fits.begin(), fits.end())));
    EXPECT_EQ(queries.Take(), 1);
    EXPECT_EQ(reg.GetRegistryValue("v1025"), RegistryValue(Bytes(over.begin(), over.end())));
    EXPECT_EQ(queries.Take(), 2);
  }
  Put("v", REG_BINARY, bytes(4096), kScratch + "\\A");
  Put("v", REG_BINARY, bytes(4097), kScratch + "\\B");
  CallCount enums("RegEnumValueA", reinterpret_cast<void*>(&CountedEnum));
  EXPECT_EQ(reg.EnumRegistryValues(HKEY_LOCAL_MACHINE, kScratch + "\\A").Count(), 1u);
  EXPECT_EQ(enums.Take(), 2) << "one call for the value, one past the last";
  const auto b = reg.EnumRegistryValues(HKEY_LOCAL_MACHINE, kScratch + "\\B");
  EXPECT_EQ(enums.Take(), 3);
  EXPECT_EQ(std::get<std::string>(b.Item(1).Value).size(), 4097u * 3 - 1);

  // A binary value far beyond 32 KB enumerates whole, and the enumeration goes on after it.
  Put("a_big", REG_BINARY, bytes(40000), kScratch + "\\C");
  Put("b_next", REG_SZ, "after", kScratch + "\\C");
  const auto values = reg.EnumRegistryValues(HKEY_LOCAL_MACHINE, kScratch + "\\C");
  ASSERT_EQ(values.Count(), 2u);
  const std::string& hex = std::get<std::string>(values.Item(1).Value);
  EXPECT_EQ(hex.size(), 40000u * 3 - 1);
  EXPECT_EQ(hex.substr(hex.size() - 3), " B9");  // byte 39999: 39999 * 7 mod 256
  EXPECT_EQ(values.Item(2).Value, RegistryValue("after"s));
}

TEST_F(RegistryTest, EnumeratedKeysAreFoundWithoutRegardToCase) {
  ASSERT_EQ(reg.CreateKey("FolvarekRegistryTest\\Alpha"), "0");
  ASSERT_EQ(reg.CreateKey("FolvarekRegistryTest\\Отчёт"), "0");
  HKEY scratch = nullptr;  // a key with a class name must not end the enumeration
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kScratch + "\\Beta").c_str(), 0, const_cast<char*>("Printer"), 0,
                            KEY_ALL_ACCESS, nullptr, &scratch, nullptr), 0);
  RegCloseKey(scratch);

  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratch.c_str(), 0, KEY_READ, &scratch), 0);
  const auto keys = reg.EnumRegistryKeys(scratch, "");
  ASSERT_EQ(keys.Count(), 3u);
  EXPECT_EQ(keys.Item(2), "Beta");
  auto found = [&](std::string_view name) { return keys.Find(name) ? *keys.Find(name) : "<none>"; };
  EXPECT_EQ(found("ALPHA"), "Alpha");
  EXPECT_EQ(found("оТЧЁт"), "Отчёт");
  EXPECT_EQ(found("Gamma"), "<none>");
  // The handle passed in is still open and usable.
  EXPECT_EQ(reg.EnumRegistryKeys(scratch, "").Count(), 3u);
  EXPECT_EQ(RegCloseKey(scratch), 0);

  EXPECT_EQ(reg.EnumRegistryKeys(HKEY_LOCAL_MACHINE, kScratch + "\\Missing").Count(), 0u);
  EXPECT_EQ(reg.EnumRegistryValues(HKEY_LOCAL_MACHINE, kScratch + "\\Missing").Count(), 0u);
}

TEST_F(RegistryTest, RemoteAccess) {
  EXPECT_EQ(reg.ReadRemoteRegistryValue("folvarek-no-such-host", HKEY_LOCAL_MACHINE, "v"), RegistryValue("Error!"s));
  EXPECT_FALSE(reg.WriteRemoteRegistryValue("folvarek-no-such-host", HKEY_LOCAL_MACHINE, "v", "x"s, REG_SZ));

  // Wine connects to this computer's own name; the key must exist to be written.
  char computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD length = sizeof computer;
  ASSERT_TRUE(GetComputerNameA(computer, &length));
  EXPECT_FALSE(reg.WriteRemoteRegistryValue(computer, HKEY_LOCAL_MACHINE, "v", "x"s, REG_SZ));
  EXPECT_EQ(reg.ErrorMsg(), SystemMessage(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(reg.CreateKey(), "0");
  EXPECT_TRUE(reg.WriteRemoteRegistryValue(computer, HKEY_LOCAL_MACHINE, "v", "remote"s, REG_SZ, kScratch));
  EXPECT_EQ(reg.GetRegistryValue("v"), RegistryValue("remote"s));
  EXPECT_EQ(reg.ReadRemoteRegistryValue(computer, HKEY_LOCAL_MACHINE, "v"), RegistryValue("remote"s));
}

TEST(TrimNull, CutsAtTheFirstNulWhereverItIs) {
  std::string item = "ab\0cd"s;
  EXPECT_EQ(clsRegistry::TrimNull(item), "ab");
  EXPECT_EQ(item, "ab");
  std::string late = std::string(40000, 'x') + '\0' + "tail";
  EXPECT_EQ(clsRegistry::TrimNull(late).size(), 40000u);
  EXPECT_EQ(late.size(), 40000u);
}

}  // namespace
