// Window layouts are given in twips (1/1440 inch): 15 twips are one pixel at 96 DPI.
#pragma once

#include <cstdint>

#include "SettingText.h"

namespace folvarek {

inline constexpr double kTwipsPerInch = 1440.0;

// Twips per pixel at a screen resolution (15 at 96 DPI, 10 at 144 DPI).
[[nodiscard]] inline double TwipsPerPixel(unsigned dpi) { return kTwipsPerInch / dpi; }

// A twips measure in pixels, rounded half to even (10 twips at 15 per pixel give 1 pixel).
[[nodiscard]] inline std::int32_t TwipsToPixels(double twips, double twipsPerPixel) {
  return RoundHalfEven(twips / twipsPerPixel);
}

// The width of a control whose caption needs `needed` pixels: the designed width when the caption
// fits, else wide enough for it but not past `room` (the width up to its parent's edge; a control
// that already reaches past that edge is never narrowed).
[[nodiscard]] inline int WidthForCaption(int designed, int needed, int room) {
  if (needed <= designed) return designed;
  return needed < room ? needed : (room > designed ? room : designed);
}

}  // namespace folvarek
