#pragma once

// What a command-line command wrote and reported, caught in memory, for the command-line tests.

#include "cli/ByteSink.h"

#include <QByteArray>
#include <QStringList>

#include <span>

namespace fakes {

class MemorySink final : public cli::ByteSink {
public:
    bool write(std::span<const char> bytes) override {
        written.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
        return true;
    }
    bool isTerminal() const override { return terminal; }
    QByteArray written;
    bool terminal = false;
};

// A command's exit code, standard output and the lines it reported on standard error.
struct CommandOutcome {
    int exitCode = -1;
    QByteArray output;
    QStringList errors;
};

} // namespace fakes
