#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JobNames.h"

using namespace folvarek;
using namespace std::string_literals;

TEST(JobNames, JobAndTargetNames) {
  for (const char* name : {"job.pdf", "job.PDF", "xpdf", "pdf"}) EXPECT_TRUE(EndsInPdf(name)) << name;
  for (const char* name : {"notes.txt", "job.pdf.txt", "df", ""}) EXPECT_FALSE(EndsInPdf(name)) << name;
  std::vector<std::string> names{"notes.txt", "Job.PDF", "apdf", "job.pdf", "B.pdf", "a.pdf"};
  SortByName(names);
  EXPECT_EQ(names, (std::vector<std::string>{"a.pdf", "apdf", "B.pdf", "Job.PDF", "job.pdf", "notes.txt"}));
  const auto parts = SplitAtLastDot("my.report.PDF");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->baseName + "|" + parts->extension, "my.report|PDF");
  EXPECT_FALSE(SplitAtLastDot("xpdf"));
  for (const char* folder : {"C:\\Out", "C:\\Out\\"}) EXPECT_EQ(WithTrailingBackslash(folder), "C:\\Out\\") << folder;
  EXPECT_EQ(WithTrailingBackslash(""), "");
  // The dialog's answer ends at its NUL, whatever the buffer holds after it, even when it fills the buffer.
  EXPECT_EQ(SaveDialogAnswer("C:\\a\0junk  \0"s), "C:\\a\0"s);
  EXPECT_EQ(PlainPath(SaveDialogAnswer(std::string(254, 'x'))), std::string(254, 'x'));
  const std::pair<std::string, std::string> targets[] = {{"C:\\report\0"s, "C:\\report.pdf"},
                                                         {"C:\\Report.PDF\0"s, "C:\\Report.pdf"},
                                                         {"C:\\a.pdf.pdf\0"s, "C:\\a.pdf.pdf"},
                                                         {"C:\\notes.txt\0"s, "C:\\notes.txt.pdf"},
                                                         {"C:\\.pdf\0"s, "C:\\.pdf"}};
  for (const auto& [answer, target] : targets) EXPECT_EQ(NormaliseTarget(answer), target);
}
