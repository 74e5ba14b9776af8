#include <gtest/gtest.h>

#include "PostProcessRules.h"

TEST(BuildStampingLine, QuotesAStagingFolderWithABlank) {
  EXPECT_EQ(folvarek::BuildStampingLine(R"(C:\Users\Ann Lee\Temp\Folvarek)", R"(C:\Out\r.pdf)"),
            R"("C:\Users\Ann Lee\Temp\Folvarek\temp.pdf" background "C:\Users\Ann Lee\Temp\Folvarek\stamp.pdf")"
            R"( output "C:\Out\r.pdf")");
}
