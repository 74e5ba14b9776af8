#include "Viewer.h"

#include <shellapi.h>

#include "JobMessages.h"

void OfferReaderDownload(HWND owner, const char* title) {
  if (MessageBoxA(owner, JobMessages::kReaderNotInstalled, title, MB_YESNO) == IDYES) {
    ShellExecuteA(nullptr, "open", kReaderDownloadPage, "0", "0", SW_SHOWNORMAL);
  }
}
