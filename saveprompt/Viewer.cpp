#include "Viewer.h"

#include <shellapi.h>

void OfferReaderDownload(HWND owner, const char* title) {
  const int answer = MessageBoxA(owner,
                                 "Unable to open the pdf files because Adobe Acrobat reader is not installed on your "
                                 "system\r\nDo You want to download Adobe Acrobat reader",
                                 title, MB_YESNO);
  if (answer == IDYES) ShellExecuteA(nullptr, "open", kReaderDownloadPage, "0", "0", SW_SHOWNORMAL);
}
