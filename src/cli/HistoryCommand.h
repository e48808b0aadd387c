#pragma once

// `quorvin-tessaly history list | show ID | export ID -o FILE`: the roll history read from the
// command line, and the keeping of a `roll --history`.
//
// list prints one line per kept roll, newest first: its id, time (ISO 8601), roll mode, dice, rolls and
// fingerprint, separated by tabs. show prints the roll's rows, one per line, " - " between the labels,
// ended by LF. export writes the roll as the window's "Export…" does.

#include "core/RollMode.h"
#include "history/RollEntry.h"
#include "roll/RollPlan.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace core {
class TextRows;
}
namespace platform {
struct ClosedStreams;
}

namespace cli {

class ByteSink;

struct HistoryEnvironment {
    QString databasePath;
    ByteSink& standardOutput;
    std::function<void(const QString&)> reportError; // one line, without its end
    bool standardOutputClosed = false;               // it was, and now writes to /dev/null
};

// Runs the command with the arguments that follow "history"; returns the exit code.
int runHistory(const QStringList& arguments, HistoryEnvironment& environment);

// The process's side: standard streams and the user's history file.
int historyMain(int argc, char** argv, const platform::ClosedStreams& closed);

// Keeps a roll of the command line in the history at databasePath: the draws are made once more from
// the same seed, so they are the very rows that were written. A weighted die or library dice are drawn
// by their plan, as it stood before the roll, and then the plan's labels are the sides. Returns what the
// user should read (the oldest rolls removed to make room, a damaged file moved aside); raises
// platform::RuntimeError when the history cannot be written.
QStringList keepRoll(const QString& databasePath, std::int64_t sizeLimit, std::shared_ptr<const core::TextRows> sides,
                     core::RollMode mode, std::int64_t dice, std::int64_t rolls, std::uint64_t seed,
                     std::optional<roll::RollPlan> plan = std::nullopt,
                     const history::RollOrigin& origin = history::RollOrigin::sides());

} // namespace cli
