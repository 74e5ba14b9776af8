// The portable rules, one table each: number reading, rounding, flags, permission code, names and,
// under Wine, pdfenc's argument line read back the way Windows parses it.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "CheckFlag.h"
#include "JobNames.h"
#include "Permissions.h"
#include "PostProcessRules.h"
#include "SettingText.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

using namespace folvarek;
using namespace std::string_literals;

TEST(Rules, ReadNumberTakesTheNumberAtTheStartOrZero) {
  // clang-format off
  const std::pair<std::string, double> cases[] = {
      {"1", 1}, {"1.0", 1}, {"01", 1}, {"1.5", 1.5}, {".5", 0.5}, {"2x", 2}, {"1.2.3", 1.2}, {"-3", -3}, {"+4", 4},
      {"  7", 7}, {"1e2", 100}, {"1e", 1}, {"1e+", 1}, {"1\0" "9"s, 1}, {"", 0}, {"true", 0}, {"-", 0}, {".", 0},
      {"x1", 0}, {"-.e5", 0}, {"1e-999", 0}};
  for (const auto& [text, number] : cases) EXPECT_EQ(ReadNumber(text), number) << '"' << text << '"';
  EXPECT_GT(ReadNumber("1e999"), 1e300);  // saturates instead of failing
}

TEST(Rules, RoundHalfEvenSendsHalvesToTheEvenNeighbourAndOverflowsOutside32Bits) {
  const std::pair<double, int> cases[] = {{22.5, 22}, {23.5, 24}, {0.5, 0}, {1.5, 2}, {-2.5, -2}, {-3.5, -4},
                                          {22.4999, 22}, {22.5001, 23}, {-0.4, 0}, {2147483647.0, 2147483647}};
  for (const auto& [value, rounded] : cases) EXPECT_EQ(RoundHalfEven(value), rounded) << value;
  EXPECT_THROW((void)RoundHalfEven(2147483648.5), std::overflow_error);
  EXPECT_THROW((void)RoundHalfEven(-2147483649.0), std::overflow_error);
}

// How each stored flag text is read: as the password switch, as a box state, and as a permission.
TEST(Rules, FlagsReadAsSwitchBoxStateAndPermission) {
  const struct {
    const char* flag;
    bool set;           // the password is asked for
    CheckState shown;   // in the preferences window
    bool withheld;      // as AllowCopy/AllowPrint: the permission is withheld
  } cases[] = {
      {"", false, CheckState::Clear, false},       {"0", false, CheckState::Clear, false},
      {"abc", false, CheckState::Clear, false},    {"0.5", false, CheckState::Clear, true},
      {"-0.5", false, CheckState::Clear, true},    {"0.6", false, CheckState::Ticked, true},
      {"1", true, CheckState::Ticked, true},       {"1.0", true, CheckState::Ticked, true},
      {" 1", true, CheckState::Ticked, true},      {"1x", true, CheckState::Ticked, true},
      {"1.5", false, CheckState::Greyed, true},    {"2", false, CheckState::Greyed, true},
      {"2.5", false, CheckState::Greyed, true},    {"2.51", false, CheckState::Clear, true},
      {"3", false, CheckState::Clear, true},       {"-1", false, CheckState::Clear, true},
      {"1e999", false, CheckState::Clear, true},   {"99999999999", false, CheckState::Clear, true},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE('"' + std::string(c.flag) + '"');
    EXPECT_EQ(IsFlagSet(c.flag), c.set);
    EXPECT_EQ(CheckStateFromFlag(c.flag), c.shown);
    EXPECT_EQ(PermissionCode(c.flag, "0"), c.withheld ? "10000000" : "10100000");
    EXPECT_EQ(PermissionCode("0", c.flag), c.withheld ? "00100000" : "10100000");
    EXPECT_EQ(NeedsSecurityPass(c.flag, "0", "0"), c.withheld);
  }
  EXPECT_EQ(PermissionCode("1", "1"), "00000000");
  EXPECT_TRUE(NeedsSecurityPass("0", "0", "2"));  // no prompt for "2", yet the tool runs
  EXPECT_EQ(FlagFromCheckState(CheckState::Ticked), "1");
  EXPECT_EQ(FlagFromCheckState(CheckState::Greyed), "0");
  EXPECT_EQ(FlagFromCheckState(CheckState::Clear), "0");
  EXPECT_EQ(NextCheckState(CheckState::Greyed), CheckState::Ticked);
  EXPECT_EQ(NextCheckState(CheckState::Ticked), CheckState::Clear);
  EXPECT_EQ(NextCheckState(CheckState::Clear), CheckState::Ticked);
}

TEST(Rules, JobAndTargetNames) {
  for (const char* name : {"job.pdf", "job.PDF", "xpdf", "pdf"}) EXPECT_TRUE(EndsInPdf(name)) << name;
  for (const char* name : {"notes.txt", "job.pdf.txt", "df", ""}) EXPECT_FALSE(EndsInPdf(name)) << name;
  std::vector<std::string> names{"notes.txt", "Job.PDF", "apdf", "job.pdf", "B.pdf", "a.pdf"};
  SortByName(names);
  EXPECT_EQ(names, (std::vector<std::string>{"a.pdf", "apdf", "B.pdf", "Job.PDF", "job.pdf", "notes.txt"}));
  const auto parts = SplitAtLastDot("my.report.PDF");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->baseName + "|" + parts->extension, "my.report|PDF");
  EXPECT_FALSE(SplitAtLastDot("xpdf"));
  EXPECT_EQ(WithTrailingBackslash("C:\\Out"), "C:\\Out\\");
  EXPECT_EQ(WithTrailingBackslash("C:\\Out\\"), "C:\\Out\\");
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

TEST(Rules, WaitDelayIsTheSizeUpTo3072BytesThenHalfAMillisecondPerThousand) {
  const std::pair<std::uint64_t, int> cases[] = {{1, 1},    {3072, 3072}, {3073, 2},
                                                 {5000, 2}, {7000, 4},    {100'000'000, 50'000}};
  for (const auto& [size, delay] : cases) EXPECT_EQ(WaitDelayFor(size), delay) << size;
}

// Only the text "256" asks for AES-256; whatever else is stored secures as before, and the number
// goes into pdfenc's line in the key length's place.
TEST(Rules, KeyLengthIs256ForExactlyTheText256) {
  const std::pair<std::string, int> cases[] = {{"256", 256},  {"", 128},       {"128", 128},
                                               {" 256", 128}, {"256 ", 128},   {"256.0", 128},
                                               {"0256", 128}, {"256\0"s, 128}, {"40", 128}};
  for (const auto& [text, bits] : cases) EXPECT_EQ(KeyLengthBits(text), bits) << '"' << text << '"';
  EXPECT_EQ(BuildPdfencArgs("C:\\t", "j", "pdf", "C:\\o.pdf", "", "10100000", 256),
            R"("C:\t\j.pdf" "C:\o.pdf" "" "" 10100000 256 Creator "Folvarek" Producer "Folvarek")");
}

#ifdef _WIN32
// Every password comes back whole through Windows' own parser, between its neighbours.
TEST(Rules, PasswordsSurviveCommandLineToArgvW) {
  for (const std::string password : {"", "two words", R"(quote"inside)", R"(ends\)", R"(ends\\)", R"(\"both\")", "\"",
                                     R"(a\\"b)", "\xd0\xbf\xd0\xb0 \"x\" \\"}) {
    const std::string line =
        "p.exe " + BuildPdfencArgs("C:\\A\\temp", "j", "pdf", "C:\\o.pdf", password, "10100000", 128);
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    int count = 0;
    wchar_t** args = CommandLineToArgvW(wide.c_str(), &count);
    std::vector<std::string> back;
    for (int i = 1; i < count; ++i) {
      std::string arg(WideCharToMultiByte(CP_UTF8, 0, args[i], -1, nullptr, 0, nullptr, nullptr) - 1, '\0');
      WideCharToMultiByte(CP_UTF8, 0, args[i], -1, arg.data(), static_cast<int>(arg.size()) + 1, nullptr, nullptr);
      back.push_back(arg);
    }
    LocalFree(args);
    EXPECT_EQ(back, (std::vector<std::string>{"C:\\A\\temp\\j.pdf", "C:\\o.pdf", password, password, "10100000", "128",
                                              "Creator", "Folvarek", "Producer", "Folvarek"}));
  }
}
#endif
