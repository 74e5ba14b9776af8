#include <gtest/gtest.h>

#include <string>

#include "NameTemplate.h"

using namespace folvarek;

namespace {

std::string Repeat(const std::string& text, int times) {
  std::string result;
  while (times-- > 0) result += text;
  return result;
}

}  // namespace

// Each row: the folder, the template and the job's title, and the path below the folder it gives
// (empty when no stem fits) or the template's problem. The folder is C:\Users\anna\Documents\PDF,
// 27 units, leaving 221 for a stem.
TEST(NameTemplate, PathsAndProblems) {
  const std::string docs = R"(C:\Users\anna\Documents\PDF)", x300(300, 'x');
  const std::string unclosed = "The name template has a { with no } to close it. Write {{ for a brace in the name.";
  struct Row {
    std::string folder, templ, title, expected;
    // clang-format off
  } rows[] = {
      {docs, "{title}", "Quarterly report", "Quarterly report"}, {docs, "{date} {time}", "", "2026-03-07 09-05-02"},
      {docs, "{datetime:yyyyMMdd_HHmm}", "", "20260307_0905"}, {docs, "{datetime:dd.MM.yy HH:mm:ss}", "", "07.03.yy 09_05_02"},
      {docs, "{user}@{domain} on {computer}", "", "anna@OFFICE on PC-07"}, {docs, "{{{title}}} }}{{", "Q", "{Q} }{"},
      {docs, R"({date}\{title})", "Quarterly report", R"(2026-03-07\Quarterly report)"},
      {docs, R"(\\{user}\\..\ . \{date}\)", "", R"(anna\2026-03-07)"},  // no empty, "." or ".." level
      {docs, "{title}", "a\\b/c:d*e?f\"g<h>i|j\t.", "a_b_c_d_e_f_g_h_i_j_"}, {docs, "{title} {date}", "CON", "_CON 2026-03-07"},
      {docs, R"({title}\nul.{date})", "lpt1", R"(_lpt1\_nul.2026-03-07)"}, {docs, "{title}", "..", "Print job"},
      {docs, R"({date}\{title})", R"(..\..\x)", R"(2026-03-07\.._.._x)"}, {docs, R"(..\{title})", "", "Print job"},
      {docs, "{title}", "報告書 2026", "報告書 2026"}, {docs, "{title} {date}", "Отчёт за март", "Отчёт за март 2026-03-07"},
      {docs, "{title}", x300, std::string(221, 'x')}, {docs, "{title}", Repeat("報", 300), Repeat("報", 221)},
      {docs, "{title}", std::string(220, 'x') + "\xF0\x9F\x93\x84z", std::string(220, 'x')},  // not half a surrogate pair
      {"D:", "{title}", x300, std::string(245, 'x')},  // a component's 255 units with " (NNN).pdf"
      {Repeat("ф", 238), "{title}", "Quarterly report", "Quarterly"}, {std::string(245, 'f'), "{title}", "CONSOLE", "_CO"},
      {std::string(245, 'f'), "{title}", "...x", ""},  // "..." is no name, and "Print job" does not fit
      {std::string(247, 'f'), "{title}", "Quarterly report", "Q"}, {std::string(300, 'f'), "{title}", "Quarterly report", ""},
      {std::string(236, 'f'), R"({date}\{title})", "Quarterly report", R"(2026-03-07\Q)"},
      {std::string(237, 'f'), R"({date}\{title})", "Quarterly report", ""},
      {docs, "{titel}", "", "The name template has an unknown field {titel}. Use {title}, {date}, {time}, {datetime:FORMAT}, {user}, {domain} or {computer}."},
      {docs, "{title", "", unclosed}, {docs, "{ti{tle}", "", unclosed},
      {docs, "title}", "", "The name template has a } with no { before it. Write }} for a brace in the name."},
      {docs, "{datetime:}", "", "The name template has {datetime:} with no format, such as {datetime:yyyy-MM-dd HH-mm}."},
      {docs, " ", "", "The name template is empty. Use {title}, {date}, {time}, {datetime:FORMAT}, {user}, {domain} or {computer}."},
  };
  // clang-format on
  for (const Row& row : rows) {
    std::string outcome = TemplateProblem(row.templ).value_or("");
    const TemplateValues values{row.title, 2026, 3, 7, 9, 5, 2, "anna", "OFFICE", "PC-07"};
    const auto parts =
        outcome.empty() ? FitBelowFolder(row.folder, ExpandTemplate(row.templ, values).value()) : std::nullopt;
    for (const std::string& part : parts.value_or(std::vector<std::string>{}))
      outcome += (outcome.empty() ? "" : "\\") + part;
    EXPECT_EQ(outcome, row.expected) << row.templ << " / " << row.title;
  }
}
