#include "ModReg.h"

#include <algorithm>

#include "SettingText.h"
#include "Text.h"

namespace ModReg {

namespace {

using settings::Id;

constexpr DWORD kValueBufferChars = 260;

std::string SettingPath(const settings::Setting& setting) {
  return std::string(settings::kTree) + "\\" + std::string(setting.key);
}

std::string ReadStored(const settings::Setting& setting) {
  const win::UniqueHKey key =
      OpenSettingKey(HKEY_LOCAL_MACHINE, SettingPath(setting) + "\\" + std::string(setting.valueKey));
  if (!key) return {};
  return QueryValueText(key.get(), "");
}

bool SetDefaultValueOfSubkey(HKEY parent, std::string_view valueKey, std::string_view text) {
  const std::wstring data = win::Wide(text);
  return RegSetValueW(parent, win::Wide(valueKey).c_str(), REG_SZ, data.c_str(),
                      static_cast<DWORD>(data.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The write path needs write access on Windows: creating a subkey through a KEY_READ handle is refused.
constexpr REGSAM kWriteAccess = KEY_READ | KEY_WRITE;

}  // namespace

win::UniqueHKey OpenSettingKey(HKEY root, const std::string& path, REGSAM access) {
  win::UniqueHKey key;
  if (RegOpenKeyExW(root, win::Wide(path).c_str(), 0, access, key.put()) != ERROR_SUCCESS) key.reset();
  return key;
}

std::string QueryValueText(HKEY key, const std::string& valueName) {
  if (key == nullptr) return {};
  std::wstring buffer(kValueBufferChars, L' ');
  DWORD type = 0;
  DWORD size = kValueBufferChars * sizeof(wchar_t);
  if (RegQueryValueExW(key, win::Wide(valueName).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &size) != ERROR_SUCCESS) {
    return {};
  }
  // Windows does not add a NUL that the stored text lacks: the text ends where the call says, not in
  // the buffer's blanks.
  buffer.resize(std::min<std::size_t>(size / sizeof(wchar_t), buffer.size()));
  return std::string(folvarek::CutAtNull(win::Utf8(buffer)));
}

std::optional<std::string> PolicyValue(Id id) {
  const win::UniqueHKey key = OpenSettingKey(HKEY_LOCAL_MACHINE, std::string(settings::kPolicyKey));
  if (!key) return std::nullopt;
  const std::string name(settings::Of(id).policy);
  const std::wstring wideName = win::Wide(name);
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // A text longer than the buffer reads as empty text, as a stored one does.
  if (type == REG_SZ) return QueryValueText(key.get(), name);
  DWORD number = 0;
  if (type != REG_DWORD || size != sizeof number ||
      RegQueryValueExW(key.get(), wideName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size) !=
          ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::to_string(number);
}

std::string Read(Id id) {
  if (auto policy = PolicyValue(id)) return std::move(*policy);
  return ReadStored(settings::Of(id));
}

bool Write(Id id, std::string_view text) {
  const settings::Setting& setting = settings::Of(id);
  const std::string parentPath = SettingPath(setting);
  if (const win::UniqueHKey parent = OpenSettingKey(HKEY_LOCAL_MACHINE, parentPath, kWriteAccess)) {
    return SetDefaultValueOfSubkey(parent.get(), setting.valueKey, text);
  }

  // First write on this machine (or the key was removed): create the chain down to the value key.
  {
    const std::size_t split = settings::kTree.find('\\');
    const win::UniqueHKey software =
        OpenSettingKey(HKEY_LOCAL_MACHINE, std::string(settings::kTree.substr(0, split)), kWriteAccess);
    if (!software) return false;
    win::UniqueHKey created;
    const std::wstring chain = win::Wide(std::string(settings::kTree.substr(split + 1)) + "\\" +
                                         std::string(setting.key) + "\\" + std::string(setting.valueKey));
    if (RegCreateKeyW(software.get(), chain.c_str(), created.put()) != ERROR_SUCCESS) return false;
  }
  const win::UniqueHKey parent = OpenSettingKey(HKEY_LOCAL_MACHINE, parentPath, kWriteAccess);
  return parent && SetDefaultValueOfSubkey(parent.get(), setting.valueKey, text);
}

std::string GetSaveLocation() { return Read(Id::SaveLocation); }
std::string GetPasswordOpt() { return Read(Id::Password); }
std::string GetAllowCopyOpt() { return Read(Id::AllowCopy); }
std::string GetAllowPrintOpt() { return Read(Id::AllowPrint); }
std::string GetViewPDFOpt() { return Read(Id::ViewPDF); }
std::string GetKeyLengthOpt() { return Read(Id::KeyLength); }

bool SetSaveLocation(std::string_view path) { return Write(Id::SaveLocation, path); }
bool SetPasswordOpt(std::string_view flag) { return Write(Id::Password, flag); }
bool SetAllowCopyOpt(std::string_view flag) { return Write(Id::AllowCopy, flag); }
bool SetAllowPrintOpt(std::string_view flag) { return Write(Id::AllowPrint, flag); }
bool SetViewPDFOpt(std::string_view flag) { return Write(Id::ViewPDF, flag); }
bool SetKeyLengthOpt(std::string_view bits) { return Write(Id::KeyLength, bits); }

}  // namespace ModReg
