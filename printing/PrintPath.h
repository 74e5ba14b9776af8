// What the print path's pieces (monitor, queue runner, setup, print program) share: the names the
// spooler and the event log know them by, where queued jobs live, and how failures are written.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "Text.h"

namespace printpath {

inline constexpr wchar_t kPrinterName[] = L"Folvarek";
inline constexpr wchar_t kDriverName[] = L"Microsoft Print To PDF";
inline constexpr wchar_t kPortName[] = L"FOLVAREK:";
inline constexpr wchar_t kMonitorName[] = L"Folvarek Port";
inline constexpr wchar_t kMonitorDll[] = L"folvarekmon.dll";
inline constexpr wchar_t kRunnerExe[] = L"jobrunner.exe";
// The monitor's own key: its ports (one subkey each, where Wine also looks them up) and the value
// naming the queue runner, which the setup program writes.
inline constexpr wchar_t kMonitorKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Folvarek Port";
inline constexpr wchar_t kRunnerValue[] = L"Runner";
// The monitor reports to the Application event log under this source. Its registration names the
// monitor DLL in the system folder as the message file: its message table gives Event Viewer the text.
inline constexpr wchar_t kEventSource[] = L"Folvarek";
inline constexpr wchar_t kEventSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Folvarek";
// A queued job while its data is still arriving, once it is a PDF, once it is not, and once the
// queue runner has taken it; a failure the monitor leaves for the runner to tell its user.
inline constexpr wchar_t kPartialExt[] = L".part";
inline constexpr wchar_t kPdfExt[] = L".pdf";
inline constexpr wchar_t kNotPdfExt[] = L".prn";
inline constexpr wchar_t kClaimedExt[] = L".taken";
inline constexpr wchar_t kNoteExt[] = L".note";

using win::Utf8;
using win::Wide;
// The system's text for a Win32 error code followed by its number, which logs and messages here
// carry so that a failure can be looked up.
[[nodiscard]] inline std::wstring ErrorText(DWORD code) {
  return win::ErrorText(code) + L" (error " + std::to_wstring(code) + L")";
}

// A folder or file below the calling user's local application data (see UserFolders.h); empty
// when that folder cannot be found.
[[nodiscard]] std::wstring UserFolder(const char* relative);

// The ids of the processes running a program named as the queue runner's.
[[nodiscard]] std::vector<DWORD> RunnerProcesses();

// Appends one line, stamped with the local time, to `file`; never creates its folder. Best effort:
// a log must never be the reason a job fails.
void AppendLogLine(const std::wstring& file, std::wstring_view text) noexcept;

}  // namespace printpath
