#include "FileFailure.h"

namespace folvarek {

namespace {
// Win32 error codes (winerror.h).
constexpr std::uint32_t kFileNotFound = 2, kPathNotFound = 3, kAccessDenied = 5, kInvalidDrive = 15, kWriteProtect = 19,
                        kSharingViolation = 32, kLockViolation = 33, kFileExists = 80, kAlreadyExists = 183,
                        kUserMappedFile = 1224;
}  // namespace

FileFailure FileFailureFor(std::uint32_t win32Error) {
  switch (win32Error) {
    case kAccessDenied:
    case kSharingViolation:
    case kLockViolation:
    case kWriteProtect:
    case kUserMappedFile: return {70, "Permission denied"};
    case kFileExists:
    case kAlreadyExists: return {75, "Path/File access error"};
    // A folder the user named that is not there (a drive letter included): another place helps.
    case kPathNotFound:
    case kInvalidDrive: return {75, "Path not found"};
    // The job's own file went missing: choosing again cannot bring it back.
    case kFileNotFound: return {53, "File not found"};
    default: return {5, {}};
  }
}

}  // namespace folvarek
