#pragma once

// `quorvin-tessaly library`: the dice library from the command line, through library::Library as the
// "Dice Library" window uses it.
//
//   library list                               one line per die and set
//   library import FILE [--name NAME] [--format F] [--replace]
//   library export NAME [-o FILE] [--format F]
//
// Every failure is reported as one line on standard error and becomes the exit code, as for `roll`.

#include <QString>
#include <QStringList>

#include <functional>

namespace platform {
struct ClosedStreams;
}

namespace cli {

class ByteSink;

struct LibraryEnvironment {
    ByteSink& standardOutput;
    std::function<void(const QString&)> reportError; // one line, without its end
    QString folder = {};                             // the library's folder; empty: the user's
};

// Runs the command with the arguments that follow "library"; returns the exit code.
int runLibrary(const QStringList& arguments, LibraryEnvironment& environment);

int libraryMain(int argc, char** argv, const platform::ClosedStreams& closed);

QString libraryHelpText();

} // namespace cli
