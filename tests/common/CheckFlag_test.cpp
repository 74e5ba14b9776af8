#include <gtest/gtest.h>

#include <string>

#include "CheckFlag.h"
#include "PostProcessRules.h"
#include "SettingText.h"

using namespace folvarek;

// How each stored flag text is shown as a box state and, beside it, how the same text reads as the
// password switch and for the security pass, so the readings can be told apart.
TEST(CheckFlag, FlagsReadAsSwitchBoxStateAndSecurityPass) {
  const struct {
    const char* flag;
    bool set;          // the password is asked for
    CheckState shown;  // in the preferences window
    bool secured;      // the security pass runs for it
    // clang-format off
  } cases[] = {
      {"", false, CheckState::Clear, false},     {"0", false, CheckState::Clear, false},    {"abc", false, CheckState::Clear, false},
      {"0.5", false, CheckState::Clear, true},   {"-0.5", false, CheckState::Clear, true},  {"0.6", false, CheckState::Ticked, true},
      {"1", true, CheckState::Ticked, true},     {"1.0", true, CheckState::Ticked, true},   {" 1", true, CheckState::Ticked, true},
      {"1x", true, CheckState::Ticked, true},    {"1.5", false, CheckState::Greyed, true},  {"2", false, CheckState::Greyed, true},
      {"2.5", false, CheckState::Greyed, true},  {"2.51", false, CheckState::Clear, true},  {"3", false, CheckState::Clear, true},
      {"-1", false, CheckState::Clear, true},    {"1e999", false, CheckState::Clear, true}, {"99999999999", false, CheckState::Clear, true},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE('"' + std::string(c.flag) + '"');
    EXPECT_EQ(IsFlagSet(c.flag), c.set);
    EXPECT_EQ(CheckStateFromFlag(c.flag), c.shown);
    EXPECT_EQ(NeedsSecurityPass(c.flag, "0", "0"), c.secured);
  }
  EXPECT_TRUE(NeedsSecurityPass("0", "0", "2"));  // no prompt for "2", yet the tool runs
}
