#pragma once

// `quorvin-tessaly roll`: the die rolled from the command line, with no window and no display.
//
// runRoll() reads the options (RollOptions), gathers the sides as UTF-8 labels (--sides files read by
// the window's side-list format, an --example, or the stored "Dice") and the counts (--dice and --rolls,
// or the stored "Text1" and "Text2" read as the window reads them), then streams the lines through a
// RollWriter: each roll's dice come from RollDraws with a SeededGenerator. With --stats the same draws
// are counted instead and their statistics written (RollStatistics). Every failure is reported in one
// place, as one line on standard error with its values escaped (Escaping.h), and becomes the exit code.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class QIODevice;

namespace platform {
class SettingsStore;
struct ClosedStreams;
} // namespace platform

namespace cli {

class ByteSink;

// What the command reads and writes, handed in so that tests can supply their own.
struct RollEnvironment {
    platform::SettingsStore& settings; // read only for values the options leave out
    QIODevice& standardInput;          // open for reading
    ByteSink& standardOutput;
    std::function<void(const QString&)> reportError; // one line, without its end
    std::function<std::uint64_t()> freshSeed;        // for a roll without --seed
};

inline constexpr int kExitFailure = 1; // unreadable or missing sides or settings, output that cannot be written
inline constexpr int kExitUsage = 2;   // an unknown option or an unusable number

// Runs the command with the arguments that follow "roll"; returns the exit code.
int runRoll(const QStringList& arguments, RollEnvironment& environment);

// The process's side: standard streams, the user's settings store and the operating system's entropy.
// `closed` says which standard streams the process was started without.
int rollMain(int argc, char** argv, const platform::ClosedStreams& closed);

} // namespace cli
