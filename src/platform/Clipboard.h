#pragma once

#include <QString>

namespace platform {

// One attempt per call; false when the clipboard could not be had (another program holds it).
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool clear() = 0;
    // format 0 is the default plain-text format.
    virtual bool setText(const QString& text, int format) = 0;
    // The plain text on the clipboard; empty when it holds none or could not be had.
    virtual QString getText() = 0;
};

} // namespace platform
