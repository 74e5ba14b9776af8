// printsetup.exe: puts the print path in place for the installer, and takes it away for the
// uninstaller. "printsetup install" adds the monitor, its port "FOLVAREK:" and the printer
// "Folvarek" on the "Microsoft Print To PDF" driver; "printsetup uninstall" removes them again.
// Exit codes: 0 done, 1 failed, 2 installed without the printer because the driver is missing.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <winspool.h>

#include <cstdio>
#include <string>
#include <vector>

#include "PrintPath.h"

namespace {

using namespace printpath;

void Say(const std::wstring& text) { std::fputs((Utf8(text) + "\n").c_str(), stdout); }

bool Failed(const std::wstring& what, DWORD error) {
  Say(what + L": " + ErrorText(error));
  return false;
}

// The monitor's transceiver: the way ports are added and deleted.
DWORD PortCommand(const wchar_t* command) {
  std::wstring object = std::wstring(L",XcvMonitor ") + kMonitorName;
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  HANDLE xcv = nullptr;
  if (!OpenPrinterW(object.data(), &xcv, &defaults)) return GetLastError();
  DWORD needed = 0, status = ERROR_SUCCESS;
  const BOOL ok = XcvDataW(xcv, command, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(kPortName)),
                           sizeof kPortName, nullptr, 0, &needed, &status);
  const DWORD error = ok ? status : GetLastError();
  ClosePrinter(xcv);
  return error;
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

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH];
  const std::wstring program(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return program.substr(0, program.find_last_of(L'\\'));
}

// The spooler writes the print log as LocalSystem, so its folder must be one only administrators
// and LocalSystem may change: a folder a user made first (or a link they left in its place) would
// let them redirect those writes. Whatever stands there is made so, or replaced.
bool SecureLogFolder() {
  const std::wstring log = MachineLog();
  const std::wstring folder = log.substr(0, log.find_last_of(L'\\'));
  if (folder.empty()) return Failed(L"Could not find the folder for the print log", ERROR_PATH_NOT_FOUND);
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveDirectoryW(folder.c_str());
  CreateDirectoryW(folder.c_str(), nullptr);
  // Administrators own it; administrators and LocalSystem have full control, users may read.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FR;;;BU)",
                                                            SDDL_REVISION_1, &descriptor, nullptr)) {
    return Failed(L"Could not protect " + folder, GetLastError());
  }
  PSID owner = nullptr;
  PACL acl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
  GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
  const DWORD set = SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT,
                                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                          owner, nullptr, acl, nullptr);
  LocalFree(descriptor);
  return set == ERROR_SUCCESS || Failed(L"Could not protect " + folder, set);
}

int Install() {
  if (!SecureLogFolder()) return 1;
  MONITOR_INFO_2W monitor{const_cast<wchar_t*>(kMonitorName), nullptr, const_cast<wchar_t*>(kMonitorDll)};
  if (!AddMonitorW(nullptr, 2, reinterpret_cast<BYTE*>(&monitor)) && GetLastError() != ERROR_PRINT_MONITOR_ALREADY_INSTALLED) {
    return Failed(L"Could not add the port monitor " + std::wstring(kMonitorDll), GetLastError()), 1;
  }
  const std::wstring runner = OwnFolder() + L"\\" + kRunnerExe;
  const LSTATUS written = RegSetKeyValueW(HKEY_LOCAL_MACHINE, kMonitorKey, kRunnerValue, REG_SZ, runner.c_str(),
                                          static_cast<DWORD>((runner.size() + 1) * sizeof(wchar_t)));
  if (written != ERROR_SUCCESS) return Failed(L"Could not record the queue runner", written), 1;
  const DWORD port = PortCommand(L"AddPort");
  if (port != ERROR_SUCCESS && port != ERROR_ALREADY_EXISTS) return Failed(L"Could not add the port FOLVAREK:", port), 1;

  if (!DriverInstalled()) {
    Say(L"The printer \"Folvarek\" was not added: this Windows has no \"Microsoft Print To PDF\" driver "
        L"(Windows 10 or later has it). The rest of Folvarek is installed.");
    return 2;
  }
  PRINTER_INFO_2W printer{};
  printer.pPrinterName = const_cast<wchar_t*>(kPrinterName);
  printer.pPortName = const_cast<wchar_t*>(kPortName);
  printer.pDriverName = const_cast<wchar_t*>(kDriverName);
  printer.pPrintProcessor = const_cast<wchar_t*>(L"winprint");
  printer.pDatatype = const_cast<wchar_t*>(L"RAW");
  printer.pComment = const_cast<wchar_t*>(L"Prints to a PDF file you name");
  printer.Attributes = PRINTER_ATTRIBUTE_LOCAL;
  const HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
  if (added == nullptr && GetLastError() != ERROR_PRINTER_ALREADY_EXISTS) {
    return Failed(L"Could not add the printer \"Folvarek\"", GetLastError()), 1;
  }
  if (added != nullptr) ClosePrinter(added);
  Say(L"The printer \"Folvarek\" is ready.");
  return 0;
}

// Removes what is there; what is already gone is no failure.
int Uninstall() {
  bool ok = true;
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (OpenPrinterW(const_cast<wchar_t*>(kPrinterName), &printer, &all)) {
    if (!DeletePrinter(printer)) ok = Failed(L"Could not remove the printer \"Folvarek\"", GetLastError());
    ClosePrinter(printer);
  }
  const DWORD port = PortCommand(L"DeletePort");
  if (port != ERROR_SUCCESS && port != ERROR_UNKNOWN_PORT && port != ERROR_UNKNOWN_PRINT_MONITOR) {
    ok = Failed(L"Could not remove the port FOLVAREK:", port);
  }
  if (!DeleteMonitorW(nullptr, nullptr, const_cast<wchar_t*>(kMonitorName)) && GetLastError() != ERROR_UNKNOWN_PRINT_MONITOR) {
    ok = Failed(L"Could not remove the port monitor", GetLastError());
  }
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kMonitorKey);
  return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring action = argc == 2 ? argv[1] : L"";
  if (action == L"install") return Install();
  if (action == L"uninstall") return Uninstall();
  std::fputs("usage: printsetup install|uninstall\n", stderr);
  return 1;
}
