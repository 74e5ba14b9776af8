#include "CheckFlag.h"

#include <gtest/gtest.h>

#include <string>

using namespace folvarek;

TEST(CheckStateFromFlag, ReadsTheFlagAsANumberRoundedHalfToEven) {
  const struct {
    const char* flag;
    CheckState shown;
  } cases[] = {
      {"", CheckState::Clear},     {"0", CheckState::Clear},   {"abc", CheckState::Clear},
      {"0.5", CheckState::Clear},  {"-0.5", CheckState::Clear}, {"0.6", CheckState::Ticked},
      {"1", CheckState::Ticked},   {"1.0", CheckState::Ticked}, {"01", CheckState::Ticked},
      {"1x", CheckState::Ticked},  {" 1", CheckState::Ticked},  {"1.5", CheckState::Greyed},
      {"2", CheckState::Greyed},   {"2.5", CheckState::Greyed}, {"2abc", CheckState::Greyed},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckStateFromFlag(c.flag), c.shown) << '"' << c.flag << '"';
}

TEST(CheckStateFromFlag, NumbersThatAreNoBoxStateShowClear) {
  for (const char* flag : {"3", "2.51", "-1", "-0.51", "1e9", "1e999", "-1e999", "99999999999"}) {
    EXPECT_EQ(CheckStateFromFlag(flag), CheckState::Clear) << '"' << flag << '"';
  }
}

TEST(FlagFromCheckState, OnlyATickedBoxStoresOne) {
  EXPECT_EQ(FlagFromCheckState(CheckState::Ticked), "1");
  EXPECT_EQ(FlagFromCheckState(CheckState::Clear), "0");
  EXPECT_EQ(FlagFromCheckState(CheckState::Greyed), "0");
}

TEST(NextCheckState, AClickTicksClearAndGreyedBoxesAndClearsATickedOne) {
  EXPECT_EQ(NextCheckState(CheckState::Clear), CheckState::Ticked);
  EXPECT_EQ(NextCheckState(CheckState::Greyed), CheckState::Ticked);
  EXPECT_EQ(NextCheckState(CheckState::Ticked), CheckState::Clear);
}
