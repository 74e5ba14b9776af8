// Outside programs that the job starts through the shell: ShowPass and ShowSave (started and left
// alone), pdfenc and the stamp tool (started and waited for).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Unique.h"

struct OutsideCommand {
  std::string verb = "Open";
  // A path, or a bare name such as "pdfenc" (see StartOutsideCommand).
  std::string file;
  std::string parameters;
  // The working folder; empty keeps the current one.
  std::string folder;
  int show = SW_HIDE;
  // A variable given to this child alone: set just for the start and taken away again after it.
  // An empty value means the child gets no such variable at all.
  std::string environmentName;
  std::string environmentValue;
};

struct OutsideStart {
  // The shell's answer: above 32 when the program was started.
  std::intptr_t result = 0;
  // The started process when the shell hands one back (it does for Windows programs).
  win::UniqueHandle process;
  [[nodiscard]] bool Started() const noexcept { return result > 32; }
};

// Starts the command with ShellExecuteExA, keeping the process (SEE_MASK_NOCLOSEPROCESS), without
// any error message of the shell's own. A bare name is taken by its full path from the application
// folder when a program of that name is there. Otherwise the name is searched on the program search
// path while the current folder is the application folder: after a Save dialog the current folder is
// wherever the user saved, and a program of that name planted there must never run.
[[nodiscard]] OutsideStart StartOutsideCommand(const std::string& appFolder, const OutsideCommand& command);

// ShowPass and ShowSave: `name` started hidden with the "Open" action and not waited for. Returns
// the shell's result (greater than 32 on success).
std::intptr_t StartOutsideCommand(const std::string& appFolder, const std::string& name,
                                  const std::string& parameters = {});
