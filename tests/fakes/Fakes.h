#pragma once

// Scriptable stand-ins for the platform services. Tests queue the answers a dialog would give and
// read back what the program showed or wrote; nothing here ever opens a window.

#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/FileDialogs.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "platform/RandomSource.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "platform/Spreadsheet.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace fakes {

struct ShownMessage {
    QString text;
    int style = 0;
    QString title;
    const QWidget* owner = nullptr;
};

class FakeMessageBox final : public platform::MessageBox {
public:
    using platform::MessageBox::show;
    void show(const QString& text, int style, const QString& title, QWidget* owner) override {
        shown.append({text, style, title, owner});
        if (onShow)
            onShow(shown.last());
    }
    bool askYesNo(const QString& text, const QString& title) override {
        questions.append(text);
        Q_UNUSED(title);
        return !yesNoAnswers.isEmpty() && yesNoAnswers.dequeue();
    }
    QStringList texts() const;
    // The statement line of every error report shown ("... at line 136"), in order.
    QStringList reportedLines() const;
    QList<ShownMessage> shown;
    std::function<void(const ShownMessage&)> onShow; // runs "while the box is up"
    QStringList questions;
    QQueue<bool> yesNoAnswers; // an empty queue answers No
};

class FakeInputBox final : public platform::InputBox {
public:
    QString ask(const QString& prompt, const QString& title, const QString& defaultAnswer) override {
        prompts.append(prompt);
        titles.append(title);
        defaults.append(defaultAnswer);
        return answers.isEmpty() ? QString() : answers.dequeue();
    }
    QQueue<QString> answers; // an empty queue answers like Cancel
    QStringList prompts;
    QStringList titles;
    QStringList defaults;
};

class FakeFileDialogs final : public platform::FileDialogs {
public:
    QStringList getOpenFileNames(const QString& title, const QString& filter) override {
        openTitles.append(title);
        openFilters.append(filter);
        return openAnswers.isEmpty() ? QStringList() : openAnswers.dequeue();
    }
    QString getSaveFileName(const platform::SaveRequest& request) override {
        saveRequests.append(request);
        saveTitles.append(request.title);
        saveFilters.append(request.filter);
        return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
    }
    QQueue<QStringList> openAnswers;
    QQueue<QString> saveAnswers;
    QStringList openTitles, openFilters, saveTitles, saveFilters;
    QList<platform::SaveRequest> saveRequests;
};

class FakeSettingsStore final : public platform::SettingsStore {
public:
    QString read(const QString& key, const QString& defaultValue) override;
    void write(const QString& key, const QString& value) override;
    QHash<QString, QString> values;
    QList<QPair<QString, QString>> writes; // every write, in order
    QStringList writesOf(const QString& key) const;
    bool failWrites = false;
    bool failReads = false;
};

class FakeClipboard final : public platform::Clipboard {
public:
    bool clear() override;
    bool setText(const QString& text, int format) override;
    QString getText() override { return text; }
    QString text;
    bool hasText = false;
    int clearAttempts = 0;
    int setAttempts = 0;
    int failuresLeft = 0; // the next N attempts of either kind fail, as with a busy clipboard
};

class FakeEventPump final : public platform::EventPump {
public:
    void processEvents() override {
        ++calls;
        if (onProcess)
            onProcess();
    }
    void quit() override { ended = true; }
    bool quitting() const override { return ended; }
    int calls = 0;
    bool ended = false;              // quit() was called: the program is ending
    std::function<void()> onProcess; // lets a test run "another command" in the middle of a long one
};

// A clock that reads `time`, then moves it on by `step`.
class FakeClock final : public platform::Clock {
public:
    float secondsSinceMidnight() override {
        ++reads;
        const float now = time;
        time += step;
        return now;
    }
    float time = 43200.0F;
    float step = 0.0F;
    int reads = 0;
};

// Draws the queued values first, then a fixed pseudo-random sequence, so tests can script single
// picks and still roll thousands of dice reproducibly. Reseeds are counted, not applied.
class FakeRandomSource final : public platform::RandomSource {
public:
    void reseed(float timeOfDay) override {
        ++reseeds;
        lastReseed = timeOfDay;
    }
    std::uint32_t next() override;
    QQueue<std::uint32_t> values;
    std::uint64_t state = 0x243f6a8885a308d3ULL;
    int reseeds = 0;
    int draws = 0;
    float lastReseed = -1.0F;
};

// A spreadsheet application that records what was done to it: every call as a line of calls
// ("create", "add", "cell 1 1 Results", "fit 1", "fit all", "visible"), the cells by (row, column).
class FakeSpreadsheets final : public platform::Spreadsheets {
public:
    std::unique_ptr<platform::SpreadsheetApplication> createApplication() override;
    bool installed = true;
    QQueue<bool> creationOutcomes; // overrides `installed`, one creation each
    int creations = 0;             // attempts, failed or not
    int callsBeforeLoss = -1;      // the application goes away after that many calls; -1: never
    QStringList calls;
    QMap<QPair<int, int>, QString> cells;
    void call(const QString& call); // records it, or throws once the application is gone
};

// One of each fake, handed out as platform::Services.
struct FakeServices {
    FakeServices();
    FakeMessageBox messageBox;
    FakeInputBox inputBox;
    FakeFileDialogs fileDialogs;
    FakeSettingsStore settings;
    FakeClipboard clipboard;
    FakeEventPump events;
    FakeClock clock;
    FakeRandomSource random;
    FakeSpreadsheets spreadsheets;
    platform::Services services;
};

} // namespace fakes
