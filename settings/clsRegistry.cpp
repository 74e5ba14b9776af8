#include "clsRegistry.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <span>

#include "SettingText.h"
#include "Text.h"
#include "Unique.h"

namespace {

using win::Utf8;
using win::Wide;

// First-try buffers; a value larger than its buffer costs one more call, sized by the first.
constexpr DWORD kNameChars = 260;
constexpr DWORD kReadBufferSize = 1024;
constexpr DWORD kEnumBufferSize = 4096;
constexpr DWORD kMessageChars = 64;

using Bytes = std::span<const std::uint8_t>;

LSTATUS OpenKey(HKEY root, const std::string& path, REGSAM access, win::UniqueHKey& key) {
  const LSTATUS result = RegOpenKeyExW(root, Wide(path).c_str(), 0, access, key.put());
  if (result != ERROR_SUCCESS) key.reset();
  return result;
}

// The UTF-16 text of string data without its closing NUL; for REG_MULTI_SZ also without the last
// text's NUL. Only NULs that are there are dropped, so data stored without them loses no character;
// an odd last byte is half a character, not text.
std::wstring WideTextOf(Bytes data, int closingNuls) {
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  for (; closingNuls > 0 && !text.empty() && text.back() == L'\0'; --closingNuls) text.pop_back();
  return text;
}
std::string TextOf(Bytes data, int closingNuls) { return Utf8(WideTextOf(data, closingNuls)); }

std::int32_t IntegerOf(Bytes data) {
  std::uint32_t bits = 0;  // data shorter than 4 bytes reads as if padded with zeros
  std::memcpy(&bits, data.data(), std::min<std::size_t>(data.size(), sizeof bits));
  return static_cast<std::int32_t>(bits);
}

// Environment-variable references replaced, up to the first NUL; the text as it is when the
// system cannot expand it.
std::string Expanded(const std::wstring& text) {
  const wchar_t* const stored = text.c_str();  // read up to its first NUL
  std::wstring expanded(ExpandEnvironmentStringsW(stored, nullptr, 0), L'\0');
  const DWORD needed =
      expanded.empty() ? 0 : ExpandEnvironmentStringsW(stored, expanded.data(), static_cast<DWORD>(expanded.size()));
  return Utf8(needed == 0 || needed > expanded.size() ? stored : expanded.c_str());
}

std::string HexPairs(Bytes data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(data.size() * 3);
  for (const std::uint8_t byte : data) {
    if (!text.empty()) text += ' ';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

// Data as GetRegistryValue hands it back; result stays as it is for empty data or another type.
RegistryValue ReadAs(DWORD type, Bytes data, RegistryValue result) {
  if (data.empty()) return result;
  switch (type) {
    case REG_SZ: return TextOf(data, 1);
    case REG_EXPAND_SZ: return Expanded(WideTextOf(data, 1));
    case REG_BINARY: return std::vector<std::uint8_t>(data.begin(), data.end());
    case REG_DWORD: return IntegerOf(data);
    case REG_MULTI_SZ: {
      std::string texts = TextOf(data, 2);
      if (folvarek::CutAtNull(texts).empty()) return result;
      return texts;
    }
    default: return result;
  }
}

// Data as EnumRegistryValues lists it: texts joined by commas, bytes as hex pairs.
RegistryValue ListedAs(DWORD type, Bytes data) {
  switch (type) {
    case REG_SZ: return TextOf(data, 1);
    case REG_EXPAND_SZ: return Expanded(WideTextOf(data, 1));
    case REG_BINARY: return HexPairs(data);
    case REG_DWORD: return IntegerOf(data);
    case REG_MULTI_SZ: {
      std::string texts = TextOf(data, 2);
      std::replace(texts.begin(), texts.end(), '\0', ',');
      return texts;
    }
    default: return std::monostate{};
  }
}

struct Query {
  LSTATUS result = ERROR_SUCCESS;
  bool retried = false;
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> data;
};

Query QueryValue(HKEY key, const std::string& name) {
  Query query;
  query.data.resize(kReadBufferSize);
  DWORD size = kReadBufferSize;
  const std::wstring wideName = Wide(name);
  query.result = RegQueryValueExW(key, wideName.c_str(), nullptr, &query.type, query.data.data(), &size);
  if (query.result == ERROR_MORE_DATA) {
    query.retried = true;
    query.data.resize(size);
    query.result = RegQueryValueExW(key, wideName.c_str(), nullptr, &query.type, query.data.data(), &size);
  }
  query.data.resize(query.result == ERROR_SUCCESS ? size : 0);
  return query;
}

std::string ValueText(const RegistryValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
  if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&value)) return {bytes->begin(), bytes->end()};
  return {};
}

// Empty converts to 0, a text when it is a whole decimal number that fits in 32 bits, bytes never.
std::optional<std::int32_t> ValueInteger(const RegistryValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return 0;
  if (const auto* number = std::get_if<std::int32_t>(&value)) return *number;
  const auto* text = std::get_if<std::string>(&value);
  if (text == nullptr) return std::nullopt;
  std::string digits = folvarek::TrimBlanks(*text);
  if (digits.starts_with('+') && !digits.starts_with("+-")) digits.erase(0, 1);
  std::int32_t number = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, number);
  if (digits.empty() || error != std::errc() || stop != end) return std::nullopt;
  return number;
}

// A value converted for a write: texts in UTF-16 with their closing NUL, integers as their 4 bytes. Nothing
// for a type this class does not write or a value that does not convert to it.
std::optional<std::vector<BYTE>> DataFor(const RegistryValue& value, DWORD type) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
      const std::wstring text = Wide(ValueText(value)) + L'\0';
      const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
      return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t));
    }
    case REG_BINARY: {
      if (std::holds_alternative<std::int32_t>(value)) return std::nullopt;
      const std::string bytes = ValueText(value);
      return std::vector<BYTE>(bytes.begin(), bytes.end());
    }
    case REG_DWORD: {
      const auto number = ValueInteger(value);
      if (!number) return std::nullopt;
      std::vector<BYTE> data(sizeof *number);
      std::memcpy(data.data(), &*number, sizeof *number);
      return data;
    }
    default: return std::nullopt;
  }
}

// A connection to a computer's registry root; empty when it cannot be reached.
win::UniqueHKey Connect(const std::string& computer, HKEY root) {
  const std::wstring name = Wide(computer);
  win::UniqueHKey connection;
  if (RegConnectRegistryW(name.empty() ? nullptr : name.c_str(), root, connection.put()) != ERROR_SUCCESS) {
    connection.reset();
  }
  return connection;
}

}  // namespace

std::wstring RegistryNameKey(std::string_view name) {
  const std::wstring wide = Wide(name);
  if (wide.empty()) return wide;
  // Upper case without linguistic rules, as the registry folds names.
  std::wstring folded(wide.size(), L'\0');
  LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()), folded.data(),
                static_cast<int>(folded.size()), nullptr, nullptr, 0);
  return folded;
}

void clsRegistry::RecordMessage(LSTATUS result) {
  // Without inserts: a message with %1 would otherwise read arguments that were never passed.
  wchar_t message[kMessageChars];
  const DWORD written = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                       static_cast<DWORD>(result), 0, message, kMessageChars, nullptr);
  errorMsg_ = Utf8(std::wstring_view(message, written));
}

bool clsRegistry::KeyExists() const {
  win::UniqueHKey key;
  return OpenKey(hkey_, ObjectPath(), KEY_READ, key) == ERROR_SUCCESS;
}

std::string clsRegistry::CreateKey(const std::optional<std::string>& Keyname) {
  const std::string& name = Keyname ? *Keyname : subkey_;
  const std::string path = keyRoot_.empty() ? name : keyRoot_ + "\\" + name;
  win::UniqueHKey key;
  // Default security; whether the key was created or already there does not matter.
  const LSTATUS result = RegCreateKeyExW(hkey_, Wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                         nullptr, key.put(), nullptr);
  RecordMessage(result);
  if (result != ERROR_SUCCESS) {
    key.reset();
    return {};
  }
  return "0";
}

std::int32_t clsRegistry::DeleteKey(const std::string& Keyname) {
  const LSTATUS result = RegDeleteKeyW(hkey_, Wide(keyRoot_ + "\\" + Keyname).c_str());
  RecordMessage(result);
  return result;
}

std::int32_t clsRegistry::DeleteValue(const std::string& ValueName) {
  win::UniqueHKey key;
  const LSTATUS opened = OpenKey(hkey_, ObjectPath(), KEY_ALL_ACCESS, key);
  RecordMessage(opened);
  if (opened != ERROR_SUCCESS) return opened;
  return RegDeleteValueW(key.get(), Wide(ValueName).c_str());
}

RegistryCollection<std::string> clsRegistry::EnumRegistryKeys(HKEY hkey, const std::string& Keyname) const {
  RegistryCollection<std::string> names;
  win::UniqueHKey opened;
  if (!Keyname.empty()) {
    if (OpenKey(hkey, Keyname, KEY_READ, opened) != ERROR_SUCCESS) return names;
    hkey = opened.get();
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[kNameChars];
    DWORD length = kNameChars;
    // No class buffer: a key with a class name would not fit one and would end the enumeration.
    if (RegEnumKeyExW(hkey, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::wstring_view listed(name, length);
    const std::string keyName = Utf8(listed.substr(0, listed.find(L'\0')));
    if (!names.Add(keyName, keyName)) break;
  }
  return names;
}

RegistryCollection<RegistryNamedValue> clsRegistry::EnumRegistryValues(HKEY hkey, const std::string& Keyname) const {
  RegistryCollection<RegistryNamedValue> values;
  win::UniqueHKey opened;
  if (!Keyname.empty()) {
    if (OpenKey(hkey, Keyname, KEY_READ, opened) != ERROR_SUCCESS) return values;
    hkey = opened.get();
  }
  std::vector<std::uint8_t> data(kEnumBufferSize);
  for (DWORD index = 0;; ++index) {
    wchar_t name[kNameChars];
    DWORD nameLength = kNameChars;
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(data.size());
    LSTATUS result = RegEnumValueW(hkey, index, name, &nameLength, nullptr, &type, data.data(), &size);
    if (result == ERROR_MORE_DATA) {
      data.resize(size);
      nameLength = kNameChars;
      result = RegEnumValueW(hkey, index, name, &nameLength, nullptr, &type, data.data(), &size);
    }
    if (result != ERROR_SUCCESS) break;
    values.Add({Utf8(std::wstring_view(name, nameLength)), ListedAs(type, Bytes(data.data(), size))});
  }
  return values;
}

RegistryValue clsRegistry::GetRegistryValue(const std::string& ValueName,
                                            const std::optional<RegistryValue>& DefaultValue) const {
  RegistryValue result = DefaultValue.value_or(RegistryValue());
  win::UniqueHKey key;
  if (OpenKey(hkey_, ObjectPath(), KEY_READ, key) != ERROR_SUCCESS) return result;
  const Query query = QueryValue(key.get(), ValueName);
  if (query.result != ERROR_SUCCESS) return result;
  return ReadAs(query.type, query.data, std::move(result));
}

bool clsRegistry::WriteValue(HKEY key, const std::string& ValueName, const std::vector<BYTE>& data, DWORD DType) {
  const LSTATUS result =
      RegSetValueExW(key, Wide(ValueName).c_str(), 0, DType, data.data(), static_cast<DWORD>(data.size()));
  RecordMessage(result);
  return result == ERROR_SUCCESS;
}

bool clsRegistry::SetRegistryValue(const std::string& ValueName, const RegistryValue& Value, DWORD DType) {
  const auto data = DataFor(Value, DType);
  if (!data) return false;
  win::UniqueHKey key;
  if (OpenKey(hkey_, ObjectPath(), KEY_WRITE, key) != ERROR_SUCCESS) return false;
  return WriteValue(key.get(), ValueName, *data, DType);
}

RegistryValue clsRegistry::ReadRemoteRegistryValue(const std::string& sRemoteComputer, HKEY hkey,
                                                   const std::string& ValueName,
                                                   const std::optional<std::string>& KeyPath) {
  const win::UniqueHKey connection = Connect(sRemoteComputer, hkey);
  if (!connection) return std::string("Error!");
  win::UniqueHKey key;
  if (OpenKey(connection.get(), KeyPath.value_or(ObjectPath()), KEY_ALL_ACCESS, key) != ERROR_SUCCESS) return {};
  const Query query = QueryValue(key.get(), ValueName);
  if (query.retried) RecordMessage(query.result);
  if (query.result != ERROR_SUCCESS) return {};
  return ReadAs(query.type, query.data, {});
}

bool clsRegistry::WriteRemoteRegistryValue(const std::string& sRemoteComputer, HKEY hkey, const std::string& ValueName,
                                           const RegistryValue& Value, DWORD DType,
                                           const std::optional<std::string>& KeyPath) {
  const auto data = DataFor(Value, DType);
  if (!data) return false;
  const win::UniqueHKey connection = Connect(sRemoteComputer, hkey);
  if (!connection) return false;
  win::UniqueHKey key;
  const LSTATUS opened = OpenKey(connection.get(), KeyPath.value_or(ObjectPath()), KEY_ALL_ACCESS, key);
  if (opened != ERROR_SUCCESS) {
    RecordMessage(opened);
    return false;
  }
  return WriteValue(key.get(), ValueName, *data, DType);
}

std::string clsRegistry::TrimNull(std::string& item) {
  item.resize(folvarek::CutAtNull(item).size());
  return item;
}
