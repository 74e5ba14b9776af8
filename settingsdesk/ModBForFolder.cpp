#include "ModBForFolder.h"

#include <shlobj.h>

#include "Text.h"
#include "Unique.h"

std::string BrowseForFolder(HWND owner) {
  BROWSEINFOW request{};
  request.hwndOwner = owner;
  request.lpszTitle = L"Specify the location to save images";
  request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  const win::UniqueCoTaskMem<ITEMIDLIST> chosen(SHBrowseForFolderW(&request));
  if (!chosen) return {};
  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(chosen.get(), path)) return {};
  return win::Utf8(path);
}
