#include <gtest/gtest.h>

#include "PostProcessRules.h"

using namespace folvarek;

// The settling delay: the size up to 3072 bytes, then half a millisecond per thousand. The job's
// pdfenc line, field by field (every field read back is in PdfencLine_test).
TEST(PostProcessRules, WaitDelayAndPdfencsLine) {
  const std::pair<std::uint64_t, int> cases[] = {{1, 1},    {3072, 3072}, {3073, 2},
                                                 {5000, 2}, {7000, 4},    {100'000'000, 50'000}};
  for (const auto& [size, delay] : cases) EXPECT_EQ(WaitDelayFor(size), delay) << size;
  EXPECT_EQ(BuildPdfencArgs("C:\\t", "j", "pdf", "C:\\o.pdf", "", "10100000", 256),
            R"("C:\t\j.pdf" "C:\o.pdf" "" "" 10100000 256 Creator "Folvarek" Producer "Folvarek")");
}
