#pragma once

#include "EventPump.h"

namespace platform {

class QtEventPump final : public EventPump {
public:
    void processEvents() override;
    void quit() override;
    bool quitting() const override { return m_quitting; }

private:
    bool m_quitting = false;
};

} // namespace platform
