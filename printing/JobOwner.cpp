#include "JobOwner.h"

#include <sddl.h>
#include <userenv.h>
#include <winspool.h>
#include <wtsapi32.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "PrintPath.h"

namespace printpath {

namespace {

struct HandleCloser {
  void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

bool InSpoolerService() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  const UniqueHandle token(raw);
  BYTE buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size)) return false;
  return IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, WinLocalSystemSid) != FALSE;
}

std::string AccountOf(HANDLE token) {
  BYTE buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return {};
  wchar_t name[256], domain[256];
  DWORD nameSize = 256, domainSize = 256;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, name, &nameSize, domain, &domainSize, &use)) return {};
  return Utf8(name);
}

// The user the spooler recorded for the job.
std::string JobUser(const wchar_t* printerName, DWORD jobId) {
  HANDLE printer = nullptr;
  if (printerName == nullptr || !OpenPrinterW(const_cast<wchar_t*>(printerName), &printer, nullptr)) return {};
  DWORD needed = 0;
  GetJobW(printer, jobId, 1, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  std::string user;
  if (needed != 0 && GetJobW(printer, jobId, 1, buffer.data(), needed, &needed)) {
    const auto* job = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
    if (job->pUserName != nullptr) user = Utf8(job->pUserName);
  }
  ClosePrinter(printer);
  return user;
}

std::vector<folvarek::UserSession> LoggedOnSessions() {
  std::vector<folvarek::UserSession> sessions;
  WTS_SESSION_INFOW* list = nullptr;
  DWORD count = 0;
  if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &list, &count)) return sessions;
  for (DWORD i = 0; i < count; ++i) {
    wchar_t* user = nullptr;
    DWORD bytes = 0;
    if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, list[i].SessionId, WTSUserName, &user, &bytes)) continue;
    using State = folvarek::UserSession::State;
    const State state = list[i].State == WTSActive         ? State::Active
                        : list[i].State == WTSConnected    ? State::Connected
                        : list[i].State == WTSDisconnected ? State::Disconnected
                                                           : State::Other;
    sessions.push_back({list[i].SessionId, Utf8(user), state});
    WTSFreeMemory(user);
  }
  WTSFreeMemory(list);
  return sessions;
}

// The queue folder of a user who is not logged on, from the profile Windows keeps for them.
std::wstring QueueFolderOfAbsentUser(const std::string& user) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof sid;
  wchar_t domain[256];
  DWORD domainSize = 256;
  SID_NAME_USE use;
  wchar_t* sidText = nullptr;
  if (!LookupAccountNameW(nullptr, Wide(user).c_str(), sid, &sidSize, domain, &domainSize, &use) ||
      !ConvertSidToStringSidW(sid, &sidText)) {
    return {};
  }
  const std::wstring key = std::wstring(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\") + sidText;
  LocalFree(sidText);
  wchar_t profile[MAX_PATH];
  DWORD size = sizeof profile;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"ProfileImagePath", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr,
                   profile, &size) != ERROR_SUCCESS) {
    return {};
  }
  return std::wstring(profile) + L"\\AppData\\Local\\Folvarek\\jobs";
}

}  // namespace

JobOwner JobOwner::Find(const wchar_t* printerName, DWORD jobId) {
  JobOwner owner;
  if (!InSpoolerService()) {
    owner.place_ = folvarek::WhereToRunRunner(false, std::nullopt, {}, {});
    owner.queueFolder_ = QueueFolderOf(nullptr);
    return owner;
  }
  std::optional<unsigned> clientSession;
  std::string user;
  HANDLE client = nullptr;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &client)) {
    const UniqueHandle token(client);
    DWORD session = 0, size = 0;
    if (GetTokenInformation(token.get(), TokenSessionId, &session, sizeof session, &size)) clientSession = session;
    user = AccountOf(token.get());
  }
  if (user.empty()) user = JobUser(printerName, jobId);
  owner.place_ = folvarek::WhereToRunRunner(true, clientSession, user, LoggedOnSessions());
  if (owner.place_.kind == folvarek::RunnerPlace::Kind::InSession &&
      WTSQueryUserToken(owner.place_.session, &owner.userToken_)) {
    owner.queueFolder_ = QueueFolderOf(owner.userToken_);
  } else {
    owner.place_.kind = folvarek::RunnerPlace::Kind::LeaveQueued;
    owner.queueFolder_ = QueueFolderOfAbsentUser(user);
  }
  return owner;
}

JobOwner::JobOwner(JobOwner&& other) noexcept
    : queueFolder_(std::move(other.queueFolder_)), place_(other.place_), userToken_(std::exchange(other.userToken_, nullptr)) {}

JobOwner::~JobOwner() {
  if (userToken_ != nullptr) CloseHandle(userToken_);
}

bool JobOwner::StartRunner(const std::wstring& runnerPath) const {
  using Kind = folvarek::RunnerPlace::Kind;
  if (place_.kind == Kind::LeaveQueued) return true;
  std::wstring commandLine = L"\"" + runnerPath + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  BOOL started = FALSE;
  if (place_.kind == Kind::OwnContext) {
    started = CreateProcessW(runnerPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                             nullptr, &startup, &process);
  } else {
    // The user's own desktop and environment, as if they had started it themselves.
    startup.lpDesktop = const_cast<wchar_t*>(L"winsta0\\default");
    void* environment = nullptr;
    if (!CreateEnvironmentBlock(&environment, userToken_, FALSE)) return false;
    started = CreateProcessAsUserW(userToken_, runnerPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                   CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, environment, nullptr, &startup, &process);
    const DWORD error = GetLastError();
    DestroyEnvironmentBlock(environment);
    SetLastError(error);
  }
  if (!started) return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace printpath
