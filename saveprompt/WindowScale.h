// The window designs are measured in twips; on screen they are pixels at the real resolution, and
// their fonts are sized in points at that resolution too.
#pragma once

#include <windows.h>

#include <utility>

#include "Twips.h"

// A control's place in a design, in twips.
struct DesignRect {
  int left, top, width, height;
};

class WindowScale {
 public:
  WindowScale() : dpi_(GetDpiForSystem()) {}
  [[nodiscard]] int Px(double twips) const { return folvarek::TwipsToPixels(twips, folvarek::TwipsPerPixel(dpi_)); }
  [[nodiscard]] unsigned Dpi() const { return dpi_; }
  // In pixels; `container` is a frame the design places the control in (its measures count from
  // the frame's corner), the window itself when absent.
  [[nodiscard]] RECT Place(const DesignRect& design, const DesignRect* container = nullptr) const;

 private:
  unsigned dpi_;
};

// A font of a window's controls, deleted when the window's object goes.
class UniqueFont {
 public:
  UniqueFont(const char* face, double points, const WindowScale& scale);
  UniqueFont(const UniqueFont&) = delete;
  UniqueFont& operator=(const UniqueFont&) = delete;
  ~UniqueFont() {
    if (font_ != nullptr) DeleteObject(font_);
  }
  [[nodiscard]] HFONT get() const { return font_; }

 private:
  HFONT font_ = nullptr;
};

struct ControlDesign {
  int id;
  const char* windowClass;
  const char* text;
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

// Registers the class of one of the job's windows: the product icon, the dialog face colour.
// Registering again (a window shown a second time in the same job) fails harmlessly.
void RegisterFormClass(HINSTANCE instance, const char* className, WNDPROC windowProc);
