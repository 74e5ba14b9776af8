#include "PortJob.h"

#include <wtsapi32.h>

#include <algorithm>
#include <utility>

#include "PrintPath.h"
#include "PrintQueueRules.h"
#include "UserFolders.h"

namespace printpath {

namespace {

// Longest job name kept, in bytes of UTF-8 as saveprompt's ANSI calls count them, so that the queue
// and scratch paths stay within MAX_PATH and the Save dialog's answer leaves room for a folder.
constexpr std::size_t kLongestStem = 120;
// Room for " (NNN)" and the longest extension.
constexpr std::size_t kSuffixRoom = 6 + 6;

constexpr wchar_t kTitle[] = L"Folvarek";

}  // namespace

template <class Body>
void PortJob::AsSystem(Body body) {
  if (!spooler_.InService() || !spooler_.ImpersonatedClient()) {
    body();
    return;
  }
  struct Back {
    SpoolerContext& spooler;
    HANDLE token;
    ~Back() { spooler.Impersonate(token); }
  } back{spooler_, spooler_.RevertToSelf()};
  body();
}

// Files in the owner's folders are touched only as the owner.
bool PortJob::ActsAsOwner() {
  if (!spooler_.InService()) return true;
  const auto client = spooler_.ImpersonatedClient();
  return client && owner_ && client->sid == owner_->sid;
}

void PortJob::Log(const std::wstring& line) {
  AsSystem([&] { spooler_.Log(line); });
}

BOOL PortJob::Fail(const std::wstring& what, DWORD error) {
  Log(L"job \"" + title_ + L"\": " + what + L": " + ErrorText(error));
  Tell(L"The print job \"" + title_ + L"\" could not be made into a PDF file: " + what + L": " + ErrorText(error) +
       L".\n\nPlease print it again.");
  SetLastError(error);
  return FALSE;
}

// The owner hears of a failure from their queue runner, which shows the note left in their queue;
// where no note can be left, straight on their desktop.
void PortJob::Tell(const std::wstring& text) {
  if (LeaveNote(text)) {
    StartRunner();
    return;
  }
  const unsigned session = owner_ ? owner_->session : WTS_CURRENT_SESSION;
  AsSystem([&] { spooler_.SendToSession(session, kTitle, text); });
}

bool PortJob::LeaveNote(const std::wstring& text) {
  if (queue_.empty() || !ActsAsOwner()) return false;
  const std::string stem = folvarek::JobStem(Utf8(title_), kLongestStem);
  const std::string bytes = Utf8(text);
  for (unsigned n = 1; n < 1000; ++n) {
    const HANDLE note = spooler_.CreateNewFile(queue_ + L"\\" + Wide(folvarek::NumberedStem(stem, n)) + kNoteExt);
    if (note == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return false;
    }
    const bool written = spooler_.Write(note, bytes.data(), static_cast<DWORD>(bytes.size()));
    return spooler_.Finish(note) && written;
  }
  return false;
}

void PortJob::StartRunner() {
  const auto runner = spooler_.RunnerPath();
  if (!runner) {
    Log(L"job \"" + title_ + L"\" is queued, but no queue runner is registered");
    return;
  }
  if (!spooler_.InService()) {
    if (!spooler_.StartHere(*runner)) {
      const DWORD error = GetLastError();
      Log(L"job \"" + title_ + L"\" is queued, but the queue runner could not be started: " + ErrorText(error));
    }
    return;
  }
  AsSystem([&] {
    const auto place = folvarek::WhereToRunRunner(true, owner_->session, owner_->sid, spooler_.Sessions());
    if (place.kind != folvarek::RunnerPlace::Kind::InSession) {
      spooler_.Log(L"job \"" + title_ + L"\" waits in its owner's queue until they log on to this computer");
    } else if (!spooler_.StartInSession(place.session, *runner)) {
      const DWORD error = GetLastError();
      spooler_.Log(L"job \"" + title_ + L"\" is queued, but the queue runner could not be started in session " +
                   std::to_wstring(place.session) + L": " + ErrorText(error));
    }
  });
}

// Creates the job's partial file under a name that clashes with nothing queued.
bool PortJob::CreateJobFile() {
  const std::size_t used = Utf8(queue_).size() + 1 + kSuffixRoom;
  const std::size_t budget = used < MAX_PATH ? MAX_PATH - used : 1;
  const std::string stem = folvarek::JobStem(Utf8(title_), std::min(kLongestStem, budget));
  for (unsigned n = 1; n < 1000; ++n) {
    const std::wstring path = queue_ + L"\\" + Wide(folvarek::NumberedStem(stem, n));
    if (spooler_.Exists(path + kPdfExt) || spooler_.Exists(path + kNotPdfExt) || spooler_.Exists(path + kClaimedExt))
      continue;
    const HANDLE file = spooler_.CreateNewFile(path + kPartialExt);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return false;
    }
    file_ = file;
    stemPath_ = path;
    partial_ = path + kPartialExt;
    return true;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return false;
}

void PortJob::Discard() {
  if (file_ != INVALID_HANDLE_VALUE) spooler_.Abandon(std::exchange(file_, INVALID_HANDLE_VALUE));
  // Without the owner's identity (a port closed as LocalSystem) the partial file stays: it is
  // never handed on, and deleting in the owner's folder as LocalSystem is what must not happen.
  if (!partial_.empty() && ActsAsOwner()) spooler_.Delete(partial_);
  partial_.clear();
}

BOOL PortJob::StartDoc(const wchar_t* printer, DWORD jobId, const wchar_t* title) {
  Discard();
  printer_ = printer != nullptr ? printer : L"";
  jobId_ = jobId;
  title_ = title != nullptr ? title : L"";
  head_.clear();
  bytes_ = 0;
  queue_.clear();
  owner_.reset();
  if (spooler_.InService()) {
    owner_ = spooler_.ImpersonatedClient();
    if (!owner_) {
      // Only a job resumed after a restart of the spooler comes without its owner; nothing may be
      // written for it as LocalSystem, so it stays in the print queue, in error, to be printed again.
      Log(L"job \"" + title_ +
          L"\" came back without its owner's identity (the spooler was restarted); it stays "
          L"in the print queue in error and can be printed again");
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
  }
  const std::wstring local = spooler_.LocalAppData();
  if (local.empty()) return Fail(L"its owner's local application data folder is not known", ERROR_PATH_NOT_FOUND);
  const std::wstring queue = local + L"\\" + Wide(folvarek::kQueueFolder);
  if (!spooler_.CreateFolder(queue.substr(0, queue.find_last_of(L'\\'))) || !spooler_.CreateFolder(queue)) {
    const DWORD error = GetLastError();
    return Fail(L"cannot create the queue folder " + queue, error);
  }
  queue_ = queue;
  if (!CreateJobFile()) {
    const DWORD error = GetLastError();
    return Fail(L"cannot create a file in " + queue_, error);
  }
  return TRUE;
}

BOOL PortJob::Write(const BYTE* data, DWORD size, DWORD* written) {
  *written = 0;
  if (file_ == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (head_.size() < 8)
    head_.append(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 8 - head_.size()));
  if (!spooler_.Write(file_, data, size)) {
    const DWORD error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_DISK_FULL;
    Discard();
    return Fail(L"cannot write the job's data", error);
  }
  *written = size;
  bytes_ += size;
  return TRUE;
}

BOOL PortJob::EndDoc() {
  if (file_ == INVALID_HANDLE_VALUE) {
    // Its start or a write failed, and said so then.
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!spooler_.Finish(std::exchange(file_, INVALID_HANDLE_VALUE))) {
    const DWORD error = GetLastError();
    Discard();
    return Fail(L"cannot complete the job's file", error);
  }
  // The spooler calls this for a job deleted or restarted part way too: only a whole job goes on.
  if (!folvarek::QueueFinishedJob(spooler_.JobStatus(printer_, jobId_), bytes_)) {
    Discard();
    Log(L"job \"" + title_ + L"\" ended without its whole data (deleted, restarted or empty); nothing was queued");
    spooler_.SentToPrinter(printer_, jobId_);  // it has left the port all the same
    return TRUE;
  }
  // Only data that is a PDF goes to saveprompt; anything else is kept for the runner to report.
  const std::wstring queued = stemPath_ + (folvarek::StartsAsPdf(head_) ? kPdfExt : kNotPdfExt);
  if (!spooler_.Rename(partial_, queued)) {
    const DWORD error = GetLastError();
    Discard();
    return Fail(L"cannot queue " + queued, error);
  }
  partial_.clear();
  spooler_.SentToPrinter(printer_, jobId_);
  StartRunner();
  return TRUE;
}

}  // namespace printpath
