#pragma once

#include <QString>

namespace platform {

class InputBox {
public:
    virtual ~InputBox() = default;
    // Modal; returns the answer, or the empty text when the user cancels.
    // An empty title shows the application title.
    virtual QString ask(const QString& prompt, const QString& title, const QString& defaultAnswer) = 0;
};

} // namespace platform
