#include "JobError.h"

#include <exception>
#include <new>

#include "FileFailure.h"
#include "Text.h"

JobError JobErrorFromWin32(DWORD error) {
  const folvarek::FileFailure failure = folvarek::FileFailureFor(error);
  return JobError(failure.number,
                  failure.description.empty() ? win::Utf8(win::ErrorText(error)) : std::string(failure.description));
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
