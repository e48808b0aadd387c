#include "RollOptions.h"

#include "Escaping.h"

#include <QCommandLineParser>

#include <limits>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

struct ExampleName {
    const char16_t* name;
    dice::Example example;
};
constexpr ExampleName kExampleNames[] = {
    {u"coin", dice::Example::Coin},
    {u"six", dice::Example::ClassicSixSided},
    {u"twenty", dice::Example::TwentySided},
    {u"rps", dice::Example::RockPaperScissors},
};

// Plain decimal digits, nothing else: the same text means the same number in every locale.
std::optional<std::uint64_t> wholeNumber(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const std::uint64_t digit = c.unicode() - u'0';
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

QString badValue(const QString& option, const QString& wanted, const QString& given) {
    return u"--"_s + option + u" takes "_s + wanted + u", not '"_s + shown(given) + u"'."_s;
}

} // namespace

std::variant<RollOptions, QString> parseRollOptions(const QStringList& arguments) {
    const QCommandLineOption sides(u"sides"_s, QString(), u"FILE"_s);
    const QCommandLineOption example(u"example"_s, QString(), u"NAME"_s);
    const QCommandLineOption dice(u"dice"_s, QString(), u"N"_s);
    const QCommandLineOption rolls(u"rolls"_s, QString(), u"N"_s);
    const QCommandLineOption mode(u"mode"_s, QString(), u"MODE"_s);
    const QCommandLineOption seed(u"seed"_s, QString(), u"N"_s);
    const QCommandLineOption output(QStringList{u"o"_s, u"output"_s}, QString(), u"FILE"_s);
    const QCommandLineOption stats(u"stats"_s);
    const QCommandLineOption history(u"history"_s);
    const QCommandLineOption help(QStringList{u"h"_s, u"help"_s});
    QCommandLineParser parser;
    parser.addOptions({sides, example, dice, rolls, mode, seed, output, stats, history, help});
    // The parser expects the program's name first.
    if (!parser.parse(QStringList{u"roll"_s} + arguments)) {
        // The parser's own text would echo the option unescaped.
        const QStringList unknown = parser.unknownOptionNames();
        return unknown.isEmpty() ? parser.errorText() : u"Unknown option '"_s + shown(unknown.first()) + u"'."_s;
    }
    if (!parser.positionalArguments().isEmpty())
        return u"unexpected argument '"_s + shown(parser.positionalArguments().first()) + u"'."_s;

    RollOptions options;
    options.help = parser.isSet(help);
    options.stats = parser.isSet(stats);
    options.history = parser.isSet(history);
    options.sideFiles = parser.values(sides);
    if (parser.isSet(example)) {
        const QString name = parser.value(example);
        for (const ExampleName& known : kExampleNames) {
            if (name == QStringView(known.name))
                options.example = known.example;
        }
        if (!options.example)
            return badValue(u"example"_s, u"coin, six, twenty or rps"_s, name);
    }
    if (!options.sideFiles.isEmpty() && options.example)
        return u"give --sides or --example, not both."_s;

    auto count = [&](const QCommandLineOption& option, std::uint64_t most,
                     std::optional<std::int64_t>& into) -> std::optional<QString> {
        if (!parser.isSet(option))
            return std::nullopt;
        const QString text = parser.value(option);
        const std::optional<std::uint64_t> value = wholeNumber(text);
        if (!value || *value < 1 || *value > most)
            return badValue(option.names().first(), u"a whole number from 1 to "_s + QString::number(most), text);
        into = static_cast<std::int64_t>(*value);
        return std::nullopt;
    };
    if (std::optional<QString> problem = count(dice, kMostDice, options.dice))
        return *problem;
    if (std::optional<QString> problem = count(rolls, std::numeric_limits<std::int64_t>::max(), options.rolls))
        return *problem;
    if (parser.isSet(mode)) {
        const QString word = parser.value(mode);
        options.mode = core::rollModeFromWord(word);
        if (!options.mode)
            return badValue(u"mode"_s, u"independent, distinct or bag"_s, word);
    }
    if (parser.isSet(seed)) {
        const QString text = parser.value(seed);
        options.seed = wholeNumber(text);
        if (!options.seed)
            return badValue(u"seed"_s, u"a whole number from 0 to 18446744073709551615"_s, text);
    }
    if (parser.isSet(output))
        options.outputFile = parser.value(output);
    return options;
}

QString rollHelpText() {
    return uR"(Usage: quorvin-tessaly roll [options]

Rolls the die without a window: one line per roll, the labels of its dice in the
order drawn, joined by " - ", in UTF-8 with LF line ends, on standard output.

Sides (without either option, the sides the window stored):
  --sides FILE       Read the sides from FILE, one per line, as "Load List From File"
                     does: empty lines and labels met before are skipped. Repeat it
                     for several files; - reads standard input. A file, or standard
                     input, of more than 1 GiB (1073741824 bytes) is refused.
  --example NAME     Use a built-in die: coin, six, twenty or rps.
Counts (without these, the numbers stored by the window):
  --dice N           Dice per roll, from 1 to 2147483647.
  --rolls N          Number of rolls, 1 or more.
Roll mode (without it, the mode the window stored; independent when there is none):
  --mode MODE        independent: every die any side, as if rolled alone.
                     distinct: no side twice in a roll.
                     bag: every side once before any side again, and no side twice
                     in a roll. The two last need at least as many sides as dice.
Randomness:
  --seed N           Roll reproducibly: the same seed, sides, counts and mode give the same
                     lines on every machine and in every later version. N is from 0
                     to 18446744073709551615. Without it the seed comes from the
                     operating system.
Output:
  --stats            Print the statistics of the rolls instead of their lines, as
                     tab-separated text: the sides table (Side, Count, Share,
                     Expected, Deviation), a blank line and the fairness lines
                     (Rolls, Dice per roll, Roll mode, Chi-square, Degrees of
                     freedom, p-value, then the longest run of one side); then,
                     when every side is a whole number, a blank line, the totals
                     table (Total, Count, ...) and its own fairness lines. The
                     expectations follow the roll mode. The rolls are counted as
                     they are drawn, so memory stays small however many there are.
  -o, --output FILE  Write the lines to FILE instead; - is standard output. A regular
                     file is replaced only once all the lines are written. Anything
                     else found there (a terminal, a pipe, a device) is written as it
                     is, never replaced; /dev/stdout, /dev/stderr and /dev/fd/N write
                     to that descriptor as it is open, appending where it appends.
  --history          Keep the rolls in the roll history, as the window keeps its own;
                     `quorvin-tessaly history list` shows them. Without it nothing
                     is kept.
  -h, --help         Show this help and exit.

Labels go out exactly as read into a file or a pipe. On a terminal their control
characters are shown escaped (\t, \x1B, \u0085), so that none can act on the
terminal. A label holding a line break is refused, as it would split a line.
Values in messages are escaped too, and cut after 60 characters.

The settings the window stored are read only for values the options leave out. A
settings file that cannot be read is an error; one that is not a file at all (a
pipe, a device) is reported and not used.

Every die is drawn with the generator xoshiro256** 1.0, whose state is the first
four outputs of SplitMix64 started from the seed. A side of an n-sided die is the
high 64 bits of the 128-bit product of a draw and n; a draw whose low 64 bits fall
below 2^64 mod n is drawn again (Lemire's method), so every side is exactly equally
likely. The modes without repeats keep a list of the sides, 0 to n - 1 at the start,
that they rearrange from roll to roll. distinct draws each roll as the first D steps
of a Fisher-Yates shuffle of that list: die i (from 0) swaps place i with place
i + k, k picked below n - i as above, and takes what is then at place i. bag draws
die after die in the same way from the places not yet taken since the bag was last
filled; when all n are taken it fills the bag again, and a roll that is under way
then leaves its own dice out until it ends. A distinct roll of at most 16 dice of a
die of at least 65,536 sides uses no list: each die is picked below n as above, and
picked again while the roll already shows it. None of this will ever change.

Exit status: 0 when all lines were written, or when the reader of a pipe stopped
reading; 1 when the sides or the settings cannot be read, there are no sides, a
label holds a line break, standard input or output is closed, or the lines cannot
be written; 2 for an unknown option, a bad number, an unusable stored count, or
more dice than sides in the modes without repeats.
)"_s;
}

} // namespace cli
