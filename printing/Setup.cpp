// printsetup.exe: puts the print path in place for the installer, and takes it away for the
// uninstaller.
//   printsetup install        the monitor, its port "FOLVAREK:" and the printer "Folvarek" on the
//                             "Microsoft Print To PDF" driver (turning that optional feature on when
//                             Windows has it off), all or nothing
//   printsetup uninstall      the printer's queue purged, then printer, port and monitor removed
//   printsetup stop-spooler   stops the spooler (its queue is kept) so a loaded monitor can be replaced
//   printsetup folder DIR     whether DIR may hold the programs
// Exit codes (SetupResult): 0 done, 1 failed, 3 protected print mode is on, 4 no "Microsoft Print To
// PDF", 5 the folder is not allowed.
#include <windows.h>
#include <winspool.h>
#include <aclapi.h>
#include <sddl.h>

#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "Files.h"
#include "InstallRules.h"
#include "PrintPath.h"
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

// Windows protected print mode, as its group policy records it.
bool ProtectedPrintOn() {
  DWORD on = 0, size = sizeof on;
  return RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP",
                      L"WindowsProtectedPrintGroupPolicyState", RRF_RT_REG_DWORD, nullptr, &on,
                      &size) == ERROR_SUCCESS &&
         on != 0;
}

// Runs `commandLine` without a window and waits for it, at most `timeoutMs`.
bool RunHidden(std::wstring commandLine, DWORD timeoutMs) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  const win::UniqueHandle thread(process.hThread), program(process.hProcess);
  const bool ended = WaitForSingleObject(program.get(), timeoutMs) == WAIT_OBJECT_0;
  DWORD code = 1;
  GetExitCodeProcess(program.get(), &code);
  return ended && code == 0;
}

// "Microsoft Print To PDF" is an optional feature of Windows 10 and 11 that can be turned off.
void TurnOnPdfFeature() {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  Say(L"Turning on the Windows feature \"Microsoft Print to PDF\"...");
  RunHidden(L"\"" + std::wstring(system) +
                L"\\dism.exe\" /Online /Enable-Feature "
                L"/FeatureName:Printing-PrintToPDFServices-Features /All /NoRestart /Quiet",
            10 * 60 * 1000);
}

SC_HANDLE OpenSpooler(DWORD access) {
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return nullptr;
  const SC_HANDLE spooler = OpenServiceW(manager, L"Spooler", access);
  CloseServiceHandle(manager);
  return spooler;
}

// Waits, bounded, for the spooler to reach `state`.
bool SpoolerReaches(SC_HANDLE spooler, DWORD state) {
  for (int tries = 0; tries < 300; ++tries) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(spooler, &status)) return false;
    if (status.dwCurrentState == state) return true;
    Sleep(100);
  }
  return false;
}

int StopSpooler() {
  const SC_HANDLE spooler = OpenSpooler(SERVICE_STOP | SERVICE_QUERY_STATUS);
  if (spooler == nullptr) return Exit(SetupResult::Done);  // no spooler service: nothing holds the monitor
  SERVICE_STATUS status{};
  ControlService(spooler, SERVICE_CONTROL_STOP, &status);
  const bool stopped = SpoolerReaches(spooler, SERVICE_STOPPED);
  const DWORD error = GetLastError();
  CloseServiceHandle(spooler);
  if (!stopped) return Failed(L"Could not stop the print spooler", error), Exit(SetupResult::Failed);
  return Exit(SetupResult::Done);
}

// Started again after a reinstall stopped it; already running is fine.
void StartSpooler() {
  const SC_HANDLE spooler = OpenSpooler(SERVICE_START | SERVICE_QUERY_STATUS);
  if (spooler == nullptr) return;
  if (StartServiceW(spooler, 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING) {
    SpoolerReaches(spooler, SERVICE_RUNNING);
  }
  CloseServiceHandle(spooler);
}

int Install() {
  StartSpooler();
  folvarek::PrintSupport support{WindowsBuild(), ProtectedPrintOn(), DriverInstalled(), false};
  for (;;) {
    switch (folvarek::NextSetupStep(support)) {
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

  MONITOR_INFO_2W monitor{const_cast<wchar_t*>(kMonitorName), nullptr, const_cast<wchar_t*>(kMonitorDll)};
  if (!AddMonitorW(nullptr, 2, reinterpret_cast<BYTE*>(&monitor)) &&
      GetLastError() != ERROR_PRINT_MONITOR_ALREADY_INSTALLED) {
    return Failed(L"Could not add the port monitor " + std::wstring(kMonitorDll), GetLastError()),
           Exit(SetupResult::Failed);
  }
  const std::wstring runner = win::ProgramFolderW() + L"\\" + kRunnerExe;
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
  Say(L"The printer \"Folvarek\" is ready.");
  return Exit(SetupResult::Done);
}

int CheckFolder(const std::wstring& folder) {
  wchar_t programFiles[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles)) ||
      !folvarek::ProgramFolderAllowed(Utf8(folder), Utf8(programFiles))) {
    Say(L"Folvarek can only be installed in " + std::wstring(programFiles) +
        L" or a folder below it: its programs run "
        L"for every user, so their folder must be one only administrators may change. " +
        folder + L" is not.");
    return Exit(SetupResult::FolderNotAllowed);
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
    // A printer with jobs is only marked for deletion, and its monitor stays in use: the queue goes first.
    if (!SetPrinterW(printer.get(), 0, nullptr, PRINTER_CONTROL_PURGE))
      ok = Failed(L"Could not clear the queue of \"Folvarek\"", GetLastError());
    if (!DeletePrinter(printer.get())) ok = Failed(L"Could not remove the printer \"Folvarek\"", GetLastError());
    printer.reset();  // the printer goes with its last handle, before its port can
  }
  const DWORD port = PortCommand(L"DeletePort");
  if (port != ERROR_SUCCESS && port != ERROR_UNKNOWN_PORT && port != ERROR_UNKNOWN_PRINT_MONITOR) {
    ok = Failed(L"Could not remove the port FOLVAREK:", port);
  }
  if (DeleteMonitorW(nullptr, nullptr, const_cast<wchar_t*>(kMonitorName)) ||
      GetLastError() == ERROR_UNKNOWN_PRINT_MONITOR) {
    // Only a monitor the spooler let go loses its key: with the key gone, a monitor still in use
    // would be left without its ports.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kMonitorKey);
  } else {
    ok = Failed(L"Could not remove the port monitor", GetLastError());
  }
  return Exit(ok ? SetupResult::Done : SetupResult::Failed);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring action = argc == 2 ? argv[1] : L"";
  if (action == L"install") return Install();
  if (action == L"uninstall") return Uninstall();
  if (action == L"stop-spooler") return StopSpooler();
  if (argc == 3 && std::wstring(argv[1]) == L"folder") return CheckFolder(argv[2]);
  std::fputs("usage: printsetup install|uninstall|stop-spooler|folder DIR\n", stderr);
  return Exit(SetupResult::Failed);
}
