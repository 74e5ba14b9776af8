// Everything the port monitor asks of Windows about whose job it is sending and in which security
// context, behind one interface: the spooler service is the one place the monitor runs in that no
// test machine has, so its tests put a model of the documented rules in its place.
//
// The rules that the monitor follows with it (and that the model checks):
// - Inside the spooler service the monitor's thread impersonates the job's owner. Every file
//   operation in the owner's profile runs while it does, never as LocalSystem: a folder a user can
//   write is a folder that user can redirect with links.
// - What needs LocalSystem's own privileges (the sessions' user tokens, starting a process in a
//   session, the event log) runs between RevertToSelf and Impersonate, which come in pairs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "PrintQueueRules.h"

namespace printpath {

// The user a thread impersonates: their SID ("S-1-5-21-...") and the session of their logon.
struct Client {
  std::string sid;
  unsigned session = 0;
};

// A job as the spooler keeps it (JOB_INFO_1): its status bits, and who printed it from where as
// the spooler recorded them, names only.
struct SpooledJob {
  std::uint32_t status = 0;
  std::wstring user;
  std::wstring machine;
};

// What an event in the Application log tells an administrator; each has its own event id.
enum class JobEvent {
  Waits,     // queued for an owner who is not logged on here (information)
  CutShort,  // deleted, restarted or empty: nothing queued (information)
  Dropped,   // could not be kept for its owner: ended, nothing of it kept (warning)
  NoRunner,  // queued, but the owner's queue runner could not be started (error)
};

class SpoolerContext {
 public:
  virtual ~SpoolerContext() = default;

  // True in the spooler service (LocalSystem); false where the monitor runs inside the printing
  // program itself, as under Wine, and already is the user who printed.
  [[nodiscard]] virtual bool InService() = 0;
  // The client this thread impersonates; nothing when it impersonates nobody (in the service, a job
  // resumed after the spooler restarted).
  [[nodiscard]] virtual std::optional<Client> ImpersonatedClient() = 0;
  // RevertToPrinterSelf: the impersonation token (null when there was none); the thread is then
  // LocalSystem. Impersonate(token) (ImpersonatePrinterClient) returns to it and releases the token.
  [[nodiscard]] virtual HANDLE RevertToSelf() = 0;
  virtual bool Impersonate(HANDLE token) = 0;

  // As LocalSystem only.
  [[nodiscard]] virtual std::vector<folvarek::UserSession> Sessions() = 0;
  // Starts `program` on the desktop of `session` as its user, with that user's environment; false
  // with the last error set when it could not.
  virtual bool StartInSession(unsigned session, const std::wstring& program) = 0;
  // Shows a message on the desktop of `session` without waiting for an answer.
  virtual bool SendToSession(unsigned session, const std::wstring& title, const std::wstring& text) = 0;
  // Reports to the Application event log as the source "Folvarek" (a client from another computer
  // may not write it: as LocalSystem).
  virtual void Report(JobEvent event, const std::wstring& text) = 0;
  // DOMAIN\user for a SID; the SID itself when no account can be found for it.
  [[nodiscard]] virtual std::wstring AccountName(const std::string& sid) = 0;

  // Starts `program` in the caller's own context (outside the service).
  virtual bool StartHere(const std::wstring& program) = 0;

  // As the owner: the owner's profile folder, from the machine's profile list, which needs no
  // loaded registry hive (a client from another computer, a user who logged off); empty when the
  // owner has no profile on this computer.
  [[nodiscard]] virtual std::wstring ProfileFolder() = 0;
  // The owner's file operations. Each returns false with the last error set when it failed.
  virtual bool CreateFolder(const std::wstring& path) = 0;                   // true also when it is already there
  [[nodiscard]] virtual HANDLE CreateNewFile(const std::wstring& path) = 0;  // INVALID_HANDLE_VALUE on failure
  virtual bool Write(HANDLE file, const void* data, DWORD size) = 0;
  virtual bool Finish(HANDLE file) = 0;   // flushes and closes
  virtual void Abandon(HANDLE file) = 0;  // closes without flushing
  [[nodiscard]] virtual bool Exists(const std::wstring& path) = 0;
  virtual bool Rename(const std::wstring& from, const std::wstring& to) = 0;  // never over a file
  virtual bool Delete(const std::wstring& path) = 0;
  // Whether a process holds `path` open unshared (a sharing violation): the owner's queue runner
  // holding its lock.
  [[nodiscard]] virtual bool HeldOpen(const std::wstring& path) = 0;

  // The job as the spooler keeps it (nothing when it cannot be read), and the note that it has left
  // the port.
  [[nodiscard]] virtual std::optional<SpooledJob> Job(const std::wstring& printer, DWORD jobId) = 0;
  virtual void SentToPrinter(const std::wstring& printer, DWORD jobId) = 0;
  // The queue runner's program, as the setup registered it.
  [[nodiscard]] virtual std::optional<std::wstring> RunnerPath() = 0;
};

// The real one: the spooler's impersonation calls, terminal services, the file system.
[[nodiscard]] SpoolerContext& WindowsSpooler();

}  // namespace printpath
