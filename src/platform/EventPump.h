#pragma once

namespace platform {

// "Let the window process its pending events."
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
};

} // namespace platform
