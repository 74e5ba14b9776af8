#include <gtest/gtest.h>

#include "FileFailure.h"

TEST(FileFailureFor, OnlyFailuresAnotherNameOrPlaceCanHelpGoBackToThePrompt) {
  const struct {
    std::uint32_t code;
    int number;
    const char* description;  // "": the system's own
    // clang-format off
  } cases[] = {
      {5, 70, "Permission denied"}, {32, 70, "Permission denied"}, {33, 70, "Permission denied"},  // denied, used
      {80, 75, "Path/File access error"}, {183, 75, "Path/File access error"},                      // exists
      {3, 75, "Path not found"}, {15, 75, "Path not found"},                                        // no folder, drive
      {2, 53, "File not found"},
      {112, 5, ""}, {39, 5, ""}, {21, 5, ""}, {53, 5, ""}, {64, 5, ""}, {1, 5, ""},  // full, not ready, net, unknown
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(folvarek::FileFailureFor(c.code).number, c.number) << c.code;
    EXPECT_EQ(folvarek::FileFailureFor(c.code).description, c.description) << c.code;
  }
}
