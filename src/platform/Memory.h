#pragma once

#include <cstdint>

namespace platform {

// Bytes the process can still take without pushing the system into swapping or the out-of-memory
// killer. A command that knows its size in advance asks before it allocates: on a system that
// overcommits, an allocation far beyond this succeeds and the process dies later when it touches it.
std::uint64_t availableMemoryBytes();

} // namespace platform
