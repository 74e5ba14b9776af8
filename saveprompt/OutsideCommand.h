// Starting the outside programs of a job (ShowPass, ShowSave, pdfenc, the stamp tool) through the
// shell, the way the job has always started them, but keeping the process so the job can wait for it.
#pragma once

#include <windows.h>

#include <string>

#include "UniqueHandle.h"

struct OutsideCommand {
  std::string verb = "Open";
  // A path, or a bare name such as "pdfenc" (see FindOutsideCommand).
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
  // The shell's answer: above 32 when the program was started (SE_ERR_FNF and the like otherwise).
  int result = 0;
  // The started process when the shell hands one back (not for every kind of program).
  UniqueHandle process;
  [[nodiscard]] bool Started() const noexcept { return result > 32; }
};

// Where a program named by bare name is taken from: the application folder when a program of that
// name is there, else the folders of PATH. The current folder is never searched: after the Save
// dialog it is wherever the user saved, and a program planted there must not run. Empty when no
// such program exists. A name with a folder in it is returned unchanged.
[[nodiscard]] std::string FindOutsideCommand(const std::string& appFolder, const std::string& name);

// Starts the command through ShellExecuteExA (SEE_MASK_NOCLOSEPROCESS, no error UI of the shell's
// own). A bare name is looked up with FindOutsideCommand first; when nothing is found, nothing is
// started and the result is SE_ERR_FNF.
[[nodiscard]] OutsideStart StartOutsideCommand(const std::string& appFolder, const OutsideCommand& command);
