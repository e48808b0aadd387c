#pragma once

namespace platform {

// Which standard descriptors the program was started without (`>&-`, `<&-`).
struct ClosedStreams {
    bool input = false;
    bool output = false;
    bool error = false;
};

// Fills each closed standard descriptor with /dev/null and says which were closed. Call it first, before
// anything opens a file: the system gives a new file the lowest free descriptor, so a file opened later
// would take the closed one's place and receive what was meant for that stream.
ClosedStreams fillClosedStandardStreams();

} // namespace platform
