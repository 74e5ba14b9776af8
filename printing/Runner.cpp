// jobrunner.exe: the queue runner, one per user whatever the session, windowless. It takes the
// user's queued jobs oldest first: claims one (a rename), copies it into the user's scratch folder,
// starts saveprompt on it, waits for it to end, and only then removes the job from the queue. Notes
// the monitor left about jobs that failed are shown once. Started at logon (and by the monitor when
// no runner of the user holds the lock), it then stays, waiting on the queue folder without using
// the processor, and takes each job as it arrives: the job is asked for without a process start.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "Files.h"
#include "PrintPath.h"
#include "PrintQueueRules.h"
#include "Process.h"
#include "Pump.h"
#include "Unique.h"
#include "UserFolders.h"

namespace {

using namespace printpath;

constexpr wchar_t kTitle[] = L"Folvarek";

std::wstring FileName(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }
std::wstring WithoutExtension(const std::wstring& path) { return path.substr(0, path.find_last_of(L'.')); }
std::wstring JobName(const std::wstring& path) { return WithoutExtension(FileName(path)); }
bool HasExtension(const std::wstring& name, const wchar_t* ext) {
  const std::wstring_view e(ext);
  return name.size() > e.size() &&
         CompareStringOrdinal(name.c_str() + name.size() - e.size(), -1, ext, -1, TRUE) == CSTR_EQUAL;
}
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Wine's dialog loop shows a message box only once its thread's message queue first goes empty,
// which a busy queue can put off indefinitely; the box is shown as soon as it is made instead.
LRESULT CALLBACK ShowWhenMade(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == WM_INITDIALOG) {
    ShowWindow(call->hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(call->hwnd);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A message that cannot be shown (no desktop to show it on) goes to the user's print log instead.
void Tell(const std::wstring& text) {
  win::UniqueHook hook(SetWindowsHookExW(WH_CALLWNDPROCRET, ShowWhenMade, nullptr, GetCurrentThreadId()));
  const int answer =
      MessageBoxW(nullptr, text.c_str(), kTitle, MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND | MB_TOPMOST);
  const DWORD error = GetLastError();
  hook.reset();
  if (answer == 0)
    AppendLogLine(UserFolder(folvarek::kRunnerLog), L"could not show a message (" + ErrorText(error) + L"): " + text);
}

// What a turn through the queue has to say once the user's lock is let go, and whether the runner
// must stop there (a job it cannot hand on stays queued).
struct Outcome {
  std::optional<std::wstring> message;
  bool stop = false;
};

class Runner {
 public:
  explicit Runner(std::wstring app)
      : app_(std::move(app)),
        queue_(UserFolder(folvarek::kQueueFolder)),
        scratch_(UserFolder(folvarek::kScratchFolder)),
        keptAside_(UserFolder(folvarek::kKeptAsideFolder)) {}

  [[nodiscard]] bool Usable() const { return !queue_.empty(); }
  [[nodiscard]] const std::wstring& Queue() const { return queue_; }

  // Made as the user at the start (at logon the monitor has made nothing yet), so the queue can be
  // watched from the first moment.
  void MakeQueueFolder() const {
    CreateDirectoryW(queue_.substr(0, queue_.find_last_of(L'\\')).c_str(), nullptr);
    CreateDirectoryW(queue_.c_str(), nullptr);
  }

  // Queued jobs, jobs a runner took and did not finish, data kept aside and notes, oldest first.
  [[nodiscard]] std::optional<std::wstring> OldestEntry() const {
    std::optional<std::wstring> oldest;
    FILETIME oldestTime{};
    (void)win::ForEachEntry(queue_ + L"\\*", [&](const WIN32_FIND_DATAW& entry) {
      const std::wstring name = entry.cFileName;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return true;
      if (!HasExtension(name, kPdfExt) && !HasExtension(name, kNotPdfExt) && !HasExtension(name, kClaimedExt) &&
          !HasExtension(name, kNoteExt)) {
        return true;
      }
      const LONG order = oldest ? CompareFileTime(&entry.ftLastWriteTime, &oldestTime) : -1;
      if (order < 0 || (order == 0 && name < FileName(*oldest))) {
        oldest = queue_ + L"\\" + name;
        oldestTime = entry.ftLastWriteTime;
      }
      return true;
    });
    return oldest;
  }

  // Works through the queue until it is empty or something must be said.
  Outcome Work() {
    ClearAbandoned();
    while (const auto entry = OldestEntry()) {
      Outcome outcome = HasExtension(*entry, kNoteExt)     ? ShowNote(*entry)
                        : HasExtension(*entry, kNotPdfExt) ? KeepAside(*entry)
                                                           : AskForJob(*entry);
      if (outcome.message || outcome.stop) return outcome;
    }
    return {};
  }

 private:
  // Told once: the note goes before it is shown.
  static Outcome ShowNote(const std::wstring& note) {
    std::ifstream in(note.c_str(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    if (!DeleteFileW(note.c_str())) {
      const DWORD error = GetLastError();
      return {L"A message about a print job could not be taken from " + note + L": " + ErrorText(error), true};
    }
    return {Wide(text), false};
  }

  // A job's file the monitor left part written (its port closed without the user's identity, or the
  // spooler stopped) goes once it has not grown for an hour: one being written grows all the time,
  // and a whole one is renamed within moments of its last write.
  void ClearAbandoned() const {
    constexpr ULONGLONG kHour = 60ull * 60 * 10'000'000;  // in FILETIME's 100 ns
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) { return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    (void)win::ForEachEntry(queue_ + L"\\*" + kPartialExt, [&](const WIN32_FIND_DATAW& entry) {
      if (HasExtension(entry.cFileName, kPartialExt) && ticks(entry.ftLastWriteTime) + kHour < ticks(now))
        DeleteFileW((queue_ + L"\\" + entry.cFileName).c_str());
      return true;
    });
  }

  // Data that is not a PDF (the printer set up on another driver) never reaches saveprompt. Data
  // kept earlier under the same name stays: this gets the next free number.
  Outcome KeepAside(const std::wstring& job) const {
    CreateDirectoryW(keptAside_.c_str(), nullptr);
    std::wstring kept;
    DWORD error = ERROR_FILE_EXISTS;
    for (unsigned n = 1; n < 1000 && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS); ++n) {
      kept = keptAside_ + L"\\" + Wide(folvarek::NumberedStem(Utf8(JobName(job)), n)) + kNotPdfExt;
      error = MoveFileExW(job.c_str(), kept.c_str(), MOVEFILE_COPY_ALLOWED) ? ERROR_SUCCESS : GetLastError();
    }
    if (error != ERROR_SUCCESS) {
      return {L"The print job \"" + JobName(job) + L"\" did not arrive as PDF and could not be moved to " + keptAside_ +
                  L": " + ErrorText(error) + L".\n\nIt stays in " + queue_ + L".",
              true};
    }
    return {L"The print job \"" + JobName(job) +
                L"\" did not arrive as PDF, so no PDF file was made from it.\n\nThe printer \"Folvarek\" must use the "
                L"\"Microsoft Print To PDF\" driver. The job's data is kept in:\n" +
                kept,
            false};
  }

  // Back in the queue under its own name, for the next runner.
  static void Requeue(const std::wstring& claimed) {
    MoveFileExW(claimed.c_str(), (WithoutExtension(claimed) + kPdfExt).c_str(), 0);
  }

  Outcome AskForJob(const std::wstring& job) {
    std::wstring claimed = job;
    if (!HasExtension(job, kClaimedExt)) {
      claimed = WithoutExtension(job) + kClaimedExt;
      if (!MoveFileExW(job.c_str(), claimed.c_str(), 0)) {
        const DWORD error = GetLastError();
        return {L"The print job \"" + JobName(job) + L"\" could not be taken from the queue: " + ErrorText(error) +
                    L".\n\nIt stays queued in " + queue_ + L".",
                true};
      }
    }
    const std::wstring name = JobName(claimed);
    CreateDirectoryW(scratch_.substr(0, scratch_.find_last_of(L'\\')).c_str(), nullptr);
    CreateDirectoryW(scratch_.c_str(), nullptr);
    if (const auto leftover = ScratchPdf()) {
      // saveprompt would take that file first and then clear the folder, this job with it.
      Requeue(claimed);
      return {L"The scratch folder still holds \"" + *leftover + L"\" from an earlier job, so the print job \"" + name +
                  L"\" waits in " + queue_ + L".\n\nMove that file out of " + scratch_ +
                  L", then print again or log on again.",
              true};
    }
    const std::wstring inScratch = scratch_ + L"\\" + name + kPdfExt;
    if (!CopyWhole(claimed, inScratch)) {
      const DWORD error = GetLastError();
      DeleteFileW(inScratch.c_str());
      Requeue(claimed);
      return {L"The print job \"" + name + L"\" could not be put into " + scratch_ + L": " + ErrorText(error) +
                  L".\n\nIt stays queued in " + queue_ + L".",
              true};
    }
    const std::wstring program = app_ + L"\\saveprompt.exe";
    win::ProcessStart start;
    start.program = program;
    start.folder = app_;
    const std::optional<win::StartedProcess> saveprompt = win::StartProcess(start);
    if (!saveprompt) {
      const DWORD error = GetLastError();
      DeleteFileW(inScratch.c_str());
      Requeue(claimed);
      return {L"Folvarek could not start " + program + L": " + ErrorText(error) + L".\n\nThe print job \"" + name +
                  L"\" stays queued in " + queue_ + L" and is asked for at the next print job or logon.",
              true};
    }
    // saveprompt ends when its user has answered; its own waits on the outside tools are bounded.
    if (win::WaitForObject(saveprompt->process.get()) != WAIT_OBJECT_0) {
      // Whether saveprompt is done is unknown: the job stays taken, for the next runner.
      const DWORD error = GetLastError();
      return {L"Folvarek lost track of the dialog for the print job \"" + name + L"\": " + ErrorText(error) +
                  L".\n\nThe job stays in " + queue_ + L" and is asked for at the next print job or logon.",
              true};
    }
    if (Exists(inScratch)) {
      // saveprompt clears the scratch folder when it has run the job: it ended without doing so.
      DeleteFileW(inScratch.c_str());
      Requeue(claimed);
      return {L"The job dialog ended without taking the print job \"" + name + L"\".\n\nIt stays queued in " + queue_ +
                  L" and is asked for at the next print job or logon.",
              true};
    }
    DeleteFileW(claimed.c_str());
    return {};
  }

  // The copy is on disk before the queued file can go.
  static bool CopyWhole(const std::wstring& from, const std::wstring& to) {
    if (!CopyFileW(from.c_str(), to.c_str(), TRUE)) return false;
    const win::UniqueFile copy(
        CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return copy && FlushFileBuffers(copy.get());
  }

  [[nodiscard]] std::optional<std::wstring> ScratchPdf() const {
    std::optional<std::wstring> found;
    (void)win::ForEachEntry(scratch_ + L"\\*pdf", [&](const WIN32_FIND_DATAW& entry) {
      found = entry.cFileName;
      return false;
    });
    return found;
  }

  std::wstring app_;
  std::wstring queue_;
  std::wstring scratch_;
  std::wstring keptAside_;
};

// What wakes a runner whose queue is empty: a file named, renamed or removed in the queue folder, or
// the queue folder itself made or removed. Wine 8 watches no folder that already existed below a
// watched one, so the queue folder has a watch of its own, and its parent one for the queue folder.
class QueueWatch {
 public:
  explicit QueueWatch(std::wstring queue)
      : queue_(std::move(queue)),
        parentWatch_(FindFirstChangeNotificationW(queue_.substr(0, queue_.find_last_of(L'\\')).c_str(), FALSE,
                                                  FILE_NOTIFY_CHANGE_DIR_NAME)) {
    ArmQueue();
  }

  // Waits, without using the processor, for a change: true once both watches are set again, before
  // the caller looks at the queue, so a job queued during that look wakes the next wait. False from
  // then on when the runner is to end: asked to (a quit message, which the setup posts before it
  // replaces this program), or a watch that failed. The runner then ends as a runner that does not
  // wait, and the monitor, finding the lock free, starts a new one for the next job.
  bool NextChange() {
    while (parentWatch_) {
      const HANDLE handles[] = {parentWatch_.get(), queueWatch_.get()};
      const DWORD count = queueWatch_ ? 2 : 1;
      const DWORD woke = MsgWaitForMultipleObjectsEx(count, handles, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (woke == WAIT_OBJECT_0 + count) {
        win::PendingMessages();
        MSG quit;
        if (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) break;
        continue;
      }
      if (woke > WAIT_OBJECT_0 + count || (woke == WAIT_OBJECT_0 && !FindNextChangeNotification(parentWatch_.get())))
        break;
      ArmQueue();
      return true;
    }
    parentWatch_.reset();
    queueWatch_.reset();
    return false;
  }

 private:
  // Set anew at every change rather than rearmed: the queue folder may have been removed and made
  // again (a handle kept on a removed one would wait for ever). None while it is missing; the
  // parent's watch then tells when it is back.
  void ArmQueue() {
    queueWatch_.reset(FindFirstChangeNotificationW(queue_.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
  }

  std::wstring queue_;
  win::UniqueChangeWatch parentWatch_;
  win::UniqueChangeWatch queueWatch_;
};

// Held open unshared while this runner works: the user's other runners (another session, or one
// started for the next job) find it taken and leave the jobs to it. It lies in the user's own
// folder, so no other account can take it first.
win::UniqueFile TakeLock() {
  const std::wstring path = UserFolder(folvarek::kRunnerLock);
  win::UniqueFile lock(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD error = GetLastError();
  if (!lock && error != ERROR_SHARING_VIOLATION) {
    AppendLogLine(UserFolder(folvarek::kRunnerLog),
                  L"the queue runner's lock " + path + L" cannot be opened: " + ErrorText(error));
  }
  return lock;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  Runner runner(win::ProgramFolder());
  if (!runner.Usable()) return 1;
  runner.MakeQueueFolder();
  // Set before the first look at the queue: a job queued at any moment from here on wakes the wait.
  QueueWatch watch(runner.Queue());
  for (;;) {
    Outcome outcome;
    {
      const win::UniqueFile lock = TakeLock();
      if (!lock) return 0;
      // The queue emptied, the runner waits here for the next job, its lock held: the monitor starts
      // no other. Idle, it holds no job, so a logoff that ends it loses nothing; one ended while it
      // works leaves the job taken, for the runner of the next logon.
      do outcome = runner.Work();
      while (!outcome.message && !outcome.stop && watch.NextChange());
    }
    // Said with the lock let go, so a box nobody answers holds up nothing.
    if (outcome.message) Tell(*outcome.message);
    if (outcome.stop) return 1;
    // Ending: a job queued while this runner held the lock found it taken and started no other.
    if (!outcome.message && !runner.OldestEntry()) return 0;
  }
}
