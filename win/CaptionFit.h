// Captions that stay readable at any resolution: a window designed in twips for one font may, at
// another DPI or with another font, have a caption wider than its control, which then wraps or is
// cut off. Both programs make such a control wider.
#pragma once

#include <windows.h>

// Widens `control` (a label, check box, option or push button) when its caption, in its own font
// and with the room its kind draws beside the text, does not fit; its left and top stay, and its
// right edge goes no further than `rightLimit` (client coordinates of its parent window).
namespace win {

void WidenToCaption(HWND control, int rightLimit);

}  // namespace win
