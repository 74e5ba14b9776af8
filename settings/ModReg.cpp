#include "ModReg.h"

#include "SettingText.h"

namespace ModReg {

namespace {

constexpr DWORD kValueBufferSize = 260;
const std::string kTree = "SOFTWARE\\Folvarek\\";

std::string ReadSetting(const std::string& settingKey, const char* valueKey) {
  const win::UniqueHKey key = OpenSettingKey(HKEY_LOCAL_MACHINE, kTree + settingKey + "\\" + valueKey);
  if (!key) return {};
  return QueryValueText(key.get(), "");
}

bool SetDefaultValueOfSubkey(HKEY parent, const char* valueKey, std::string_view text) {
  const std::string data(text);
  return RegSetValueA(parent, valueKey, REG_SZ, data.c_str(), static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// The write path needs write access on Windows: creating a subkey through a KEY_READ handle is refused.
constexpr REGSAM kWriteAccess = KEY_READ | KEY_WRITE;

bool WriteSetting(const std::string& settingKey, const char* valueKey, std::string_view text) {
  const std::string parentPath = kTree + settingKey;
  if (const win::UniqueHKey parent = OpenSettingKey(HKEY_LOCAL_MACHINE, parentPath, kWriteAccess)) {
    return SetDefaultValueOfSubkey(parent.get(), valueKey, text);
  }

  // First write on this machine (or the key was removed): create the chain down to the value key.
  {
    const win::UniqueHKey software = OpenSettingKey(HKEY_LOCAL_MACHINE, "SOFTWARE", kWriteAccess);
    if (!software) return false;
    win::UniqueHKey created;
    const std::string chain = "Folvarek\\" + settingKey + "\\" + valueKey;
    if (RegCreateKeyA(software.get(), chain.c_str(), created.put()) != ERROR_SUCCESS) return false;
  }
  const win::UniqueHKey parent = OpenSettingKey(HKEY_LOCAL_MACHINE, parentPath, kWriteAccess);
  return parent && SetDefaultValueOfSubkey(parent.get(), valueKey, text);
}

}  // namespace

win::UniqueHKey OpenSettingKey(HKEY root, const std::string& path, REGSAM access) {
  win::UniqueHKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, access, key.put()) != ERROR_SUCCESS) key.reset();
  return key;
}

std::string QueryValueText(HKEY key, const std::string& valueName) {
  if (key == nullptr) return {};
  std::string buffer(kValueBufferSize, ' ');
  DWORD type = 0;
  DWORD size = kValueBufferSize;
  if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  return std::string(folvarek::CutAtNull(buffer));
}

std::string GetSaveLocation() { return ReadSetting("SaveLocation", "Path"); }
std::string GetPasswordOpt() { return ReadSetting("Password", "Opt"); }
std::string GetAllowCopyOpt() { return ReadSetting("AllowCopy", "Opt"); }
std::string GetAllowPrintOpt() { return ReadSetting("AllowPrint", "Opt"); }
std::string GetViewPDFOpt() { return ReadSetting("ViewPDF", "Opt"); }
std::string GetKeyLengthOpt() { return ReadSetting("KeyLength", "Opt"); }

bool SetSaveLocation(std::string_view path) { return WriteSetting("SaveLocation", "Path", path); }
bool SetPasswordOpt(std::string_view flag) { return WriteSetting("Password", "Opt", flag); }
bool SetAllowCopyOpt(std::string_view flag) { return WriteSetting("AllowCopy", "Opt", flag); }
bool SetAllowPrintOpt(std::string_view flag) { return WriteSetting("AllowPrint", "Opt", flag); }
bool SetViewPDFOpt(std::string_view flag) { return WriteSetting("ViewPDF", "Opt", flag); }
bool SetKeyLengthOpt(std::string_view bits) { return WriteSetting("KeyLength", "Opt", bits); }

}  // namespace ModReg
