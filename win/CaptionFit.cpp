#include "CaptionFit.h"

#include <string>

#include "Twips.h"
#include "Unique.h"
#include "Window.h"

namespace {

// The caption as drawn: "&" marks the access key and is not shown; "&&" shows one "&".
std::wstring Drawn(const std::wstring& caption) {
  std::wstring drawn;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
    drawn += caption[i];
  }
  return drawn;
}

// What a control draws beside its caption: a check box or option its glyph and a gap, a push
// button its edges; a label nothing.
int RoomBesideCaption(HWND control, HDC dc, const wchar_t* windowClass) {
  if (lstrcmpiW(windowClass, L"Button") != 0) return 0;
  int gap = 0;
  GetCharWidth32W(dc, L'0', L'0', &gap);
  switch (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return GetSystemMetricsForDpi(SM_CXMENUCHECK, GetDpiForWindow(control)) + gap;
    case BS_GROUPBOX: return 0;  // a frame's caption sits on its line and is as wide as the frame allows
    default: return 2 * gap;
  }
}

}  // namespace

namespace win {

void WidenToCaption(HWND control, int rightLimit) {
  wchar_t windowClass[16] = {};
  GetClassNameW(control, windowClass, 16);
  const bool label = lstrcmpiW(windowClass, L"Static") == 0;
  if (!label && lstrcmpiW(windowClass, L"Button") != 0) return;
  std::wstring caption = WindowText(control);
  if (caption.empty()) return;
  if (!(label && (GetWindowLongW(control, GWL_STYLE) & SS_NOPREFIX))) caption = Drawn(caption);

  int needed = 0;
  {
    const WindowDC dc(control);
    const HGDIOBJ old = SelectObject(dc.get(), reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &extent);
    needed = extent.cx + RoomBesideCaption(control, dc.get(), windowClass);
    SelectObject(dc.get(), old);
  }

  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  const int width = folvarek::WidthForCaption(rect.right - rect.left, needed, rightLimit - rect.left);
  if (width != rect.right - rect.left) {
    SetWindowPos(control, nullptr, 0, 0, width, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace win
