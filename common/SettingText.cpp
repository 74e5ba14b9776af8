#include "SettingText.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace folvarek {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the run of digits starting at pos.
std::size_t DigitsAt(std::string_view s, std::size_t pos) {
  std::size_t n = 0;
  while (pos + n < s.size() && IsDigit(s[pos + n])) ++n;
  return n;
}

}  // namespace

double ReadNumber(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  const std::size_t start = pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;

  const std::size_t intDigits = DigitsAt(text, pos);
  pos += intDigits;
  std::size_t fracDigits = 0;
  if (pos < text.size() && text[pos] == '.') {
    fracDigits = DigitsAt(text, pos + 1);
    pos += 1 + fracDigits;
  }
  if (intDigits + fracDigits == 0) return 0.0;

  // An exponent counts only when digits follow it: "1e" reads as 1, "1e2" as 100.
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    std::size_t expPos = pos + 1;
    if (expPos < text.size() && (text[expPos] == '+' || text[expPos] == '-')) ++expPos;
    const std::size_t expDigits = DigitsAt(text, expPos);
    if (expDigits > 0) pos = expPos + expDigits;
  }

  // The prefix is a well-formed decimal number by now; strtod gives +-HUGE_VAL or 0 outside range.
  const std::string number(text.substr(start, pos - start));
  return std::strtod(number.c_str(), nullptr);
}

bool IsFlagSet(std::string_view text) { return ReadNumber(text) == 1.0; }

std::int32_t RoundHalfEven(double value) {
  // nearbyint rounds in the current mode, which is round-to-nearest-even unless someone changed it.
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    throw std::overflow_error("Overflow");
  }
  return static_cast<std::int32_t>(rounded);
}

std::string TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string_view CutAtNull(std::string_view text) {
  const auto nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace folvarek
