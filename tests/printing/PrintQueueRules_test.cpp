#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PrintQueueRules.h"

using namespace folvarek;

TEST(JobStem, TitlesBecomeFileNames) {
  struct Row {
    const char* title;
    std::size_t maxUnits;
    const char* stem;
  } rows[] = {
      {"Quarterly report", 100, "Quarterly report"},
      {"Microsoft Word - Report.docx", 100, "Microsoft Word - Report.docx"},
      {R"(a/b:c*?"<>|)", 100, "a_b_c______"},
      {"tab\there\x7f", 100, "tab_here_"},
      {"  spaced out ... ", 100, "spaced out"},
      {"", 100, "Print job"},
      {" . ", 100, "Print job"},
      {"con", 100, "_con"},
      {"LPT1.txt", 100, "_LPT1.txt"},
      {"COM0", 100, "COM0"},
      {"console", 100, "console"},
      {"abcdef", 4, "abcd"},
      {"ab. cdef", 4, "ab"},
      {"Отчёт", 3, "Отч"},                   // two bytes per letter, one unit each
      {"a\xF0\x9F\x93\x84z", 2, "a"},         // a character outside the BMP takes two units
      {"a\xF0\x9F\x93\x84z", 3, "a\xF0\x9F\x93\x84"},
      {"CON", 3, "_CO"},
  };
  for (const Row& row : rows) EXPECT_EQ(JobStem(row.title, row.maxUnits), row.stem) << row.title;
}

TEST(JobStem, ALongTitleIsCutToTheBudget) {
  const std::string title(300, 'x');
  EXPECT_EQ(JobStem(title, 120), std::string(120, 'x'));
}

TEST(StartsAsPdf, OnlyThePdfHeader) {
  EXPECT_TRUE(StartsAsPdf("%PDF-1.7\n"));
  EXPECT_FALSE(StartsAsPdf("%!PS-Adobe-3.0"));
  EXPECT_FALSE(StartsAsPdf("%PDF"));
  EXPECT_FALSE(StartsAsPdf(" %PDF-1.4"));
  EXPECT_FALSE(StartsAsPdf(""));
}

TEST(WhereToRunRunner, SessionForEachSituation) {
  using S = UserSession::State;
  using K = RunnerPlace::Kind;
  const std::vector<UserSession> sessions = {
      {0, "SYSTEM", S::Active}, {1, "anna", S::Disconnected}, {2, "Bert", S::Active},
      {3, "anna", S::Connected}, {4, "anna", S::Active},     {5, "carl", S::Other},
      {6, "dora", S::Disconnected}, {7, "dora", S::Disconnected},
  };
  struct Row {
    const char* what;
    bool inService;
    std::optional<unsigned> client;
    const char* owner;
    RunnerPlace place;
  } rows[] = {
      {"no service (Wine)", false, std::nullopt, "anna", {K::OwnContext, 0}},
      {"the client's own session", true, 3u, "anna", {K::InSession, 3}},
      {"client session of someone else", true, 2u, "anna", {K::InSession, 4}},
      {"client session not listed", true, 9u, "anna", {K::InSession, 4}},
      {"active before connected and disconnected", true, std::nullopt, "anna", {K::InSession, 4}},
      {"user names ignore case", true, std::nullopt, "bert", {K::InSession, 2}},
      {"lowest id among equals", true, std::nullopt, "dora", {K::InSession, 6}},
      {"a session in another state does not count", true, 5u, "carl", {K::LeaveQueued, 0}},
      {"session 0 is never a user's", true, 0u, "SYSTEM", {K::LeaveQueued, 0}},
      {"not logged on", true, std::nullopt, "erik", {K::LeaveQueued, 0}},
  };
  for (const Row& row : rows) EXPECT_EQ(WhereToRunRunner(row.inService, row.client, row.owner, sessions), row.place) << row.what;
}
