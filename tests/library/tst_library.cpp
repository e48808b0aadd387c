#include "fakes/TestSupport.h"
#include "library/Library.h"
#include "library/SetEditor.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using library::Format;
using library::Kind;
using Weights = QList<quint32>;

Q_DECLARE_METATYPE(library::Format)

namespace {

dice::Die makeDie(const QString& name, const QStringList& labels, const Weights& weights = {}) {
    dice::Die die;
    die.name = name;
    for (qsizetype side = 0; side < labels.size(); ++side)
        die.append(labels[side], weights.isEmpty() ? 1 : weights[side]);
    return die;
}

QStringList labelsOf(const dice::Die& die) {
    QStringList labels;
    for (std::int64_t side = 0; side < die.labels.size(); ++side)
        labels.append(die.labels.at(side).toString());
    return labels;
}

Weights weightsOf(const dice::Die& die) {
    return Weights(die.weights.begin(), die.weights.end());
}

// What the call raised, or the empty text.
template <class Call> QString failure(Call&& call) {
    try {
        call();
    } catch (const platform::RuntimeError& error) {
        return error.description();
    }
    return {};
}

// Labels a side list can hold: anything but a line break.
QStringList awkwardLabels() {
    return {u"\ttab first"_s,
            u"mid\tdle"_s,
            u"tab last\t"_s,
            u"Room\t12"_s,
            u"  two leading"_s,
            u"two trailing  "_s,
            u" "_s,
            u"back\\slash"_s,
            u"\\s \\t \\u{41} as typed"_s,
            u"#hash"_s,
            u"name"_s,
            u"12"_s,
            u"\\"_s,
            u"emoji \U0001F3B2"_s,
            u"\u00dcn\u00efc\u00f6d\u00e9 \u4e2d\u6587"_s,
            u"\u2028line separator"_s,
            u"\ufeffbyte order mark"_s,
            u"\x01control"_s,
            QString(100000, u'x')};
}

} // namespace

class LibraryTest : public QObject {
    Q_OBJECT
private slots:
    void roundTripsEveryAwkwardLabelAndWeight_data();
    void roundTripsEveryAwkwardLabelAndWeight();
    void readsFilesAsTheirFormatSays_data();
    void readsFilesAsTheirFormatSays();
    void listsTheLibraryAndReportsDamagedFilesWithoutTouchingThem();
    void anInterruptedSaveLeavesTheEarlierFile();
    void keepsOneEntryPerNameWhateverItsCase();
    void makesSafeFileNames_data();
    void makesSafeFileNames();
    void editsTheRowsOfASet_data();
    void editsTheRowsOfASet();
};

void LibraryTest::roundTripsEveryAwkwardLabelAndWeight_data() {
    QTest::addColumn<Format>("format");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<Weights>("weights");
    QTest::addColumn<QString>("refused"); // part of the message when the format cannot hold the die
    QStringList labels = awkwardLabels();
    Weights weights;
    for (qsizetype side = 0; side < labels.size(); ++side)
        weights.append(side == 0 ? 0U : side == 1 ? 1000000000U : quint32(side));
    QStringList withBreaks = labels;
    withBreaks << u"CR\r"_s << u"LF\nLF"_s << u"\r\n"_s << QString(1, QChar(0xd800)) + u"half a pair"_s;
    const Weights breakWeights = weights + Weights{1, 2, 3, 4};
    QTest::newRow("library file") << Format::LibraryFile << withBreaks << breakWeights << QString();
    QTest::newRow("weighted list") << Format::WeightedList << labels << weights << QString();
    QTest::newRow("side list") << Format::SideList << labels << Weights() << QString();
    QTest::newRow("weighted list, line break")
        << Format::WeightedList << withBreaks << breakWeights << u"the label of side 20 holds a line break"_s;
    QTest::newRow("side list, weights") << Format::SideList << labels << weights << u"cannot hold the weights"_s;
}

void LibraryTest::roundTripsEveryAwkwardLabelAndWeight() {
    QFETCH(Format, format);
    QFETCH(QStringList, labels);
    QFETCH(Weights, weights);
    QFETCH(QString, refused);
    QTemporaryDir folder;
    const dice::Die die = makeDie(u"Awkward \\ name"_s, labels, weights);
    QByteArray bytes;
    const QString problem = failure([&] { bytes = library::Library::fileBytes(die, format); });
    if (!refused.isEmpty()) {
        QVERIFY2(problem.contains(refused), qPrintable(problem));
        return;
    }
    QCOMPARE(problem, QString());
    const QString path = fakes::writeFile(folder.filePath(u"awkward.tsv"_s), bytes);
    library::Item item;
    QCOMPARE(failure([&] { item = library::Library::readFile(path, format); }), QString());
    const dice::Die& read = std::get<dice::Die>(item);
    QCOMPARE(labelsOf(read), labels);
    QCOMPARE(weightsOf(read), weights.isEmpty() ? Weights(labels.size(), 1) : weights);
    QCOMPARE(read.name, format == Format::LibraryFile ? die.name : u"awkward"_s);
    // A person reads one side per line.
    QCOMPARE(bytes.count('\n'), labels.size() + (format == Format::LibraryFile ? 2 : 0));
}

void LibraryTest::readsFilesAsTheirFormatSays_data() {
    QTest::addColumn<Format>("format");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<Weights>("weights");
    QTest::addColumn<QString>("error"); // empty when the file reads
    const auto lib = Format::LibraryFile;
    const auto tsv = Format::WeightedList;
    QTest::newRow("by hand: BOM, CR LF, comments, spaces, raw tab")
        << lib
        << QByteArray("\xef\xbb\xbfQuorvin Tessaly die 1\r\n# a die\r\n\r\nname\tHand\r\n 3 \ta\tb \r\n0\t\\sc\r\n")
        << QStringList{u"a\tb "_s, u" c"_s} << Weights{3, 0} << QString();
    QTest::newRow("a later format") << lib << QByteArray("Quorvin Tessaly die 2\nname\tX\n1\ta\n") << QStringList()
                                    << Weights() << u"the file is in format \"2\""_s;
    QTest::newRow("not a die") << lib << QByteArray("hello\n") << QStringList() << Weights()
                               << u"this is not a Quorvin Tessaly die or set"_s;
    QTest::newRow("weight past 10^9") << lib << QByteArray("Quorvin Tessaly die 1\nname\tX\n1\ta\n1000000001\tb\n")
                                      << QStringList() << Weights() << u"line 4: \"1000000001\" is not a weight"_s;
    QTest::newRow("unknown escape") << lib << QByteArray("Quorvin Tessaly die 1\nname\tX\n1\ta\\q\n") << QStringList()
                                    << Weights() << u"line 3: unknown escape \\q"_s;
    QTest::newRow("not UTF-8") << lib << QByteArray("Quorvin Tessaly die 1\nname\tX\n1\ta\n1\t\xff\n") << QStringList()
                               << Weights() << u"line 4: the text is not UTF-8"_s;
    QTest::newRow("a label twice") << lib << QByteArray("Quorvin Tessaly die 1\nname\tX\n1\ta\n2\ta\n") << QStringList()
                                   << Weights() << u"Side 2 has the same label as an earlier side"_s;
    QTest::newRow("no name") << lib << QByteArray("Quorvin Tessaly die 1\n1\ta\n") << QStringList() << Weights()
                             << u"line 2: the name line must come before the sides"_s;
    QTest::newRow("weighted list: last tab, default 1, spaces")
        << tsv << QByteArray("a\tb\t2\r\nplain\n\nx\t 4 \n") << QStringList{u"a\tb"_s, u"plain"_s, u"x"_s}
        << Weights{2, 1, 4} << QString();
    QTest::newRow("weighted list: a weight that does not parse")
        << tsv << QByteArray("a\t3\nb\tthree\nc\t1\n") << QStringList() << Weights()
        << u"line 2: \"three\" after the last tab is not a weight"_s;
    QTest::newRow("weighted list: every weight 0")
        << tsv << QByteArray("a\t0\nb\t0\n") << QStringList() << Weights() << u"Every side weighs 0"_s;
    QTest::newRow("weighted list: a label twice") << tsv << QByteArray("a\t1\r\n\r\na\t2\n") << QStringList()
                                                  << Weights() << u"line 3: this label is listed on an earlier line"_s;
    QTest::newRow("side list: as Load List From File")
        << Format::SideList << QByteArray("a\r\n\nb\ra\n c\t") << QStringList{u"a"_s, u"b"_s, u" c\t"_s}
        << Weights{1, 1, 1} << QString();
}

void LibraryTest::readsFilesAsTheirFormatSays() {
    QFETCH(Format, format);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, labels);
    QFETCH(Weights, weights);
    QFETCH(QString, error);
    QTemporaryDir folder;
    const QString path = fakes::writeFile(folder.filePath(u"file.txt"_s), bytes);
    library::Item item;
    const QString problem = failure([&] { item = library::Library::readFile(path, format); });
    if (!error.isEmpty()) {
        // Nothing is half-loaded: the reason names the file and, where there is one, the line.
        QVERIFY2(
            problem.startsWith(u"Could not read the "_s + library::formatName(format) + u" \""_s + path + u"\": "_s),
            qPrintable(problem));
        QVERIFY2(problem.contains(error), qPrintable(problem));
        return;
    }
    QCOMPARE(problem, QString());
    QCOMPARE(labelsOf(std::get<dice::Die>(item)), labels);
    QCOMPARE(weightsOf(std::get<dice::Die>(item)), weights);
}

void LibraryTest::listsTheLibraryAndReportsDamagedFilesWithoutTouchingThem() {
    QTemporaryDir folder;
    library::Library library(folder.path() + u"/library"_s);
    QVERIFY(library.list().entries.empty()); // no folder yet: an empty library
    const QString file = fakes::writeFile(folder.filePath(u"file"_s), "not a folder");
    QCOMPARE(failure([&] { library::Library(file).list(); }),
             u"Could not read the library \""_s + file + u"\": it is not a folder."_s);
    library.save(makeDie(u"Six"_s, {u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s}));
    library.save(makeDie(u"Raffle"_s, {u"Ann"_s, u"Bo"_s}, {3, 1}));
    library.save(dice::DiceSet{u"Game"_s, {{u"Six"_s, 2}, {u"Raffle"_s, 1}}});
    const QMap<QString, QByteArray> damaged{
        {u"broken.die"_s, "Quorvin Tessaly die 1\nname\tBroken\n1\tok\nx\tbad\n"},
        {u"latin1.die"_s, "Quorvin Tessaly die 1\nname\tLatin\n1\tcaf\xe9\n"},
        {u"again.die"_s, "Quorvin Tessaly die 1\nname\tsix\n1\ta\n"},
        {u"empty.dieset"_s, ""},
    };
    for (auto file = damaged.begin(); file != damaged.end(); ++file)
        fakes::writeFile(library.filePath(file.key()), file.value());
    QVERIFY(mkfifo(QFile::encodeName(library.filePath(u"pipe.die"_s)).constData(), 0600) == 0);
    fakes::writeFile(library.filePath(u"notes.txt"_s), "not a die");

    const library::Listing listing = library.list();
    QStringList lines;
    for (const library::Entry& entry : listing.entries)
        lines.append(u"%1|%2|%3|%4|%5"_s.arg(entry.name, library::kindWord(entry.kind))
                         .arg(entry.count)
                         .arg(entry.weighted)
                         .arg(entry.setSummary));
    QCOMPARE(lines,
             (QStringList{u"Game|set|3|0|2 \u00d7 Six, 1 \u00d7 Raffle"_s, u"Raffle|die|2|1|"_s, u"Six|die|6|0|"_s}));
    QStringList problems;
    for (const library::Problem& problem : listing.problems)
        problems.append(problem.fileName + u": "_s + problem.reason);
    QCOMPARE(problems.size(), 5);
    QVERIFY(problems[0].startsWith(u"again.die: it names a die \"six\", as Six.die does already"_s));
    QVERIFY(problems[1].startsWith(u"broken.die: line 4: \"x\" is not a weight"_s));
    QVERIFY(problems[2].startsWith(u"empty.dieset: this is not a Quorvin Tessaly die or set"_s));
    QVERIFY(problems[3].startsWith(u"latin1.die: line 3: the text is not UTF-8"_s));
    QVERIFY(problems[4].startsWith(u"pipe.die: "_s));
    for (auto file = damaged.begin(); file != damaged.end(); ++file)
        QCOMPARE(fakes::readFile(library.filePath(file.key())), file.value());

    // Only a call that needs a damaged file fails, naming it, and it is never written over.
    const QString broken = u"Could not read \""_s + library.filePath(u"broken.die"_s) + u"\": line 4: "_s;
    QVERIFY(failure([&] { library.loadDie(u"Broken"_s); }).startsWith(broken));
    QVERIFY(failure([&] { library.save(makeDie(u"Broken"_s, {u"new"_s})); }).startsWith(broken));
    QVERIFY(failure([&] { library.remove(u"Broken"_s); }).startsWith(broken));
    QCOMPARE(fakes::readFile(library.filePath(u"broken.die"_s)), damaged[u"broken.die"_s]);
    QCOMPARE(library.loadDie(u"raffle"_s).weights, (std::vector<std::uint32_t>{3, 1}));
    const std::vector<dice::CountedDie> dice = library.setDice(library.loadSet(u"Game"_s));
    QCOMPARE(dice.size(), std::size_t{2});
    QCOMPARE(dice[0].die.name, u"Six"_s);
    QCOMPARE(dice[1].count, 1);
}

void LibraryTest::anInterruptedSaveLeavesTheEarlierFile() {
    QTemporaryDir folder;
    library::Library library(folder.path());
    library.save(makeDie(u"Roster"_s, {u"Ann"_s, u"Bo"_s}));
    const QString path = library.filePath(library.find(u"Roster"_s)->fileName);
    const QByteArray before = fakes::readFile(path);
    QStringList many;
    for (int student = 0; student < 1000; ++student)
        many.append(u"Student "_s + QString::number(student));
    QString problem;
    {
        const fakes::FileSizeLimit limit(256);
        problem = failure([&] { library.save(makeDie(u"Roster"_s, many)); });
    }
    QCOMPARE(problem, u"Could not save \""_s + path + u"\": File too large."_s);
    QCOMPARE(fakes::readFile(path), before);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{u"Roster.die"_s}); // no temporary file left
    // An export to a pipe is refused, not replaced by a file that its reader never sees.
    const QString pipe = folder.filePath(u"pipe.txt"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QCOMPARE(failure([&] { library::Library::writeFile(pipe, before); }),
             u"Could not save \""_s + pipe + u"\": it is not a regular file."_s);
    QVERIFY(!QFileInfo(pipe).isFile());
}

void LibraryTest::keepsOneEntryPerNameWhateverItsCase() {
    QTemporaryDir folder;
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path()));
    QCOMPARE(library::Library::defaultFolder(), folder.path() + u"/Calverin/Quorvin Tessaly"_s);
    library::Library library;
    library.save(makeDie(u"Six"_s, {u"1"_s, u"2"_s}));
    QVERIFY(library.exists(u"sIX"_s));
    library.save(makeDie(u"six"_s, {u"a"_s, u"b"_s, u"c"_s})); // replaces it
    QCOMPARE(library.list().entries.size(), std::size_t{1});
    QCOMPARE(library.loadDie(u"SIX"_s).sideCount(), 3);
    QCOMPARE(failure([&] {
                 library.save(dice::DiceSet{u"SIX"_s, {{u"six"_s, 1}}});
             }),
             u"The library has a die \"six\" already."_s);

    library.rename(u"six"_s, u"Six"_s); // a change of case keeps the file
    QCOMPARE(QDir(library.folder()).entryList(QDir::Files), QStringList{u"Six.die"_s});
    QCOMPARE(library.find(u"six"_s)->name, u"Six"_s);
    QCOMPARE(library.duplicate(u"Six"_s), u"Six (copy)"_s);
    QCOMPARE(library.duplicate(u"Six"_s), u"Six (copy 2)"_s);
    QCOMPARE(failure([&] { library.rename(u"Six (copy)"_s, u"six (COPY 2)"_s); }),
             u"The library has a die \"Six (copy 2)\" already."_s);
    library.rename(u"Six (copy)"_s, u"Coin"_s);
    QCOMPARE(library.find(u"Coin"_s)->fileName, u"Coin.die"_s);

    const QByteArray before = fakes::readFile(library.filePath(u"Six.die"_s));
    const library::Removed removed = library.remove(u"SIX"_s);
    QVERIFY(!library.exists(u"Six"_s));
    library.restore(removed);
    QCOMPARE(fakes::readFile(library.filePath(u"Six.die"_s)), before);
    QCOMPARE(failure([&] { library.restore(removed); }), u"The library has a die \"Six\" already."_s);
    QCOMPARE(failure([&] {
                 library.setDice(dice::DiceSet{u"Game"_s, {{u"Six"_s, 1}, {u"Gone"_s, 1}}});
             }),
             u"The set \"Game\" names the die \"Gone\", which the library does not have."_s);
    qunsetenv("XDG_DATA_HOME");
}

void LibraryTest::makesSafeFileNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("plain") << u"Class 7B"_s << QStringList() << u"Class-7B.die"_s;
    QTest::newRow("a path") << u"../../etc/passwd"_s << QStringList() << u"etc-passwd.die"_s;
    QTest::newRow("dots only") << u".."_s << QStringList() << u"die.die"_s;
    QTest::newRow("hidden") << u".profile"_s << QStringList() << u"profile.die"_s;
    QTest::newRow("a reserved device") << u"CON"_s << QStringList() << u"CON-1.die"_s;
    QTest::newRow("another script") << u"W\u00fcrfel \u4e2d"_s << QStringList() << u"W\u00fcrfel-\u4e2d.die"_s;
    QTest::newRow("emoji only") << u"\U0001F3B2\U0001F3B2"_s << QStringList() << u"die.die"_s;
    QTest::newRow("taken in another case") << u"six"_s << QStringList{u"Six.die"_s, u"SIX-2.DIE"_s} << u"six-3.die"_s;
    QTest::newRow("long") << QString(300, u'a') << QStringList() << QString(60, u'a') + u".die"_s;
}

void LibraryTest::makesSafeFileNames() {
    QFETCH(QString, name);
    QFETCH(QStringList, taken);
    QFETCH(QString, fileName);
    QCOMPARE(library::fileNameFor(name, Kind::Die, taken), fileName);
}

void LibraryTest::editsTheRowsOfASet_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("steps"); // "what row [value]", each taken (+) or refused (-)
    QTest::addColumn<QString>("taken");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("missing");
    QTest::newRow("add: a die not rolled yet, below the row, else the first")
        << u"2 x Six, 1 x Coin"_s << u"add 0; add 9; add 9"_s << u"+++"_s
        << u"2 × Six, 1 × D20, 1 × Coin, 1 × Coin, 1 × Coin"_s << QString();
    QTest::newRow("remove") << u"2 x Six, 1 x Coin"_s << u"remove 0; remove 1"_s << u"+-"_s << u"1 × Coin"_s
                            << QString();
    QTest::newRow("move, never past either end") << u"Six, Coin, D20"_s << u"move 2 -1; move 0 -1; move 2 1"_s
                                                 << u"+--"_s << u"1 × Six, 1 × D20, 1 × Coin"_s << QString();
    QTest::newRow("die: as the library spells it, and only one it has")
        << u"Six"_s << u"die 0 coin; die 0 Dragon"_s << u"+-"_s << u"1 × Coin"_s << QString();
    QTest::newRow("count: 1 up to what a roll holds with the other rows")
        << u"Six, Coin"_s << u"count 0 0; count 0 2147483647; count 0 2147483646; count 1 2"_s << u"--+-"_s
        << u"2147483646 × Six, 1 × Coin"_s << QString();
    QTest::newRow("a die that has gone stays, is reported, and can be edited around")
        << u"2 x Six, 1 x Gone, 1 x Gone"_s << u"count 1 3; move 1 -1"_s << u"++"_s << u"3 × Gone, 2 × Six, 1 × Gone"_s
        << u"The library has no die named \"Gone\": it was renamed or deleted."_s;
    QTest::newRow("choosing another die for it clears the report")
        << u"Six, Gone"_s << u"die 1 Coin"_s << u"+"_s << u"1 × Six, 1 × Coin"_s << QString();
}

void LibraryTest::editsTheRowsOfASet() {
    QFETCH(QString, start);
    QFETCH(QString, steps);
    QFETCH(QString, taken);
    QFETCH(QString, summary);
    QFETCH(QString, missing);
    QString problem;
    library::SetEditor editor(dice::DiceSet{u"Mixed"_s, *dice::parseSetSummary(start, problem)},
                              {u"Coin"_s, u"D20"_s, u"Six"_s});
    QString outcomes;
    for (const QString& step : steps.split(u"; "_s)) {
        const QStringList words = step.split(u' ');
        const int row = words[1].toInt();
        bool ok = false;
        if (words[0] == u"add")
            ok = editor.add(row) >= 0;
        else if (words[0] == u"remove")
            ok = editor.remove(row);
        else if (words[0] == u"move")
            ok = editor.move(row, words[2].toInt());
        else if (words[0] == u"die")
            ok = editor.setDie(row, words[2]);
        else
            ok = editor.setCount(row, words[2].toLongLong());
        outcomes += ok ? u'+' : u'-';
    }
    QCOMPARE(outcomes, taken);
    QCOMPARE(dice::setSummary(editor.set()), summary);
    QVERIFY(editor.problem().isEmpty());
    QCOMPARE(editor.missingText().isEmpty(), missing.isEmpty());
    QVERIFY2(editor.missingText().startsWith(missing), qPrintable(editor.missingText()));
    for (int row = 0; row < editor.rowCount(); ++row)
        QCOMPARE(editor.missing(row), editor.row(row).die == u"Gone"_s);
}

QTEST_GUILESS_MAIN(LibraryTest)
#include "tst_library.moc"
