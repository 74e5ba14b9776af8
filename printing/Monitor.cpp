// folvarekmon.dll: the port monitor behind the port "FOLVAREK:". Each job goes to its owner's queue
// (PortJob); this file is the spooler's interface to it and the port's registration. It never
// shows UI of its own, holds the spooler no longer than the writes, and no exception leaves it:
// every entry point turns failure into FALSE and the last error.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "PortJob.h"
#include "PrintPath.h"
#include "Unique.h"

namespace {

using namespace printpath;

// What the port's own record says of it, in every level-2 listing.
constexpr wchar_t kPortDescription[] = L"Folvarek PDF port";

std::wstring PortsKey() { return std::wstring(kMonitorKey) + L"\\Ports"; }

std::vector<std::wstring> KnownPorts() {
  std::vector<std::wstring> ports;
  win::UniqueHKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, PortsKey().c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return ports;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = 256;
    if (RegEnumKeyExW(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    ports.emplace_back(name, size);
  }
  return ports;
}

// One port opened by the spooler, with the job it is sending.
struct Port {
  std::wstring name;
  PortJob job{WindowsSpooler()};
};

struct Xcv {
  ACCESS_MASK access = 0;
};

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

BOOL WINAPI DoEnumPorts(HANDLE, LPWSTR, DWORD level, LPBYTE buffer, DWORD bufferSize, LPDWORD needed,
                        LPDWORD returned) {
  return Guarded([&] {
    if (level != 1 && level != 2) {
      SetLastError(ERROR_INVALID_LEVEL);
      return FALSE;
    }
    const std::vector<std::wstring> ports = KnownPorts();
    const std::size_t record = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
    std::size_t size = 0;
    // Listers copy every string of a record, so none is left null.
    const std::size_t level2Text = wcslen(kMonitorName) + 1 + wcslen(kPortDescription) + 1;
    for (const auto& port : ports) size += record + (port.size() + 1 + (level == 2 ? level2Text : 0)) * sizeof(wchar_t);
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
        info.pDescription = place(kPortDescription);
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
    // DOC_INFO_2 starts like DOC_INFO_1: the title comes first.
    const auto* doc = reinterpret_cast<const DOC_INFO_1W*>(docInfo);
    const wchar_t* title = (level == 1 || level == 2) && doc != nullptr ? doc->pDocName : nullptr;
    return static_cast<Port*>(handle)->job.StartDoc(printerName, jobId, title);
  });
}

BOOL WINAPI DoWritePort(HANDLE handle, LPBYTE data, DWORD size, LPDWORD written) {
  return Guarded([&] { return static_cast<Port*>(handle)->job.Write(data, size, written); });
}

BOOL WINAPI DoReadPort(HANDLE, LPBYTE, DWORD, LPDWORD read) {
  *read = 0;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL WINAPI DoEndDocPort(HANDLE handle) {
  return Guarded([&] { return static_cast<Port*>(handle)->job.EndDoc(); });
}

BOOL WINAPI DoClosePort(HANDLE handle) {
  return Guarded([&] {
    delete static_cast<Port*>(handle);
    return TRUE;
  });
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
    if (outputNeeded == nullptr) return ERROR_INVALID_PARAMETER;
    *outputNeeded = 0;
    // The port's name, as whole UTF-16 characters, up to its NUL or the end of the input.
    if (input == nullptr || inputSize < sizeof(wchar_t) || inputSize % sizeof(wchar_t) != 0)
      return ERROR_INVALID_PARAMETER;
    const std::wstring name =
        std::wstring(reinterpret_cast<const wchar_t*>(input), inputSize / sizeof(wchar_t)).c_str();
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
    win::UniqueHKey created;
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, created.put(), nullptr);
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

// Defined here so that no import library (spoolss has a DllMain of its own) supplies it.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
