// A run-time failure of the print job, carrying the failure number and description that the job
// routine's error handler acts on: 70 and 75 send the user back to the Save dialog, anything else
// ends the job with the description shown to the user.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace JobFailure {
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccess = 75;
// A failure with no classic number of its own (a tool that wrote nothing, a bad file name).
inline constexpr int Other = 5;
inline constexpr int OutOfMemory = 7;
}  // namespace JobFailure

class JobError : public std::runtime_error {
 public:
  JobError(int number, const std::string& description) : std::runtime_error(description), number_(number) {}
  [[nodiscard]] int Number() const noexcept { return number_; }
  [[nodiscard]] std::string Description() const { return what(); }
  // 70 and 75: the file cannot be written or removed where the user asked; choosing again helps.
  [[nodiscard]] bool SendsBackToPrompt() const noexcept {
    return number_ == JobFailure::PermissionDenied || number_ == JobFailure::PathFileAccess;
  }

 private:
  int number_;
};

// The job failure for a failed Win32 file operation (GetLastError's code), as FileFailureFor sorts
// it; a failure that ends the job carries the system's own description.
[[nodiscard]] JobError JobErrorFromWin32(DWORD error);

// The failure being handled, as a JobError: called inside a catch block, it turns whatever was
// thrown into the number and description the error handler shows (a std::exception's text, "Out of
// memory" for an allocation failure).
[[nodiscard]] JobError JobErrorFromCurrentException();
