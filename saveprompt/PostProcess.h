// From the settled target to the finished file: the security pass (pdfenc, or a direct copy when
// no security option is set), the labels, the stamp pass (the stamp tool installed in the system
// folder, staged in the user's own temporary folder), and viewing when the view setting asks for
// it. Every failure is thrown as a JobError.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "JobState.h"

struct JobLabels {
  std::function<void(const std::string&)> setPath;  // lblPath: the save folder
  std::function<void(const std::string&)> setFile;  // Label5: the target path
};

// How long a tool may run without its output changing before the job gives up on it.
inline constexpr std::chrono::milliseconds kToolStallLimit = std::chrono::seconds(60);

// job.targetPath is settled (not empty). A tool that cannot be started, fails, ends without writing
// or stalls for `stallLimit` ends the job (JobFailure::Other, naming the tool and the file); when
// the stamp pass fails, the unstamped result is put back at the target first. File operations on
// the target throw JobErrorFromWin32's failures, so 70 and 75 send the user back to the prompt.
// `settle`, when given, runs once the result is at the target, stamped or not, before it is shown or
// reported: it may move the file and set job.targetPath to where it is now.
void RunPostProcessing(JobState& job, HWND jobWindow, const JobLabels& labels,
                       std::chrono::milliseconds stallLimit = kToolStallLimit,
                       const std::function<void(JobState&)>& settle = {});
