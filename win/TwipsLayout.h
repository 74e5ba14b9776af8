// Windows designed in twips (1/1440 inch): on screen they are pixels at the real resolution, and
// their fonts are sized in points at that resolution too, so a window looks the same at any DPI.
#pragma once

#include <windows.h>

#include "Twips.h"
#include "Unique.h"

namespace win {

// A control's place in a design, in twips.
struct DesignRect {
  int left, top, width, height;
};

class WindowScale {
 public:
  explicit WindowScale(unsigned dpi = GetDpiForSystem()) : dpi_(dpi) {}
  [[nodiscard]] int Px(double twips) const { return folvarek::TwipsToPixels(twips, folvarek::TwipsPerPixel(dpi_)); }
  [[nodiscard]] unsigned Dpi() const { return dpi_; }
  // In pixels; `container` is a frame the design places the control in (its measures count from
  // the frame's corner), the window itself when absent.
  [[nodiscard]] RECT Place(const DesignRect& design, const DesignRect* container = nullptr) const;
  // The outer rectangle of a window whose client area is the given size, its client corner at 0, 0.
  [[nodiscard]] RECT Frame(int clientWidthTwips, int clientHeightTwips, DWORD style, DWORD exStyle) const;

 private:
  unsigned dpi_;
};

// A font of `points` at the scale's resolution.
[[nodiscard]] UniqueFont PointFont(const wchar_t* face, double points, const WindowScale& scale);

struct ControlDesign {
  int id;
  const wchar_t* windowClass;
  const wchar_t* text;
  DWORD style;  // besides WS_CHILD | WS_VISIBLE
  DWORD exStyle;
  RECT place;  // pixels
  HFONT font;  // nullptr: the control's own
};

// Creates a control of `parent` as designed, wider when its caption would not fit (WidenToCaption,
// inside the parent's client area); nullptr when it cannot be created.
HWND PlaceControl(HWND parent, const ControlDesign& design);

// A window of the given client size (twips) centred on the screen, as a rectangle for CreateWindow.
[[nodiscard]] RECT CentredWindow(int clientWidthTwips, int clientHeightTwips, DWORD style, DWORD exStyle,
                                 const WindowScale& scale);

}  // namespace win
