#pragma once

namespace platform {

// Lets the calling thread run only when the program's other threads leave it room: on Linux the
// thread's nice value goes to 19, so a window thread on the same processor gets nearly all of it.
// Elsewhere, or when the system refuses, nothing changes.
void yieldThreadToOthers();

} // namespace platform
