#include "SettingText.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace folvarek;
using namespace std::string_literals;

TEST(ReadNumber, ReadsTheNumberAtTheStartAndStopsAtTheFirstForeignCharacter) {
  EXPECT_EQ(ReadNumber("1"), 1.0);
  EXPECT_EQ(ReadNumber("1.0"), 1.0);
  EXPECT_EQ(ReadNumber("01"), 1.0);
  EXPECT_EQ(ReadNumber("2"), 2.0);
  EXPECT_EQ(ReadNumber("1.5"), 1.5);
  EXPECT_EQ(ReadNumber(".5"), 0.5);
  EXPECT_EQ(ReadNumber("2x"), 2.0);
  EXPECT_EQ(ReadNumber("1.2.3"), 1.2);
  EXPECT_EQ(ReadNumber("-3"), -3.0);
  EXPECT_EQ(ReadNumber("+4"), 4.0);
  EXPECT_EQ(ReadNumber("  7"), 7.0);
  EXPECT_EQ(ReadNumber("1e2"), 100.0);
  EXPECT_EQ(ReadNumber("1e"), 1.0);   // an exponent without digits is not part of the number
  EXPECT_EQ(ReadNumber("1e+"), 1.0);
  EXPECT_EQ(ReadNumber("1\0"s + "9"), 1.0);
}

TEST(ReadNumber, TextWithoutALeadingNumberIsZero) {
  for (const char* text : {"", "true", "abc", "-", "+", ".", "x1", "-.e5"}) {
    EXPECT_EQ(ReadNumber(text), 0.0) << '"' << text << '"';
  }
}

TEST(ReadNumber, OutOfRangeNumbersSaturateInsteadOfFailing) {
  EXPECT_GT(ReadNumber("1e999"), 1e300);
  EXPECT_EQ(ReadNumber("1e-999"), 0.0);
}

TEST(IsFlagSet, OnlyTextReadingAsExactlyOneIsSet) {
  for (const char* text : {"1", "1.0", "01", " 1", "1abc", "1.00e0"}) EXPECT_TRUE(IsFlagSet(text)) << text;
  for (const char* text : {"", "0", "2", "true", "abc", "1.5", "0.9999", "-1", "10"}) {
    EXPECT_FALSE(IsFlagSet(text)) << text;
  }
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(22.5), 22);
  EXPECT_EQ(RoundHalfEven(23.5), 24);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-3.5), -4);
}

TEST(RoundHalfEven, OtherValuesGoToTheNearest) {
  EXPECT_EQ(RoundHalfEven(22.4999), 22);
  EXPECT_EQ(RoundHalfEven(22.5001), 23);
  EXPECT_EQ(RoundHalfEven(10.0 / 15.0), 1);
  EXPECT_EQ(RoundHalfEven(-0.4), 0);
  EXPECT_EQ(RoundHalfEven(2147483647.0), 2147483647);
  EXPECT_EQ(RoundHalfEven(-2147483648.0), -2147483647 - 1);
}

TEST(RoundHalfEven, ResultsOutside32BitsAreAnOverflow) {
  EXPECT_THROW((void)RoundHalfEven(2147483647.5 + 1), std::overflow_error);
  EXPECT_THROW((void)RoundHalfEven(-2147483649.0), std::overflow_error);
  EXPECT_THROW((void)RoundHalfEven(ReadNumber("1e999")), std::overflow_error);
}

TEST(TrimBlanks, RemovesOnlyOuterSpaces) {
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks(""), "");
  EXPECT_EQ(TrimBlanks("\tx\t"), "\tx\t");
  EXPECT_EQ(TrimBlanks("C:\\Out\\report.pdf"s + '\0' + "   "), "C:\\Out\\report.pdf"s + '\0');
}

TEST(CutAtNull, KeepsTheTextBeforeTheFirstNul) {
  EXPECT_EQ(CutAtNull("ab\0cd"s), "ab");
  EXPECT_EQ(CutAtNull("abc"), "abc");
  EXPECT_EQ(CutAtNull("\0abc"s), "");
  EXPECT_EQ(CutAtNull(""), "");
}
