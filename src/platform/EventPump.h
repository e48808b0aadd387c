#pragma once

namespace platform {

// "Let the window process its pending events", and the end of that: once the program is ending, the
// event loop finishes and the long commands that yield through the pump stop at their next chance.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
    // Ends the program's event loop; quitting() answers true from then on.
    virtual void quit() = 0;
    virtual bool quitting() const = 0;
};

} // namespace platform
