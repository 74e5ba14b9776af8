#include "CaptionFit.h"

#include <string>

#include "Twips.h"

namespace {

// The caption as drawn: "&" marks the access key and is not shown; "&&" shows one "&".
std::string Drawn(const std::string& caption) {
  std::string drawn;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    drawn += caption[i];
  }
  return drawn;
}

// What a control draws beside its caption: a check box or option its glyph and a gap, a push
// button its edges; a label nothing.
int RoomBesideCaption(HWND control, HDC dc, const char* windowClass) {
  if (lstrcmpiA(windowClass, "Button") != 0) return 0;
  int gap = 0;
  GetCharWidth32A(dc, '0', '0', &gap);
  switch (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) {
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
  char windowClass[16] = {};
  GetClassNameA(control, windowClass, sizeof windowClass);
  const bool label = lstrcmpiA(windowClass, "Static") == 0;
  if (!label && lstrcmpiA(windowClass, "Button") != 0) return;
  std::string caption(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  caption.resize(static_cast<std::size_t>(GetWindowTextA(control, caption.data(), static_cast<int>(caption.size()))));
  if (caption.empty()) return;
  if (!(label && (GetWindowLongA(control, GWL_STYLE) & SS_NOPREFIX))) caption = Drawn(caption);

  const HDC dc = GetDC(control);
  const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  SIZE extent{};
  GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
  const int needed = extent.cx + RoomBesideCaption(control, dc, windowClass);
  SelectObject(dc, old);
  ReleaseDC(control, dc);

  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  const int width = folvarek::WidthForCaption(rect.right - rect.left, needed, rightLimit - rect.left);
  if (width != rect.right - rect.left) {
    SetWindowPos(control, nullptr, 0, 0, width, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace win
