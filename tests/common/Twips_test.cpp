#include <gtest/gtest.h>

#include "Twips.h"

TEST(WidthForCaption, WidensOnlyForACaptionThatDoesNotFitAndNotPastTheParent) {
  // designed, needed, room -> width: fits; widened; up to the parent's edge; already past it.
  const int cases[][4] = {{233, 233, 400, 233}, {233, 260, 400, 260}, {233, 500, 400, 400}, {233, 500, 100, 233}};
  for (const auto& c : cases) EXPECT_EQ(folvarek::WidthForCaption(c[0], c[1], c[2]), c[3]) << c[1] << " in " << c[2];
}
