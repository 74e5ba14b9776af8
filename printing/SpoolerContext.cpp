#include "SpoolerContext.h"

#include <winspool.h>
#include <sddl.h>
#include <shlobj.h>
#include <userenv.h>
#include <winsplp.h>
#include <wtsapi32.h>

#include <vector>

#include "Events.h"
#include "PrintPath.h"
#include "Process.h"
#include "Unique.h"

namespace printpath {

namespace {

std::string SidOf(HANDLE token) {
  BYTE buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  DWORD size = 0;
  win::UniqueLocal<wchar_t> text;
  if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, text.put())) {
    return {};
  }
  return Utf8(text.get());
}

bool RunsAsLocalSystem() {
  win::UniqueToken token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
  return SidOf(token.get()) == "S-1-5-18";
}

// Opened as whoever the thread is: a user may read and control their own jobs.
win::UniquePrinter OpenPrinterNamed(const std::wstring& name) {
  HANDLE printer = nullptr;
  if (name.empty() || !OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &printer, nullptr)) return {};
  return win::UniquePrinter(printer);
}

class Windows final : public SpoolerContext {
 public:
  bool InService() override {
    static const bool inService = RunsAsLocalSystem();
    return inService;
  }

  std::optional<Client> ImpersonatedClient() override {
    HANDLE raw = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &raw)) return std::nullopt;
    const win::UniqueToken token(raw);
    DWORD session = 0, size = 0;
    if (!GetTokenInformation(token.get(), TokenSessionId, &session, sizeof session, &size)) return std::nullopt;
    Client client{SidOf(token.get()), session};
    if (client.sid.empty()) return std::nullopt;
    return client;
  }

  HANDLE RevertToSelf() override { return RevertToPrinterSelf(); }
  bool Impersonate(HANDLE token) override { return ImpersonatePrinterClient(token) != FALSE; }

  std::vector<folvarek::UserSession> Sessions() override {
    std::vector<folvarek::UserSession> sessions;
    win::UniqueWtsMemory<WTS_SESSION_INFOW> owned;
    DWORD count = 0;
    if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, owned.put(), &count)) return sessions;
    const WTS_SESSION_INFOW* list = owned.get();
    for (DWORD i = 0; i < count; ++i) {
      HANDLE raw = nullptr;
      if (!WTSQueryUserToken(list[i].SessionId, &raw)) continue;  // nobody logged on there
      const win::UniqueToken token(raw);
      using State = folvarek::UserSession::State;
      const State state = list[i].State == WTSActive         ? State::Active
                          : list[i].State == WTSConnected    ? State::Connected
                          : list[i].State == WTSDisconnected ? State::Disconnected
                                                             : State::Other;
      sessions.push_back({list[i].SessionId, SidOf(token.get()), state});
    }
    return sessions;
  }

  bool StartInSession(unsigned session, const std::wstring& program) override {
    win::UniqueToken token;
    if (!WTSQueryUserToken(session, token.put())) return false;
    win::UniqueEnvironment environment;
    if (!CreateEnvironmentBlock(environment.put(), token.get(), FALSE)) return false;
    // The user's own desktop and environment, as if they had started it themselves.
    win::ProcessStart start;
    start.program = program;
    start.flags = DETACHED_PROCESS;
    start.token = token.get();
    start.environment = environment.get();
    start.desktop = L"winsta0\\default";
    const bool started = win::StartProcess(start).has_value();
    const DWORD error = GetLastError();
    environment.reset();
    SetLastError(error);
    return started;
  }

  bool SendToSession(unsigned session, const std::wstring& title, const std::wstring& text) override {
    DWORD response = 0;
    return WTSSendMessageW(WTS_CURRENT_SERVER_HANDLE, session, const_cast<wchar_t*>(title.c_str()),
                           static_cast<DWORD>(title.size() * sizeof(wchar_t)), const_cast<wchar_t*>(text.c_str()),
                           static_cast<DWORD>(text.size() * sizeof(wchar_t)), MB_OK | MB_ICONEXCLAMATION, 0, &response,
                           FALSE) != FALSE;
  }

  void Report(JobEvent event, const std::wstring& text) override {
    struct Kind {
      WORD type;
      DWORD id;
    };
    const Kind kind = event == JobEvent::Waits      ? Kind{EVENTLOG_INFORMATION_TYPE, FOLVAREK_EVENT_JOB_WAITS}
                      : event == JobEvent::CutShort ? Kind{EVENTLOG_INFORMATION_TYPE, FOLVAREK_EVENT_JOB_CUT_SHORT}
                      : event == JobEvent::Dropped  ? Kind{EVENTLOG_WARNING_TYPE, FOLVAREK_EVENT_JOB_DROPPED}
                                                    : Kind{EVENTLOG_ERROR_TYPE, FOLVAREK_EVENT_NO_RUNNER};
    const win::UniqueEventSource source(RegisterEventSourceW(nullptr, kEventSource));
    const wchar_t* strings[] = {text.c_str()};
    if (source) ReportEventW(source.get(), kind.type, 0, kind.id, nullptr, 1, 0, strings, nullptr);
  }

  std::wstring AccountName(const std::string& sid) override {
    win::UniqueLocal<void> binary;
    wchar_t name[257], domain[257];
    DWORD nameSize = 257, domainSize = 257;
    SID_NAME_USE use{};
    if (!ConvertStringSidToSidW(Wide(sid).c_str(), binary.put()) ||
        !LookupAccountSidW(nullptr, binary.get(), name, &nameSize, domain, &domainSize, &use)) {
      return Wide(sid);
    }
    return std::wstring(domain) + L"\\" + name;
  }

  bool StartHere(const std::wstring& program) override {
    win::ProcessStart start;
    start.program = program;
    start.flags = DETACHED_PROCESS;
    return win::StartProcess(start).has_value();
  }

  std::wstring ProfileFolder() override {
    // The impersonated user's profile, not the service's; outside the service, the caller's own.
    win::UniqueToken token;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()) &&
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
      return {};
    }
    DWORD size = 0;
    GetUserProfileDirectoryW(token.get(), nullptr, &size);
    std::wstring folder(size, L'\0');
    if (size == 0 || !GetUserProfileDirectoryW(token.get(), folder.data(), &size)) return {};
    folder.resize(folder.find(L'\0'));
    return folder;
  }

  bool CreateFolder(const std::wstring& path) override {
    if (CreateDirectoryW(path.c_str(), nullptr)) return true;
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return true;
    }
    SetLastError(error == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : error);
    return false;
  }

  HANDLE CreateNewFile(const std::wstring& path) override {
    return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  bool Write(HANDLE file, const void* data, DWORD size) override {
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr)) return false;
    if (written == size) return true;
    SetLastError(ERROR_DISK_FULL);
    return false;
  }

  bool Finish(HANDLE file) override {
    const bool flushed = FlushFileBuffers(file) != FALSE;
    const DWORD error = GetLastError();
    const bool closed = CloseHandle(file) != FALSE;
    if (!flushed) SetLastError(error);
    return flushed && closed;
  }

  void Abandon(HANDLE file) override { CloseHandle(file); }
  bool Exists(const std::wstring& path) override { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
  bool Rename(const std::wstring& from, const std::wstring& to) override {
    return MoveFileExW(from.c_str(), to.c_str(), 0) != FALSE;
  }
  bool Delete(const std::wstring& path) override { return DeleteFileW(path.c_str()) != FALSE; }
  bool HeldOpen(const std::wstring& path) override {
    const win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file && GetLastError() == ERROR_SHARING_VIOLATION;
  }

  std::optional<SpooledJob> Job(const std::wstring& printer, DWORD jobId) override {
    const win::UniquePrinter handle = jobId != 0 ? OpenPrinterNamed(printer) : win::UniquePrinter();
    if (!handle) return std::nullopt;
    DWORD needed = 0;
    GetJobW(handle.get(), jobId, 1, nullptr, 0, &needed);
    if (needed < sizeof(JOB_INFO_1W)) return std::nullopt;
    std::vector<BYTE> buffer(needed);
    if (!GetJobW(handle.get(), jobId, 1, buffer.data(), needed, &needed)) return std::nullopt;
    const auto& job = *reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
    return SpooledJob{job.Status, job.pUserName != nullptr ? job.pUserName : L"",
                      job.pMachineName != nullptr ? job.pMachineName : L""};
  }

  void SentToPrinter(const std::wstring& printer, DWORD jobId) override {
    const win::UniquePrinter handle = jobId != 0 ? OpenPrinterNamed(printer) : win::UniquePrinter();
    if (handle) SetJobW(handle.get(), jobId, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER);
  }

  std::optional<std::wstring> RunnerPath() override {
    wchar_t path[MAX_PATH];
    DWORD size = sizeof path;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kMonitorKey, kRunnerValue, RRF_RT_REG_SZ, nullptr, path, &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    return std::wstring(path);
  }
};

}  // namespace

SpoolerContext& WindowsSpooler() {
  static Windows windows;
  return windows;
}

}  // namespace printpath
