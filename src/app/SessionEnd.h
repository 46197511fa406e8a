#pragma once

#include <functional>

namespace pantrio::SessionEnd
{

// Ends the session's way: on SIGTERM or SIGHUP (a logout, a kill by the
// system) and on the session manager's request, store() keeps what is being
// typed; the signals then end the event loop with 0, so the lock is released.
void handle(std::function<void()> store);

} // namespace pantrio::SessionEnd
