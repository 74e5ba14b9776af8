// Whose print job this is, where it is queued, and where its queue runner starts. The one place
// that knows about the spooler service, sessions and other users' tokens.
#pragma once

#include <windows.h>

#include <string>

#include "PrintQueueRules.h"

namespace printpath {

class JobOwner {
 public:
  // The owner of the job the spooler is sending: the printing client's token when the thread
  // impersonates it, else the job's user and the session they are logged on in. Outside the
  // spooler service (Wine, or printing inside one's own process) it is the caller.
  [[nodiscard]] static JobOwner Find(const wchar_t* printerName, DWORD jobId);

  JobOwner(const JobOwner&) = delete;
  JobOwner& operator=(const JobOwner&) = delete;
  JobOwner(JobOwner&& other) noexcept;
  JobOwner& operator=(JobOwner&&) = delete;
  ~JobOwner();

  // Empty when the owner's folder cannot be found.
  [[nodiscard]] const std::wstring& QueueFolder() const { return queueFolder_; }
  // Starts the queue runner where the job's owner can be asked; with nobody to ask the job waits
  // for the runner of the owner's next logon. False (with the last error set) when starting failed.
  [[nodiscard]] bool StartRunner(const std::wstring& runnerPath) const;

 private:
  JobOwner() = default;
  std::wstring queueFolder_;
  folvarek::RunnerPlace place_;
  HANDLE userToken_ = nullptr;
};

}  // namespace printpath
