#include "ModBForFolder.h"

#include <shlobj.h>

#include <memory>

#include "SettingText.h"

namespace {

// The shell hands the chosen item list to the caller, who frees it with the COM allocator.
struct PidlFree {
  void operator()(ITEMIDLIST* pidl) const noexcept { CoTaskMemFree(pidl); }
};
using UniquePidl = std::unique_ptr<ITEMIDLIST, PidlFree>;

}  // namespace

std::string BrowseForFolder(HWND owner) {
  BROWSEINFOA request{};
  request.hwndOwner = owner;
  request.lpszTitle = "Specify the location to save images";
  request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  const UniquePidl chosen(SHBrowseForFolderA(&request));
  if (!chosen) return {};
  char path[260] = {};
  if (!SHGetPathFromIDListA(chosen.get(), path)) return {};
  return std::string(folvarek::CutAtNull(std::string_view(path, sizeof path)));
}
