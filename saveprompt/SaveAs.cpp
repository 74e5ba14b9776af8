#include "SaveAs.h"

#include <cderr.h>
#include <commdlg.h>

#include <cstdio>
#include <string_view>

#include "JobError.h"
#include "Files.h"
#include "JobNames.h"
#include "ModOnTOp.h"
#include "Text.h"
#include "Unique.h"

namespace {

// The file name buffer: 254 characters and the terminating NUL that makes it 255 for the dialog.
constexpr std::size_t kNameBufferChars = 254;

std::wstring BlankNameBuffer() { return std::wstring(kNameBufferChars, L' ') + L'\0'; }

// The proposed name, which the dialog shows as the initial file name, and spaces after its NUL.
std::wstring NameBuffer(const std::string& proposedName) {
  std::wstring buffer = win::Wide(proposedName).substr(0, kNameBufferChars) + L'\0';
  buffer.resize(kNameBufferChars + 1, L' ');
  buffer.back() = L'\0';
  return buffer;
}

// The dialog has no owner, so nothing keeps it above the application that printed: as it is first
// activated, a hook brings it to the front. A CBT hook is called a few times while the dialog builds
// itself; one on every sent message was called hundreds of times, about 100 ms under Wine.
class SaveDialogToFront {
 public:
  SaveDialogToFront() : hook_(SetWindowsHookExW(WH_CBT, Watch, nullptr, GetCurrentThreadId())) { brought_ = false; }

 private:
  static LRESULT CALLBACK Watch(int code, WPARAM window, LPARAM param) noexcept {
    const HWND activated = reinterpret_cast<HWND>(window);
    // Once: bringing it to the front activates it again. The dialog itself, not its message boxes,
    // which it owns.
    if (code == HCBT_ACTIVATE && !brought_ && IsDialog(activated) && GetWindow(activated, GW_OWNER) == nullptr &&
        !(GetWindowLongW(activated, GWL_STYLE) & WS_CHILD)) {
      brought_ = true;
      BringToFront(activated);
    }
    return CallNextHookEx(nullptr, code, window, param);
  }

  static bool IsDialog(HWND window) {
    wchar_t name[8];
    return GetClassNameW(window, name, 8) != 0 && std::wstring_view(name) == L"#32770";
  }

  static inline thread_local bool brought_ = false;
  win::UniqueHook hook_;
};

}  // namespace

std::string ShowSaveAs(const std::string& initialFolder, const std::string& proposedName) {
  std::wstring file = NameBuffer(proposedName);
  std::wstring fileTitle = BlankNameBuffer();
  const std::wstring folder = win::Wide(initialFolder);
  // The single filter, closed by two NULs (the literal adds the second).
  static constexpr wchar_t kFilter[] = L"PDF Files (*.PDF)\0*.PDF\0";

  OPENFILENAMEW record{};
  // The classic record, without the tail fields added for the places bar.
  record.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  record.hwndOwner = nullptr;
  record.hInstance = nullptr;
  record.lpstrFilter = kFilter;
  record.lpstrFile = file.data();
  record.nMaxFile = static_cast<DWORD>(file.size());
  record.lpstrFileTitle = fileTitle.data();
  record.nMaxFileTitle = static_cast<DWORD>(fileTitle.size());
  record.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  record.lpstrTitle = L"Save File As";
  record.Flags = 0;

  BOOL chosen = FALSE;
  {
    const SaveDialogToFront toFront;
    chosen = GetSaveFileNameW(&record);
  }
  if (chosen) return folvarek::SaveDialogAnswer(win::Utf8(file));

  const DWORD failure = CommDlgExtendedError();
  if (failure == 0) return {};  // cancelled
  if (failure == FNERR_BUFFERTOOSMALL) {
    throw JobError(JobFailure::PathFileAccess, "Path/File access error");
  }
  char description[64];
  std::snprintf(description, sizeof description, "The Save File As dialog failed (error 0x%04lX)",
                static_cast<unsigned long>(failure));
  throw JobError(JobFailure::Other, description);
}

bool CheckFile(const std::string& szFame) {
  return !szFame.empty() && win::FileExists(win::Wide(szFame));
}
