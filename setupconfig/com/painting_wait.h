#pragma once

#include <windows.h>

#include <chrono>

namespace varnik {

// Waits until `done` is signalled or `limit` has passed, and says whether it
// was signalled. Meanwhile the thread's windows keep painting and answer
// messages sent to them, and keyboard and mouse input for them is thrown
// away; messages posted to them wait in the queue.
bool WaitPainting(HANDLE done, std::chrono::milliseconds limit);

}  // namespace varnik
