// Text rules shared by both programs: how a stored setting is read as a number, how numbers are
// rounded, and how platform buffers are trimmed. No <windows.h> here, so all of it is unit-tested
// natively as well as under Wine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace folvarek {

// The number at the start of a text: optional blanks, an optional sign, digits with at most one
// decimal point, an optional exponent. Reading stops at the first character that cannot continue
// the number; a text without a leading number (empty text included) is 0. "1.0" is 1, "2x" is 2.
[[nodiscard]] double ReadNumber(std::string_view text);

// A stored flag is set when its text reads as exactly 1 ("1", "1.0", "01"); "2", "true" and "" are not.
[[nodiscard]] bool IsFlagSet(std::string_view text);

// Nearest whole number, an exact half going to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
// Throws std::overflow_error when the result does not fit in 32 bits (NaN included).
[[nodiscard]] std::int32_t RoundHalfEven(double value);

// Leading and trailing blanks (spaces only, as the platform buffers are pre-filled with spaces).
[[nodiscard]] std::string TrimBlanks(std::string_view text);

// A letter A-Z in lower case, any other byte as it is: names compared the way the file system
// compares them, for the ASCII letters that matter here.
[[nodiscard]] constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The part of a text before its first NUL character; all of it when there is none.
[[nodiscard]] std::string_view CutAtNull(std::string_view text);

}  // namespace folvarek
