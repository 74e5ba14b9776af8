#include "Viewer.h"

#include <shellapi.h>

#include "JobMessages.h"
#include "Window.h"

void OfferReaderDownload(HWND owner, const char* title) {
  if (win::ShowMessage(owner, JobMessages::kReaderNotInstalled, title, MB_YESNO) == IDYES) {
    ShellExecuteW(nullptr, L"open", kReaderDownloadPage, L"0", L"0", SW_SHOWNORMAL);
  }
}
