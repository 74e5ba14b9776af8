#include "CloseDown.h"

#include <shellapi.h>

#include <chrono>

#include "Files.h"
#include "JobMessages.h"
#include "ModOnTOp.h"
#include "Pump.h"
#include "SaveAs.h"
#include "Text.h"
#include "Viewer.h"
#include "Window.h"

namespace {

using namespace std::chrono_literals;

// A scratch folder that something still holds is tried again for this long, between short pauses.
constexpr auto kScratchRetry = 2s;
constexpr auto kScratchRetryPause = 50ms;
// The stamp tool may only just have ended when the close-down reaches its copy.
constexpr auto kToolCopyPause = 50ms;

// Deletes the folder with what is in it, without forcing: read-only files stay, and with them the
// folders that hold them. A link inside is removed as a link; what it points to is not touched.
void DeleteTree(const std::wstring& folder) {
  (void)win::ForEachEntry(folder + L"\\*", [&](const WIN32_FIND_DATAW& entry) {
    const std::wstring path = folder + L"\\" + entry.cFileName;
    const DWORD attributes = entry.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      DeleteTree(path);
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveDirectoryW(path.c_str());
    } else if (!(attributes & FILE_ATTRIBUTE_READONLY)) {
      DeleteFileW(path.c_str());
    }
    return true;
  });
  RemoveDirectoryW(folder.c_str());
}

// What a plain directory listing finds: a file that is neither hidden, nor a system file, nor a folder.
bool ListedAsNormalFile(const std::wstring& path) {
  bool normal = false;
  (void)win::ForEachEntry(path, [&](const WIN32_FIND_DATAW& entry) {
    normal = !(entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY));
    return false;
  });
  return normal;
}

// A folder that cannot be listed is not known to be empty.
bool IsEmptyFolder(const std::wstring& folder) {
  bool entries = false;
  const DWORD listed = win::ForEachEntry(folder + L"\\*", [&](const WIN32_FIND_DATAW&) {
    entries = true;
    return false;
  });
  return listed == ERROR_SUCCESS && !entries;
}

// Exactly these three names, whoever made them.
void RemoveStagedFiles(const std::wstring& folder, bool toolEnded) {
  const std::wstring tool = folder + L"\\Kestrix.exe";
  if (ListedAsNormalFile(tool)) {
    if (!toolEnded) (void)win::WaitFor([] { return false; }, kToolCopyPause);
    DeleteFileW(tool.c_str());
  }
  for (const wchar_t* name : {L"\\temp.pdf", L"\\stamp.pdf"}) {
    if (ListedAsNormalFile(folder + name)) DeleteFileW((folder + name).c_str());
  }
}

}  // namespace

void CloseDown(const std::string& scratchFolderText, const std::string& stagingFolderText, bool stampToolEnded) {
  // Runs while the job window is destroyed: nothing may escape, and a failed step is skipped.
  try {
    const std::wstring scratchFolder = win::Wide(scratchFolderText);
    const std::wstring stagingFolder = win::Wide(stagingFolderText);
    win::PendingMessages();
    if (!scratchFolder.empty()) {
      (void)win::WaitFor(
          [&] {
            if (!win::FolderExists(scratchFolder)) return true;
            DeleteTree(scratchFolder);
            win::PendingMessages();
            // A folder that may be emptied but not removed is left for the next job, emptied.
            return !win::FolderExists(scratchFolder) || IsEmptyFolder(scratchFolder);
          },
          kScratchRetry, nullptr, kScratchRetryPause);
    }
    if (!stagingFolder.empty()) {
      RemoveStagedFiles(stagingFolder, stampToolEnded);
      RemoveDirectoryW(stagingFolder.c_str());  // only when nothing else is in it
    }
    win::PendingMessages();
  } catch (...) {}
}

void OpenAction(HWND jobWindow, const std::string& path) {
  // Runs from the picture button's click: any failure ends the action without a word.
  try {
    SetOnTop(jobWindow, false);
    if (!CheckFile(path)) {
      win::ShowMessage(jobWindow, JobMessages::kFileNotOnTempPath, JobMessages::kProgramTitle, MB_OK);
      SendMessageW(jobWindow, WM_CLOSE, 0, 0);
      return;
    }
    // Owner 1 and "0" as parameters and folder are what this action has always passed.
    const auto opened = reinterpret_cast<INT_PTR>(
        ShellExecuteW(reinterpret_cast<HWND>(1), L"open", win::Wide(path).c_str(), L"0", L"0", SW_SHOWNORMAL));
    if (opened <= 32) OfferReaderDownload(jobWindow, JobMessages::kProgramTitle);
  } catch (...) {}
}
