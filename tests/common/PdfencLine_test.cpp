#include <gtest/gtest.h>

#include "PdfencLine.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "Text.h"
#include "Unique.h"
#endif

using namespace folvarek;

namespace {
// pdfenc's arguments from its line: under Wine by Windows' own parser; natively by Microsoft's rules
// (2n backslashes and a quote: n, the quote opens or closes; 2n+1: n and a quote; else as they are).
std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> split;
#ifdef _WIN32
  int count = 0;
  const win::UniqueLocal<wchar_t*> args(CommandLineToArgvW(win::Wide("p.exe " + line).c_str(), &count));
  for (int i = 1; i < count; ++i) split.push_back(win::Utf8(args.get()[i]));
#else
  std::string arg;
  bool quoted = false, started = false;
  for (std::size_t i = 0, n = 0; i <= line.size(); ++i, n = 0) {
    while (i < line.size() && line[i] == '\\') ++i, ++n;
    const char c = i < line.size() ? line[i] : ' ';
    arg.append(c == '"' ? n / 2 : n, '\\');
    if (c == ' ' && !quoted) {
      if (started || n > 0) split.push_back(arg);
      arg.clear(), started = false;
      continue;
    }
    if (c != '"' || n % 2 == 1) arg += c;
    quoted ^= c == '"' && n % 2 == 0;
    started = true;
  }
#endif
  return split;
}
}  // namespace

// Every field comes back whole from its line, between its neighbours, and each code from its
// rights; or pdfenc refuses the line with the reason it gives (an empty code leaves an argument out).
TEST(PdfencLine, FieldsComeBackFromTheirLineOrAreRefused) {
  const std::string wrong = R"(wrong arguments: expected "<input>" "<output>" "<user password>" "<owner password>" )"
                            R"(<code> <bits> Creator "<name>" Producer "<name>")";
  // clang-format off
  const std::pair<PdfencLine, std::string> rows[] = {
      {{R"(C:\Users\Анна\Отчёт 報告 Ω\temp\Отчёт 報告 Ω.pdf)", R"(D:\Out folder\Отчёт 報告 Ω.pdf)", "", "", "10100000", 128, "Folvarek", "Folvarek"}, ""},
      {{R"(C:\A\temp\j.pdf)", R"(\\server\share\ends in\)", "two words", "two words", "00100000", 256, "Folvarek", "Folvarek"}, ""},
      {{R"(C:\A\temp\j.pdf)", R"(C:\"quoted"\o.pdf)", R"(quote"inside)", R"(ends\)", "10000000", 256, "Folvárek Ωmega", ""}, ""},
      {{R"(C:\A\temp\j.pdf)", R"(C:\o.pdf)", R"(ends\\)", R"(\"both\")", "00000000", 128, "", "x"}, ""},
      {{R"(C:\A\temp\j.pdf)", R"(C:\o.pdf)", "\"", R"(a\\"b)", "11111111", 40, "\"", "\\"}, ""},
      {{R"(C:\A\temp\j.pdf)", R"(C:\o.pdf)", "пароль \"x\" \\", "\tTab", "01010110", 256, "Folvarek", "Folvarek"}, ""},
      {{"a", "b", "u", "u", "", 128, "F", "F"}, wrong},
      {{"a", "b", "u", "u", "1010 0000", 128, "F", "F"}, wrong},
      {{"a", "b", "u", "u", "10a00000", 128, "F", "F"}, R"(permission code "10a00000" is not eight characters of 0 and 1)"},
      {{"a", "b", "u", "u", "101000000", 128, "F", "F"}, R"(permission code "101000000" is not eight characters of 0 and 1)"},
      {{"a", "b", "u", "u", "10100000", 64, "F", "F"}, R"(key length "64" is not 40, 128 or 256)"},
  };
  // clang-format on
  for (const auto& [fields, refused] : rows) {
    const std::string line = WritePdfencLine(fields);
    try {
      EXPECT_EQ(ReadPdfencArguments(Split(line)), fields) << line;
      EXPECT_EQ(WritePermissionCode(ReadPermissionCode(fields.permissionCode).value()), fields.permissionCode);
      EXPECT_EQ("", refused) << line;
    } catch (const PdfencLineError& e) {
      EXPECT_EQ(e.what(), refused) << line;
    }
  }
}
