#pragma once

#include <QString>

namespace platform {

// Message box styles as the program numbers them: OK only, with or without the exclamation icon.
enum MessageStyle : int { OkOnly = 0, Exclamation = 48 };

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Modal; returns when the user has pressed OK. An empty title shows the application title.
    virtual void show(const QString& text, int style, const QString& title) = 0;
    // Modal, with Yes and No (the default); true when the user chose Yes.
    virtual bool ask(const QString& question, const QString& title) = 0;
};

} // namespace platform
