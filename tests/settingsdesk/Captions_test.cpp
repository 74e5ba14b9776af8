#include <gtest/gtest.h>

#include "Captions.h"
#include "FrmPref.h"

TEST(Captions, FitTheirControlsAt96And144Dpi) {
  if (!testsupport::InChildAtEachDpi("Captions.*")) return;
  FrmPref preferences;
  ASSERT_TRUE(preferences.Show());
  EXPECT_EQ(testsupport::CaptionsThatDoNotFit(preferences.Window()), "");
}
