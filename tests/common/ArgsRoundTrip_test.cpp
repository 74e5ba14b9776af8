// The security tool's line read back the way Windows hands it to a program.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PostProcessRules.h"

namespace {

std::wstring Wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(size - 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
  return out;
}

std::vector<std::wstring> ParseAfterProgram(const std::string& arguments) {
  int count = 0;
  wchar_t** parsed = CommandLineToArgvW(Wide("\"C:\\App\\pdfenc.exe\" " + arguments).c_str(), &count);
  std::vector<std::wstring> args(parsed + 1, parsed + count);
  LocalFree(parsed);
  return args;
}

}  // namespace

TEST(BuildPdfencArgs, EveryPasswordComesBackExactlyThroughCommandLineToArgvW) {
  const std::string target = R"(C:\Out Folder\report.pdf)";
  for (const std::string password :
       {"", "plain", "two words", R"(quote"inside)", R"(ends\)", R"(ends\\)", R"(\"both\")", "\"", "\\", R"(a\\"b)",
        "\xd0\xbf\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c \"x\" \\"}) {
    const auto args = ParseAfterProgram(
        folvarek::BuildPdfencArgs(R"(C:\App)", "job", "pdf", target, password, "00000000"));
    ASSERT_EQ(args.size(), 10u) << password;
    EXPECT_EQ(args[0], L"C:\\App\\temp\\job.pdf");
    EXPECT_EQ(args[1], Wide(target));
    EXPECT_EQ(args[2], Wide(password)) << password;
    EXPECT_EQ(args[3], Wide(password)) << password;
    EXPECT_EQ(args[4], L"00000000");
    EXPECT_EQ(args[5], L"128");
    EXPECT_EQ(args[6], L"Creator");
    EXPECT_EQ(args[7], L"Folvarek");
    EXPECT_EQ(args[8], L"Producer");
    EXPECT_EQ(args[9], L"Folvarek");
  }
}

TEST(BuildStampingLine, ReadsBackAsFiveArguments) {
  const auto args = ParseAfterProgram(folvarek::BuildStampingLine(R"(C:\windows\system32)", R"(C:\My Out\r.pdf)"));
  ASSERT_EQ(args.size(), 5u);
  EXPECT_EQ(args[0], L"C:\\windows\\system32\\temp.pdf");
  EXPECT_EQ(args[1], L"background");
  EXPECT_EQ(args[2], L"C:\\windows\\system32\\stamp.pdf");
  EXPECT_EQ(args[3], L"output");
  EXPECT_EQ(args[4], L"C:\\My Out\\r.pdf");
}
