// Decisions of the print path that need no Windows: the queued file's name from a document title,
// whether spooled data is a PDF, whether a finished job is queued at all, in which session the
// queue runner is started for a job, and how a title appears in the event log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folvarek {

// The name used when a title leaves nothing usable.
inline constexpr std::string_view kUntitledJob = "Print job";

// A file name stem from a document title (UTF-8): characters Windows does not allow in file names
// (control characters and \ / : * ? " < > |) become "_", outer spaces and trailing dots go, a name
// Windows takes for a device ("CON", "lpt1.txt", "COM¹", "nul .x", "CONIN$") gets a leading "_", and the
// result is cut to at most `maxBytes` bytes of UTF-8 (never fewer than the UTF-16 units Windows
// counts a path in), without splitting a character. Titles such as "Microsoft Word - Report.docx" keep their text.
// Empty results become kUntitledJob.
[[nodiscard]] std::string JobStem(std::string_view title, std::size_t maxBytes);

// Longest job name kept, in bytes of UTF-8 (at least as many as its UTF-16 units), so that the queue
// and scratch paths stay within MAX_PATH and the Save dialog's answer leaves room for a folder.
inline constexpr std::size_t kLongestStem = 120;

// The room for a job's stem in `folderBytes` of folder: the whole path, with its backslash, a
// " (NNN)" and the longest extension, stays below MAX_PATH (260, its closing NUL included); at
// most kLongestStem, and never less than one byte.
[[nodiscard]] std::size_t StemBudget(std::size_t folderBytes);

// The n-th candidate for a stem already taken: "stem" for 1, "stem (n)" after that.
[[nodiscard]] std::string NumberedStem(std::string_view stem, unsigned n);

// Spooled data is handed on as a PDF only when it starts with the PDF header.
[[nodiscard]] bool StartsAsPdf(std::string_view firstBytes);

// The job status bits of the spooler's JOB_INFO_1 that end a job short of its whole data.
inline constexpr std::uint32_t kJobStatusError = 0x2;
inline constexpr std::uint32_t kJobStatusDeleting = 0x4;
inline constexpr std::uint32_t kJobStatusDeleted = 0x100;
inline constexpr std::uint32_t kJobStatusRestart = 0x800;

// Whether a job whose data has ended is handed to its user: not when the spooler deleted,
// restarted (it comes back whole as a new job) or failed it, nor when no byte arrived. A status the
// spooler could not give (no job id, as under Wine) leaves the byte count to decide.
[[nodiscard]] bool QueueFinishedJob(std::optional<std::uint32_t> status, std::uint64_t bytes);

// A title as the event log shows it: at most `maxChars` characters (a cut one ends in "..."), never
// split inside a character, with control and line-separating characters made "_" so that no title
// can start a line of its own.
[[nodiscard]] std::string PlainTitle(std::string_view title, std::size_t maxChars);

// A Windows session as the terminal services list it, with its user's SID ("S-1-5-21-...").
struct UserSession {
  enum class State { Active, Connected, Disconnected, Other };
  unsigned id = 0;
  std::string sid;
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
// monitor's own context. In the spooler it goes to the printing client's session when that is a
// session of the owner's SID, else to the owner's session that is active, then connected, then
// disconnected (lowest id first). Session 0 is nobody's desktop: a client there printed from
// another machine or a service, and its job waits for the runner of the owner's next logon, as does
// the job of an owner not logged on. Users are matched by SID only: names are ambiguous across
// domains.
[[nodiscard]] RunnerPlace WhereToRunRunner(bool inService, std::optional<unsigned> clientSession,
                                           std::string_view ownerSid, const std::vector<UserSession>& sessions);

}  // namespace folvarek
