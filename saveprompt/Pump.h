// Waiting on the job window's thread: window messages keep running while the job waits for the
// user or for an outside tool, and the thread sleeps instead of spinning between checks.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

namespace Pump {

// Runs the window messages that are waiting now, then returns. A quit request that arrives is
// posted again so the program's main loop still sees it.
void PendingMessages();

enum class WaitResult { Done, Signalled, TimedOut };

// Waits until `done()` holds (Done), `handle` is signalled (Signalled; pass nullptr for none), or
// `timeout` has passed (TimedOut). Messages are pumped throughout; between checks the thread
// sleeps in MsgWaitForMultipleObjects for at most `poll`. `done()` is checked first, so a condition
// that already holds returns at once.
[[nodiscard]] WaitResult WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                                 HANDLE handle = nullptr,
                                 std::chrono::milliseconds poll = std::chrono::milliseconds(10));

}  // namespace Pump
