#pragma once

#include <functional>
#include <utility>

namespace core {

// Form1's pointer shape: 0 the ordinary pointer, 11 the busy (hourglass) pointer, 99 the window's own
// pointer picture. The busy pointer is also the only guard of the long commands: clearing and
// removing sides are skipped while it shows.
class MousePointer {
public:
    enum Shape : int { Default = 0, Hourglass = 11, Custom = 99 };

    int value() const { return m_value; }
    bool isBusy() const { return m_value == Hourglass; }
    void set(int value) {
        m_value = value;
        if (m_apply)
            m_apply(value);
    }
    // The window installs how a shape is shown.
    void setApply(std::function<void(int)> apply) { m_apply = std::move(apply); }

private:
    int m_value = Default;
    std::function<void(int)> m_apply;
};

} // namespace core
