// Waiting on a thread that owns windows: window messages keep running while the thread waits for
// the user, an outside program or a state, and it sleeps instead of spinning between checks.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

namespace win {

// The program's message loop, until the quit message: its exit code, or 1 when the loop fails.
// `preview` sees each message first and returns true for one it has handled (a dialog's keys).
int RunMessageLoop(const std::function<bool(MSG&)>& preview = {});

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

// Waits for `object` for as long as it takes (a dialog the user answers), handling the messages
// sent to this thread meanwhile: WAIT_OBJECT_0, or WAIT_FAILED with the last error set.
[[nodiscard]] DWORD WaitForObject(HANDLE object);

}  // namespace win
