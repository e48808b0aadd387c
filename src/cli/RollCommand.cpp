#include "RollCommand.h"

#include "ByteSink.h"
#include "Escaping.h"
#include "HistoryCommand.h"
#include "RollOptions.h"
#include "RollStatistics.h"
#include "RollWriter.h"

#include "core/TextRows.h"
#include "dice/CountConversion.h"
#include "dice/CountFields.h"
#include "dice/SideListReader.h"
#include "dice/StoredSides.h"
#include "history/HistorySettings.h"
#include "library/Library.h"
#include "platform/FileName.h"
#include "platform/QtSettingsStore.h"
#include "platform/RuntimeError.h"
#include "platform/SettingsFile.h"
#include "platform/StandardStreams.h"
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

using platform::RuntimeError;

constexpr char16_t kPrefix[] = u"quorvin-tessaly roll: ";
constexpr qsizetype kReadChunkBytes = 1024 * 1024;

QString prefixed(const QString& message) {
    return QString::fromUtf16(kPrefix) + message;
}

QString quotedName(const QString& path) {
    return u'"' + shown(path, kShownNameLength) + u'"';
}

// The settings the window stored, opened only when a value is needed: a roll given every value on the
// command line never touches them. A settings file that cannot be read is an error; something that is
// not a file at all (a pipe, a device) is reported once and taken as holding nothing.
class StoredSettings final : public platform::SettingsStore {
public:
    explicit StoredSettings(std::function<void(const QString&)> report)
        : m_report(std::move(report)) {}

    QString read(const QString& key, const QString& defaultValue) override {
        if (!m_opened) {
            m_opened = true;
            m_file = platform::userSettingsFile();
            m_state = platform::probeSettingsFile(m_file);
            if (m_state.kind == platform::SettingsFileState::NotAFile)
                m_report(prefixed(u"the settings file "_s + quotedName(m_file) +
                                  u" is not a regular file; stored values are not used."_s));
            else if (m_state.kind == platform::SettingsFileState::Readable)
                m_store = std::make_unique<platform::QtSettingsStore>();
        }
        if (m_state.kind == platform::SettingsFileState::Unreadable)
            throw RuntimeError(RuntimeError::PermissionDenied,
                               u"cannot read settings "_s + quotedName(m_file) + u": "_s + m_state.problem);
        return m_store ? m_store->read(key, defaultValue) : defaultValue;
    }
    void write(const QString&, const QString&) override {} // a roll stores nothing

private:
    std::function<void(const QString&)> m_report;
    bool m_opened = false;
    QString m_file;
    platform::SettingsFileState m_state;
    std::unique_ptr<platform::QtSettingsStore> m_store;
};

// Adds a side-list file's sides, as "Load List From File" reads them, to what the reader holds.
void readSideFile(dice::Utf8SideListReader& reader, const QString& path, QIODevice& standardInput) {
    QByteArray buffer(kReadChunkBytes, Qt::Uninitialized);
    if (path == u"-") {
        if (!standardInput.isReadable())
            throw RuntimeError(RuntimeError::BadFileNameOrNumber, u"not open"_s);
        for (;;) {
            const qint64 got = standardInput.read(buffer.data(), buffer.size());
            if (got < 0)
                throw RuntimeError(RuntimeError::DeviceIoError, standardInput.errorString());
            if (got == 0)
                break;
            reader.feed(QByteArrayView(buffer.constData(), got));
        }
    } else {
        platform::TextFileReader file(path);
        if (file.size() > dice::kMostSideListBytes)
            dice::throwSideListTooLong();
        for (QByteArrayView chunk = file.read(buffer); !chunk.isEmpty(); chunk = file.read(buffer))
            reader.feed(chunk);
    }
    reader.endFile();
}

// The sides the window restores at its start: the stored "Dice" split at ';', empty pieces skipped.
dice::Utf8Labels storedSides(platform::SettingsStore& settings) {
    const QString stored = settings.read(QString::fromUtf16(dice::kStoredSidesKey), QString());
    dice::Utf8Labels labels;
    for (const QStringView piece : dice::splitStoredSides(stored)) {
        if (dice::isStoredSide(piece))
            labels.append(piece.toUtf8());
    }
    return labels;
}

// The first side (from 1) whose label goes on over a line break (LF, CR, VT, FF, NEL, LS or PS); 0
// when none does.
std::int64_t sideWithLineBreak(const dice::Utf8Labels& sides) {
    for (std::int64_t i = 0; i < sides.size(); ++i) {
        const QByteArrayView label = sides.at(i);
        for (qsizetype at = 0; at < label.size(); ++at) {
            const auto c = static_cast<unsigned char>(label[at]);
            if ((c >= 0x0A && c <= 0x0D) || (c == 0xC2 && label.sliced(at).startsWith("\xC2\x85")) ||
                (c == 0xE2 &&
                 (label.sliced(at).startsWith("\xE2\x80\xA8") || label.sliced(at).startsWith("\xE2\x80\xA9"))))
                return i + 1;
        }
    }
    return 0;
}

// The labels as a terminal should show them, with their control characters escaped; nullopt when no
// label holds one.
std::optional<dice::Utf8Labels> escapedForTerminal(const dice::Utf8Labels& sides) {
    std::optional<dice::Utf8Labels> shownSides;
    for (std::int64_t i = 0; i < sides.size(); ++i) {
        const QByteArrayView label = sides.at(i);
        const QString text = QString::fromUtf8(label);
        const QString escapedText = escaped(text);
        if (!shownSides && escapedText == text)
            continue;
        if (!shownSides) {
            shownSides.emplace();
            for (std::int64_t before = 0; before < i; ++before)
                shownSides->append(sides.at(before));
        }
        shownSides->append(escapedText.toUtf8());
    }
    return shownSides;
}

std::shared_ptr<const core::TextRows> textRows(const dice::Utf8Labels& sides) {
    auto rows = std::make_shared<core::TextRows>();
    for (std::int64_t i = 0; i < sides.size(); ++i)
        rows->append(QString::fromUtf8(sides.at(i)));
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
        environment.reportError(prefixed(u"the stored "_s + what + u" '"_s + shown(text) + u"' cannot be used: "_s +
                                         problem + u" Give "_s + option + u" N."_s));
        return std::nullopt;
    }
    return dice::convertCount(text);
}

// The labels of the plan's dice, in the plan's order.
dice::Utf8Labels utf8Labels(const core::TextRows& labels) {
    dice::Utf8Labels utf8;
    for (std::int64_t i = 0; i < labels.size(); ++i)
        utf8.append(labels.at(i).toUtf8());
    return utf8;
}

// The weighted list, the library's dice or its set as a roll plan, with the labels it rolls; none for
// the plain sides. Sets `dice` to the plan's dice per roll where the dice carry their own counts, and
// `origin` to what the roll history calls it. Raises RuntimeError with a sentence that names what failed.
std::optional<roll::RollPlan> plannedRoll(const RollOptions& options, RollEnvironment& environment, core::RollMode mode,
                                          std::int64_t& dice, dice::Utf8Labels& sides, QString& tooMany,
                                          history::RollOrigin& origin) {
    if (options.weightedSides) {
        const library::Item item = library::Library::readFile(*options.weightedSides, library::Format::WeightedList);
        const dice::Die& die = std::get<dice::Die>(item);
        sides = utf8Labels(die.labels);
        if (!die.weighted())
            return std::nullopt; // a die whose sides all weigh 1 rolls as --sides rolls it
        tooMany = roll::RollPlan::tooManyDice(die.weights, dice, mode);
        if (!tooMany.isEmpty())
            return std::nullopt;
        return roll::RollPlan(std::make_shared<const core::TextRows>(die.labels), die.weights,
                              static_cast<std::int32_t>(dice), mode);
    }
    const library::Library library(environment.libraryFolder.isEmpty() ? library::Library::defaultFolder()
                                                                       : environment.libraryFolder);
    std::vector<dice::CountedDie> chosen;
    if (options.librarySet) {
        const dice::DiceSet set = library.loadSet(*options.librarySet);
        chosen = library.setDice(set);
        origin = history::RollOrigin::set(set.name);
    } else {
        for (const LibraryDie& die : options.libraryDice)
            chosen.push_back({library.loadDie(die.name), die.count});
        // One die goes by its name; several are described die by die.
        origin = chosen.size() == 1 ? history::RollOrigin{history::RollOrigin::Kind::Sides, chosen.front().die.name}
                                    : history::RollOrigin::set({});
    }
    tooMany = roll::RollPlan::tooManyDice(chosen, mode);
    if (!tooMany.isEmpty())
        return std::nullopt;
    roll::RollPlan plan(chosen, mode);
    dice = plan.dice();
    sides = utf8Labels(*plan.labels());
    return plan;
}

// Runs the command once the options are known; raises RuntimeError, with `doing` naming what failed
// (empty where the error names it itself).
int roll(const RollOptions& options, RollEnvironment& environment, QString& doing) {
    if (options.help) {
        doing = u"standard output"_s;
        const QByteArray help = rollHelpText().toUtf8();
        environment.standardOutput.write({help.constData(), static_cast<std::size_t>(help.size())});
        return 0;
    }
    doing.clear(); // the stored values' errors name the settings file
    // Library dice and sets carry their own numbers of dice.
    const bool ownCounts = !options.libraryDice.empty() || options.librarySet;
    std::optional<std::int64_t> dice =
        ownCounts ? std::optional<std::int64_t>(1)
                  : countOf(options.dice, environment, QString::fromUtf16(dice::kDicePerRollKey),
                            dice::kDicePerRollDefault, u"number of dice"_s, u"--dice"_s);
    if (!dice)
        return kExitUsage;
    const std::optional<std::int64_t> rolls =
        countOf(options.rolls, environment, QString::fromUtf16(dice::kNumberOfRollsKey), dice::kNumberOfRollsDefault,
                u"number of rolls"_s, u"--rolls"_s);
    if (!rolls)
        return kExitUsage;

    dice::Utf8Labels sides;
    QString noSides;
    std::optional<roll::RollPlan> plan;
    std::optional<core::RollMode> planMode;
    history::RollOrigin origin;
    if (ownCounts || options.weightedSides) {
        planMode = options.mode
                       ? *options.mode
                       : core::rollModeFromWord(environment.settings.read(QString::fromUtf16(core::kRollModeKey), {}))
                             .value_or(core::RollMode::Independent);
        QString tooMany;
        plan = plannedRoll(options, environment, *planMode, *dice, sides, tooMany, origin);
        if (!tooMany.isEmpty()) {
            environment.reportError(prefixed(tooMany));
            return kExitUsage;
        }
    } else if (options.example) {
        for (const QString& label : dice::exampleLabels(*options.example))
            sides.append(label.toUtf8());
    } else if (!options.sideFiles.isEmpty()) {
        dice::Utf8SideListReader reader;
        for (const QString& path : options.sideFiles) {
            doing = path == u"-" ? u"standard input"_s : quotedName(path);
            readSideFile(reader, path, environment.standardInput);
        }
        sides = reader.finish();
        noSides = u"the sides files hold no sides."_s;
    } else {
        doing.clear();
        sides = storedSides(environment.settings);
        noSides = u"no sides are stored; give --sides FILE or --example NAME."_s;
    }
    if (sides.empty()) {
        environment.reportError(prefixed(noSides));
        return kExitFailure;
    }
    if (const std::int64_t side = sideWithLineBreak(sides)) {
        environment.reportError(
            prefixed(u"side %1 ('%2') holds a line break, which would split its rolls' lines."_s.arg(side).arg(
                shown(QString::fromUtf8(sides.at(side - 1))))));
        return kExitFailure;
    }

    doing.clear();
    const core::RollMode mode =
        planMode       ? *planMode
        : options.mode ? *options.mode
                       : core::rollModeFromWord(environment.settings.read(QString::fromUtf16(core::kRollModeKey), {}))
                             .value_or(core::RollMode::Independent);
    if (!plan && core::drawsDifferentSides(mode) && *dice > sides.size()) {
        environment.reportError(prefixed(roll::tooManyDiceMessage(*dice)));
        return kExitUsage;
    }

    // The kept roll holds the sides as they were given, before any escaping for a terminal.
    std::shared_ptr<const core::TextRows> keptSides;
    std::optional<roll::RollPlan> keptPlan; // drawn again from the start, as the roll was
    if (options.history && plan)
        keptPlan = plan;
    else if (options.history)
        keptSides = textRows(sides);
    std::unique_ptr<OutputFileSink> file;
    ByteSink* sink = &environment.standardOutput;
    if (options.outputFile && *options.outputFile != u"-") {
        doing = quotedName(*options.outputFile);
        file = std::make_unique<OutputFileSink>(*options.outputFile);
        sink = file.get();
    } else {
        doing = u"standard output"_s;
    }
    const QString writing = doing;
    doing = u"preparing the sides"_s;
    // On a terminal a label's control characters would act (clear the screen, retitle the window); into
    // a file or a pipe the labels go out exactly.
    if (sink->isTerminal()) {
        if (std::optional<dice::Utf8Labels> shownSides = escapedForTerminal(sides))
            sides = std::move(*shownSides);
    }
    const std::shared_ptr<const core::DiceLayout> layout = plan ? plan->layout() : nullptr;
    RollDraws draws =
        plan ? RollDraws(std::move(*plan)) : RollDraws(static_cast<std::uint64_t>(sides.size()), mode, *dice);
    const std::uint64_t seed = options.seed ? *options.seed : environment.freshSeed();
    SeededGenerator generator(seed);
    std::shared_ptr<const core::TextRows> counted;
    if (options.stats)
        counted = textRows(std::exchange(sides, dice::Utf8Labels()));
    doing = writing;
    // A reader that stopped reading wanted no more lines: not a failure, and nothing to say.
    const bool written = options.stats
                             ? writeStatistics(std::move(counted), mode, draws, generator, *dice, *rolls, *sink, layout)
                             : RollWriter(sides).write(draws, generator, *dice, *rolls, *sink);
    if (written)
        sink->finish();
    if (written && options.history) {
        doing = u"the roll history"_s;
        const std::int64_t sizeLimit = history::sizeLimitMegabytes(environment.settings) * history::kMegabyte;
        for (const QString& notice : keepRoll(history::defaultDatabasePath(), sizeLimit, std::move(keptSides), mode,
                                              *dice, *rolls, seed, std::move(keptPlan), origin))
            environment.reportError(prefixed(notice));
    }
    return 0;
}

} // namespace

int runRoll(const QStringList& arguments, RollEnvironment& environment) {
    const std::variant<RollOptions, QString> parsed = parseRollOptions(arguments);
    if (const QString* problem = std::get_if<QString>(&parsed)) {
        environment.reportError(prefixed(*problem + u" Try 'quorvin-tessaly roll --help'."_s));
        return kExitUsage;
    }
    // The rolls would go nowhere, or the sides could come from a file someone else opened in its place.
    const auto& options = std::get<RollOptions>(parsed);
    if (environment.outputClosed && (options.help || !options.outputFile || *options.outputFile == u"-")) {
        environment.reportError(prefixed(u"standard output is closed; give it a file or a pipe, or use -o FILE."_s));
        return kExitFailure;
    }
    if (environment.inputClosed && options.sideFiles.contains(u"-"_s)) {
        environment.reportError(prefixed(u"standard input is closed; give it a file or a pipe, or </dev/null."_s));
        return kExitFailure;
    }
    QString doing;
    const auto failed = [&](const QString& why) {
        environment.reportError(prefixed(doing.isEmpty() ? why : doing + u": "_s + why));
        return kExitFailure;
    };
    try {
        return roll(std::get<RollOptions>(parsed), environment, doing);
    } catch (const RuntimeError& error) {
        return failed(error.description());
    } catch (const std::bad_alloc&) {
        return failed(u"out of memory"_s);
    }
}

int rollMain(int argc, char** argv, const platform::ClosedStreams& closed) {
    const auto report = [](const QString& line) {
        const QByteArray bytes = line.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    };
    QCoreApplication application(argc, argv);
    // A closed pipe then comes back from write() as EPIPE, which ends the rolling quietly.
    std::signal(SIGPIPE, SIG_IGN);

    StoredSettings settings(report);
    QFile standardInput;
    standardInput.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    DescriptorSink standardOutput(STDOUT_FILENO);
    RollEnvironment environment{
        settings, standardInput, standardOutput, report, [] { return QRandomGenerator::system()->generate64(); },
        {},       closed.output, closed.input,
    };
    // The arguments as the system gave them: a file name that is not UTF-8 keeps its bytes.
    QStringList arguments;
    for (int i = 2; i < argc; ++i)
        arguments.append(platform::decodeFileName(argv[i]));
    return runRoll(arguments, environment);
}

} // namespace cli
