#include "JobNames.h"

#include <algorithm>

#include "SettingText.h"

namespace folvarek {

namespace {

bool EndsInLowered(std::string_view text, std::string_view lowerEnding) {
  if (text.size() < lowerEnding.size()) return false;
  const std::string_view end = text.substr(text.size() - lowerEnding.size());
  return std::equal(end.begin(), end.end(), lowerEnding.begin(), [](char a, char b) { return LowerAscii(a) == b; });
}

}  // namespace

bool EndsInPdf(std::string_view fileName) { return EndsInLowered(fileName, "pdf"); }

void SortByName(std::vector<std::string>& fileNames) {
  std::ranges::sort(fileNames, [](const std::string& a, const std::string& b) {
    const auto lowered = [](char c) { return LowerAscii(c); };
    if (std::ranges::lexicographical_compare(a, b, {}, lowered, lowered)) return true;
    if (std::ranges::lexicographical_compare(b, a, {}, lowered, lowered)) return false;
    return a < b;
  });
}

std::optional<NameParts> SplitAtLastDot(std::string_view fileName) {
  const auto dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return NameParts{std::string(fileName.substr(0, dot)), std::string(fileName.substr(dot + 1))};
}

std::string WithTrailingBackslash(std::string_view folder) {
  std::string result(folder);
  if (!result.empty() && result.back() != '\\') result += '\\';
  return result;
}

std::string SaveDialogAnswer(std::string_view buffer) {
  const auto nul = buffer.find('\0');
  if (nul == std::string_view::npos) return TrimBlanks(buffer) + '\0';
  return TrimBlanks(buffer.substr(0, nul + 1));
}

std::string_view PlainPath(std::string_view answer) {
  return answer.empty() ? answer : answer.substr(0, answer.size() - 1);
}

std::string NormaliseTarget(std::string_view answer) {
  std::string_view path = PlainPath(answer);
  if (EndsInLowered(path, ".pdf")) path.remove_suffix(4);
  return std::string(path) + ".pdf";
}

}  // namespace folvarek
