#pragma once

namespace platform {

class MessageBox;
class InputBox;
class FileDialogs;
class SettingsStore;
class Clipboard;
class EventPump;
class Clock;
class RandomSource;
class Spreadsheets;

// The one place through which commands and widgets reach the platform. The application fills it
// with the Qt implementations (QtServices); tests fill it with fakes, so no command ever blocks on
// a modal window under test.
struct Services {
    MessageBox* messageBox = nullptr;
    InputBox* inputBox = nullptr;
    FileDialogs* fileDialogs = nullptr;
    SettingsStore* settings = nullptr;
    Clipboard* clipboard = nullptr;
    EventPump* events = nullptr;
    Clock* clock = nullptr;
    RandomSource* random = nullptr;
    Spreadsheets* spreadsheets = nullptr;
};

} // namespace platform
