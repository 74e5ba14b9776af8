// How the print job names its files: which scratch file is the job's PDF, how its name splits, and
// how the answer of the Save File As dialog becomes the target path.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folvarek {

// The job's PDF is the first scratch file whose name ends in "pdf", in any letter case ("job.PDF",
// and also "xpdf", which has no dot).
[[nodiscard]] bool EndsInPdf(std::string_view fileName);

// A stable listing order: by name ignoring ASCII letter case, ties broken by the exact bytes.
void SortByName(std::vector<std::string>& fileNames);

struct NameParts {
  std::string baseName;   // before the last "."
  std::string extension;  // after the last "."
};
// Splits at the last dot; nothing for a name without one.
[[nodiscard]] std::optional<NameParts> SplitAtLastDot(std::string_view fileName);

// The save folder as the dialog's starting folder: a backslash appended unless it ends in one;
// empty text stays empty.
[[nodiscard]] std::string WithTrailingBackslash(std::string_view folder);

// The dialog's file buffer after a confirmed choice (the path, its NUL, then the unused spaces of
// the pre-filled buffer) as the answer: the path with its terminating NUL, outer spaces removed. A
// path that filled the buffer to the end gets its NUL all the same.
[[nodiscard]] std::string SaveDialogAnswer(std::string_view buffer);

// The answer without its terminating NUL: the path as the user chose it.
[[nodiscard]] std::string_view PlainPath(std::string_view answer);

// The target path from the answer: the terminator dropped, one ending ".pdf" in any letter case
// dropped, ".pdf" appended ("report" and "Report.PDF" become "report.pdf" and "Report.pdf";
// "a.pdf.pdf" stays).
[[nodiscard]] std::string NormaliseTarget(std::string_view answer);

}  // namespace folvarek
