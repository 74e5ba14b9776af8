// printsetup.exe: puts the print path in place for the installer, and takes it away for the
// uninstaller. Each step that fails is said on the standard output.
//   printsetup install        the spooler started, the event log source "Folvarek", the monitor, its
//                             port "FOLVAREK:" and the printer "Folvarek" on the "Microsoft Print To
//                             PDF" driver (turning that optional feature on when Windows has it off),
//                             or nothing of them where Windows cannot have them; a printer "Folvarek"
//                             already there is set onto that port and driver
//   printsetup uninstall      the printer's queue purged, then printer, port, monitor and event log
//                             source removed
//   printsetup stop-spooler   stops the spooler (its queue is kept) so a loaded monitor can be replaced
//   printsetup start-spooler  starts it again, for an install that stopped it and cannot go on
//   printsetup end-runners DIR  asks the queue runners started from DIR to end, so that their program
//                             can be replaced or removed
//   printsetup folder DIR     whether DIR may hold the programs
//   printsetup windows        whether this Windows is one Folvarek supports
// Exit codes (SetupResult): 0 done (for start-spooler: the spooler runs), 1 failed, 3 protected print
// mode is on, 4 no "Microsoft Print To PDF" or a Windows older than the oldest supported, 5 the
// folder is not allowed.
#include <windows.h>
#include <winspool.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Files.h"
#include "InstallRules.h"
#include "PrintPath.h"
#include "Process.h"
#include "Unique.h"

namespace {

using namespace printpath;
using folvarek::SetupResult;

int Exit(SetupResult result) { return static_cast<int>(result); }

void Say(const std::wstring& text) { std::fputs((Utf8(text) + "\n").c_str(), stdout); }

bool Failed(const std::wstring& what, DWORD error) {
  Say(what + L": " + ErrorText(error));
  return false;
}

// The monitor's transceiver: the way ports are added and deleted.
DWORD PortCommand(const wchar_t* command) {
  std::wstring object = std::wstring(L",XcvMonitor ") + kMonitorName;
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  win::UniquePrinter xcv;
  if (!OpenPrinterW(object.data(), xcv.put(), &defaults)) return GetLastError();
  DWORD needed = 0, status = ERROR_SUCCESS;
  const BOOL ok = XcvDataW(xcv.get(), command, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(kPortName)),
                           sizeof kPortName, nullptr, 0, &needed, &status);
  return ok ? status : GetLastError();
}

bool DriverInstalled() {
  DWORD needed = 0, count = 0;
  EnumPrinterDriversW(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed);
  if (needed == 0 || !EnumPrinterDriversW(nullptr, nullptr, 1, buffer.data(), needed, &needed, &count)) return false;
  const auto* drivers = reinterpret_cast<const DRIVER_INFO_1W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    if (drivers[i].pName != nullptr && std::wstring(drivers[i].pName) == kDriverName) return true;
  }
  return false;
}

// Windows' own record of its build: GetVersionEx answers what the program's manifest claims.
unsigned WindowsBuild() {
  wchar_t build[16];
  DWORD size = sizeof build;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber",
                   RRF_RT_REG_SZ, nullptr, build, &size) != ERROR_SUCCESS) {
    return 0;
  }
  return static_cast<unsigned>(std::wcstoul(build, nullptr, 10));
}

// A Windows older than the oldest supported is refused, whatever it offers the print path.
int RefuseWindows(unsigned build) {
  Say(L"Folvarek needs Windows 10 version 1607 or Windows Server 2016 (build " +
      std::to_wstring(folvarek::kOldestWindowsBuild) + L") or later; " +
      (build == 0 ? L"the build of this Windows could not be read"
                  : L"this Windows is build " + std::to_wstring(build)) +
      L". Nothing of Folvarek was installed.");
  return Exit(SetupResult::WindowsTooOld);
}

// Windows protected print mode, as its group policy records it.
bool ProtectedPrintOn() {
  DWORD on = 0, size = sizeof on;
  return RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP",
                      L"WindowsProtectedPrintGroupPolicyState", RRF_RT_REG_DWORD, nullptr, &on,
                      &size) == ERROR_SUCCESS &&
         on != 0;
}

// Runs `commandLine` without a window and waits for it, at most `timeoutMs`: its exit code, or
// nothing (said) when it could not start or is still running, which it is then left to finish.
[[nodiscard]] std::optional<DWORD> RunHidden(const win::ProcessStart& start, const std::wstring& program,
                                             DWORD timeoutMs) {
  const std::optional<win::StartedProcess> started = win::StartProcess(start);
  if (!started) {
    const DWORD error = GetLastError();
    return Failed(L"Could not run " + program, error), std::nullopt;
  }
  const HANDLE running = started->process.get();
  if (WaitForSingleObject(running, timeoutMs) != WAIT_OBJECT_0) {
    Say(program + L" did not finish within " + std::to_wstring(timeoutMs / 60000) + L" minutes; it is left to finish.");
    return std::nullopt;
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(running, &code)) {
    const DWORD error = GetLastError();
    return Failed(L"Could not read how " + program + L" ended", error), std::nullopt;
  }
  return code;
}

// "Microsoft Print To PDF" is an optional feature of Windows 10 and 11 that can be turned off.
// Whether it came is then seen in the driver list.
void TurnOnPdfFeature() {
  Say(L"Turning on the Windows feature \"Microsoft Print to PDF\"...");
  win::ProcessStart dism;
  dism.program = win::ShellFolder(CSIDL_SYSTEM) + L"\\dism.exe";
  dism.arguments = L"/Online /Enable-Feature /FeatureName:Printing-PrintToPDFServices-Features /All /NoRestart /Quiet";
  dism.flags = CREATE_NO_WINDOW;
  const auto code = RunHidden(dism, L"dism.exe", 10 * 60 * 1000);
  // 3010: turned on, finished at the next restart.
  if (!code || *code == ERROR_SUCCESS || *code == ERROR_SUCCESS_REBOOT_REQUIRED) return;
  wchar_t hex[16];
  std::swprintf(hex, 16, L"0x%08lX", *code);
  Say(L"dism.exe could not turn the feature on: exit code " + std::to_wstring(*code) + L" (" + hex + L").");
}

// The spooler service, or nothing with the last error set.
[[nodiscard]] win::UniqueService OpenSpooler(DWORD access) {
  win::UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return {};
  win::UniqueService spooler(OpenServiceW(manager.get(), L"Spooler", access));
  const DWORD error = spooler ? ERROR_SUCCESS : GetLastError();
  manager.reset();  // closing it may set the last error too
  SetLastError(error);
  return spooler;
}

// Waits, at most 30 seconds, for the spooler to reach `state`: ERROR_SUCCESS, or why it did not
// (ERROR_SERVICE_REQUEST_TIMEOUT when it was not there in time).
[[nodiscard]] DWORD Reach(SC_HANDLE spooler, DWORD state) {
  for (int tries = 0; tries < 300; ++tries) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(spooler, &status)) return GetLastError();
    if (status.dwCurrentState == state) return ERROR_SUCCESS;
    Sleep(100);
  }
  return ERROR_SERVICE_REQUEST_TIMEOUT;
}

// So that a loaded monitor DLL can be replaced; the spooler keeps its queue.
int StopSpooler() {
  const win::UniqueService spooler = OpenSpooler(SERVICE_STOP | SERVICE_QUERY_STATUS);
  if (!spooler) {
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) return Exit(SetupResult::Done);  // nothing holds the monitor
    return Failed(L"Could not reach the print spooler", error), Exit(SetupResult::Failed);
  }
  SERVICE_STATUS status{};
  const DWORD refused = ControlService(spooler.get(), SERVICE_CONTROL_STOP, &status) ? ERROR_SUCCESS : GetLastError();
  const DWORD error =
      refused == ERROR_SUCCESS || refused == ERROR_SERVICE_NOT_ACTIVE ? Reach(spooler.get(), SERVICE_STOPPED) : refused;
  if (error != ERROR_SUCCESS) return Failed(L"Could not stop the print spooler", error), Exit(SetupResult::Failed);
  return Exit(SetupResult::Done);
}

// Whether the spooler runs, started when it does not (after the installer stopped it, or an
// administrator did); said when it does not.
[[nodiscard]] bool StartSpooler() {
  const win::UniqueService spooler = OpenSpooler(SERVICE_START | SERVICE_QUERY_STATUS);
  if (!spooler) {
    const DWORD error = GetLastError();
    return Failed(L"Could not reach the print spooler", error);
  }
  const DWORD refused = StartServiceW(spooler.get(), 0, nullptr) ? ERROR_SUCCESS : GetLastError();
  const DWORD error = refused == ERROR_SUCCESS || refused == ERROR_SERVICE_ALREADY_RUNNING
                          ? Reach(spooler.get(), SERVICE_RUNNING)
                          : refused;
  return error == ERROR_SUCCESS || Failed(L"Could not start the print spooler", error);
}

// The monitor reports to the Application event log under our source; Event Viewer takes the text of
// its entries from the message table in the monitor DLL, named as the system expands it.
[[nodiscard]] bool AddEventSource() {
  const std::wstring file = std::wstring(L"%SystemRoot%\\System32\\") + kMonitorDll;
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  win::UniqueHKey key;
  LSTATUS status =
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (status == ERROR_SUCCESS) {
    status =
        RegSetValueExW(key.get(), L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                       static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
  }
  if (status == ERROR_SUCCESS) {
    status =
        RegSetValueExW(key.get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
  }
  return status == ERROR_SUCCESS ||
         Failed(L"Could not register the event log source \"" + std::wstring(kEventSource) + L"\"", status);
}

// A printer "Folvarek" already there (an earlier install, or one an administrator changed) prints
// to PDF only on our port and the PDF driver: it is set onto them.
[[nodiscard]] bool PrinterOnOurPort() {
  win::UniquePrinter printer;
  PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  DWORD needed = 0;
  std::vector<BYTE> buffer;
  if (OpenPrinterW(const_cast<wchar_t*>(kPrinterName), printer.put(), &all)) {
    GetPrinterW(printer.get(), 2, nullptr, 0, &needed);
    buffer.resize(needed);
  }
  if (buffer.empty() || !GetPrinterW(printer.get(), 2, buffer.data(), needed, &needed)) {
    const DWORD error = GetLastError();
    return Failed(L"Could not read the printer \"Folvarek\"", error);
  }
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
  const auto same = [](const wchar_t* a, const wchar_t* b) { return a != nullptr && _wcsicmp(a, b) == 0; };
  if (same(info->pPortName, kPortName) && same(info->pDriverName, kDriverName)) return true;
  // Everything else stays as GetPrinter gave it.
  info->pPortName = const_cast<wchar_t*>(kPortName);
  info->pDriverName = const_cast<wchar_t*>(kDriverName);
  if (!SetPrinterW(printer.get(), 2, buffer.data(), 0)) {
    const DWORD error = GetLastError();
    return Failed(L"Could not set the printer \"Folvarek\" onto the port FOLVAREK: and its driver", error);
  }
  Say(L"The printer \"Folvarek\" was set onto the port FOLVAREK: and the driver \"Microsoft Print To PDF\".");
  return true;
}

int Install() {
  // Without the spooler each step below that needs it fails and says why. Under Wine, which runs the
  // print path in the printing program, none does, and a new prefix's spooler may not start.
  if (!StartSpooler()) Say(L"Setting up the printer \"Folvarek\" all the same.");
  folvarek::PrintSupport support{WindowsBuild(), ProtectedPrintOn(), DriverInstalled(), false};
  for (;;) {
    switch (folvarek::NextSetupStep(support)) {
      case folvarek::SetupStep::WindowsTooOld: return RefuseWindows(support.build);
      case folvarek::SetupStep::ProtectedPrintOn:
        Say(L"Folvarek cannot print while Windows protected print mode is on. In that mode Windows prints only "
            L"through its own modern print stack and blocks the print components of other makers, such as the port "
            L"the printer \"Folvarek\" prints through. An administrator can turn it off in Group Policy (Computer "
            L"Configuration > Administrative Templates > Printers > \"Configure Windows protected print\"). "
            L"Nothing of the printer \"Folvarek\" was installed; install Folvarek again once the mode is off.");
        return Exit(SetupResult::ProtectedPrint);
      case folvarek::SetupStep::NoPdfDriver:
        Say(L"The printer \"Folvarek\" was not added: it prints through Windows' own \"Microsoft Print To PDF\" "
            L"driver, which is missing and could not be turned on. On Windows 10 or 11 an administrator turns it on "
            L"in \"Turn Windows features on or off\" (\"Microsoft Print to PDF\") or with \"dism /online "
            L"/enable-feature /featurename:Printing-PrintToPDFServices-Features\", then installs Folvarek again; "
            L"older Windows does not have it. Nothing of the printer \"Folvarek\" was installed.");
        return Exit(SetupResult::NoPdfDriver);
      case folvarek::SetupStep::TurnOnPdfFeature:
        TurnOnPdfFeature();
        support.featureTried = true;
        support.pdfDriver = DriverInstalled();
        continue;
      case folvarek::SetupStep::InstallPrintPath: break;
    }
    break;
  }

  if (!AddEventSource()) return Exit(SetupResult::Failed);
  MONITOR_INFO_2W monitor{const_cast<wchar_t*>(kMonitorName), nullptr, const_cast<wchar_t*>(kMonitorDll)};
  if (!AddMonitorW(nullptr, 2, reinterpret_cast<BYTE*>(&monitor)) &&
      GetLastError() != ERROR_PRINT_MONITOR_ALREADY_INSTALLED) {
    return Failed(L"Could not add the port monitor " + std::wstring(kMonitorDll), GetLastError()),
           Exit(SetupResult::Failed);
  }
  const std::wstring runner = win::ProgramFolder() + L"\\" + kRunnerExe;
  const LSTATUS written = RegSetKeyValueW(HKEY_LOCAL_MACHINE, kMonitorKey, kRunnerValue, REG_SZ, runner.c_str(),
                                          static_cast<DWORD>((runner.size() + 1) * sizeof(wchar_t)));
  if (written != ERROR_SUCCESS) return Failed(L"Could not record the queue runner", written), Exit(SetupResult::Failed);
  const DWORD port = PortCommand(L"AddPort");
  if (port != ERROR_SUCCESS && port != ERROR_ALREADY_EXISTS) {
    return Failed(L"Could not add the port FOLVAREK:", port), Exit(SetupResult::Failed);
  }
  PRINTER_INFO_2W printer{};
  printer.pPrinterName = const_cast<wchar_t*>(kPrinterName);
  printer.pPortName = const_cast<wchar_t*>(kPortName);
  printer.pDriverName = const_cast<wchar_t*>(kDriverName);
  printer.pPrintProcessor = const_cast<wchar_t*>(L"winprint");
  printer.pDatatype = const_cast<wchar_t*>(L"RAW");
  printer.pComment = const_cast<wchar_t*>(L"Prints to a PDF file you name");
  printer.Attributes = PRINTER_ATTRIBUTE_LOCAL;
  const win::UniquePrinter added(AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer)));
  if (!added && GetLastError() != ERROR_PRINTER_ALREADY_EXISTS) {
    return Failed(L"Could not add the printer \"Folvarek\"", GetLastError()), Exit(SetupResult::Failed);
  }
  if (!added && !PrinterOnOurPort()) return Exit(SetupResult::Failed);
  Say(L"The printer \"Folvarek\" is ready.");
  return Exit(SetupResult::Done);
}

int CheckFolder(const std::wstring& folder) {
  const std::wstring programFiles = win::ShellFolder(CSIDL_PROGRAM_FILES);
  if (programFiles.empty() || !folvarek::ProgramFolderAllowed(Utf8(folder), Utf8(programFiles))) {
    Say(L"Folvarek can only be installed in " + programFiles +
        L" or a folder below it: its programs run "
        L"for every user, so their folder must be one only administrators may change. " +
        folder + L" is not.");
    return Exit(SetupResult::FolderNotAllowed);
  }
  return Exit(SetupResult::Done);
}

// A queue runner waits in its user's session for the next job, holding its program open. Each one
// that waits ends when its thread is posted the quit message: it holds no job then. One busy with a
// job, or in a session that cannot be posted to, stays, and its program is replaced at the restart.
int EndRunners(const std::wstring& folder) {
  const std::wstring program = folder + L"\\" + kRunnerExe;
  std::set<DWORD> ids;
  std::vector<win::UniqueHandle> runners;
  for (const DWORD id : RunnerProcesses()) {
    win::UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    wchar_t path[MAX_PATH];
    DWORD size = MAX_PATH;
    if (!process || !QueryFullProcessImageNameW(process.get(), 0, path, &size) ||
        CompareStringOrdinal(path, -1, program.c_str(), -1, TRUE) != CSTR_EQUAL) {
      continue;
    }
    ids.insert(id);
    runners.push_back(std::move(process));
  }
  const win::UniqueFile threads(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 thread{};
  thread.dwSize = sizeof thread;
  for (BOOL more = threads && Thread32First(threads.get(), &thread); more;
       more = Thread32Next(threads.get(), &thread)) {
    if (ids.count(thread.th32OwnerProcessID) != 0) PostThreadMessageW(thread.th32ThreadID, WM_QUIT, 0, 0);
  }
  const ULONGLONG deadline = GetTickCount64() + 5'000;
  std::size_t staying = 0;
  for (const win::UniqueHandle& runner : runners) {
    const ULONGLONG now = GetTickCount64();
    if (WaitForSingleObject(runner.get(), now < deadline ? static_cast<DWORD>(deadline - now) : 0) != WAIT_OBJECT_0)
      ++staying;
  }
  if (staying != 0) {
    Say(std::to_wstring(staying) + L" queue runner(s) of " + program +
        L" did not end: busy with a job, or in another user's session.");
  }
  return Exit(SetupResult::Done);
}

// Removes what is there; what is already gone is no failure. Each step that fails is said, and
// the exit code tells.
int Uninstall() {
  bool ok = true;
  win::UniquePrinter printer;
  PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (OpenPrinterW(const_cast<wchar_t*>(kPrinterName), printer.put(), &all)) {
    // A printer with jobs is only marked for deletion, and its monitor stays in use: the queue goes
    // first. When it cannot (Wine has no PRINTER_CONTROL_PURGE), a monitor still in use is what
    // fails below.
    if (!SetPrinterW(printer.get(), 0, nullptr, PRINTER_CONTROL_PURGE)) {
      const DWORD error = GetLastError();
      Failed(L"Could not clear the queue of \"Folvarek\"", error);
    }
    if (!DeletePrinter(printer.get())) ok = Failed(L"Could not remove the printer \"Folvarek\"", GetLastError());
    printer.reset();  // the printer goes with its last handle, before its port can
  }
  const DWORD port = PortCommand(L"DeletePort");
  if (port != ERROR_SUCCESS && port != ERROR_UNKNOWN_PORT && port != ERROR_UNKNOWN_PRINT_MONITOR) {
    ok = Failed(L"Could not remove the port FOLVAREK:", port);
  }
  const DWORD monitor =
      DeleteMonitorW(nullptr, nullptr, const_cast<wchar_t*>(kMonitorName)) ? ERROR_SUCCESS : GetLastError();
  if (monitor != ERROR_SUCCESS && monitor != ERROR_UNKNOWN_PRINT_MONITOR) {
    ok = Failed(L"Could not remove the port monitor", monitor);
  } else {
    // Only a monitor the spooler let go (or never knew) loses its key: with the key gone, a monitor
    // still in use would be left without its ports. A key that stays is a monitor that stays.
    const LSTATUS key = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kMonitorKey);
    if (key != ERROR_SUCCESS && key != ERROR_FILE_NOT_FOUND) {
      ok = Failed(L"Could not remove the port monitor", key);
    } else {
      // The event log source goes with the monitor that reports under it.
      const LSTATUS source = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEventSourceKey);
      if (source != ERROR_SUCCESS && source != ERROR_FILE_NOT_FOUND) {
        ok = Failed(L"Could not remove the event log source \"" + std::wstring(kEventSource) + L"\"", source);
      }
    }
  }
  return Exit(ok ? SetupResult::Done : SetupResult::Failed);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring action = argc == 2 ? argv[1] : L"";
  if (action == L"install") return Install();
  if (action == L"uninstall") return Uninstall();
  if (action == L"stop-spooler") return StopSpooler();
  if (action == L"start-spooler") return Exit(StartSpooler() ? SetupResult::Done : SetupResult::Failed);
  if (action == L"windows") {
    const unsigned build = WindowsBuild();
    return folvarek::WindowsSupported(build) ? Exit(SetupResult::Done) : RefuseWindows(build);
  }
  if (argc == 3 && std::wstring(argv[1]) == L"folder") return CheckFolder(argv[2]);
  if (argc == 3 && std::wstring(argv[1]) == L"end-runners") return EndRunners(argv[2]);
  std::fputs("usage: printsetup install|uninstall|stop-spooler|start-spooler|windows|folder DIR|end-runners DIR\n",
             stderr);
  return Exit(SetupResult::Failed);
}
