// One print job as the port monitor sends it on: a new file in its owner's queue folder while the
// data arrives, handed to the owner's queue runner only when the whole job has arrived. Every
// failure is logged and told to the owner; nothing partial is ever left behind.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "SpoolerContext.h"

namespace printpath {

class PortJob {
 public:
  explicit PortJob(SpoolerContext& spooler) : spooler_(spooler) {}
  PortJob(const PortJob&) = delete;
  PortJob& operator=(const PortJob&) = delete;
  ~PortJob() { Discard(); }

  // The monitor's StartDocPort, WritePort and EndDocPort: FALSE with the last error set on failure.
  BOOL StartDoc(const wchar_t* printer, DWORD jobId, const wchar_t* title);
  BOOL Write(const BYTE* data, DWORD size, DWORD* written);
  BOOL EndDoc();
  // Drops whatever of the job was written (ClosePort, or a new job on the same port).
  void Discard();

 private:
  template <class Body>
  void AsSystem(Body body);
  [[nodiscard]] bool ActsAsOwner();
  bool CreateJobFile();
  BOOL Fail(const std::wstring& what, DWORD error);
  void Log(const std::wstring& line);
  void Tell(const std::wstring& text);
  bool LeaveNote(const std::wstring& text);
  void StartRunner();

  SpoolerContext& spooler_;
  std::wstring printer_;
  DWORD jobId_ = 0;
  std::wstring title_;
  std::optional<Client> owner_;  // in the service: whoever printed
  std::wstring queue_;           // the owner's queue folder, once known
  std::wstring stemPath_;        // the job's file without its extension
  std::wstring partial_;         // the job's file while its data arrives
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::string head_;  // the first bytes, to tell PDF from anything else
  unsigned long long bytes_ = 0;
};

}  // namespace printpath
