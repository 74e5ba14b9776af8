#include "PostProcessRules.h"

#include <gtest/gtest.h>

using namespace folvarek;

TEST(BuildPdfencArgs, OrdinaryValuesGiveTheToolsLineByteForByte) {
  EXPECT_EQ(BuildPdfencArgs(R"(C:\Program Files\Folvarek)", "job", "pdf", R"(C:\Out\report.pdf)", "secret", "00100000"),
            R"("C:\Program Files\Folvarek\temp\job.pdf" "C:\Out\report.pdf" "secret" "secret" 00100000 128 Creator "Folvarek" Producer "Folvarek")");
  // No password: two empty quoted arguments.
  EXPECT_EQ(BuildPdfencArgs(R"(C:\App)", "job.v2", "PDF", R"(D:\a b\c.pdf)", "", "10100000"),
            R"("C:\App\temp\job.v2.PDF" "D:\a b\c.pdf" "" "" 10100000 128 Creator "Folvarek" Producer "Folvarek")");
  // An empty permission code leaves its place empty, as the tool has always received it.
  EXPECT_EQ(BuildPdfencArgs(R"(C:\App)", "j", "pdf", R"(C:\o.pdf)", "p", ""),
            R"("C:\App\temp\j.pdf" "C:\o.pdf" "p" "p"  128 Creator "Folvarek" Producer "Folvarek")");
}

TEST(QuoteArgument, EscapesOnlyWhatTheCommandLineParserWouldChange) {
  EXPECT_EQ(QuoteArgument(""), R"("")");
  EXPECT_EQ(QuoteArgument(R"(a\b c)"), R"("a\b c")");       // inner backslashes stay single
  EXPECT_EQ(QuoteArgument(R"(say "hi")"), R"("say \"hi\"")");
  EXPECT_EQ(QuoteArgument(R"(end\)"), R"("end\\")");         // before the closing quote
  EXPECT_EQ(QuoteArgument(R"(a\"b)"), R"("a\\\"b")");
  EXPECT_EQ(QuoteArgument(R"(\\)"), R"("\\\\")");
}

TEST(BuildStampingLine, NamesTheStagingFilesUnquotedAndTheTargetQuoted) {
  EXPECT_EQ(BuildStampingLine(R"(C:\Windows\system32)", R"(C:\My Files\report.pdf)"),
            R"(C:\Windows\system32\temp.pdf background C:\Windows\system32\stamp.pdf output "C:\My Files\report.pdf")");
}

TEST(WaitDelayFor, IsTheSizeUpTo3072BytesThenHalfAMillisecondPerThousandBytes) {
  EXPECT_EQ(WaitDelayFor(1), 1);
  EXPECT_EQ(WaitDelayFor(3072), 3072);
  EXPECT_EQ(WaitDelayFor(3073), 2);
  EXPECT_EQ(WaitDelayFor(4000), 2);
  EXPECT_EQ(WaitDelayFor(5000), 2);  // 2.5: the half goes to the even neighbour
  EXPECT_EQ(WaitDelayFor(7000), 4);  // 3.5
  EXPECT_EQ(WaitDelayFor(1'000'000), 500);
  EXPECT_EQ(WaitDelayFor(100'000'000), 50'000);
}

TEST(NeedsSecurityPass, OnlyWhenSomeSettingReadsAsANumberOtherThanZero) {
  EXPECT_FALSE(NeedsSecurityPass("0", "0", "0"));
  EXPECT_FALSE(NeedsSecurityPass("", "", ""));
  EXPECT_FALSE(NeedsSecurityPass("0.0", "abc", "true"));
  EXPECT_TRUE(NeedsSecurityPass("1", "0", "0"));
  EXPECT_TRUE(NeedsSecurityPass("0", "1", "0"));
  EXPECT_TRUE(NeedsSecurityPass("0", "0", "1"));
  EXPECT_TRUE(NeedsSecurityPass("0", "0", "2"));  // no prompt for "2", yet the tool runs, as always
  EXPECT_TRUE(NeedsSecurityPass("1", "-1", "0"));  // a negative value does not cancel a restriction
  EXPECT_TRUE(NeedsSecurityPass("-1", "0", "0"));
}
