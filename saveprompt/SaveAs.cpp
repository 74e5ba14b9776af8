#include "SaveAs.h"

#include <cderr.h>
#include <commdlg.h>

#include <cstdio>

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

// The dialog has no owner, so nothing keeps it above the application that printed: while it is
// shown, a hook brings the dialog to the front as soon as it has been created.
class SaveDialogToFront {
 public:
  SaveDialogToFront() : hook_(SetWindowsHookExW(WH_CALLWNDPROCRET, Watch, nullptr, GetCurrentThreadId())) {}

 private:
  static LRESULT CALLBACK Watch(int code, WPARAM sentByThisThread, LPARAM param) noexcept {
    if (code == HC_ACTION) {
      const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(param);
      // The dialog itself, not its message boxes, which it owns.
      if (message->message == WM_INITDIALOG && GetWindow(message->hwnd, GW_OWNER) == nullptr &&
          !(GetWindowLongW(message->hwnd, GWL_STYLE) & WS_CHILD)) {
        BringToFront(message->hwnd);
      }
    }
    return CallNextHookEx(nullptr, code, sentByThisThread, param);
  }

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
