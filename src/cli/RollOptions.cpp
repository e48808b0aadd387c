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
    const QCommandLineOption weighted(u"weighted-sides"_s, QString(), u"FILE"_s);
    const QCommandLineOption die(u"die"_s, QString(), u"NAME[:COUNT]"_s);
    const QCommandLineOption set(u"set"_s, QString(), u"NAME"_s);
    const QCommandLineOption dice(u"dice"_s, QString(), u"N"_s);
    const QCommandLineOption rolls(u"rolls"_s, QString(), u"N"_s);
    const QCommandLineOption mode(u"mode"_s, QString(), u"MODE"_s);
    const QCommandLineOption seed(u"seed"_s, QString(), u"N"_s);
    const QCommandLineOption output(QStringList{u"o"_s, u"output"_s}, QString(), u"FILE"_s);
    const QCommandLineOption stats(u"stats"_s);
    const QCommandLineOption history(u"history"_s);
    const QCommandLineOption help(QStringList{u"h"_s, u"help"_s});
    QCommandLineParser parser;
    parser.addOptions({sides, example, weighted, die, set, dice, rolls, mode, seed, output, stats, history, help});
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
    if (parser.values(weighted).size() > 1 || parser.values(set).size() > 1)
        return u"give --weighted-sides or --set once."_s;
    if (parser.isSet(weighted))
        options.weightedSides = parser.value(weighted);
    if (parser.isSet(set))
        options.librarySet = parser.value(set);
    std::int64_t libraryDice = 0;
    for (const QString& value : parser.values(die)) {
        // The count follows the last colon; a name that ends in a colon and digits takes ":1" after it.
        LibraryDie chosen{value, 1};
        const qsizetype colon = value.lastIndexOf(u':');
        if (colon >= 0) {
            const std::optional<std::uint64_t> count = wholeNumber(value.sliced(colon + 1));
            if (count) {
                if (*count < 1 || *count > static_cast<std::uint64_t>(kMostDice))
                    return badValue(u"die"_s, u"a name and a count from 1 to "_s + QString::number(kMostDice), value);
                chosen = {value.first(colon), static_cast<std::int32_t>(*count)};
            }
        }
        libraryDice += chosen.count;
        options.libraryDice.push_back(chosen);
    }
    if (libraryDice > kMostDice)
        return u"the --die options roll "_s + QString::number(libraryDice) + u" dice; a roll takes at most "_s +
               QString::number(kMostDice) + u'.';
    const int sources = int(!options.sideFiles.isEmpty()) + int(options.example.has_value()) +
                        int(options.weightedSides.has_value()) + int(!options.libraryDice.empty()) +
                        int(options.librarySet.has_value());
    if (sources > 1)
        return u"give only one of --sides, --example, --weighted-sides, --die and --set."_s;
    const bool ownCounts = !options.libraryDice.empty() || options.librarySet;
    if (ownCounts && parser.isSet(dice))
        return u"--die and --set give their own numbers of dice; leave out --dice."_s;

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
  --weighted-sides FILE
                     Read a weighted die from FILE: one side per line, its label, a
                     tab and its weight, a whole number from 0 to 1000000000 (the
                     last tab of a line ends the label; a line without a tab weighs
                     1). A side of weight w of a die whose weights add up to W comes
                     up w times in W; a side of weight 0 never. Dice per roll as for
                     --sides.
  --die NAME[:COUNT] Roll COUNT (1 when left out) of the dice library's die NAME.
                     Repeat it to roll different dice together, one label each on a
                     line in the order given: --die Six:2 --die Coin.
  --set NAME         Roll the dice library's set NAME, its dice in its order.
                     --die and --set give their own numbers of dice: no --dice. Give
                     only one of --sides, --example, --weighted-sides, --die and --set.
                     'quorvin-tessaly library --help' tells about the library.
Counts (without these, the numbers stored by the window):
  --dice N           Dice per roll, from 1 to 2147483647.
  --rolls N          Number of rolls, 1 or more.
Roll mode (without it, the mode the window stored; independent when there is none):
  --mode MODE        independent: every die any side, as if rolled alone.
                     distinct: no side twice in a roll.
                     bag: every side once before any side again, and no side twice
                     in a roll. The two last need at least as many sides as dice.
                     With weights, distinct draws each die among the sides not yet
                     shown in proportion to their weights, and the bag holds w tickets
                     of a side of weight w. Different dice keep to their own kind:
                     distinct keeps apart the dice of one die, bag keeps a bag per die.
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
                     expectations follow the roll mode and the weights. Dice of
                     --die and --set that differ get a sides table each, after
                     the one of all dice. The rolls are counted as they are
                     drawn, so memory stays small however many there are.
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
characters are shown escaped (\t, \x1B, \u009B), so that none can act on the
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
picked again while the roll already shows it.

A weighted die, and the dice of --die and --set, are drawn with the same picks
below a bound. Each roll starts the draw of every die it rolls, then draws its dice
in the order of the line; a die whose weights are all 1 draws as above. A weighted
die of n sides and total weight W has an alias table of K columns, K the least
power of two from n, of W tickets each, made by Vose's method on the weights K*w:
the columns below W and those from W on are two stacks filled in column order;
while both hold one, the top small column keeps its own K*w tickets and gives the
rest of its W to the top large column, whose K*w shrinks by as much and which goes
to the small stack once below W; the columns left keep all W. independent: a pick v
below K*W gives the column v mod K and the ticket v div K (once K*W reaches 2^64,
the column is picked below K, then the ticket below W); the die is the column's own
side when the ticket is below the tickets it kept, else the side it gave the rest
to. distinct: while the sides the roll shows weigh at most half of W, a die is
drawn so again until it shows a new side; from then on in the roll, a ticket t is
picked below the weight of the sides not shown yet, laid out side after side in
side order, and the die is the side that holds it. bag: the bag holds w tickets of
each side; a ticket t is picked below the tickets of the sides the roll does not
show, laid out side after side in side order, the die is the side that holds it and
that ticket leaves the bag; when the sides the roll does not show hold no ticket, a
full set of tickets joins those left (or takes their place, were the bag to pass
2^63 tickets). None of this will ever change.

Exit status: 0 when all lines were written, or when the reader of a pipe stopped
reading; 1 when the sides, the library or the settings cannot be read, there are
no sides, a die or set is not in the library, a label holds a line break,
standard input or output is closed, or the lines cannot be written; 2 for an
unknown option or a choice of options that do not go together, a bad number, an
unusable stored count, or more dice than sides in the modes without repeats.
)"_s;
}

} // namespace cli
