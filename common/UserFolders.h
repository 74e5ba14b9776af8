// Where the print path keeps a user's jobs: below that user's own local application data
// (%LOCALAPPDATA%), so no other account can read, change or block them. Relative to that folder.
#pragma once

namespace folvarek {

// Jobs queued by the port monitor, waiting for the queue runner.
inline constexpr char kQueueFolder[] = "Folvarek\\jobs";
// Print data that did not arrive as PDF, kept for the user.
inline constexpr char kKeptAsideFolder[] = "Folvarek\\not PDF";
// The job's PDF while saveprompt works on it.
inline constexpr char kScratchFolder[] = "Folvarek\\temp";
// Held open, unshared, by the one running saveprompt and the one queue runner of the user.
inline constexpr char kSavepromptLock[] = "Folvarek\\saveprompt.lock";
inline constexpr char kRunnerLock[] = "Folvarek\\jobrunner.lock";
// What the queue runner could not show.
inline constexpr char kRunnerLog[] = "Folvarek\\printing.log";

}  // namespace folvarek
