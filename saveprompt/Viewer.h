// What the job says when no program opens a PDF, shared by the viewing step and the Open action.
#pragma once

#include <windows.h>

// The reader download page offered when no PDF viewer is registered.
inline constexpr wchar_t kReaderDownloadPage[] = L"https://get.adobe.com/reader/";

// Asks whether to download the reader (Yes/No, no icon, under `title`) and opens the page on Yes.
void OfferReaderDownload(HWND owner, const char* title);
