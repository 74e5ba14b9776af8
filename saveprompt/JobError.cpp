#include "JobError.h"

#include <exception>
#include <new>

#include "FileFailure.h"

namespace {

// FormatMessage's text for the code, without its line break; the number when it has none.
std::string SystemDescription(DWORD error) {
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ')) --length;
  if (length == 0) return "System error " + std::to_string(error);
  return std::string(text, length);
}

}  // namespace

JobError JobErrorFromWin32(DWORD error) {
  const folvarek::FileFailure failure = folvarek::FileFailureFor(error);
  return JobError(failure.number,
                  failure.description.empty() ? SystemDescription(error) : std::string(failure.description));
}

JobError JobErrorFromCurrentException() {
  try {
    throw;
  } catch (const JobError& failure) {
    return failure;
  } catch (const std::bad_alloc&) {
    return JobError(JobFailure::OutOfMemory, "Out of memory");
  } catch (const std::exception& failure) {
    return JobError(JobFailure::Other, failure.what());
  } catch (...) {
    return JobError(JobFailure::Other, "Unexpected failure");
  }
}
