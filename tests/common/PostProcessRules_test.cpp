#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PostProcessRules.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "Text.h"
#include "Unique.h"
#endif

using namespace folvarek;

// The settling delay: the size up to 3072 bytes, then half a millisecond per thousand. The key length
// goes into pdfenc's line in its own place (the passwords' quoting is read back below, under Wine).
TEST(PostProcessRules, WaitDelayAndPdfencsLine) {
  const std::pair<std::uint64_t, int> cases[] = {{1, 1},    {3072, 3072}, {3073, 2},
                                                 {5000, 2}, {7000, 4},    {100'000'000, 50'000}};
  for (const auto& [size, delay] : cases) EXPECT_EQ(WaitDelayFor(size), delay) << size;
  EXPECT_EQ(BuildPdfencArgs("C:\\t", "j", "pdf", "C:\\o.pdf", "", "10100000", 256),
            R"("C:\t\j.pdf" "C:\o.pdf" "" "" 10100000 256 Creator "Folvarek" Producer "Folvarek")");
}

#ifdef _WIN32
// Every password comes back whole through Windows' own parser, between its neighbours.
TEST(PostProcessRules, PasswordsSurviveCommandLineToArgvW) {
  for (const std::string password : {"", "two words", R"(quote"inside)", R"(ends\)", R"(ends\\)", R"(\"both\")", "\"",
                                     R"(a\\"b)", "\xd0\xbf\xd0\xb0 \"x\" \\"}) {
    const std::string line =
        "p.exe " + BuildPdfencArgs("C:\\A\\temp", "j", "pdf", "C:\\o.pdf", password, "10100000", 128);
    int count = 0;
    const win::UniqueLocal<wchar_t*> args(CommandLineToArgvW(win::Wide(line).c_str(), &count));
    std::vector<std::string> back;
    for (int i = 1; i < count; ++i) back.push_back(win::Utf8(args.get()[i]));
    EXPECT_EQ(back, (std::vector<std::string>{"C:\\A\\temp\\j.pdf", "C:\\o.pdf", password, password, "10100000", "128",
                                              "Creator", "Folvarek", "Producer", "Folvarek"}));
  }
}
#endif
