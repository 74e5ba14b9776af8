#include <gtest/gtest.h>

#include "FileFailure.h"

using folvarek::FileFailureFor;

TEST(FileFailureFor, OnlyFailuresAnotherNameOrPlaceCanHelpGoBackToThePrompt) {
  const struct {
    std::uint32_t code;
    int number;
    const char* description;  // "" for the system's own
  } cases[] = {
      {5, 70, "Permission denied"},         // access denied
      {32, 70, "Permission denied"},        // sharing violation: in use
      {33, 70, "Permission denied"},        // lock violation
      {80, 75, "Path/File access error"},   // file exists
      {183, 75, "Path/File access error"},  // already exists
      {3, 75, "Path not found"},
      {15, 75, "Path not found"},           // no such drive
      {2, 53, "File not found"},
      {112, 5, ""},                         // disk full
      {39, 5, ""},                          // handle disk full
      {21, 5, ""},                          // device not ready
      {53, 5, ""},                          // network path gone
      {64, 5, ""},                          // network name deleted
      {1, 5, ""},                           // unknown to us
  };
  for (const auto& c : cases) {
    const auto failure = FileFailureFor(c.code);
    EXPECT_EQ(failure.number, c.number) << c.code;
    EXPECT_EQ(failure.description, c.description) << c.code;
  }
}
