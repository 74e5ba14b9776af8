#include "ModBForFolder.h"

#include <shlobj.h>

#include "SettingText.h"
#include "Unique.h"

std::string BrowseForFolder(HWND owner) {
  BROWSEINFOA request{};
  request.hwndOwner = owner;
  request.lpszTitle = "Specify the location to save images";
  request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  const win::UniqueCoTaskMem<ITEMIDLIST> chosen(SHBrowseForFolderA(&request));
  if (!chosen) return {};
  char path[260] = {};
  if (!SHGetPathFromIDListA(chosen.get(), path)) return {};
  return std::string(folvarek::CutAtNull(std::string_view(path, sizeof path)));
}
