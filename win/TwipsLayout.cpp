#include "TwipsLayout.h"

#include <cwchar>

#include "CaptionFit.h"
#include "SettingText.h"

namespace win {

RECT WindowScale::Place(const DesignRect& design, const DesignRect* container) const {
  // A frame is a window of its own in the design: its children are placed from its pixel corner.
  const int originX = container != nullptr ? Px(container->left) : 0;
  const int originY = container != nullptr ? Px(container->top) : 0;
  const int left = originX + Px(design.left);
  const int top = originY + Px(design.top);
  return RECT{left, top, left + Px(design.width), top + Px(design.height)};
}

RECT WindowScale::Frame(int clientWidthTwips, int clientHeightTwips, DWORD style, DWORD exStyle) const {
  RECT frame{0, 0, Px(clientWidthTwips), Px(clientHeightTwips)};
  AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, dpi_);
  return frame;
}

UniqueFont PointFont(const wchar_t* face, double points, const WindowScale& scale) {
  LOGFONTW description{};
  description.lfHeight = -folvarek::RoundHalfEven(points * scale.Dpi() / 72.0);
  description.lfWeight = FW_NORMAL;
  description.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(description.lfFaceName, face, LF_FACESIZE - 1);
  return UniqueFont(CreateFontIndirectW(&description));
}

HWND PlaceControl(HWND parent, const ControlDesign& design) {
  const RECT& r = design.place;
  const HWND control = CreateWindowExW(
      design.exStyle, design.windowClass, design.text, WS_CHILD | WS_VISIBLE | design.style, r.left, r.top,
      r.right - r.left, r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (control == nullptr) return nullptr;
  if (design.font != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(design.font), FALSE);
  RECT client{};
  GetClientRect(parent, &client);
  WidenToCaption(control, client.right);
  return control;
}

RECT CentredWindow(int clientWidthTwips, int clientHeightTwips, DWORD style, DWORD exStyle, const WindowScale& scale) {
  const RECT frame = scale.Frame(clientWidthTwips, clientHeightTwips, style, exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  return RECT{left, top, left + width, top + height};
}

}  // namespace win
