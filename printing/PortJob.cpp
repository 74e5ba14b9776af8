#include "PortJob.h"

#include <wtsapi32.h>

#include <algorithm>

#include "PrintPath.h"
#include "PrintQueueRules.h"
#include "UserFolders.h"

namespace printpath {

namespace {

// A title in the event log: enough to recognise the job, too little to fill the log.
constexpr std::size_t kEventTitleChars = 200;

constexpr wchar_t kTitle[] = L"Folvarek";

std::wstring Because(const std::wstring& what, DWORD error) { return what + L": " + ErrorText(error); }

}  // namespace

template <class Body>
void PortJob::AsSystem(Body body) {
  if (!spooler_.InService() || !spooler_.ImpersonatedClient()) {
    body();
    return;
  }
  // A thread that cannot return to its owner stays LocalSystem; ActsAsOwner sees that, so nothing
  // more is done in the owner's folders.
  struct Back {
    SpoolerContext& spooler;
    HANDLE token;
    ~Back() { (void)spooler.Impersonate(token); }
  } back{spooler_, spooler_.RevertToSelf()};
  body();
}

// Files in the owner's folders are touched only as the owner. Asked afresh each time: a call can
// come on a thread that does not impersonate the owner, part way through a job too.
bool PortJob::ActsAsOwner() {
  if (!spooler_.InService()) return true;
  const auto client = spooler_.ImpersonatedClient();
  return client && owner_ && client->sid == owner_->sid;
}

// The job's file name, within what saveprompt's calls accept in the queue folder.
std::string PortJob::Stem() {
  return folvarek::JobStem(Utf8(title_), folvarek::StemBudget(Utf8(queue_).size()));
}

// The owner as the event log names them: DOMAIN\user (the SID when unknown) or the spooler's record,
// and the computer they printed from when the spooler knows it.
std::wstring PortJob::Owner() {
  const auto job = spooler_.Job(printer_, jobId_);
  std::wstring who = owner_ ? spooler_.AccountName(owner_->sid) : job ? job->user : L"";
  if (job && !job->machine.empty()) who += (who.empty() ? L"a user" : L"") + std::wstring(L" on ") + job->machine;
  return who;
}

void PortJob::Report(JobEvent event, const std::wstring& what) {
  std::wstring text = L"Print job \"" + Wide(folvarek::PlainTitle(Utf8(title_), kEventTitleChars)) + L"\"";
  if (const std::wstring who = Owner(); !who.empty()) text += L" of " + who;
  text += L" " + what;
  AsSystem([&] { spooler_.Report(event, text); });
}

BOOL PortJob::Drop(const std::wstring& why) {
  Discard();
  state_ = State::Dropping;
  const auto job = std::make_pair(printer_, jobId_);
  if (jobId_ != 0 && told_ == job) return TRUE;
  told_ = job;
  Tell(L"The print job \"" + title_ + L"\" could not be made into a PDF file: " + why + L".\n\nPlease print it again.");
  Report(JobEvent::Dropped, L"was dropped: " + why);
  return TRUE;
}

// The owner hears of it from their queue runner, which shows the note left in their queue; where no
// note can be left, on a desktop of theirs, if they have one here.
void PortJob::Tell(const std::wstring& text) {
  if (LeaveNote(text)) {
    StartRunner();
    return;
  }
  if (!spooler_.InService()) {
    spooler_.SendToSession(WTS_CURRENT_SESSION, kTitle, text);
    return;
  }
  if (!owner_) return;
  AsSystem([&] {
    const auto place = folvarek::WhereToRunRunner(true, owner_->session, owner_->sid, spooler_.Sessions());
    if (place.kind == folvarek::RunnerPlace::Kind::InSession) spooler_.SendToSession(place.session, kTitle, text);
  });
}

bool PortJob::LeaveNote(const std::wstring& text) {
  if (queue_.empty() || !ActsAsOwner()) return false;
  const std::string stem = Stem();
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
  // A runner of the owner's holds the lock: it takes the job from the queue, and one started now
  // would only find the lock taken and end. Looked at as the owner, in their folder.
  if (!runnerLock_.empty() && ActsAsOwner() && spooler_.HeldOpen(runnerLock_)) return;
  const auto runner = spooler_.RunnerPath();
  if (!runner) {
    Report(JobEvent::NoRunner, L"is queued, but no queue runner is registered");
    return;
  }
  if (!spooler_.InService()) {
    if (!spooler_.StartHere(*runner)) {
      const DWORD error = GetLastError();
      Report(JobEvent::NoRunner, Because(L"is queued, but the queue runner could not be started", error));
    }
    return;
  }
  AsSystem([&] {
    const auto place = folvarek::WhereToRunRunner(true, owner_->session, owner_->sid, spooler_.Sessions());
    if (place.kind != folvarek::RunnerPlace::Kind::InSession) {
      Report(JobEvent::Waits, L"waits in its owner's queue until they log on to this computer");
    } else if (!spooler_.StartInSession(place.session, *runner)) {
      const DWORD error = GetLastError();
      Report(JobEvent::NoRunner, Because(L"is queued, but the queue runner could not be started in session " +
                                             std::to_wstring(place.session),
                                         error));
    }
  });
}

// Creates the job's partial file under a name that clashes with nothing queued.
bool PortJob::CreateJobFile() {
  const std::string stem = Stem();
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
  // Without the owner's identity (a port closed as LocalSystem) the partial file stays: deleting in
  // the owner's folder as LocalSystem is what must not happen. Their queue runner clears it.
  if (!partial_.empty() && ActsAsOwner()) spooler_.Delete(partial_);
  partial_.clear();
}

BOOL PortJob::StartDoc(const wchar_t* printer, DWORD jobId, const wchar_t* title) {
  Discard();
  state_ = State::Receiving;
  printer_ = printer != nullptr ? printer : L"";
  jobId_ = jobId;
  title_ = title != nullptr ? title : L"";
  head_.clear();
  bytes_ = 0;
  queue_.clear();
  runnerLock_.clear();
  owner_.reset();
  if (spooler_.InService()) {
    owner_ = spooler_.ImpersonatedClient();
    // Only a job resumed after a restart of the spooler comes without its owner. Nothing may be
    // written for it as LocalSystem, and kept in error it would hold up every job behind it.
    if (!owner_) return Drop(L"it came back without its owner's identity after the print spooler restarted");
  }
  const std::wstring profile = spooler_.ProfileFolder();
  if (profile.empty()) {
    return Drop(L"its owner has no user profile on this computer, so it cannot wait for them here");
  }
  const std::wstring local = profile + L"\\AppData\\Local\\";
  const std::wstring queue = local + Wide(folvarek::kQueueFolder);
  if (!spooler_.CreateFolder(queue.substr(0, queue.find_last_of(L'\\'))) || !spooler_.CreateFolder(queue)) {
    const DWORD error = GetLastError();
    return Drop(Because(L"cannot create the queue folder " + queue, error));
  }
  queue_ = queue;
  runnerLock_ = local + Wide(folvarek::kRunnerLock);
  if (!CreateJobFile()) {
    const DWORD error = GetLastError();
    return Drop(Because(L"cannot create a file in " + queue_, error));
  }
  return TRUE;
}

BOOL PortJob::Write(const BYTE* data, DWORD size, DWORD* written) {
  if (written == nullptr || (data == nullptr && size != 0) || state_ == State::Idle) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *written = size;
  if (state_ == State::Dropping) return TRUE;
  if (head_.size() < 8)
    head_.append(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 8 - head_.size()));
  if (!spooler_.Write(file_, data, size)) {
    const DWORD error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_DISK_FULL;
    return Drop(Because(L"cannot write the job's data", error));
  }
  bytes_ += size;
  return TRUE;
}

BOOL PortJob::EndDoc() {
  if (state_ == State::Idle) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (state_ == State::Receiving) HandOn();
  state_ = State::Idle;
  spooler_.SentToPrinter(printer_, jobId_);  // it has left the port, queued or not
  return TRUE;
}

// The whole job goes to its owner's queue runner: as a PDF, or kept aside when it is not one.
void PortJob::HandOn() {
  if (!ActsAsOwner()) {
    Drop(L"its end came without its owner's identity");
    return;
  }
  if (!spooler_.Finish(std::exchange(file_, INVALID_HANDLE_VALUE))) {
    const DWORD error = GetLastError();
    Drop(Because(L"cannot complete the job's file", error));
    return;
  }
  // The spooler calls this for a job deleted or restarted part way too: only a whole job goes on.
  const auto job = spooler_.Job(printer_, jobId_);
  if (!folvarek::QueueFinishedJob(job ? std::optional(job->status) : std::nullopt, bytes_)) {
    Discard();
    Report(JobEvent::CutShort, L"ended without its whole data (deleted, restarted or empty); nothing was queued");
    return;
  }
  const std::wstring queued = stemPath_ + (folvarek::StartsAsPdf(head_) ? kPdfExt : kNotPdfExt);
  if (!spooler_.Rename(partial_, queued)) {
    const DWORD error = GetLastError();
    Drop(Because(L"cannot queue " + queued, error));
    return;
  }
  partial_.clear();
  StartRunner();
}

}  // namespace printpath
