#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JobNames.h"
#include "Permissions.h"

using namespace folvarek;
using namespace std::string_literals;

TEST(PermissionCode, EachPairOfStoredFlags) {
  EXPECT_EQ(PermissionCode("1", "1"), "00000000");  // both stopped
  EXPECT_EQ(PermissionCode("1", "0"), "10000000");  // copying stopped
  EXPECT_EQ(PermissionCode("0", "1"), "00100000");  // printing stopped
  EXPECT_EQ(PermissionCode("0", "0"), "10100000");
  EXPECT_EQ(PermissionCode("", ""), "10100000");     // nothing stored
  EXPECT_EQ(PermissionCode("1.0", "0.0"), "10000000");
}

TEST(PermissionCode, AnyNumberOtherThanZeroWithholdsThePermission) {
  for (const char* odd : {"2", "-1", "0.5", "1e999", "10", " 3x"}) {
    EXPECT_EQ(PermissionCode(odd, "0"), "10000000") << odd;
    EXPECT_EQ(PermissionCode("0", odd), "00100000") << odd;
    EXPECT_EQ(PermissionCode(odd, odd), "00000000") << odd;
  }
  // Text without a leading number reads as 0, as everywhere else in the settings.
  EXPECT_EQ(PermissionCode("true", "yes"), "10100000");
}

TEST(EndsInPdf, LooksAtTheLastThreeCharactersInAnyCase) {
  for (const char* name : {"job.pdf", "job.PDF", "Job.Pdf", "xpdf", "pdf"}) EXPECT_TRUE(EndsInPdf(name)) << name;
  for (const char* name : {"notes.txt", "job.pdf.txt", "df", "", "job.pd f"}) EXPECT_FALSE(EndsInPdf(name)) << name;
}

TEST(SortByName, IgnoresLetterCaseAndIsStable) {
  std::vector<std::string> names{"notes.txt", "Job.PDF", "apdf", "job.pdf", "B.pdf", "a.pdf"};
  SortByName(names);
  EXPECT_EQ(names, (std::vector<std::string>{"a.pdf", "apdf", "B.pdf", "Job.PDF", "job.pdf", "notes.txt"}));
}

TEST(SplitAtLastDot, BaseNameAndExtension) {
  const auto parts = SplitAtLastDot("my.report.PDF");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->baseName, "my.report");
  EXPECT_EQ(parts->extension, "PDF");
  const auto trailing = SplitAtLastDot("job.");
  ASSERT_TRUE(trailing);
  EXPECT_EQ(trailing->baseName, "job");
  EXPECT_EQ(trailing->extension, "");
  EXPECT_FALSE(SplitAtLastDot("xpdf"));
}

TEST(WithTrailingBackslash, AppendsOnlyWhenMissing) {
  EXPECT_EQ(WithTrailingBackslash("C:\\Out"), "C:\\Out\\");
  EXPECT_EQ(WithTrailingBackslash("C:\\Out\\"), "C:\\Out\\");
  EXPECT_EQ(WithTrailingBackslash(""), "");
  EXPECT_EQ(WithTrailingBackslash(" D:\\a b "), " D:\\a b \\");
}

TEST(SaveDialogAnswer, IsThePathWithItsTerminator) {
  std::string buffer(254, ' ');
  const std::string path = "C:\\Out\\report.pdf";
  buffer.replace(0, path.size() + 1, path + '\0');
  buffer += '\0';
  EXPECT_EQ(SaveDialogAnswer(buffer), path + '\0');
  EXPECT_EQ(PlainPath(SaveDialogAnswer(buffer)), path);

  // Whatever the dialog left after the NUL does not count.
  EXPECT_EQ(SaveDialogAnswer("  C:\\a\0junk  \0"s), "C:\\a\0"s);
  // A path that used the whole buffer still comes back whole.
  const std::string full(254, 'x');
  EXPECT_EQ(PlainPath(SaveDialogAnswer(full)), full);
}

TEST(NormaliseTarget, EndsInExactlyOneLowerCasePdf) {
  EXPECT_EQ(NormaliseTarget("C:\\Out\\report\0"s), "C:\\Out\\report.pdf");
  EXPECT_EQ(NormaliseTarget("C:\\Out\\Report.PDF\0"s), "C:\\Out\\Report.pdf");
  EXPECT_EQ(NormaliseTarget("C:\\Out\\a.pdf.pdf\0"s), "C:\\Out\\a.pdf.pdf");
  EXPECT_EQ(NormaliseTarget("C:\\Out\\a.pdf.PDF\0"s), "C:\\Out\\a.pdf.pdf");
  EXPECT_EQ(NormaliseTarget("C:\\Out\\notes.txt\0"s), "C:\\Out\\notes.txt.pdf");
  EXPECT_EQ(NormaliseTarget("C:\\Out\\.pdf\0"s), "C:\\Out\\.pdf");
}
