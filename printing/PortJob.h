// One print job as the port monitor sends it on: a new file in its owner's queue folder while the
// data arrives, handed to the owner's queue runner only when the whole job has arrived.
//
// One owner's job never holds up the printer: whatever keeps it from its owner's queue (their folder
// broken or full, no profile here, no owner identity at all) ends that job alone. The spooler is
// told all went well, so the job leaves the print queue and nothing behind it waits; the rest of
// its data goes nowhere, nothing partial stays, and its owner and the event log hear of it once.
// Only a fault of the machine itself (no memory, the spooler calling out of turn) fails a call.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "SpoolerContext.h"

namespace printpath {

class PortJob {
 public:
  explicit PortJob(SpoolerContext& spooler) : spooler_(spooler) {}
  PortJob(const PortJob&) = delete;
  PortJob& operator=(const PortJob&) = delete;
  ~PortJob() { Discard(); }

  // The monitor's StartDocPort, WritePort and EndDocPort.
  BOOL StartDoc(const wchar_t* printer, DWORD jobId, const wchar_t* title);
  BOOL Write(const BYTE* data, DWORD size, DWORD* written);
  BOOL EndDoc();
  // Drops whatever of the job was written (ClosePort, or a new job on the same port).
  void Discard();

 private:
  enum class State { Idle, Receiving, Dropping };

  template <class Body>
  void AsSystem(Body body);
  [[nodiscard]] bool ActsAsOwner();
  [[nodiscard]] std::string Stem();
  bool CreateJobFile();
  void HandOn();
  BOOL Drop(const std::wstring& why);
  [[nodiscard]] std::wstring Owner();
  void Report(JobEvent event, const std::wstring& what);
  void Tell(const std::wstring& text);
  bool LeaveNote(const std::wstring& text);
  void StartRunner();

  SpoolerContext& spooler_;
  State state_ = State::Idle;
  std::wstring printer_;
  DWORD jobId_ = 0;
  std::wstring title_;
  std::optional<Client> owner_;  // in the service: whoever printed
  std::wstring queue_;           // the owner's queue folder, once known
  std::wstring runnerLock_;      // and the lock their queue runner holds while it runs
  std::wstring stemPath_;        // the job's file without its extension
  std::wstring partial_;         // the job's file while its data arrives
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::string head_;  // the first bytes, to tell PDF from anything else
  unsigned long long bytes_ = 0;
  // The last job whose loss was told, so a job the spooler sends again is told of once.
  std::optional<std::pair<std::wstring, DWORD>> told_;
};

}  // namespace printpath
