#include "Process.h"

namespace win {

std::optional<StartedProcess> StartProcess(const ProcessStart& start) {
  // The program's own path, quoted, is its first argument, as a program started from a shell sees.
  std::wstring commandLine = L"\"" + start.program + L"\"";
  if (!start.arguments.empty()) commandLine += L" " + start.arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.lpDesktop = const_cast<wchar_t*>(start.desktop);
  DWORD flags = start.flags;
  if (start.environment != nullptr) flags |= CREATE_UNICODE_ENVIRONMENT;
  void* environment = const_cast<void*>(start.environment);
  const wchar_t* folder = start.folder.empty() ? nullptr : start.folder.c_str();
  PROCESS_INFORMATION process{};
  const BOOL started =
      start.token != nullptr
          ? CreateProcessAsUserW(start.token, start.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags,
                                 environment, folder, &startup, &process)
          : CreateProcessW(start.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, environment,
                           folder, &startup, &process);
  if (!started) return std::nullopt;
  return StartedProcess{UniqueHandle(process.hProcess), UniqueHandle(process.hThread)};
}

}  // namespace win
