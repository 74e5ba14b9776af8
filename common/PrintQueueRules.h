// Decisions of the print path that need no Windows: the queued file's name from a document title,
// whether spooled data is a PDF, and in which session the queue runner is started for a job.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folvarek {

// The name used when a title leaves nothing usable.
inline constexpr std::string_view kUntitledJob = "Print job";

// A file name stem from a document title (UTF-8): characters Windows does not allow in file names
// (control characters and \ / : * ? " < > |) become "_", outer spaces and trailing dots go, a device
// name ("CON", "lpt1.txt") gets a leading "_", and the result is cut to at most `maxUnits` UTF-16
// units without splitting a character. Titles such as "Microsoft Word - Report.docx" keep their
// text. Empty results become kUntitledJob.
[[nodiscard]] std::string JobStem(std::string_view title, std::size_t maxUnits);

// The n-th candidate for a stem already taken: "stem" for 1, "stem (n)" after that.
[[nodiscard]] std::string NumberedStem(std::string_view stem, unsigned n);

// Spooled data is handed on as a PDF only when it starts with the PDF header.
[[nodiscard]] bool StartsAsPdf(std::string_view firstBytes);

// A logged-on Windows session as the terminal services list it.
struct UserSession {
  enum class State { Active, Connected, Disconnected, Other };
  unsigned id = 0;
  std::string user;  // account name without the domain
  State state = State::Other;
};

// Where the queue runner for a job is started.
struct RunnerPlace {
  enum class Kind { OwnContext, InSession, LeaveQueued };
  Kind kind = Kind::LeaveQueued;
  unsigned session = 0;  // for InSession
  bool operator==(const RunnerPlace&) const = default;
};

// Outside a service (Wine, or a program printing in its own process) the runner starts in the
// monitor's own context. In the spooler it goes to the printing client's session when that session
// is the owner's, else to the owner's session that is active, then connected, then disconnected
// (lowest id first); session 0 is never a user's. Nobody to ask: the job stays queued for the
// runner started at the owner's next logon. User names compare without regard to ASCII case.
[[nodiscard]] RunnerPlace WhereToRunRunner(bool inService, std::optional<unsigned> clientSession,
                                           std::string_view owner, const std::vector<UserSession>& sessions);

}  // namespace folvarek
