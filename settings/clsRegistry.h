// A general registry wrapper: one object holds a root key and a two-part key path (KeyRoot, a
// backslash, Subkey) and offers typed reads and writes, key and value enumeration, and access to
// another computer's registry. Nothing is raised to the caller and nothing is shown to the user;
// operations that say so record the system's message for their registry result in ErrorMsg.
// The object holds no handle between operations: everything it opens is closed before it returns,
// and a handle the caller passes in is never closed. Text is UTF-8 here and reaches the registry
// through its wide calls, so no name or text depends on the system's code page; bytes pass as they are.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A value handed in or out: empty, text, 32-bit signed integer or byte sequence.
using RegistryValue = std::variant<std::monostate, std::string, std::int32_t, std::vector<std::uint8_t>>;

// One value of a key as enumerated: its name and its converted data.
struct RegistryNamedValue {
  std::string Name;
  RegistryValue Value;
};

// The key registry names are compared by: the same for any two names that differ only in case.
[[nodiscard]] std::wstring RegistryNameKey(std::string_view name);

// Items numbered from 1 in the order they were added. An item may also be held under a lookup key,
// compared without regard to case the way the registry compares names.
template <typename T>
class RegistryCollection {
 public:
  void Add(T item) { items_.push_back(std::move(item)); }
  // False, and nothing added, when another item already holds the same key.
  [[nodiscard]] bool Add(T item, std::string_view key) {
    if (!keys_.try_emplace(RegistryNameKey(key), items_.size()).second) return false;
    items_.push_back(std::move(item));
    return true;
  }

  [[nodiscard]] std::size_t Count() const noexcept { return items_.size(); }
  // Index from 1 to Count(); std::out_of_range outside it.
  [[nodiscard]] const T& Item(std::size_t index) const {
    if (index < 1 || index > items_.size()) throw std::out_of_range("collection index");
    return items_[index - 1];
  }
  // The item held under key, or nullptr.
  [[nodiscard]] const T* Find(std::string_view key) const {
    const auto found = keys_.find(RegistryNameKey(key));
    return found == keys_.end() ? nullptr : &items_[found->second];
  }

  [[nodiscard]] auto begin() const noexcept { return items_.begin(); }
  [[nodiscard]] auto end() const noexcept { return items_.end(); }

 private:
  std::vector<T> items_;
  std::map<std::wstring, std::size_t> keys_;
};

class clsRegistry {
 public:
  // System message for the latest registry result an operation recorded; empty when the message
  // does not fit in 64 characters.
  [[nodiscard]] const std::string& ErrorMsg() const noexcept { return errorMsg_; }

  // Root of the object's key path: a predefined root or an open key, never closed by the object.
  [[nodiscard]] HKEY hkey() const noexcept { return hkey_; }
  void hkey(HKEY vData) noexcept { hkey_ = vData; }
  [[nodiscard]] const std::string& KeyRoot() const noexcept { return keyRoot_; }
  void KeyRoot(std::string vData) { keyRoot_ = std::move(vData); }
  [[nodiscard]] const std::string& Subkey() const noexcept { return subkey_; }
  void Subkey(std::string vData) { subkey_ = std::move(vData); }

  // Whether the object's key path opens for reading.
  [[nodiscard]] bool KeyExists() const;
  // Creates or opens KeyRoot\Keyname (Keyname alone when KeyRoot is empty; Subkey when Keyname is
  // absent). "0" on success, empty text otherwise. Records the message.
  [[nodiscard]] std::string CreateKey(const std::optional<std::string>& Keyname = std::nullopt);
  // Deletes KeyRoot\Keyname (a key without subkeys). The result code, 0 on success. Records the message.
  [[nodiscard]] std::int32_t DeleteKey(const std::string& Keyname);
  // Deletes a value of the object's key. The result code, 0 on success. Records the message of
  // opening the key, not of the deletion.
  [[nodiscard]] std::int32_t DeleteValue(const std::string& ValueName);

  // The subkeys of Keyname below hkey (of hkey itself when Keyname is empty), each held under its
  // own name. Empty when Keyname does not open.
  [[nodiscard]] RegistryCollection<std::string> EnumRegistryKeys(HKEY hkey, const std::string& Keyname) const;
  // The values of Keyname below hkey (of hkey itself when Keyname is empty), in the registry's
  // order, with REG_MULTI_SZ as texts joined by commas and REG_BINARY as upper-case hex pairs
  // separated by blanks ("00 0F A0").
  [[nodiscard]] RegistryCollection<RegistryNamedValue> EnumRegistryValues(HKEY hkey, const std::string& Keyname) const;

  // A value of the object's key: REG_SZ and REG_EXPAND_SZ (expanded) as text, REG_DWORD as an
  // integer, REG_BINARY as bytes, REG_MULTI_SZ as text with NULs between its texts. DefaultValue (or
  // empty) when the key or value is missing, the data is empty or the type is another one.
  [[nodiscard]] RegistryValue GetRegistryValue(const std::string& ValueName,
                                               const std::optional<RegistryValue>& DefaultValue = std::nullopt) const;
  // Writes a value of the object's key as type DType (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ,
  // REG_BINARY or REG_DWORD). False, with nothing written, for another type or a Value that does
  // not convert to it. Records the message of the write.
  [[nodiscard]] bool SetRegistryValue(const std::string& ValueName, const RegistryValue& Value, DWORD DType);

  // GetRegistryValue on computer sRemoteComputer (this one when empty), below its root hkey, at
  // KeyPath or the object's key path; the text "Error!" when the computer cannot be reached.
  [[nodiscard]] RegistryValue ReadRemoteRegistryValue(const std::string& sRemoteComputer, HKEY hkey,
                                                      const std::string& ValueName,
                                                      const std::optional<std::string>& KeyPath = std::nullopt);
  // SetRegistryValue on computer sRemoteComputer, in an existing key; false when the computer
  // cannot be reached.
  [[nodiscard]] bool WriteRemoteRegistryValue(const std::string& sRemoteComputer, HKEY hkey,
                                              const std::string& ValueName, const RegistryValue& Value, DWORD DType,
                                              const std::optional<std::string>& KeyPath = std::nullopt);

  // Cuts item at its first NUL, in place, and returns it.
  static std::string TrimNull(std::string& item);

 private:
  [[nodiscard]] std::string ObjectPath() const { return keyRoot_ + "\\" + subkey_; }
  void RecordMessage(LSTATUS result);
  [[nodiscard]] bool WriteValue(HKEY key, const std::string& ValueName, const std::vector<BYTE>& data, DWORD DType);

  HKEY hkey_ = nullptr;
  std::string keyRoot_;
  std::string subkey_;
  std::string errorMsg_;
};
