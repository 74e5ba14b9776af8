// From the settled target to the finished file: the security pass (pdfenc, or a direct copy when
// no security option is set), the labels, the stamp pass (the stamp tool in the system folder),
// and viewing when the view setting asks for it. Every failure is thrown as a JobError.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "JobState.h"

struct JobLabels {
  std::function<void(const std::string&)> setPath;  // lblPath: the save folder
  std::function<void(const std::string&)> setFile;  // Label5: the target path
};

void RunPostProcessing(JobState& job, HWND jobWindow, const JobLabels& labels);
