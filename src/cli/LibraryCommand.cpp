#include "LibraryCommand.h"

#include "ByteSink.h"
#include "Escaping.h"
#include "RollCommand.h"

#include "library/Library.h"
#include "platform/FileName.h"
#include "platform/RuntimeError.h"
#include "platform/StandardStreams.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <memory>
#include <new>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

using platform::RuntimeError;

constexpr char16_t kPrefix[] = u"quorvin-tessaly library: ";

struct FormatWord {
    const char16_t* word;
    library::Format format;
};
constexpr FormatWord kFormatWords[] = {
    {u"side-list", library::Format::SideList},
    {u"weighted", library::Format::WeightedList},
    {u"library", library::Format::LibraryFile},
};

QString prefixed(const QString& message) {
    return QString::fromUtf16(kPrefix) + message;
}

bool writeText(ByteSink& sink, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return sink.write({bytes.constData(), static_cast<std::size_t>(bytes.size())});
}

// A failed write to standard output (a full disk, say), named as such.
[[noreturn]] void failWritingOutput(const RuntimeError& error) {
    throw RuntimeError(error.number(), u"Could not write standard output: "_s + error.description() + u'.');
}

// "Six	die	6 sides	weighted", "Game	set	3 dice	2 × Six, 1 × Coin".
QString listLine(const library::Entry& entry) {
    const bool one = entry.count == 1;
    if (entry.kind == library::Kind::Set)
        return entry.name + u"\tset\t"_s + QString::number(entry.count) + (one ? u" die\t"_s : u" dice\t"_s) +
               entry.setSummary + u'\n';
    return entry.name + u"\tdie\t"_s + QString::number(entry.count) + (one ? u" side\t"_s : u" sides\t"_s) +
           (entry.weighted ? u"weighted"_s : u"unweighted"_s) + u'\n';
}

int list(const library::Library& library, LibraryEnvironment& environment) {
    const library::Listing listing = library.list();
    try {
        for (const library::Entry& entry : listing.entries) {
            if (!writeText(environment.standardOutput, listLine(entry)))
                return 0; // the reader stopped reading
        }
        environment.standardOutput.finish();
    } catch (const RuntimeError& error) {
        failWritingOutput(error);
    }
    for (const library::Problem& problem : listing.problems)
        environment.reportError(prefixed(u"left out \""_s +
                                         shown(library.filePath(problem.fileName), kShownNameLength) + u"\": "_s +
                                         shown(problem.reason, 400)));
    return listing.problems.empty() ? 0 : kExitFailure;
}

int import(library::Library& library, const QString& path, const std::optional<library::Format>& format,
           const std::optional<QString>& name, bool replace, LibraryEnvironment& environment) {
    library::Item item = library::Library::readFile(path, format);
    if (name) {
        if (const QString problem = library::nameProblem(*name); !problem.isEmpty()) {
            environment.reportError(prefixed(u"--name '"_s + shown(*name) + u"': "_s + problem));
            return kExitUsage;
        }
        library::setItemName(item, *name);
    }
    if (const std::optional<library::Entry> existing = library.find(library::itemName(item)); existing && !replace) {
        environment.reportError(prefixed(u"the library has a "_s + library::kindWord(existing->kind) + u" \""_s +
                                         existing->name + u"\" already; give --name NAME, or --replace."_s));
        return kExitFailure;
    }
    library.save(item);
    return 0;
}

int exportItem(const library::Library& library, const QString& name, std::optional<library::Format> format,
               const std::optional<QString>& output, LibraryEnvironment& environment) {
    const library::Item item = library.load(name);
    const bool toFile = output && *output != u"-";
    // A file's name chooses its format as an import would read it; standard output gets a library file.
    const library::Format chosen =
        format.value_or(toFile ? library::formatForName(*output) : library::Format::LibraryFile);
    QByteArray bytes = library::Library::fileBytes(item, chosen);
    std::unique_ptr<OutputFileSink> file;
    ByteSink* sink = &environment.standardOutput;
    if (toFile) {
        try {
            file = std::make_unique<OutputFileSink>(*output);
        } catch (const RuntimeError& error) {
            throw RuntimeError(error.number(), u"Could not write \""_s + shown(*output, kShownNameLength) + u"\": "_s +
                                                   error.description() + u'.');
        }
        sink = file.get();
    }
    // A list's labels go out as they are, but a terminal would act on their control characters.
    if (sink->isTerminal() && chosen != library::Format::LibraryFile) {
        QStringList lines = QString::fromUtf8(bytes).split(u'\n');
        for (QString& line : lines)
            line = escaped(line);
        bytes = lines.join(u'\n').toUtf8();
    }
    try {
        if (sink->write({bytes.constData(), static_cast<std::size_t>(bytes.size())}))
            sink->finish();
    } catch (const RuntimeError& error) {
        const QString target = toFile ? u'"' + shown(*output, kShownNameLength) + u'"' : u"standard output"_s;
        throw RuntimeError(error.number(), u"Could not write "_s + target + u": "_s + error.description() + u'.');
    }
    return 0;
}

} // namespace

int runLibrary(const QStringList& arguments, LibraryEnvironment& environment) {
    const QCommandLineOption name(u"name"_s, QString(), u"NAME"_s);
    const QCommandLineOption format(u"format"_s, QString(), u"FORMAT"_s);
    const QCommandLineOption replace(u"replace"_s);
    const QCommandLineOption output(QStringList{u"o"_s, u"output"_s}, QString(), u"FILE"_s);
    const QCommandLineOption help(QStringList{u"h"_s, u"help"_s});
    QCommandLineParser parser;
    parser.addOptions({name, format, replace, output, help});
    const auto usage = [&](const QString& problem) {
        environment.reportError(prefixed(problem + u" Try 'quorvin-tessaly library --help'."_s));
        return kExitUsage;
    };
    if (!parser.parse(QStringList{u"library"_s} + arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        return usage(unknown.isEmpty() ? parser.errorText() : u"Unknown option '"_s + shown(unknown.first()) + u"'."_s);
    }
    if (parser.isSet(help)) {
        try {
            if (writeText(environment.standardOutput, libraryHelpText()))
                environment.standardOutput.finish();
            return 0;
        } catch (const RuntimeError& error) {
            environment.reportError(prefixed(u"Could not write standard output: "_s + error.description() + u'.'));
            return kExitFailure;
        }
    }
    const QStringList words = parser.positionalArguments();
    const QString command = words.value(0);
    const qsizetype wanted = command == u"list" ? 1 : command == u"import" || command == u"export" ? 2 : -1;
    if (wanted < 0)
        return usage(words.isEmpty() ? u"give list, import FILE or export NAME."_s
                                     : u"unknown command '"_s + shown(command) + u"'; give list, import or export."_s);
    if (words.size() != wanted)
        return usage(command == u"list"
                         ? u"list takes no argument."_s
                         : command + (command == u"import" ? u" takes one FILE."_s : u" takes one NAME."_s));
    const bool importing = command == u"import";
    const bool exporting = command == u"export";
    if ((parser.isSet(name) || parser.isSet(replace)) && !importing)
        return usage(u"--name and --replace go with import."_s);
    if (parser.isSet(output) && !exporting)
        return usage(u"-o goes with export."_s);
    if (parser.isSet(format) && !importing && !exporting)
        return usage(u"--format goes with import and export."_s);
    std::optional<library::Format> chosenFormat;
    if (parser.isSet(format)) {
        for (const FormatWord& known : kFormatWords) {
            if (parser.value(format) == QStringView(known.word))
                chosenFormat = known.format;
        }
        if (!chosenFormat)
            return usage(u"--format takes side-list, weighted or library, not '"_s + shown(parser.value(format)) +
                         u"'."_s);
    }

    try {
        library::Library library(environment.folder.isEmpty() ? library::Library::defaultFolder() : environment.folder);
        if (importing)
            return import(library, words[1], chosenFormat,
                          parser.isSet(name) ? std::optional<QString>(parser.value(name)) : std::nullopt,
                          parser.isSet(replace), environment);
        if (exporting)
            return exportItem(library, words[1], chosenFormat,
                              parser.isSet(output) ? std::optional<QString>(parser.value(output)) : std::nullopt,
                              environment);
        return list(library, environment);
    } catch (const RuntimeError& error) {
        environment.reportError(prefixed(error.description()));
    } catch (const std::bad_alloc&) {
        environment.reportError(prefixed(u"out of memory"_s));
    }
    return kExitFailure;
}

int libraryMain(int argc, char** argv, const platform::ClosedStreams& closed) {
    const auto report = [](const QString& line) {
        const QByteArray bytes = line.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    };
    if (closed.output) {
        report(prefixed(u"standard output is closed; give it a file or a pipe."_s));
        return kExitFailure;
    }
    QCoreApplication application(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
    DescriptorSink standardOutput(STDOUT_FILENO);
    LibraryEnvironment environment{standardOutput, report};
    QStringList arguments;
    for (int i = 2; i < argc; ++i)
        arguments.append(platform::decodeFileName(argv[i]));
    return runLibrary(arguments, environment);
}

QString libraryHelpText() {
    return uR"(Usage: quorvin-tessaly library list
       quorvin-tessaly library import FILE [--name NAME] [--format FORMAT] [--replace]
       quorvin-tessaly library export NAME [-o FILE] [--format FORMAT]

The dice library keeps named dice and sets of dice, one file each, in
~/.local/share/Calverin/Quorvin Tessaly/ ($XDG_DATA_HOME/Calverin/Quorvin Tessaly/
when XDG_DATA_HOME is set). The "Dice Library" window shows the same dice.

  list               One line per die and set, by name, tab-separated: the name,
                     "die" or "set", its sides or dice per roll, and "weighted" or
                     "unweighted" for a die, its dice ("2 × Six, 1 × Coin") for a set.
                     A file that cannot be read is named on standard error and left
                     as it is; the others are listed.
  import FILE        Adds the die or set in FILE. A library file (.die, .dieset) keeps
                     its name; a list is named after the file without its extension.
    --name NAME      Store it under NAME instead.
    --replace        Replace a die or set of that name; without it, one is refused.
  export NAME        Writes the die or set NAME on standard output, as a library file.
    -o FILE          Write FILE instead, replacing an earlier one only once it is
                     complete; its name chooses the format as for import.
  --format FORMAT    The format to read or write: library (the library's own files),
                     weighted (one side per line, the label, a tab and its weight,
                     the last tab of a line ending the label; a line without a tab
                     weighs 1) or side-list (one label per line, as "Load List From
                     File" reads them; a weighted die cannot be written so). Without
                     it, a file whose first line is a library file's is one, a name
                     ending in .tsv is a weighted list, and any other a side list.
  -h, --help         Show this help and exit.

Roll library dice with 'quorvin-tessaly roll --die NAME[:COUNT]' or '--set NAME'.

Exit status: 0 when done; 1 when a file cannot be read or written, a name is not in
the library or taken already, or list left out a file; 2 for an unknown option or
command.
)"_s;
}

} // namespace cli
