#pragma once

#include <QString>

class QWidget;

namespace platform {

// Message box styles as the program numbers them: OK only, with or without the exclamation icon.
enum MessageStyle : int { OkOnly = 0, Exclamation = 48 };

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Modal; returns when the user has pressed OK. An empty title shows the application title.
    void show(const QString& text, int style, const QString& title) { show(text, style, title, nullptr); }
    // The same over owner, the window whose command failed; none is the main window.
    virtual void show(const QString& text, int style, const QString& title, QWidget* owner) = 0;
    // Modal; true when the user answers Yes. No is the default, so Enter or Escape changes nothing.
    virtual bool askYesNo(const QString& text, const QString& title) = 0;
};

} // namespace platform
