// jobrunner.exe: the queue runner, one per session, windowless. It takes the session user's
// queued jobs oldest first, copies each into the scratch folder, starts saveprompt on it and waits
// for it to end, then the next; it ends when the queue is empty. The monitor starts it after each
// job, and it runs at logon for jobs printed while nobody could be asked.
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PrintPath.h"

namespace {

using namespace printpath;

constexpr wchar_t kTitle[] = L"Folvarek";
// Alive while this session's runner runs; the print program waits on it too.
constexpr wchar_t kRunnerMutex[] = L"Local\\FolvarekQueueRunner";
// saveprompt is single-instance and the scratch folder is one for the machine: held from copying a
// job in until saveprompt has ended.
constexpr wchar_t kScratchMutex[] = L"Global\\FolvarekScratch";
// How long a job waits for another session's dialog before this runner gives up; it stays queued.
constexpr DWORD kScratchWaitMs = 8 * 60 * 60 * 1000;

struct HandleCloser {
  void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// A message that cannot be shown (no desktop to show it on) goes to the print log instead.
void Tell(const std::wstring& text) {
  if (MessageBoxW(nullptr, text.c_str(), kTitle, MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND) == 0) {
    LogLine(L"could not show a message (" + ErrorText(GetLastError()) + L"): " + text);
  }
}

std::wstring FileName(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }
std::wstring WithoutExtension(const std::wstring& name) { return name.substr(0, name.find_last_of(L'.')); }
bool HasExtension(const std::wstring& name, const wchar_t* ext) {
  const std::wstring_view e(ext);
  return name.size() > e.size() && CompareStringOrdinal(name.c_str() + name.size() - e.size(), -1, ext, -1, TRUE) == CSTR_EQUAL;
}

// Waits for `object` while handling any message sent to this thread, so nothing spins or hangs.
DWORD WaitPumping(HANDLE object, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = timeoutMs == INFINITE ? INFINITE : static_cast<DWORD>(now < end ? end - now : 0);
    const DWORD result = MsgWaitForMultipleObjects(1, &object, FALSE, left, QS_ALLINPUT);
    if (result != WAIT_OBJECT_0 + 1) return result;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
}

class Runner {
 public:
  Runner(std::wstring queue, std::wstring app) : queue_(std::move(queue)), app_(std::move(app)), scratch_(app_ + L"\\temp") {}

  // Queued jobs and jobs kept aside, oldest first.
  [[nodiscard]] std::optional<std::wstring> OldestQueued() const {
    std::optional<std::wstring> oldest;
    FILETIME oldestTime{};
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((queue_ + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return oldest;
    do {
      const std::wstring name = entry.cFileName;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      if (!HasExtension(name, kPdfExt) && !HasExtension(name, kNotPdfExt)) continue;
      const LONG order = oldest ? CompareFileTime(&entry.ftLastWriteTime, &oldestTime) : -1;
      if (order < 0 || (order == 0 && name < FileName(*oldest))) {
        oldest = queue_ + L"\\" + name;
        oldestTime = entry.ftLastWriteTime;
      }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return oldest;
  }

  // Takes jobs until none is left; false when it had to stop while jobs are still queued.
  bool RunQueue() {
    while (const auto job = OldestQueued()) {
      const bool done = HasExtension(*job, kNotPdfExt) ? KeepAside(*job) : AskForJob(*job);
      if (!done) return false;
    }
    return true;
  }

 private:
  // Data that is not a PDF (the printer set up on another driver) never reaches saveprompt.
  bool KeepAside(const std::wstring& job) {
    const std::wstring folder = KeptAsideFolder(queue_);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring kept = folder + L"\\" + FileName(job);
    if (!MoveFileExW(job.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
      Tell(L"The print job \"" + WithoutExtension(FileName(job)) + L"\" did not arrive as PDF and could not be moved to " +
           folder + L": " + ErrorText(GetLastError()) + L".\n\nIt stays in " + queue_ + L".");
      return false;
    }
    Tell(L"The print job \"" + WithoutExtension(FileName(job)) +
         L"\" did not arrive as PDF, so no PDF file was made from it.\n\nThe printer \"Folvarek\" must use the "
         L"\"Microsoft Print To PDF\" driver. The job's data is kept in:\n" + kept);
    return true;
  }

  bool AskForJob(const std::wstring& job) {
    const UniqueHandle lock(ScratchMutex());
    if (!lock || WaitPumping(lock.get(), kScratchWaitMs) == WAIT_TIMEOUT) return false;
    const std::unique_ptr<void, decltype(&ReleaseMutex)> held(lock.get(), &ReleaseMutex);

    CreateDirectoryW(scratch_.c_str(), nullptr);
    if (const auto leftover = ScratchPdf()) {
      // saveprompt would take that file first and then clear the folder, this job with it.
      Tell(L"The scratch folder still holds \"" + *leftover + L"\" from an earlier job, so the print job \"" +
           WithoutExtension(FileName(job)) + L"\" waits in " + queue_ + L".\n\nMove that file out of " + scratch_ +
           L", then print again or log on again.");
      return false;
    }
    const std::wstring inScratch = scratch_ + L"\\" + FileName(job);
    if (!CopyFileW(job.c_str(), inScratch.c_str(), TRUE)) {
      Tell(L"The print job \"" + WithoutExtension(FileName(job)) + L"\" could not be put into " + scratch_ + L": " +
           ErrorText(GetLastError()) + L".\n\nIt stays queued in " + queue_ + L".");
      return false;
    }
    const std::wstring program = app_ + L"\\saveprompt.exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, app_.c_str(), &startup,
                        &process)) {
      const DWORD error = GetLastError();
      DeleteFileW(inScratch.c_str());
      Tell(L"Folvarek could not start " + program + L": " + ErrorText(error) + L".\n\nThe print job \"" +
           WithoutExtension(FileName(job)) + L"\" stays queued in " + queue_ + L" and is asked for at the next print job or logon.");
      return false;
    }
    CloseHandle(process.hThread);
    const UniqueHandle saveprompt(process.hProcess);
    // The job is in the scratch folder and saveprompt runs on it: now it leaves the queue.
    DeleteFileW(job.c_str());
    // saveprompt ends when its user has answered; its own waits on the outside tools are bounded.
    WaitPumping(saveprompt.get(), INFINITE);
    return true;
  }

  [[nodiscard]] std::optional<std::wstring> ScratchPdf() const {
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((scratch_ + L"\\*pdf").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(search);
    return std::wstring(entry.cFileName);
  }

  // Every session's runner must be able to open it, whoever created it first.
  static HANDLE ScratchMutex() {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x1F0001;;;AU)(A;;0x1F0001;;;SY)", SDDL_REVISION_1,
                                                         &attributes.lpSecurityDescriptor, nullptr);
    const HANDLE mutex = CreateMutexW(&attributes, FALSE, kScratchMutex);
    LocalFree(attributes.lpSecurityDescriptor);
    return mutex;
  }

  std::wstring queue_;
  std::wstring app_;
  std::wstring scratch_;
};

std::wstring AppFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring program(path, length);
  return program.substr(0, program.find_last_of(L'\\'));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  const std::wstring queue = QueueFolderOf(nullptr);
  if (queue.empty()) return 1;
  Runner runner(queue, AppFolder());
  for (;;) {
    UniqueHandle alive(CreateMutexW(nullptr, FALSE, kRunnerMutex));
    if (!alive || GetLastError() == ERROR_ALREADY_EXISTS) return 0;  // this session's runner takes the jobs
    if (!runner.RunQueue()) return 1;
    alive.reset();
    // A job queued after the last look found this runner still alive and started none: look again.
    if (!runner.OldestQueued()) return 0;
  }
}
