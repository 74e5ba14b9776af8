#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "PrintQueueRules.h"

using namespace folvarek;

TEST(JobStem, TitlesBecomeFileNames) {
  struct Row {
    const char* title;
    std::size_t maxBytes;
    const char* stem;
    // clang-format off
  } rows[] = {
      {"Quarterly report", 100, "Quarterly report"}, {"Microsoft Word - Report.docx", 100, "Microsoft Word - Report.docx"},
      {R"(a/b:c*?"<>|)", 100, "a_b_c______"}, {"tab\there\x7f", 100, "tab_here_"}, {"  spaced out ... ", 100, "spaced out"},
      {"", 100, "Print job"}, {" . ", 100, "Print job"}, {"con", 100, "_con"}, {"LPT1.txt", 100, "_LPT1.txt"},
      {"COM0", 100, "COM0"}, {"console", 100, "console"}, {"abcdef", 4, "abcd"}, {"ab. cdef", 4, "ab"},
      {"Отчёт", 7, "Отч"}, {"報告書", 8, "報告"},  // two and three bytes a letter, never half of one
      {"a\xF0\x9F\x93\x84z", 4, "a"}, {"a\xF0\x9F\x93\x84z", 5, "a\xF0\x9F\x93\x84"}, {"CON", 3, "_CO"},
      {"COM\xC2\xB9", 100, "_COM\xC2\xB9"}, {"lpt\xC2\xB3.log", 100, "_lpt\xC2\xB3.log"},  // superscript digits name devices too
      {"COM\xC2\xB2x", 100, "COM\xC2\xB2x"}, {"nul .x", 100, "_nul .x"}, {"Aux  ", 100, "_Aux"},  // Windows trims the blank first
      {"Отчёт", 100, "Отчёт"}, {"CONIN$", 100, "_CONIN$"}, {"conout$.txt", 100, "_conout$.txt"}, {"conin", 100, "conin"},
  };
  // clang-format on
  for (const Row& row : rows) EXPECT_EQ(JobStem(row.title, row.maxBytes), row.stem) << row.title;
  EXPECT_EQ(JobStem(std::string(300, 'x'), 120), std::string(120, 'x'));
}

// The longest path a job's file can get ("FOLDER\STEM (999).taken") is 259 characters: MAX_PATH with its NUL.
TEST(StemBudget, PathsStayBelowMaxPath) {
  const std::pair<std::size_t, std::size_t> rows[] = {{0, 120}, {126, 120}, {127, 119}, {244, 2}, {245, 1}, {400, 1}};
  for (const auto& [folder, stem] : rows) EXPECT_EQ(StemBudget(folder), stem) << folder;
}

TEST(PlainTitle, OneBoundedLineInTheEventLog) {
  struct Row {
    const char* title;
    std::size_t maxChars;
    const char* plain;
    // clang-format off
  } rows[] = {
      {"Report", 200, "Report"}, {"a\r\nforged line\tx\x7f", 200, "a__forged line_x_"},
      {"C1 \xC2\x85 kept \xC2\xA0", 200, "C1 _ kept \xC2\xA0"}, {"sep\xE2\x80\xA8par\xE2\x80\xA9", 200, "sep_par_"},
      {"Отчёт 報告", 7, "Отчёт 報..."}, {"abc", 3, "abc"}, {"", 200, ""},
  };
  // clang-format on
  for (const Row& row : rows) EXPECT_EQ(PlainTitle(row.title, row.maxChars), row.plain) << row.title;
}

TEST(StartsAsPdf, OnlyThePdfHeader) {
  EXPECT_TRUE(StartsAsPdf("%PDF-1.7\n"));
  for (const char* start : {"%!PS-Adobe-3.0", "%PDF", " %PDF-1.4", ""}) EXPECT_FALSE(StartsAsPdf(start)) << start;
}

TEST(QueueFinishedJob, OnlyWholeJobsAreHandedOn) {
  struct Row {
    const char* what;
    std::optional<std::uint32_t> status;
    std::uint64_t bytes;
    bool queued;
    // clang-format off
  } rows[] = {
      {"printed whole", 0x10 /* printing */, 1000, true}, {"no status known (Wine)", std::nullopt, 1000, true},
      {"deleted", kJobStatusDeleted, 1000, false}, {"being deleted", 0x10 | kJobStatusDeleting, 1000, false},
      {"restarted", kJobStatusRestart, 1000, false}, {"in error", kJobStatusError, 1000, false},
      {"cancelled before any data", 0, 0, false}, {"no data, no status", std::nullopt, 0, false},
  };
  // clang-format on
  for (const Row& row : rows) EXPECT_EQ(QueueFinishedJob(row.status, row.bytes), row.queued) << row.what;
}

TEST(WhereToRunRunner, SessionForEachSituation) {
  using S = UserSession::State;
  using K = RunnerPlace::Kind;
  // Two accounts named alice: the local one and the domain one, told apart by SID only.
  const char* localAlice = "S-1-5-21-1-1001";
  const char* corpAlice = "S-1-5-21-2-1104";
  // clang-format off
  const std::vector<UserSession> sessions = {
      {0, "S-1-5-18", S::Active}, {1, localAlice, S::Disconnected}, {2, "S-1-5-21-1-1002", S::Active},
      {3, localAlice, S::Connected}, {4, localAlice, S::Active}, {5, "S-1-5-21-1-1003", S::Other},
      {6, "S-1-5-21-1-1004", S::Disconnected}, {7, "S-1-5-21-1-1004", S::Disconnected}, {8, corpAlice, S::Active}};
  // clang-format on
  struct Row {
    const char* what;
    bool inService;
    std::optional<unsigned> client;
    const char* owner;
    RunnerPlace place;
    // clang-format off
  } rows[] = {
      {"no service (Wine)", false, std::nullopt, localAlice, {K::OwnContext, 0}},
      {"the client's own session", true, 3u, localAlice, {K::InSession, 3}},
      {"the domain account's own session", true, 8u, corpAlice, {K::InSession, 8}},
      {"a session of the same name's other account", true, 8u, localAlice, {K::InSession, 4}},
      {"client session not listed", true, 9u, localAlice, {K::InSession, 4}},
      {"active before connected and disconnected", true, std::nullopt, localAlice, {K::InSession, 4}},
      {"lowest id among equals", true, std::nullopt, "S-1-5-21-1-1004", {K::InSession, 6}},
      {"a session in another state does not count", true, 5u, "S-1-5-21-1-1003", {K::LeaveQueued, 0}},
      {"a remote client waits for a logon here", true, 0u, localAlice, {K::LeaveQueued, 0}},
      {"not logged on", true, std::nullopt, "S-1-5-21-1-1005", {K::LeaveQueued, 0}},
      {"no owner known", true, 3u, "", {K::LeaveQueued, 0}},
  };
  // clang-format on
  for (const Row& row : rows)
    EXPECT_EQ(WhereToRunRunner(row.inService, row.client, row.owner, sessions), row.place) << row.what;
}
