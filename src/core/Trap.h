#pragma once

// How a command survives its own failures. Every command procedure is written as its numbered
// statements, each run through the procedure's Trap:
//
//     core::Trap trap(services, u"Form1.Form_Load"_s);
//     trap(102, [&] { Main::ApplySkin(*this); });
//     trap(104, [&] { setWindowTitle(...); Main::SetApplicationTitle(); });
//
// A run-time error (platform::RuntimeError, or running out of memory) thrown while a statement runs
// shows the "Application Error" report with the procedure's qualified name and that statement's line
// number, and execution resumes with whatever follows the statement. Shared procedures without a trap
// of their own simply throw; the trapped caller reports them at the line of the call.
//
// Once the program is ending (platform::EventPump::quitting), no statement runs any more: a command
// that was waiting in a dialog or yielding when the window closed does nothing further.

#include <QString>

#include <exception>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/RuntimeError.h"

namespace platform {
class EventPump;
class MessageBox;
struct Services;
} // namespace platform

namespace core {

inline constexpr char16_t kSupportAddress[] = u"quorvin.support@example.com";
inline constexpr char16_t kErrorReportTitle[] = u"Application Error";

// The report's text, byte for byte: description, CR LF, location, CR CR, the plea for a screenshot.
QString errorReportText(const QString& description, const QString& qualifiedName, int line);

class Trap {
public:
    Trap(platform::MessageBox& messageBox, QString qualifiedName);
    Trap(const platform::Services& services, QString qualifiedName);

    // Runs one numbered statement. Returns false when it failed (and was reported), or did not run
    // because the program is ending.
    template <class Statement> bool operator()(int line, Statement&& statement) {
        if (programEnding())
            return false;
        m_line = line;
        try {
            std::forward<Statement>(statement)();
            return true;
        } catch (const platform::RuntimeError& error) {
            report(error.number(), error.description());
        } catch (const std::bad_alloc&) {
            reportOutOfMemory();
        } catch (const std::length_error&) {
            reportOutOfMemory();
        }
        return false;
    }

    // Runs the statement like operator(), but a failure is only counted, not shown: for a statement that
    // runs again and again against a cause already reported (a store that keeps refusing its writes).
    template <class Statement> bool quietly(int line, Statement&& statement) {
        m_quiet = true;
        const bool ran = (*this)(line, std::forward<Statement>(statement));
        m_quiet = false;
        return ran;
    }

    // The test of a conditional on its own numbered line. A test that fails is reported and counts
    // as holding: execution resumes in the branch that runs when the test holds.
    template <class Test> bool test(int line, Test&& condition) {
        bool holds = true;
        (*this)(line, [&] { holds = static_cast<bool>(std::forward<Test>(condition)()); });
        return holds;
    }

    // Reports an error at the given line without running anything (for errors found by inspection).
    void report(int line, const platform::RuntimeError& error);

    // From now on a line that fails again is not reported again. For procedures that run the same
    // statement once per row: a cause that fails one row fails them all, and a report per row would
    // bury the user under modal boxes.
    void reportEachLineOnce() { m_eachLineOnce = true; }
    bool hasReported(int line) const;

    int reportCount() const { return m_reports; }
    int lastErrorNumber() const { return m_lastError; }

private:
    bool programEnding() const;
    void report(int number, const QString& description);
    void reportOutOfMemory();

    platform::MessageBox& m_messageBox;
    const platform::EventPump* m_events = nullptr;
    QString m_name;
    int m_line = 0;
    int m_reports = 0;
    int m_lastError = 0;
    bool m_eachLineOnce = false;
    bool m_quiet = false;
    std::vector<int> m_reportedLines; // few: one per failing statement of one procedure
};

} // namespace core
