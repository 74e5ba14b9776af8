// The port monitor's jobs driven through a model of the spooler service as Microsoft documents it: the monitor's thread
// impersonates the job's owner; the privileged calls (session tokens, starting a process in a session) fail with 1314
// while it does; the event log takes reports from LocalSystem only (a remote client may not write it); a profile is
// found from the profile list, logged on or not. Any file operation in a profile as LocalSystem or as another user
// fails the test, and so does impersonation left unbalanced by a call. Every call of a job must return TRUE: a FALSE
// would hold the job in error at the head of the printer's queue, and every job behind it.
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
const std::string kCarol = "S-1-5-21-2-1107";  // prints to this computer's shared printer, never logged on here
const std::map<std::string, std::wstring> kProfiles = {
    {kAlice, L"C:\\Users\\alice"}, {kCorpAlice, L"C:\\Users\\alice.CORP"}, {kBob, L"C:\\Users\\bob"}};
const std::map<std::string, std::wstring> kAccounts = {
    {kAlice, L"PC\\alice"}, {kCorpAlice, L"CORP\\alice"}, {kBob, L"PC\\bob"}, {kCarol, L"CORP\\carol"}};
constexpr wchar_t kRunner[] = L"C:\\Program Files\\Folvarek\\jobrunner.exe";

class ModelSpooler final : public SpoolerContext {
 public:
  std::optional<Client> thread;  // whom the thread impersonates; nothing: LocalSystem
  std::vector<UserSession> sessions;
  std::optional<SpooledJob> job;
  std::size_t largestFile = SIZE_MAX;  // a file may not grow past this (as on FAT32)

  std::set<std::wstring> folders;
  std::map<std::wstring, std::string> files;
  std::vector<unsigned> runnersStarted;
  std::vector<std::wstring> sessionMessages;
  std::vector<std::wstring> events;  // "Kind: text"
  std::set<std::wstring> heldOpen;    // files a runner holds open unshared
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
  void Report(JobEvent event, const std::wstring& text) override {
    if (thread) return;  // a client from another computer may not write the log: the event is lost
    const wchar_t* kinds[] = {L"Waits", L"CutShort", L"Dropped", L"NoRunner"};
    events.push_back(kinds[static_cast<int>(event)] + std::wstring(L": ") + text);
  }
  std::wstring AccountName(const std::string& sid) override {
    return kAccounts.count(sid) != 0 ? kAccounts.at(sid) : Wide(sid);
  }
  bool StartHere(const std::wstring&) override {
    ADD_FAILURE() << "started the runner in the spooler's own context";
    return false;
  }

  std::wstring ProfileFolder() override {
    if (!thread) {
      ADD_FAILURE() << "asked for a profile folder as LocalSystem";
      return L"C:\\Windows\\System32\\config\\systemprofile";
    }
    return kProfiles.count(thread->sid) != 0 ? kProfiles.at(thread->sid) : L"";
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
  bool HeldOpen(const std::wstring& path) override { return AsOwner(L"open", path) && heldOpen.count(path) != 0; }
  std::optional<SpooledJob> Job(const std::wstring&, DWORD) override { return job; }
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
    if (kProfiles.count(thread->sid) == 0 || path.rfind(kProfiles.at(thread->sid) + L"\\", 0) != 0) {
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
  std::string data = "%PDF-1.7 whole job";  // written 100 bytes a call
  std::optional<SpooledJob> job = SpooledJob{0x10 /* printing */, L"alice", L"\\\\PC7"};
  std::size_t largestFile = SIZE_MAX;
  bool queueIsFile = false;  // a file where the owner's queue folder should be
  bool endAsSystem = false;  // the job's end comes on a thread that impersonates nobody
  bool runnerWaits = false;  // the owner's queue runner holds its lock
  int times = 1;             // the spooler sends the same job this many times
  // What must be so afterwards.
  std::map<std::wstring, std::string> queued = {};  // every file in the profiles, with its start
  std::vector<unsigned> runners = {};
  const char* event = nullptr;  // a part of the one event reported, if any
  const char* told = nullptr;   // a part of the one session message, if any
};

}  // namespace

TEST(PortJob, EachOwnerAndEachEndInTheSpooler) {
  const std::vector<UserSession> aliceActive = {{0, "S-1-5-18", S::Active}, {1, kAlice, S::Active}};
  const std::wstring blocked = Queue(kAlice);
  // clang-format off
  const Row rows[] = {
      {.what = "a whole job", .client = Client{kAlice, 1}, .sessions = aliceActive, .queued = {{Queue(kAlice) + L"\\Report.pdf", "%PDF-1.7 whole job"}},
       .runners = {1}},
      {.what = "the owner's runner waits, holding its lock: none started", .client = Client{kAlice, 1}, .sessions = aliceActive, .runnerWaits = true,
       .queued = {{Queue(kAlice) + L"\\Report.pdf", "%PDF"}}},
      {.what = "resumed after a spooler restart: no owner identity, dropped, the spooler's record named", .client = std::nullopt, .sessions = aliceActive,
       .event = "Dropped: Print job \"Report\" of alice on \\\\PC7 was dropped: it came back without its owner's identity"},
      {.what = "a remote client with a profile here, its hive not loaded: queued for their logon", .client = Client{kBob, 0}, .sessions = {{2, kBob, S::Active}},
       .queued = {{Queue(kBob) + L"\\Report.pdf", "%PDF"}}, .event = "Waits: Print job \"Report\" of PC\\bob on \\\\PC7 waits in its owner's queue until they log on"},
      {.what = "the same user in two sessions: the client's own", .client = Client{kAlice, 3}, .sessions = {{1, kAlice, S::Active}, {3, kAlice, S::Connected}}, .queued = {{Queue(kAlice) + L"\\Report.pdf", "%PDF"}},
       .runners = {3}},
      {.what = "CORP\\alice beside .\\alice", .client = Client{kCorpAlice, 4}, .sessions = {{1, kAlice, S::Active}, {4, kCorpAlice, S::Active}},
       .queued = {{Queue(kCorpAlice) + L"\\Report.pdf", "%PDF"}}, .runners = {4}},
      {.what = "CORP\\alice in a session not listed, .\\alice logged on", .client = Client{kCorpAlice, 7}, .sessions = {{1, kAlice, S::Active}},
       .queued = {{Queue(kCorpAlice) + L"\\Report.pdf", "%PDF"}}, .event = "Waits: Print job \"Report\" of CORP\\alice"},
      {.what = "logged off, nobody logged on", .client = Client{kAlice, 5}, .sessions = {}, .queued = {{Queue(kAlice) + L"\\Report.pdf", "%PDF"}},
       .event = "Waits:"},
      {.what = "no profile on this computer: dropped, owner and computer named", .client = Client{kCarol, 0}, .sessions = {}, .job = SpooledJob{0x10, L"carol", L"\\\\LAPTOP7"},
       .event = "Dropped: Print job \"Report\" of CORP\\carol on \\\\LAPTOP7 was dropped: its owner has no user profile on this computer"},
      {.what = "deleted part way", .client = Client{kAlice, 1}, .sessions = aliceActive, .job = SpooledJob{0x100, L"alice", L"\\\\PC7"}, .event = "CutShort: Print job \"Report\" of PC\\alice on \\\\PC7 ended without"},
      {.what = "restarted", .client = Client{kAlice, 1}, .sessions = aliceActive, .job = SpooledJob{0x800 | 0x10, L"alice", L"\\\\PC7"}, .event = "CutShort:"},
      {.what = "cancelled before any data", .client = Client{kAlice, 1}, .sessions = aliceActive, .data = "", .event = "CutShort:"},
      {.what = "not PDF", .client = Client{kAlice, 1}, .sessions = aliceActive, .data = "%!PS-Adobe", .queued = {{Queue(kAlice) + L"\\Report.prn", "%!PS"}},
       .runners = {1}},
      {.what = "the disk fills part way: the rest dropped, a note instead", .client = Client{kAlice, 1}, .sessions = aliceActive, .data = std::string(300, 'x'), .largestFile = 200,
       .queued = {{Queue(kAlice) + L"\\Report.note", "The print job \"Report\" could not be made into a PDF file: cannot write"}},
       .runners = {1}, .event = "Dropped: Print job \"Report\" of PC\\alice on \\\\PC7 was dropped: cannot write the job's data"},
      {.what = "a file where the queue folder should be: told on the desktop", .client = Client{kAlice, 1}, .sessions = aliceActive, .queueIsFile = true,
       .queued = {{blocked, ""}}, .event = "Dropped: Print job \"Report\" of PC\\alice on \\\\PC7 was dropped: cannot create the queue folder",
       .told = "1: The print job \"Report\" could not be made"},
      {.what = "the same job failing twice: told once", .client = Client{kAlice, 1}, .sessions = aliceActive, .queueIsFile = true, .times = 2,
       .queued = {{blocked, ""}}, .event = "Dropped:", .told = "1: The print job \"Report\" could not be made"},
      {.what = "its end as LocalSystem: nothing touched in the owner's folder", .client = Client{kAlice, 1}, .sessions = aliceActive, .endAsSystem = true,
       .queued = {{Queue(kAlice) + L"\\Report.part", "%PDF"}}, .event = "Dropped: Print job \"Report\" of PC\\alice on \\\\PC7 was dropped: its end came without its owner's identity",
       .told = "1: The print job \"Report\" could not be made"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ModelSpooler spooler;
    spooler.thread = row.client;
    spooler.sessions = row.sessions;
    spooler.job = row.job;
    spooler.largestFile = row.largestFile;
    if (row.runnerWaits) spooler.heldOpen.insert(kProfiles.at(kAlice) + L"\\AppData\\Local\\Folvarek\\jobrunner.lock");
    if (row.queueIsFile) spooler.folders.insert(blocked.substr(0, blocked.rfind(L'\\'))), spooler.files[blocked];
    const auto returnsTrue = [&](BOOL result) {
      EXPECT_TRUE(result);
      EXPECT_EQ(spooler.OpenTokens(), 0u) << "impersonation left unbalanced";
      EXPECT_EQ(spooler.thread.has_value(), row.client.has_value());
    };
    {
      PortJob job(spooler);
      for (int n = 0; n < row.times; ++n) {
        returnsTrue(job.StartDoc(L"Folvarek", 7, L"Report"));
        for (std::size_t at = 0; at < row.data.size(); at += 100) {
          const std::string part = row.data.substr(at, 100);
          DWORD written = 0;
          returnsTrue(job.Write(reinterpret_cast<const BYTE*>(part.data()), static_cast<DWORD>(part.size()), &written));
          EXPECT_EQ(written, part.size());
        }
        if (row.endAsSystem) spooler.thread.reset();
        const BOOL ended = job.EndDoc();
        spooler.thread = row.client;
        returnsTrue(ended);
      }
    }
    std::map<std::wstring, std::string> left;
    for (const auto& [path, content] : spooler.files)
      left[path] = content.substr(0, row.queued.count(path) ? row.queued.at(path).size() : 0);
    EXPECT_EQ(left, row.queued);
    EXPECT_EQ(spooler.runnersStarted, row.runners);
    EXPECT_TRUE(spooler.sentToPrinter) << "the job did not leave the port";
    const auto has = [](const std::vector<std::wstring>& lines, const char* part) {
      if (part == nullptr) return lines.empty();
      return lines.size() == 1 && lines[0].find(Wide(part)) != std::wstring::npos;
    };
    EXPECT_TRUE(has(spooler.events, row.event)) << (spooler.events.empty() ? "no event" : Utf8(spooler.events[0]));
    EXPECT_TRUE(has(spooler.sessionMessages, row.told))
        << (spooler.sessionMessages.empty() ? "no message" : Utf8(spooler.sessionMessages[0]));
  }
}
