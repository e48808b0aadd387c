#include "HistoryCommand.h"

#include "ByteSink.h"
#include "Escaping.h"
#include "RollCommand.h"
#include "RollDraws.h"

#include "core/DrawRows.h"
#include "core/TextRows.h"
#include "history/Fingerprint.h"
#include "history/HistoryExport.h"
#include "history/HistorySettings.h"
#include "history/RollStore.h"
#include "platform/RuntimeError.h"
#include "platform/StandardStreams.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QStringEncoder>

#include <csignal>
#include <cstdio>
#include <new>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

constexpr char16_t kPrefix[] = u"quorvin-tessaly history: ";
constexpr qsizetype kShowChunkCharacters = 256 * 1024;

QString helpText() {
    return u"Usage: quorvin-tessaly history list\n"
           u"       quorvin-tessaly history show ID\n"
           u"       quorvin-tessaly history export ID -o FILE\n"
           u"\n"
           u"The rolls kept in the roll history.\n"
           u"  list                one line per roll, newest first: id, time, mode, dice, rolls, fingerprint\n"
           u"  show ID             the roll's rows, one per line, \" - \" between the labels\n"
           u"  export ID -o FILE   the roll as an aligned text file with its fingerprint; - is standard output\n"
           u"  -h, --help          this text\n"_s;
}

QString megabytes(std::int64_t bytes) {
    return QLocale().toString(double(bytes) / double(history::kMegabyte), 'f',
                              bytes < 10 * history::kMegabyte ? 1 : 0) +
           u" MB"_s;
}

bool writeText(ByteSink& sink, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return sink.write({bytes.constData(), static_cast<std::size_t>(bytes.size())});
}

void writeList(const std::vector<history::EntrySummary>& entries, ByteSink& sink) {
    QString text;
    for (const history::EntrySummary& entry : entries) {
        text += QString::number(entry.id) + u'\t' + history::isoTime(entry) + u'\t' + core::rollModeWord(entry.mode) +
                u'\t' + QString::number(entry.dice) + u'\t' + QString::number(entry.rolls) + u'\t' + entry.fingerprint +
                u'\n';
    }
    if (writeText(sink, text))
        sink.finish();
}

void writeRows(const core::DrawRows& rows, ByteSink& sink) {
    // On a terminal a label's control characters would act, so they are shown escaped, as roll shows
    // them; into a file or a pipe the rows go out exactly.
    const bool terminal = sink.isTerminal();
    QString text;
    QString line;
    text.reserve(kShowChunkCharacters + 1024);
    for (std::int64_t row = 0; row < rows.size(); ++row) {
        if (terminal) {
            line.clear();
            rows.appendText(row, line);
            text += escaped(line);
        } else {
            rows.appendText(row, text);
        }
        text += u'\n';
        if (text.size() >= kShowChunkCharacters) {
            if (!writeText(sink, text))
                return; // the reader has gone
            text.clear();
        }
    }
    if (writeText(sink, text))
        sink.finish();
}

// The export's text, as the file holds it (the system's encoding, CR LF), on standard output.
void writeExport(const core::DrawRows& rows, const QString& fingerprint, ByteSink& sink) {
    const bool terminal = sink.isTerminal();
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QByteArray bytes;
    bool reading = true;
    history::writeEntryText(rows, fingerprint, [&](QStringView line) {
        bytes += QByteArray(encoder.encode(terminal ? escaped(line) : line.toString()));
        bytes += "\r\n";
        if (reading && bytes.size() >= kShowChunkCharacters) {
            reading = sink.write({bytes.constData(), static_cast<std::size_t>(bytes.size())});
            bytes.clear();
        }
    });
    if (reading && sink.write({bytes.constData(), static_cast<std::size_t>(bytes.size())}))
        sink.finish();
}

// The command's work; raises RuntimeError, with `doing` naming what failed.
int history(const QStringList& arguments, HistoryEnvironment& environment, QString& doing) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{u"h"_s, u"help"_s});
    const QCommandLineOption output(QStringList{u"o"_s, u"output"_s}, QString(), u"FILE"_s);
    parser.addOption(help);
    parser.addOption(output);
    const auto usage = [&](const QString& problem) {
        environment.reportError(QString::fromUtf16(kPrefix) + problem + u" Try 'quorvin-tessaly history --help'."_s);
        return kExitUsage;
    };
    if (!parser.parse(QStringList{u"history"_s} + arguments)) {
        const QString problem = parser.errorText();
        return usage(problem.endsWith(u'.') ? problem : problem + u'.');
    }
    // What went to a closed standard output would be lost with a success.
    const bool toFile = parser.positionalArguments().value(0) == u"export" && parser.value(output) != u"-";
    if (environment.standardOutputClosed && !toFile) {
        environment.reportError(QString::fromUtf16(kPrefix) +
                                u"standard output is closed; give it a file or a pipe, or use export ID -o FILE."_s);
        return kExitFailure;
    }
    if (parser.isSet(help)) {
        doing = u"standard output"_s;
        writeText(environment.standardOutput, helpText());
        return 0;
    }
    const QStringList words = parser.positionalArguments();
    const QString command = words.value(0);
    const qsizetype expected = command == u"list" ? 1 : (command == u"show" || command == u"export") ? 2 : 0;
    if (expected == 0)
        return usage(command.isEmpty() ? u"say list, show ID or export ID -o FILE."_s
                                       : u"'"_s + shown(command) + u"' is not a history command."_s);
    if (words.size() != expected)
        return usage(expected == 1 ? u"list takes no id."_s : command + u" takes one id."_s);
    if ((command == u"export") != parser.isSet(output))
        return usage(command == u"export" ? u"export needs -o FILE."_s : u"only export writes a file."_s);
    bool numeric = false;
    const std::int64_t id = expected == 2 ? words.at(1).toLongLong(&numeric) : 0;
    if (expected == 2 && (!numeric || id < 1))
        return usage(u"'"_s + shown(words.at(1)) + u"' is not an id; history list shows them."_s);

    doing = u"the roll history \""_s + environment.databasePath + u'"';
    history::RollStore store(environment.databasePath, u"quorvin-tessaly-history-command"_s);
    store.open();
    const auto tellNotices = [&] {
        for (const QString& notice : store.takeNotices())
            environment.reportError(QString::fromUtf16(kPrefix) + notice);
    };
    tellNotices();
    if (command == u"list") {
        const std::vector<history::EntrySummary> entries = store.entries();
        tellNotices();
        doing = u"standard output"_s;
        writeList(entries, environment.standardOutput);
        return 0;
    }
    const std::optional<history::EntrySummary> entry = store.entry(id);
    const std::optional<core::DrawRows> rows = entry ? store.rows(id) : std::nullopt;
    tellNotices();
    if (!rows) {
        environment.reportError(QString::fromUtf16(kPrefix) + u"there is no roll "_s + QString::number(id) +
                                u" in the history."_s);
        return kExitFailure;
    }
    if (command == u"show") {
        doing = u"standard output"_s;
        writeRows(*rows, environment.standardOutput);
    } else if (!toFile) { // "-", as for roll and library
        doing = u"standard output"_s;
        writeExport(*rows, entry->fingerprint, environment.standardOutput);
    } else {
        doing.clear(); // the export's failure names its file
        history::exportEntryText(*rows, entry->fingerprint, parser.value(output));
    }
    return 0;
}

} // namespace

int runHistory(const QStringList& arguments, HistoryEnvironment& environment) {
    QString doing;
    try {
        return history(arguments, environment, doing);
    } catch (const platform::RuntimeError& error) {
        // The roll history's own failures name its file already.
        if (error.description().contains(environment.databasePath))
            doing.clear();
        environment.reportError(QString::fromUtf16(kPrefix) + (doing.isEmpty() ? QString() : doing + u": "_s) +
                                error.description());
    } catch (const std::bad_alloc&) {
        environment.reportError(QString::fromUtf16(kPrefix) + doing + u": out of memory"_s);
    }
    return kExitFailure;
}

int historyMain(int argc, char** argv, const platform::ClosedStreams& closed) {
    QCoreApplication application(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
    DescriptorSink standardOutput(STDOUT_FILENO);
    HistoryEnvironment environment{
        history::defaultDatabasePath(),
        standardOutput,
        [](const QString& line) {
            const QByteArray bytes = line.toUtf8() + '\n';
            std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
        },
        closed.output,
    };
    return runHistory(QCoreApplication::arguments().mid(2), environment);
}

QStringList keepRoll(const QString& databasePath, std::int64_t sizeLimit, std::shared_ptr<const core::TextRows> sides,
                     core::RollMode mode, std::int64_t dice, std::int64_t rolls, std::uint64_t seed,
                     std::optional<roll::RollPlan> plan, const history::RollOrigin& origin) {
    std::shared_ptr<const core::DiceLayout> layout;
    if (plan) {
        sides = plan->labels();
        layout = plan->layout();
        dice = plan->dice();
    }
    const int indexBytes = core::DrawRows::indexBytesFor(sides->size());
    const std::uint64_t sideCount = static_cast<std::uint64_t>(sides->size());
    // Bigger than the whole history may be: said without drawing gigabytes for nothing.
    if (rolls > sizeLimit / dice / indexBytes) {
        return {u"The roll was not kept in the roll history: it is larger than the history's size limit of "_s +
                megabytes(sizeLimit) + u'.'};
    }
    core::DrawRows rows(std::move(sides), static_cast<std::int32_t>(dice), mode, std::move(layout));
    rows.reserve(rolls);
    RollDraws draws = plan ? RollDraws(std::move(*plan)) : RollDraws(sideCount, mode, dice);
    SeededGenerator generator(seed);
    rows.build([&](auto& indices) {
        std::vector<std::uint64_t> drawn(static_cast<std::size_t>(dice) * 4096);
        for (std::int64_t done = 0; done < rolls;) {
            const std::int64_t now = std::min<std::int64_t>(rolls - done, 4096);
            const std::span<std::uint64_t> part(drawn.data(), static_cast<std::size_t>(now * dice));
            draws.draw(generator, part);
            for (const std::uint64_t index : part)
                indices.push_back(static_cast<typename std::remove_reference_t<decltype(indices)>::value_type>(index));
            done += now;
        }
    });

    history::RollStore store(databasePath, u"quorvin-tessaly-roll-history"_s);
    store.open();
    const history::RollStore::Added added =
        store.add(rows, origin, QDateTime::currentDateTimeUtc(), history::rollFingerprint(rows), sizeLimit);
    QStringList notices = store.takeNotices();
    if (!added.dropped.empty())
        notices.append(u"The roll history has reached its size limit of "_s + megabytes(sizeLimit) + u", so its "_s +
                       QString::number(added.dropped.size()) + u" oldest rolls were removed to make room."_s);
    if (!added.entry)
        notices.append(u"The roll was not kept in the roll history: it is larger than its size limit."_s);
    return notices;
}

} // namespace cli
