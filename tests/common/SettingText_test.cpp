#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "SettingText.h"

using namespace folvarek;
using namespace std::string_literals;

TEST(SettingText, ReadNumberTakesTheNumberAtTheStartOrZero) {
  // clang-format off
  const std::pair<std::string, double> cases[] = {
      {"1", 1}, {"1.0", 1}, {"01", 1}, {"1.5", 1.5}, {".5", 0.5}, {"2x", 2}, {"1.2.3", 1.2}, {"-3", -3}, {"+4", 4},
      {"  7", 7}, {"1e2", 100}, {"1e", 1}, {"1e+", 1}, {"1\0" "9"s, 1}, {"", 0}, {"true", 0}, {"-", 0}, {".", 0},
      {"x1", 0}, {"-.e5", 0}, {"1e-999", 0}};
  // clang-format on
  for (const auto& [text, number] : cases) EXPECT_EQ(ReadNumber(text), number) << '"' << text << '"';
  EXPECT_GT(ReadNumber("1e999"), 1e300);  // saturates instead of failing
}

TEST(SettingText, RoundHalfEvenSendsHalvesToTheEvenNeighbourAndOverflowsOutside32Bits) {
  const std::pair<double, int> cases[] = {
      {22.5, 22}, {23.5, 24},    {0.5, 0},      {1.5, 2},  {-2.5, -2},
      {-3.5, -4}, {22.4999, 22}, {22.5001, 23}, {-0.4, 0}, {2147483647.0, 2147483647}};
  for (const auto& [value, rounded] : cases) EXPECT_EQ(RoundHalfEven(value), rounded) << value;
  EXPECT_THROW((void)RoundHalfEven(2147483648.5), std::overflow_error);
  EXPECT_THROW((void)RoundHalfEven(-2147483649.0), std::overflow_error);
}
