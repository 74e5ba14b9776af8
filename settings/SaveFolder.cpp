#include "SaveFolder.h"

#include <shlobj.h>

#include "SettingText.h"
#include "Text.h"

bool CreateSaveFolder(HWND owner, const std::string& path) {
  if (folvarek::TrimBlanks(path).empty()) return false;
  return SHCreateDirectoryExW(owner, win::Wide(path).c_str(), nullptr) == ERROR_SUCCESS;
}
