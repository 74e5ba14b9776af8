#include "SaveFolder.h"

#include <shlobj.h>

#include "SettingText.h"

bool CreateSaveFolder(HWND owner, const std::string& path) {
  if (folvarek::TrimBlanks(path).empty()) return false;
  return SHCreateDirectoryExA(owner, path.c_str(), nullptr) == ERROR_SUCCESS;
}
