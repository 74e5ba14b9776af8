#include "JobError.h"

#include <exception>
#include <new>

JobError JobErrorFromWin32(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_USER_MAPPED_FILE:
      return JobError(JobFailure::PermissionDenied, "Permission denied");
    case ERROR_FILE_NOT_FOUND:
      return JobError(JobFailure::FileNotFound, "File not found");
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return JobError(JobFailure::PathNotFound, "Path not found");
    default:
      return JobError(JobFailure::PathFileAccess, "Path/File access error");
  }
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
