#include "RollCommand.h"

#include "ByteSink.h"
#include "RollOptions.h"
#include "RollStatistics.h"
#include "RollWriter.h"

#include "core/ListModel.h"
#include "core/TextRows.h"
#include "dice/CountConversion.h"
#include "dice/CountFields.h"
#include "dice/SideListReader.h"
#include "dice/StoredSides.h"
#include "platform/QtSettingsStore.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"
#include "roll/StartRolling.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>

#include <csignal>
#include <cstdio>
#include <memory>
#include <new>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

constexpr char16_t kPrefix[] = u"quorvin-tessaly roll: ";
constexpr qsizetype kReadChunkBytes = 1024 * 1024;

// Appends the side-list file's new sides to the list, as "Load List From File" does.
void appendSideFile(core::ListModel& sides, const QString& path, QIODevice& standardInput) {
    dice::SideListReader reader(sides);
    QByteArray buffer(kReadChunkBytes, Qt::Uninitialized);
    if (path == u"-") {
        if (!standardInput.isReadable())
            throw platform::RuntimeError(platform::RuntimeError::BadFileNameOrNumber, u"not open"_s);
        for (;;) {
            const qint64 got = standardInput.read(buffer.data(), buffer.size());
            if (got < 0)
                throw platform::RuntimeError(platform::RuntimeError::DeviceIoError, standardInput.errorString());
            if (got == 0)
                break;
            reader.feed(QByteArrayView(buffer.constData(), got));
        }
    } else {
        platform::TextFileReader file(path);
        for (QByteArrayView chunk = file.read(buffer); !chunk.isEmpty(); chunk = file.read(buffer))
            reader.feed(chunk);
    }
    sides.addItems(reader.finish());
}

core::TextRows copyRows(const core::ListModel& list) {
    core::TextRows rows;
    for (std::int64_t position = 1; position <= list.itemCount(); ++position)
        rows.append(list.textView(position));
    return rows;
}

// The count given as an option or, without it, the stored one converted as the window converts it;
// nullopt once a stored count that the window would refuse is reported.
std::optional<std::int64_t> countOf(const std::optional<std::int64_t>& given, RollEnvironment& environment,
                                    const QString& key, const char16_t* defaultText, const QString& what,
                                    const QString& option) {
    if (given)
        return given;
    const QString text = environment.settings.read(key, QString::fromUtf16(defaultText));
    const QString problem = dice::countProblem(text);
    if (!problem.isEmpty()) {
        environment.reportError(QString::fromUtf16(kPrefix) + u"the stored "_s + what + u" '"_s + text +
                                u"' cannot be used: "_s + problem + u" Give "_s + option + u" N."_s);
        return std::nullopt;
    }
    return dice::convertCount(text);
}

// Runs the command once the options are known; raises RuntimeError, with `doing` naming what failed.
int roll(const RollOptions& options, RollEnvironment& environment, QString& doing) {
    if (options.help) {
        doing = u"standard output"_s;
        const QByteArray help = rollHelpText().toUtf8();
        environment.standardOutput.write({help.constData(), static_cast<std::size_t>(help.size())});
        return 0;
    }
    doing = u"reading the settings"_s;
    const std::optional<std::int64_t> dice =
        countOf(options.dice, environment, QString::fromUtf16(dice::kDicePerRollKey), dice::kDicePerRollDefault,
                u"number of dice"_s, u"--dice"_s);
    if (!dice)
        return kExitUsage;
    const std::optional<std::int64_t> rolls =
        countOf(options.rolls, environment, QString::fromUtf16(dice::kNumberOfRollsKey), dice::kNumberOfRollsDefault,
                u"number of rolls"_s, u"--rolls"_s);
    if (!rolls)
        return kExitUsage;

    core::TextRows sides;
    QString noSides;
    if (options.example) {
        for (const QString& label : dice::exampleLabels(*options.example))
            sides.append(label);
    } else if (!options.sideFiles.isEmpty()) {
        core::ListModel list;
        list.setTextIndexEnabled(true);
        for (const QString& path : options.sideFiles) {
            doing = path == u"-" ? u"standard input"_s : path;
            appendSideFile(list, path, environment.standardInput);
        }
        sides = copyRows(list);
        noSides = u"the sides files hold no sides."_s;
    } else {
        sides = dice::restoreStoredSides(
            environment.settings.read(QString::fromUtf16(dice::kStoredSidesKey), QString()));
        noSides = u"no sides are stored; give --sides FILE or --example NAME."_s;
    }
    if (sides.empty()) {
        environment.reportError(QString::fromUtf16(kPrefix) + noSides);
        return kExitFailure;
    }

    doing = u"reading the settings"_s;
    const core::RollMode mode =
        options.mode ? *options.mode
                     : core::rollModeFromWord(environment.settings.read(QString::fromUtf16(core::kRollModeKey), {}))
                           .value_or(core::RollMode::Independent);
    if (core::drawsDifferentSides(mode) && *dice > sides.size()) {
        environment.reportError(QString::fromUtf16(kPrefix) + roll::tooManyDiceMessage(*dice));
        return kExitUsage;
    }

    doing = u"preparing the sides"_s;
    std::optional<RollWriter> writer;
    if (!options.stats)
        writer.emplace(sides);
    RollDraws draws(static_cast<std::uint64_t>(sides.size()), mode, *dice);
    SeededGenerator generator(options.seed ? *options.seed : environment.freshSeed());
    std::unique_ptr<AtomicFileSink> file;
    ByteSink* sink = &environment.standardOutput;
    if (options.outputFile && *options.outputFile != u"-") {
        doing = *options.outputFile;
        file = std::make_unique<AtomicFileSink>(*options.outputFile);
        sink = file.get();
    } else {
        doing = u"standard output"_s;
    }
    // A reader that stopped reading wanted no more lines: not a failure, and nothing to say.
    const bool written = writer ? writer->write(draws, generator, *dice, *rolls, *sink)
                                : writeStatistics(std::make_shared<const core::TextRows>(std::move(sides)), mode, draws,
                                                  generator, *dice, *rolls, *sink);
    if (written)
        sink->finish();
    return 0;
}

} // namespace

int runRoll(const QStringList& arguments, RollEnvironment& environment) {
    const std::variant<RollOptions, QString> parsed = parseRollOptions(arguments);
    if (const QString* problem = std::get_if<QString>(&parsed)) {
        environment.reportError(QString::fromUtf16(kPrefix) + *problem + u" Try 'quorvin-tessaly roll --help'."_s);
        return kExitUsage;
    }
    QString doing;
    try {
        return roll(std::get<RollOptions>(parsed), environment, doing);
    } catch (const platform::RuntimeError& error) {
        environment.reportError(QString::fromUtf16(kPrefix) + doing + u": "_s + error.description());
    } catch (const std::bad_alloc&) {
        environment.reportError(QString::fromUtf16(kPrefix) + doing + u": out of memory"_s);
    }
    return kExitFailure;
}

int rollMain(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    // A closed pipe then comes back from write() as EPIPE, which ends the rolling quietly.
    std::signal(SIGPIPE, SIG_IGN);

    platform::QtSettingsStore settings;
    QFile standardInput;
    // Without a standard input the file stays closed, and reading "-" reports that.
    standardInput.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    DescriptorSink standardOutput(STDOUT_FILENO);
    RollEnvironment environment{
        settings,
        standardInput,
        standardOutput,
        [](const QString& line) {
            const QByteArray bytes = line.toUtf8() + '\n';
            std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
        },
        [] { return QRandomGenerator::system()->generate64(); },
    };
    return runRoll(QCoreApplication::arguments().mid(2), environment);
}

} // namespace cli
