#include <gtest/gtest.h>

#include "Twips.h"

TEST(WidthForCaption, WidensOnlyForACaptionThatDoesNotFitAndNotPastTheParent) {
  const struct {
    int designed, needed, room, width;
  } cases[] = {
      {233, 200, 400, 233},  // fits: as designed
      {233, 233, 400, 233},
      {233, 260, 400, 260},  // widened to the caption
      {233, 500, 400, 400},  // up to the parent's edge
      {233, 500, 100, 233},  // already past the edge: never narrowed
  };
  for (const auto& c : cases) {
    EXPECT_EQ(folvarek::WidthForCaption(c.designed, c.needed, c.room), c.width) << c.needed << " in " << c.room;
  }
}
