// The port monitor's jobs driven through a model of the spooler service as Microsoft documents it: the monitor's thread
// impersonates the job's owner; the privileged calls (session tokens, starting a process in a session) fail with 1314
// while it does; the machine log can be written only as LocalSystem. Any file operation in a profile as LocalSystem or
// as another user fails the test, and so does impersonation left unbalanced by a call.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "PortJob.h"
#include "PrintPath.h"

using namespace printpath;
using folvarek::UserSession;

namespace {

// Two accounts named alice: the local one and the domain one, told apart by SID only.
const std::string kAlice = "S-1-5-21-1-1001";
const std::string kCorpAlice = "S-1-5-21-2-1104";
const std::string kBob = "S-1-5-21-1-1002";
const std::map<std::string, std::wstring> kProfiles = {
    {kAlice, L"C:\\Users\\alice"}, {kCorpAlice, L"C:\\Users\\alice.CORP"}, {kBob, L"C:\\Users\\bob"}};
constexpr wchar_t kRunner[] = L"C:\\Program Files\\Folvarek\\jobrunner.exe";

class ModelSpooler final : public SpoolerContext {
 public:
  std::optional<Client> thread;  // whom the thread impersonates; nothing: LocalSystem
  std::vector<UserSession> sessions;
  std::optional<std::uint32_t> status;
  std::size_t largestFile = SIZE_MAX;  // a file may not grow past this (as on FAT32)

  std::set<std::wstring> folders;
  std::map<std::wstring, std::string> files;
  std::vector<unsigned> runnersStarted;
  std::vector<std::wstring> sessionMessages;
  std::vector<std::wstring> log;
  bool sentToPrinter = false;

  ModelSpooler() {
    for (const auto& [sid, profile] : kProfiles)
      folders.insert({profile, profile + L"\\AppData", profile + L"\\AppData\\Local"});
  }

  bool InService() override { return true; }
  std::optional<Client> ImpersonatedClient() override { return thread; }
  HANDLE RevertToSelf() override {
    if (!thread) return nullptr;
    tokens_.push_back(*thread);
    thread.reset();
    return reinterpret_cast<HANDLE>(tokens_.size());
  }
  bool Impersonate(HANDLE token) override {
    const auto index = reinterpret_cast<std::size_t>(token);
    if (index == 0 || index != tokens_.size()) {
      ADD_FAILURE() << "impersonating a token that RevertToSelf did not just give";
      return false;
    }
    thread = tokens_.back();
    tokens_.pop_back();
    return true;
  }

  std::vector<UserSession> Sessions() override {
    if (thread) return Denied<std::vector<UserSession>>({});
    return sessions;
  }
  bool StartInSession(unsigned session, const std::wstring& program) override {
    if (thread) return Denied(false);
    EXPECT_EQ(program, kRunner);
    runnersStarted.push_back(session);
    return true;
  }
  bool SendToSession(unsigned session, const std::wstring&, const std::wstring& text) override {
    sessionMessages.push_back(std::to_wstring(session) + L": " + text);
    return true;
  }
  void Log(const std::wstring& line) override {
    if (!thread) log.push_back(line);  // a user may not write the machine's log: the line is lost
  }
  bool StartHere(const std::wstring&) override {
    ADD_FAILURE() << "started the runner in the spooler's own context";
    return false;
  }

  std::wstring LocalAppData() override {
    if (!thread) {
      ADD_FAILURE() << "asked for a profile folder as LocalSystem";
      return L"C:\\Windows\\System32\\config\\systemprofile\\AppData\\Local";
    }
    return kProfiles.at(thread->sid) + L"\\AppData\\Local";
  }
  bool CreateFolder(const std::wstring& path) override {
    if (!AsOwner(L"create folder", path)) return false;
    if (folders.count(path) != 0) return true;
    if (files.count(path) != 0) return Fail(ERROR_DIRECTORY);
    if (folders.count(Parent(path)) == 0) return Fail(ERROR_PATH_NOT_FOUND);
    folders.insert(path);
    return true;
  }
  HANDLE CreateNewFile(const std::wstring& path) override {
    if (!AsOwner(L"create", path)) return INVALID_HANDLE_VALUE;
    if (folders.count(Parent(path)) == 0) return Fail(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
    if (Exists(path)) return Fail(ERROR_FILE_EXISTS), INVALID_HANDLE_VALUE;
    files[path];
    open_.push_back(path);
    return reinterpret_cast<HANDLE>(open_.size());
  }
  bool Write(HANDLE file, const void* data, DWORD size) override {
    std::string& content = files.at(open_.at(reinterpret_cast<std::size_t>(file) - 1));
    if (content.size() + size > largestFile) return Fail(ERROR_FILE_TOO_LARGE);
    content.append(static_cast<const char*>(data), size);
    return true;
  }
  bool Finish(HANDLE) override { return true; }
  void Abandon(HANDLE) override {}
  bool Exists(const std::wstring& path) override { return files.count(path) != 0 || folders.count(path) != 0; }
  bool Rename(const std::wstring& from, const std::wstring& to) override {
    if (!AsOwner(L"rename", from) || !AsOwner(L"rename to", to)) return false;
    if (Exists(to)) return Fail(ERROR_ALREADY_EXISTS);
    files[to] = files.at(from);
    files.erase(from);
    return true;
  }
  bool Delete(const std::wstring& path) override {
    if (!AsOwner(L"delete", path)) return false;
    return files.erase(path) != 0 || Fail(ERROR_FILE_NOT_FOUND);
  }
  std::optional<std::uint32_t> JobStatus(const std::wstring&, DWORD) override { return status; }
  void SentToPrinter(const std::wstring&, DWORD) override { sentToPrinter = true; }
  std::optional<std::wstring> RunnerPath() override { return kRunner; }

  [[nodiscard]] std::size_t OpenTokens() const { return tokens_.size(); }

 private:
  template <class T>
  static T Denied(T value) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return value;
  }
  static bool Fail(DWORD error) {
    SetLastError(error);
    return false;
  }
  static std::wstring Parent(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }
  // In a profile, only its own user may act: as LocalSystem, a link planted there redirects the act.
  bool AsOwner(const wchar_t* what, const std::wstring& path) {
    if (!thread) {
      ADD_FAILURE() << "as LocalSystem: " << Utf8(what) << " " << Utf8(path);
      return Fail(ERROR_ACCESS_DENIED);
    }
    if (path.rfind(kProfiles.at(thread->sid) + L"\\", 0) != 0) {
      ADD_FAILURE() << "as " << thread->sid << ": " << Utf8(what) << " " << Utf8(path);
      return Fail(ERROR_ACCESS_DENIED);
    }
    return true;
  }

  std::vector<Client> tokens_;
  std::vector<std::wstring> open_;
};

std::wstring Queue(const std::string& sid) { return kProfiles.at(sid) + L"\\AppData\\Local\\Folvarek\\jobs"; }

using S = UserSession::State;

struct Row {
  const char* what;
  std::optional<Client> client;
  std::vector<UserSession> sessions;
  std::string data = "%PDF-1.7 whole job";
  std::optional<std::uint32_t> status = 0x10;  // printing
  std::size_t largestFile = SIZE_MAX;
  bool removeLocalAppData = false;
  // What must be so afterwards.
  BOOL result = TRUE;                               // of the last call made
  std::map<std::wstring, std::string> queued = {};  // every file in the profiles, with its start
  std::vector<unsigned> runners = {};
  const char* logged = nullptr;  // a part of the one log line, if any
  const char* told = nullptr;    // a part of the one session message, if any
};

}  // namespace

TEST(PortJob, EachOwnerAndEachEndInTheSpooler) {
  const std::vector<UserSession> aliceActive = {{0, "S-1-5-18", S::Active}, {1, kAlice, S::Active}};
  // clang-format off
  const Row rows[] = {
      {.what = "a whole job", .client = Client{kAlice, 1}, .sessions = aliceActive, .queued = {{Queue(kAlice) + L"\\Report.pdf", "%PDF-1.7 whole job"}},
       .runners = {1}},
      {.what = "resumed after a spooler restart: nobody impersonated", .client = std::nullopt, .sessions = aliceActive, .result = FALSE,
       .logged = "came back without its owner's identity"},
      {.what = "from another computer (session 0)", .client = Client{kBob, 0}, .sessions = {{2, kBob, S::Active}},
       .queued = {{Queue(kBob) + L"\\Report.pdf", "%PDF"}}, .logged = "until they log on"},
      {.what = "the same user in two sessions: the client's own", .client = Client{kAlice, 3}, .sessions = {{1, kAlice, S::Active}, {3, kAlice, S::Connected}}, .queued = {{Queue(kAlice) + L"\\Report.pdf", "%PDF"}},
       .runners = {3}},
      {.what = "CORP\\alice beside .\\alice", .client = Client{kCorpAlice, 4}, .sessions = {{1, kAlice, S::Active}, {4, kCorpAlice, S::Active}},
       .queued = {{Queue(kCorpAlice) + L"\\Report.pdf", "%PDF"}}, .runners = {4}},
      {.what = "CORP\\alice in a session not listed, .\\alice logged on", .client = Client{kCorpAlice, 7}, .sessions = {{1, kAlice, S::Active}},
       .queued = {{Queue(kCorpAlice) + L"\\Report.pdf", "%PDF"}}, .logged = "until they log on"},
      {.what = "nobody logged on", .client = Client{kAlice, 5}, .sessions = {}, .queued = {{Queue(kAlice) + L"\\Report.pdf", "%PDF"}},
       .logged = "until they log on"},
      {.what = "deleted part way", .client = Client{kAlice, 1}, .sessions = aliceActive, .status = 0x100, .logged = "nothing was queued"},
      {.what = "restarted", .client = Client{kAlice, 1}, .sessions = aliceActive, .status = 0x800 | 0x10, .logged = "nothing was queued"},
      {.what = "cancelled before any data", .client = Client{kAlice, 1}, .sessions = aliceActive, .data = "", .logged = "nothing was queued"},
      {.what = "not PDF", .client = Client{kAlice, 1}, .sessions = aliceActive, .data = "%!PS-Adobe", .queued = {{Queue(kAlice) + L"\\Report.prn", "%!PS"}},
       .runners = {1}},
      {.what = "the file cannot grow: a note instead of the job", .client = Client{kAlice, 1}, .sessions = aliceActive, .data = std::string(300, 'x'), .largestFile = 200, .result = FALSE,
       .queued = {{Queue(kAlice) + L"\\Report.note", "The print job \"Report\" could not be made into a PDF file: cannot write"}},
       .runners = {1}, .logged = "cannot write the job's data"},
      {.what = "no profile folder: told on the desktop", .client = Client{kAlice, 1}, .sessions = aliceActive, .removeLocalAppData = true, .result = FALSE,
       .logged = "cannot create the queue folder", .told = "1: The print job \"Report\" could not be made"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ModelSpooler spooler;
    spooler.thread = row.client;
    spooler.sessions = row.sessions;
    spooler.status = row.status;
    spooler.largestFile = row.largestFile;
    if (row.removeLocalAppData) spooler.folders.erase(kProfiles.at(kAlice) + L"\\AppData\\Local");
    const auto balanced = [&] {
      EXPECT_EQ(spooler.OpenTokens(), 0u) << "impersonation left unbalanced";
      EXPECT_EQ(spooler.thread.has_value(), row.client.has_value());
    };
    {
      PortJob job(spooler);
      BOOL result = job.StartDoc(L"Folvarek", 7, L"Report");
      balanced();
      if (result && !row.data.empty()) {
        DWORD written = 0;
        result =
            job.Write(reinterpret_cast<const BYTE*>(row.data.data()), static_cast<DWORD>(row.data.size()), &written);
        balanced();
      }
      if (result) result = job.EndDoc();
      balanced();
      EXPECT_EQ(result, row.result);
    }
    std::map<std::wstring, std::string> left;
    for (const auto& [path, content] : spooler.files)
      left[path] = content.substr(0, row.queued.count(path) ? row.queued.at(path).size() : 0);
    EXPECT_EQ(left, row.queued);
    EXPECT_EQ(spooler.runnersStarted, row.runners);
    // Only a job that has left the port, queued or dropped, is reported gone to the spooler.
    EXPECT_EQ(spooler.sentToPrinter, row.result == TRUE);
    const auto has = [](const std::vector<std::wstring>& lines, const char* part) {
      if (part == nullptr) return lines.empty();
      return lines.size() == 1 && lines[0].find(Wide(part)) != std::wstring::npos;
    };
    EXPECT_TRUE(has(spooler.log, row.logged)) << (spooler.log.empty() ? "no log line" : Utf8(spooler.log[0]));
    EXPECT_TRUE(has(spooler.sessionMessages, row.told))
        << (spooler.sessionMessages.empty() ? "no message" : Utf8(spooler.sessionMessages[0]));
  }
}
