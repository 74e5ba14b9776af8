// Text between UTF-8 and UTF-16, and the system's words for a failure.
#include <windows.h>

#include <gtest/gtest.h>

#include "Text.h"

TEST(Text, Utf8SurvivesTheRoundTripAndErrorsReadAsTheSystemWordsThem) {
  for (const char* text : {"", "report.pdf", "Отчёт", "報告書 \xF0\x9F\x93\x84"}) {
    EXPECT_EQ(win::Utf8(win::Wide(text)), text);
  }
  EXPECT_EQ(win::Wide("Отчёт"), L"Отчёт");
  EXPECT_EQ(win::ErrorText(ERROR_FILE_NOT_FOUND), "File not found.");  // Wine's words, without the line break
  EXPECT_EQ(win::ErrorText(0x2000FFFF), "System error 536936447");
}
