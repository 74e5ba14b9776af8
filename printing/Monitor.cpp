// folvarekmon.dll: the port monitor behind the port "FOLVAREK:". Each job's data goes into a new
// file in its owner's queue folder; once complete it is handed to the queue runner as a PDF (or
// kept aside when it is not one). It never shows UI, holds the spooler no longer than the writes,
// and no exception leaves it: every entry point turns failure into FALSE and the last error.
#include <windows.h>
#include <shlobj.h>
#include <winspool.h>
#include <winsplp.h>

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "JobOwner.h"
#include "PrintPath.h"
#include "PrintQueueRules.h"

namespace {

using namespace printpath;

// Longest job name kept, so that the queue and scratch paths stay within MAX_PATH for the ANSI calls
// of saveprompt and the Save dialog's answer leaves room for a folder.
constexpr std::size_t kLongestStem = 120;
// Room for " (NNN)" and the longest extension.
constexpr std::size_t kSuffixRoom = 6 + 5;

std::wstring PortsKey() { return std::wstring(kMonitorKey) + L"\\Ports"; }

std::optional<std::wstring> RunnerPath() {
  wchar_t path[MAX_PATH];
  DWORD size = sizeof path;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kMonitorKey, kRunnerValue, RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(path);
}

std::vector<std::wstring> KnownPorts() {
  std::vector<std::wstring> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, PortsKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return ports;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = 256;
    if (RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    ports.emplace_back(name, size);
  }
  RegCloseKey(key);
  return ports;
}

// One port opened by the spooler, with the job it is sending.
struct Port {
  std::wstring name;
  std::wstring printer;
  DWORD jobId = 0;
  std::wstring title;
  std::wstring partialPath;  // the job's file while its data arrives
  std::wstring stemPath;     // the same without the extension
  HANDLE file = INVALID_HANDLE_VALUE;
  std::string head;          // the first bytes, to tell PDF from anything else
  std::optional<JobOwner> owner;
};

struct Xcv {
  ACCESS_MASK access = 0;
};

// The job fails in the spooler with `error`, and the log says why.
BOOL Fail(const Port& port, const std::wstring& what, DWORD error) {
  LogLine(L"job \"" + port.title + L"\": " + what + L": " + ErrorText(error));
  SetLastError(error);
  return FALSE;
}

template <class Body>
BOOL Guarded(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  } catch (...) {
    SetLastError(ERROR_INTERNAL_ERROR);
  }
  return FALSE;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Creates the job's partial file under a name that clashes with nothing queued.
HANDLE CreateJobFile(Port& port, const std::wstring& folder) {
  const std::size_t used = folder.size() + 2 + kSuffixRoom;
  const std::size_t budget = used < MAX_PATH ? MAX_PATH - used : 1;
  const std::string stem = folvarek::JobStem(Utf8(port.title), std::min(kLongestStem, budget));
  for (unsigned n = 1; n < 1000; ++n) {
    const std::wstring path = folder + L"\\" + Wide(folvarek::NumberedStem(stem, n));
    if (Exists(path + kPdfExt) || Exists(path + kNotPdfExt)) continue;
    const HANDLE file = CreateFileW((path + kPartialExt).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
    port.stemPath = path;
    port.partialPath = path + kPartialExt;
    return file;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

// Drops whatever of the job was written; nothing partial is ever handed on.
void Discard(Port& port) {
  if (port.file != INVALID_HANDLE_VALUE) CloseHandle(port.file);
  port.file = INVALID_HANDLE_VALUE;
  if (!port.partialPath.empty()) DeleteFileW(port.partialPath.c_str());
  port.partialPath.clear();
}

// Tells the spooler the job has left, so it does not wait on it.
void ReleaseJob(const Port& port) {
  HANDLE printer = nullptr;
  if (port.jobId == 0 || port.printer.empty() || !OpenPrinterW(const_cast<wchar_t*>(port.printer.c_str()), &printer, nullptr)) {
    return;
  }
  SetJobW(printer, port.jobId, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER);
  ClosePrinter(printer);
}

BOOL WINAPI DoEnumPorts(HANDLE, LPWSTR, DWORD level, LPBYTE buffer, DWORD bufferSize, LPDWORD needed, LPDWORD returned) {
  return Guarded([&] {
    if (level != 1 && level != 2) {
      SetLastError(ERROR_INVALID_LEVEL);
      return FALSE;
    }
    const std::vector<std::wstring> ports = KnownPorts();
    const std::size_t record = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
    std::size_t size = 0;
    for (const auto& port : ports) size += record + (port.size() + 1 + (level == 2 ? wcslen(kMonitorName) + 1 : 0)) * sizeof(wchar_t);
    *needed = static_cast<DWORD>(size);
    *returned = 0;
    if (size > bufferSize || (size != 0 && buffer == nullptr)) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    // Records from the front, their strings from the back.
    auto* text = reinterpret_cast<wchar_t*>(buffer + size);
    const auto place = [&text](const std::wstring& s) {
      text -= s.size() + 1;
      std::copy(s.c_str(), s.c_str() + s.size() + 1, text);
      return text;
    };
    for (std::size_t i = 0; i < ports.size(); ++i) {
      if (level == 1) {
        reinterpret_cast<PORT_INFO_1W*>(buffer)[i] = {place(ports[i])};
      } else {
        PORT_INFO_2W info{};
        info.pPortName = place(ports[i]);
        info.pMonitorName = place(kMonitorName);
        info.fPortType = PORT_TYPE_WRITE;
        reinterpret_cast<PORT_INFO_2W*>(buffer)[i] = info;
      }
    }
    *returned = static_cast<DWORD>(ports.size());
    return TRUE;
  });
}

BOOL WINAPI DoOpenPort(HANDLE, LPWSTR name, PHANDLE handle) {
  return Guarded([&] {
    auto* port = new Port;
    port->name = name != nullptr ? name : L"";
    *handle = port;
    return TRUE;
  });
}

BOOL WINAPI DoStartDocPort(HANDLE handle, LPWSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo) {
  return Guarded([&] {
    Port& port = *static_cast<Port*>(handle);
    Discard(port);
    port.printer = printerName != nullptr ? printerName : L"";
    port.jobId = jobId;
    // DOC_INFO_2 starts like DOC_INFO_1: the title comes first.
    const auto* doc = reinterpret_cast<const DOC_INFO_1W*>(docInfo);
    port.title = (level == 1 || level == 2) && doc != nullptr && doc->pDocName != nullptr ? doc->pDocName : L"";
    port.head.clear();
    port.owner.emplace(JobOwner::Find(printerName, jobId));
    const std::wstring& folder = port.owner->QueueFolder();
    if (folder.empty()) return Fail(port, L"the job owner's queue folder is not known", ERROR_PATH_NOT_FOUND);
    const int made = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
      return Fail(port, L"cannot create the queue folder " + folder, made);
    }
    port.file = CreateJobFile(port, folder);
    if (port.file == INVALID_HANDLE_VALUE) return Fail(port, L"cannot create a file in " + folder, GetLastError());
    return TRUE;
  });
}

BOOL WINAPI DoWritePort(HANDLE handle, LPBYTE data, DWORD size, LPDWORD written) {
  return Guarded([&] {
    Port& port = *static_cast<Port*>(handle);
    *written = 0;
    if (port.file == INVALID_HANDLE_VALUE) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (port.head.size() < 8) port.head.append(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 8 - port.head.size()));
    if (!WriteFile(port.file, data, size, written, nullptr) || *written != size) {
      const DWORD error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_DISK_FULL;
      Discard(port);
      return Fail(port, L"cannot write the job's data", error);
    }
    return TRUE;
  });
}

BOOL WINAPI DoReadPort(HANDLE, LPBYTE, DWORD, LPDWORD read) {
  *read = 0;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL WINAPI DoEndDocPort(HANDLE handle) {
  return Guarded([&] {
    Port& port = *static_cast<Port*>(handle);
    ReleaseJob(port);
    if (port.file == INVALID_HANDLE_VALUE) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (!FlushFileBuffers(port.file) || !CloseHandle(port.file)) {
      const DWORD error = GetLastError();
      port.file = INVALID_HANDLE_VALUE;
      Discard(port);
      return Fail(port, L"cannot complete the job's file", error);
    }
    port.file = INVALID_HANDLE_VALUE;
    // Only data that is a PDF goes to saveprompt; anything else is kept for the runner to report.
    const std::wstring queued = port.stemPath + (folvarek::StartsAsPdf(port.head) ? kPdfExt : kNotPdfExt);
    if (!MoveFileExW(port.partialPath.c_str(), queued.c_str(), 0)) {
      const DWORD error = GetLastError();
      Discard(port);
      return Fail(port, L"cannot queue " + queued, error);
    }
    port.partialPath.clear();
    const auto runner = RunnerPath();
    if (!runner || !port.owner->StartRunner(*runner)) {
      // The job is safe in the queue: the runner takes it at the next job or logon.
      LogLine(L"job \"" + port.title + L"\" is queued, but the queue runner could not be started: " +
              ErrorText(runner ? GetLastError() : ERROR_FILE_NOT_FOUND));
    }
    return TRUE;
  });
}

BOOL WINAPI DoClosePort(HANDLE handle) {
  auto* port = static_cast<Port*>(handle);
  Discard(*port);
  delete port;
  return TRUE;
}

BOOL WINAPI DoXcvOpenPort(HANDLE, LPCWSTR, ACCESS_MASK access, PHANDLE handle) {
  return Guarded([&] {
    *handle = new Xcv{access};
    return TRUE;
  });
}

// "AddPort" and "DeletePort" keep the ports under the monitor's own key (the spooler's registry
// callbacks are not there under Wine); "PortExists" answers a BOOL.
DWORD WINAPI DoXcvDataPort(HANDLE handle, LPCWSTR command, PBYTE input, DWORD inputSize, PBYTE output, DWORD outputSize,
                         PDWORD outputNeeded) {
  try {
    const auto& xcv = *static_cast<Xcv*>(handle);
    const std::wstring name = input != nullptr ? std::wstring(reinterpret_cast<const wchar_t*>(input), inputSize / sizeof(wchar_t)).c_str() : L"";
    const std::wstring verb = command != nullptr ? command : L"";
    if (verb == L"PortExists") {
      *outputNeeded = sizeof(DWORD);
      if (output == nullptr || outputSize < sizeof(DWORD)) return ERROR_INSUFFICIENT_BUFFER;
      const auto ports = KnownPorts();
      *reinterpret_cast<DWORD*>(output) = std::ranges::find(ports, name) != ports.end();
      return ERROR_SUCCESS;
    }
    if (verb != L"AddPort" && verb != L"DeletePort") return ERROR_INVALID_PARAMETER;
    if (!(xcv.access & SERVER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
    if (name.empty() || name.find(L'\\') != std::wstring::npos) return ERROR_INVALID_PARAMETER;
    const std::wstring key = PortsKey() + L"\\" + name;
    if (verb == L"DeletePort") {
      const LSTATUS status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
      return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
    HKEY created = nullptr;
    const LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS) RegCloseKey(created);
    return status;
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

BOOL WINAPI DoXcvClosePort(HANDLE handle) {
  delete static_cast<Xcv*>(handle);
  return TRUE;
}

VOID WINAPI DoShutdown(HANDLE) {}

}  // namespace

extern "C" __declspec(dllexport) LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT, PHANDLE monitor) {
  static MONITOR2 table = [] {
    MONITOR2 t{};
    t.cbSize = sizeof t;
    t.pfnEnumPorts = DoEnumPorts;
    t.pfnOpenPort = DoOpenPort;
    t.pfnStartDocPort = DoStartDocPort;
    t.pfnWritePort = DoWritePort;
    t.pfnReadPort = DoReadPort;
    t.pfnEndDocPort = DoEndDocPort;
    t.pfnClosePort = DoClosePort;
    t.pfnXcvOpenPort = DoXcvOpenPort;
    t.pfnXcvDataPort = DoXcvDataPort;
    t.pfnXcvClosePort = DoXcvClosePort;
    t.pfnShutdown = DoShutdown;
    return t;
  }();
  // No state of its own: the spooler just needs a handle that is not null.
  *monitor = reinterpret_cast<HANDLE>(&table);
  return &table;
}
