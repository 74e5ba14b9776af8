// Starting a program: the one place CreateProcess is called, its process and thread owned.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "Unique.h"

namespace win {

struct ProcessStart {
  std::wstring program;      // the program's full path
  std::wstring arguments;    // what follows the quoted program path on its command line
  std::wstring folder;       // its current folder; empty: this process's
  DWORD flags = 0;           // creation flags (DETACHED_PROCESS, CREATE_NO_WINDOW)
  HANDLE token = nullptr;    // the user to start it as (CreateProcessAsUser); nullptr: this process's user
  const void* environment = nullptr;  // a block from CreateEnvironmentBlock; nullptr: this process's
  const wchar_t* desktop = nullptr;   // "winsta0\\default" for a user's own desktop; nullptr: this one's
};

struct StartedProcess {
  UniqueHandle process;
  UniqueHandle thread;
};

// Starts the program; nothing when it could not be started (GetLastError says why).
[[nodiscard]] std::optional<StartedProcess> StartProcess(const ProcessStart& start);

}  // namespace win
