// How the job's error handler treats a failed file operation, by the system's error code. Only a
// file that is in use, may not be written, already exists or has no folder sends the user back to
// the Save dialog, where another name or place helps; anything else (a full disk, a drive that is
// not ready, a network that went away, what we do not know) ends the job and tells the user what
// the system said. No <windows.h> here: the codes are the documented values.
#pragma once

#include <cstdint>
#include <string_view>

namespace folvarek {

struct FileFailure {
  int number;                    // 70 and 75 send the user back to the prompt
  std::string_view description;  // empty: the system's own description of the code
};

[[nodiscard]] FileFailure FileFailureFor(std::uint32_t win32Error);

}  // namespace folvarek
