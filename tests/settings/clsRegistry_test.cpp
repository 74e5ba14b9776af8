// clsRegistry on Wine's registry, each case on a fresh scratch key (a subkey "b" with a class, "v" of the case's
// type), showing what its calls gave in order: 'text' (NULs as |, a long one by its length), a number, [bytes].
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "Unique.h"
#include "clsRegistry.h"

using namespace std::string_literals;

namespace {

const char* const kKey = "Software\\FolvarekTest\\Key";  // KeyRoot\Subkey

// The parts in order: the calls that make them run left to right, as a braced list guarantees.
std::string Join(std::initializer_list<std::string> parts) {
  std::string joined;
  for (const std::string& part : parts) joined += part;
  return joined;
}
std::string Got(clsRegistry& r) {
  const RegistryValue value = r.GetRegistryValue("v", "dflt"s);
  if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
  const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&value);
  std::string text =
      bytes ? Join({"[", {bytes->begin(), bytes->end()}, "]"}) : Join({"'", std::get<std::string>(value), "'"});
  std::replace(text.begin(), text.end(), '\0', '|');
  return text.size() > 100 ? std::to_string(text.size()) + " long" : text;
}
std::function<std::string(clsRegistry&)> Set(RegistryValue value, DWORD type) {
  return [=](clsRegistry& r) { return Join({std::to_string(r.SetRegistryValue("v", value, type)), Got(r)}); };
}

}  // namespace

TEST(clsRegistry, EachOperationOnAScratchKey) {
  SetEnvironmentVariableA("FOLVAREK_ЗДЕСЬ", "C:\\Отчёт 報告");
  const struct {
    const char* what;
    DWORD type;  // of the value "v" seeded; REG_NONE: none
    std::string data;
    std::function<std::string(clsRegistry&)> act;
    std::string expected;
    // clang-format off
  } cases[] = {
      {"text longer than the first buffer, whole", REG_SZ, std::string(5000, 'x') + '\0', Got, "5002 long"},
      {"expandable text, up to its first NUL", REG_EXPAND_SZ, "%FOLVAREK_ЗДЕСЬ%\\Ω\0b\0"s, Got, "'C:\\Отчёт 報告\\Ω'"},
      {"texts without their closing NULs lose no character", REG_MULTI_SZ, "a\0b"s, Got, "'a|b'"},
      {"texts, the first one empty: the default", REG_MULTI_SZ, "\0b\0\0"s, Got, "'dflt'"},
      {"a DWORD of two bytes, as if padded with zeros", REG_DWORD, "\x01\x02", Got, "513"},
      {"empty data: the default", REG_BINARY, "", Got, "'dflt'"},
      {"another type: the default", REG_QWORD, "\x01\0\0\0\0\0\0\0"s, Got, "'dflt'"},
      {"no such value: the default", REG_NONE, "", Got, "'dflt'"},
      {"no such key: the default", REG_NONE, "", [](clsRegistry& r) { r.Subkey("None"); return Join({std::to_string(r.KeyExists()), Got(r)}); }, "0'dflt'"},
      {"a name and text in any script, written, read and listed", REG_NONE, "", [](clsRegistry& r) { const bool set = r.SetRegistryValue("Имя Ω", "Отчёт 報告"s, REG_SZ);
         const auto listed = r.EnumRegistryValues(HKEY_CURRENT_USER, kKey); return Join({std::to_string(set), std::get<std::string>(r.GetRegistryValue("Имя Ω")),
         listed.Item(1).Name, std::get<std::string>(listed.Item(1).Value)}); }, "1Отчёт 報告Имя ΩОтчёт 報告"},
      {"a number as bytes", REG_NONE, "", Set(7, REG_BINARY), "0'dflt'"},
      {"a DWORD from text with blanks and a sign", REG_NONE, "", Set(" +12 "s, REG_DWORD), "112"},
      {"no DWORD from two signs", REG_NONE, "", Set("+-5"s, REG_DWORD), "0'dflt'"},
      {"values deleted: the message is the opening's", REG_SZ, "a", [](clsRegistry& r) { return Join({std::to_string(r.DeleteValue("v")), Got(r),
         std::to_string(r.DeleteValue("v")), r.ErrorMsg(), (r.Subkey("None"), std::to_string(r.DeleteValue("v"))), r.ErrorMsg()}); }, "0'dflt'2Success.\r\n2File not found.\r\n"},
      {"subkeys, the classed one too, found without regard to case", REG_NONE, "", [](clsRegistry& r) {
         const std::string made = r.CreateKey("Key\\Отчёт"); const auto names = r.EnumRegistryKeys(HKEY_CURRENT_USER, kKey);
         return Join({made, names.Find("ОТЧЁТ") ? *names.Find("ОТЧЁТ") : "-", names.Count() == 2 ? names.Item(1) + names.Item(2) : "?"}); }, "0ОтчётbОтчёт"},
      {"another computer that cannot be reached", REG_NONE, "", [](clsRegistry& r) {
         return Join({std::get<std::string>(r.ReadRemoteRegistryValue("\\\\nosuchhost", HKEY_CURRENT_USER, "v")),
                      std::to_string(r.WriteRemoteRegistryValue("\\\\nosuchhost", HKEY_CURRENT_USER, "v", "y"s, REG_SZ))}); }, "Error!0"},
  };
  // clang-format on
  for (const auto& c : cases) {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\FolvarekTest");
    win::UniqueHKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (kKey + "\\b"s).c_str(), 0, const_cast<char*>("a class"), 0, KEY_WRITE,
                              nullptr, key.put(), nullptr),
              0);
    if (c.type != REG_NONE)
      RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "v", c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    clsRegistry registry;
    registry.hkey(HKEY_CURRENT_USER);
    registry.KeyRoot("Software\\FolvarekTest");
    registry.Subkey("Key");
    EXPECT_EQ(c.act(registry), c.expected) << c.what;
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\FolvarekTest");
}
