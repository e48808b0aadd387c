#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "platform/RuntimeError.h"
#include "platform/XlsxSpreadsheet.h"
#include "results/SpreadsheetExport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cmath>

using namespace Qt::StringLiterals;
using platform::RuntimeError;

namespace {

const QString kSoftware = QString::fromUtf16(results::kNotInstalledSoftwareMessage);
const QString kFeature = QString::fromUtf16(results::kNotInstalledFeatureMessage);

// Rows "<text>" or "<text>|<sub-item>|..." under the given headers; the listed positions ticked.
void fill(core::ListModel& list, const QStringList& headers, const QStringList& rows, const QList<int>& ticked) {
    for (const QString& header : headers)
        list.addColumn(header);
    for (const QString& row : rows) {
        const QStringList cells = row.split(u'|');
        list.addItem(cells.first());
        for (int k = 1; k < cells.size(); ++k)
            list.setSubItem(list.itemCount(), k, cells[k]);
    }
    for (int position : ticked)
        list.setTicked(position, true);
}

struct Run {
    fakes::FakeServices fake;
    core::MousePointer pointer;
    QList<int> shapes;
    Run() {
        pointer.setApply([this](int shape) { shapes.append(shape); });
    }
    void click(core::ListModel& list) {
        results::saveResultsAsSpreadsheet(list, pointer, fake.services, std::chrono::microseconds(0));
    }
};

bool makeExecutable(const QString& path, const QByteArray& script) {
    return QFile::setPermissions(fakes::writeFile(path, script),
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A CSV cell with whether it was quoted: the converter quotes text cells only.
struct CsvCell {
    QString text;
    bool quoted = false;
};

QList<QList<CsvCell>> parseCsv(const QString& csv) {
    QList<QList<CsvCell>> rows;
    QList<CsvCell> row;
    CsvCell cell;
    bool inQuotes = false;
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const QChar ch = csv[i];
        if (inQuotes) {
            if (ch == u'"' && i + 1 < csv.size() && csv[i + 1] == u'"') {
                cell.text += u'"';
                ++i;
            } else if (ch == u'"') {
                inQuotes = false;
            } else {
                cell.text += ch;
            }
        } else if (ch == u'"') {
            inQuotes = true;
            cell.quoted = true;
        } else if (ch == u',') {
            row.append(cell);
            cell = {};
        } else if (ch == u'\n' || ch == u'\r') {
            if (ch == u'\r' && i + 1 < csv.size() && csv[i + 1] == u'\n')
                ++i;
            row.append(cell);
            rows.append(row);
            row.clear();
            cell = {};
        } else {
            cell.text += ch;
        }
    }
    if (!row.isEmpty() || !cell.text.isEmpty())
        rows.append(row << cell);
    return rows;
}

} // namespace

class SpreadsheetExportTest : public QObject {
    Q_OBJECT
private slots:
    void sheetRowsMirrorListPositions();
    void noTickedRowStillShowsTheHeader();
    void equalsSignsGoFromSecondColumnOnOnly();
    void missingApplicationShowsBothMessagesInOrder_data();
    void missingApplicationShowsBothMessagesInOrder();
    void emptyListMakesNoWorkbook();
    void cellsThatDoNotFitStayEmptyAndTheRestIsShown_data();
    void cellsThatDoNotFitStayEmptyAndTheRestIsShown();
    void applicationLostAfterTheTestReportsEachLaterStatementOnce();
    void applicationLostMidwayReportsEachFailingStatementOnce();
    void workbookThatCannotBeShownIsReportedOnce_data();
    void workbookThatCannotBeShownIsReportedOnce();

    void launcherOpensCalcWithATemplate_data();
    void launcherOpensCalcWithATemplate();
    void sheetFitsColumnsToTheLongestText();
    void sheetRefusesWhatDoesNotFit();
    void plainDecimalNumbersBecomeNumbers_data();
    void plainDecimalNumbersBecomeNumbers();
    void cleanupTakesOnlyOldWorkbooksAsWritten_data();
    void cleanupTakesOnlyOldWorkbooksAsWritten();
    void libreOfficeReadsTextsAsTextAndNumbersAsNumbers();
};

void SpreadsheetExportTest::sheetRowsMirrorListPositions() {
    core::ListModel list;
    fill(list, {u"Results"_s}, {u"1 - 2"_s, u"3 - 4"_s, u"5 - 6"_s, u"1 - 1"_s, u"6 - 6"_s}, {2, 4});
    Run run;
    run.click(list);

    // The test's application first, then the export's; the header column is fitted right away.
    QCOMPARE(run.fake.spreadsheets.calls,
             (QStringList{u"create"_s, u"create"_s, u"add"_s, u"cell 1 1 Results"_s, u"fit 1"_s, u"cell 3 1 3 - 4"_s,
                          u"cell 5 1 1 - 1"_s, u"fit all"_s, u"visible"_s}));
    QCOMPARE(run.shapes, (QList<int>{11, 0}));
    QCOMPARE(run.fake.messageBox.texts(), QStringList());
}

void SpreadsheetExportTest::noTickedRowStillShowsTheHeader() {
    core::ListModel list;
    fill(list, {u"Results"_s}, {u"Heads"_s, u"Tails"_s}, {});
    Run run;
    run.click(list);
    QCOMPARE(run.fake.spreadsheets.calls, (QStringList{u"create"_s, u"create"_s, u"add"_s, u"cell 1 1 Results"_s,
                                                       u"fit 1"_s, u"fit all"_s, u"visible"_s}));
}

void SpreadsheetExportTest::equalsSignsGoFromSecondColumnOnOnly() {
    core::ListModel list;
    fill(list, {u"=Roll"_s, u"=Note"_s, u"Third"_s}, {u"=1+2|a=b=c|=SUM(A1)"_s, u"=x|=y|=z"_s}, {1});
    Run run;
    run.click(list);

    const QMap<QPair<int, int>, QString> expected{{{1, 1}, u"=Roll"_s}, {{1, 2}, u"=Note"_s}, {{1, 3}, u"Third"_s},
                                                  {{2, 1}, u"=1+2"_s},  {{2, 2}, u"abc"_s},   {{2, 3}, u"SUM(A1)"_s}};
    QCOMPARE(run.fake.spreadsheets.cells, expected);
    QCOMPARE(run.fake.spreadsheets.calls.mid(3, 6), (QStringList{u"cell 1 1 =Roll"_s, u"fit 1"_s, u"cell 1 2 =Note"_s,
                                                                 u"fit 2"_s, u"cell 1 3 Third"_s, u"fit 3"_s}));
}

void SpreadsheetExportTest::missingApplicationShowsBothMessagesInOrder_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("with results") << QStringList{u"Heads"_s};
    QTest::newRow("empty list") << QStringList{};
}

void SpreadsheetExportTest::missingApplicationShowsBothMessagesInOrder() {
    QFETCH(QStringList, rows);
    core::ListModel list;
    fill(list, {u"Results"_s}, rows, rows.isEmpty() ? QList<int>{} : QList<int>{1});
    Run run;
    run.fake.spreadsheets.installed = false;
    run.click(list);

    QCOMPARE(run.fake.messageBox.texts(), (QStringList{kSoftware, kFeature}));
    for (const fakes::ShownMessage& shown : run.fake.messageBox.shown) {
        QCOMPARE(shown.style, 0);
        QCOMPARE(shown.title, QString()); // the application title
    }
    QCOMPARE(run.fake.spreadsheets.creations, 1);
    QCOMPARE(run.shapes, QList<int>());
}

void SpreadsheetExportTest::emptyListMakesNoWorkbook() {
    core::ListModel list;
    list.addColumn(u"Results"_s);
    Run run;
    run.click(list);
    QCOMPARE(run.fake.spreadsheets.calls, QStringList{u"create"_s});
    QCOMPARE(run.fake.messageBox.texts(), QStringList());
    QCOMPARE(run.shapes, QList<int>());
}

void SpreadsheetExportTest::cellsThatDoNotFitStayEmptyAndTheRestIsShown_data() {
    QTest::addColumn<qsizetype>("rows");
    QTest::addColumn<QList<qsizetype>>("ticked");
    QTest::addColumn<QList<qsizetype>>("longRows"); // their text is longLength characters long
    QTest::addColumn<qsizetype>("longLength");
    QTest::addColumn<QList<qsizetype>>("written"); // the sheet rows that receive their list row's text
    QTest::addColumn<int>("reports");
    const qsizetype tooLong = platform::kCellCharacters + 1;
    const qsizetype lastRow = platform::kSheetRows;
    QTest::newRow("a row too long for its cell")
        << qsizetype(3) << QList<qsizetype>{1, 2, 3} << QList<qsizetype>{2} << tooLong << QList<qsizetype>{2, 4} << 1;
    QTest::newRow("the longest text a cell holds")
        << qsizetype(3) << QList<qsizetype>{1, 2, 3} << QList<qsizetype>{2} << qsizetype(platform::kCellCharacters)
        << QList<qsizetype>{2, 3, 4} << 0;
    QTest::newRow("two rows too long, one report") << qsizetype(4) << QList<qsizetype>{1, 2, 3, 4}
                                                   << QList<qsizetype>{1, 3} << tooLong << QList<qsizetype>{3, 5} << 1;
    QTest::newRow("a ticked row below the sheet")
        << lastRow << QList<qsizetype>{1, lastRow - 1, lastRow} << QList<qsizetype>{} << qsizetype(0)
        << QList<qsizetype>{2, lastRow} << 1;
    QTest::newRow("unticked rows below the sheet")
        << lastRow + 5 << QList<qsizetype>{3} << QList<qsizetype>{} << qsizetype(0) << QList<qsizetype>{4} << 0;
}

void SpreadsheetExportTest::cellsThatDoNotFitStayEmptyAndTheRestIsShown() {
    QFETCH(qsizetype, rows);
    QFETCH(QList<qsizetype>, ticked);
    QFETCH(QList<qsizetype>, longRows);
    QFETCH(qsizetype, longLength);
    QFETCH(QList<qsizetype>, written);
    QFETCH(int, reports);
    core::ListModel list;
    list.addColumn(u"Results"_s);
    core::TextRows batch;
    for (qsizetype i = 1; i <= rows; ++i)
        batch.append(longRows.contains(i) ? QString(longLength, u'x') : u"row %1"_s.arg(i));
    list.addItems(batch);
    for (qsizetype position : ticked)
        list.setTicked(position, true);

    Run run;
    run.click(list);

    QList<qsizetype> sheetRows;
    for (auto it = run.fake.spreadsheets.cells.cbegin(); it != run.fake.spreadsheets.cells.cend(); ++it) {
        if (it.key().first == 1)
            continue; // the header
        sheetRows.append(it.key().first);
        QCOMPARE(it.value(), list.text(it.key().first - 1)); // in its place
    }
    QCOMPARE(sheetRows, written);
    QCOMPARE(run.fake.messageBox.reportedLines(), QStringList(reports, u"148"_s));
    QCOMPARE(run.fake.spreadsheets.calls.last(), u"visible"_s);
    QCOMPARE(run.shapes, (QList<int>{11, 0}));
}

void SpreadsheetExportTest::applicationLostAfterTheTestReportsEachLaterStatementOnce() {
    core::ListModel list;
    fill(list, {u"Results"_s}, {u"a"_s, u"b"_s, u"c"_s}, {1, 3});
    Run run;
    run.fake.spreadsheets.creationOutcomes << true << false;
    run.click(list);

    QCOMPARE(run.fake.messageBox.reportedLines(),
             (QStringList{u"116"_s, u"118"_s, u"126"_s, u"130"_s, u"148"_s, u"160"_s, u"162"_s}));
    const QStringList texts = run.fake.messageBox.texts();
    QVERIFY(texts.first().startsWith(u"Can't create object\r\nin Quorvin2021/08/31.Form1.PushButton13_Click "_s));
    QCOMPARE(run.shapes, (QList<int>{11, 0}));
}

void SpreadsheetExportTest::applicationLostMidwayReportsEachFailingStatementOnce() {
    core::ListModel list;
    list.addColumn(u"Results"_s);
    for (int i = 0; i < 10000; ++i)
        list.addItem(u"Rock - Paper"_s);
    list.setAllTicked(true);
    Run run;
    // The workbook, the header and its fit, then ten rows: the user closes the application.
    run.fake.spreadsheets.callsBeforeLoss = 3 + 10;
    run.click(list);

    QCOMPARE(run.fake.messageBox.reportedLines(), (QStringList{u"148"_s, u"160"_s, u"162"_s}));
    QVERIFY(run.fake.messageBox.texts().first().startsWith(u"Automation error\r\n"_s));
    QCOMPARE(run.fake.spreadsheets.cells.size(), 1 + 10);
    QCOMPARE(run.shapes, (QList<int>{11, 0}));
}

void SpreadsheetExportTest::workbookThatCannotBeShownIsReportedOnce_data() {
    QTest::addColumn<QString>("folder"); // relative folders go into a fresh temporary folder
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QString>("report");
    QTest::newRow("application does not start")
        << u"exports"_s << false << u"Automation error: the spreadsheet application could not be started: "_s;
    QTest::newRow("folder under a file") << u"file/exports"_s << true
                                         << u"Path not found: the folder for the workbook cannot be made: "_s;
    // Permissions do not stop root; /proc refuses new files to everyone.
    QTest::newRow("folder refuses files")
        << u"/proc"_s << true << u"Path/File access error: the workbook cannot be written into the folder "_s;
}

void SpreadsheetExportTest::workbookThatCannotBeShownIsReportedOnce() {
    QFETCH(QString, folder);
    QFETCH(bool, starts);
    QFETCH(QString, report);
    QTemporaryDir dir;
    fakes::writeFile(dir.filePath(u"file"_s), {});
    if (QDir::isRelativePath(folder))
        folder = dir.filePath(folder);
    core::ListModel list;
    fill(list, {u"Results"_s}, {u"Heads"_s, u"Tails"_s}, {1, 2});
    platform::XlsxSpreadsheets sheets;
    sheets.setFolder(folder);
    sheets.setFinder([] { return platform::SpreadsheetLauncher{u"/opt/calc/localc"_s, {u"-n"_s}}; });
    QStringList started;
    sheets.setStarter([&](const QString& program, const QStringList& arguments) {
        started = QStringList{program} + arguments;
        return starts;
    });
    Run run;
    run.fake.services.spreadsheets = &sheets;

    run.click(list);

    QCOMPARE(run.fake.messageBox.reportedLines(), QStringList{u"162"_s});
    const QString text = run.fake.messageBox.texts().first();
    QVERIFY2(text.startsWith(report), qPrintable(text));
    QVERIFY(text.contains(starts ? folder : u"/opt/calc/localc"_s));
    QCOMPARE(started.isEmpty(), starts); // a workbook that was never written is never opened
    QCOMPARE(run.shapes, (QList<int>{11, 0}));
    // A workbook no application will read does not stay behind.
    if (QFileInfo(folder).isDir())
        QCOMPARE(QDir(folder).entryList({u"results-*"_s}, QDir::Files), QStringList());
}

void SpreadsheetExportTest::launcherOpensCalcWithATemplate_data() {
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QByteArray>("defaultApplication");
    QTest::addColumn<QStringList>("command"); // program name, then arguments
    QTest::newRow("Calc itself") << QStringList{u"soffice"_s, u"localc"_s} << QByteArray()
                                 << QStringList{u"localc"_s, u"-n"_s};
    QTest::newRow("the suite") << QStringList{u"soffice"_s} << QByteArray()
                               << QStringList{u"soffice"_s, u"--calc"_s, u"-n"_s};
    QTest::newRow("desktop default") << QStringList{u"xdg-mime"_s, u"xdg-open"_s}
                                     << QByteArray("org.gnome.Gnumeric.desktop") << QStringList{u"xdg-open"_s};
    QTest::newRow("no default for .xlsx") << QStringList{u"xdg-mime"_s, u"xdg-open"_s} << QByteArray() << QStringList{};
    QTest::newRow("nothing") << QStringList{} << QByteArray() << QStringList{};
}

void SpreadsheetExportTest::launcherOpensCalcWithATemplate() {
    QFETCH(QStringList, installed);
    QFETCH(QByteArray, defaultApplication);
    QFETCH(QStringList, command);
    QTemporaryDir bin;
    for (const QString& name : installed) {
        const QByteArray body =
            name == u"xdg-mime"_s ? QByteArray("echo " + defaultApplication + "\n") : QByteArray("exit 0\n");
        QVERIFY(makeExecutable(bin.filePath(name), "#!/bin/sh\n" + body));
    }

    const std::optional<platform::SpreadsheetLauncher> launcher = platform::findSpreadsheetApplication({bin.path()});

    QCOMPARE(launcher.has_value(), !command.isEmpty());
    if (launcher) {
        QCOMPARE(launcher->program, bin.filePath(command.first()));
        QCOMPARE(launcher->arguments, command.mid(1));
    }
    platform::XlsxSpreadsheets sheets;
    sheets.setFinder([&] { return platform::findSpreadsheetApplication({bin.path()}); });
    if (!launcher)
        QVERIFY_THROWS_EXCEPTION(RuntimeError, sheets.createApplication());
    // A program that cannot run is a failed start, told at once rather than waited for.
    QVERIFY(!platform::XlsxSpreadsheets::startDetached(bin.filePath(u"missing"_s), {}));
    QVERIFY(makeExecutable(bin.filePath(u"not-a-program"_s), "\x7f"
                                                             "ELF garbage"));
    QVERIFY(!platform::XlsxSpreadsheets::startDetached(bin.filePath(u"not-a-program"_s), {}));
}

void SpreadsheetExportTest::sheetFitsColumnsToTheLongestText() {
    platform::XlsxSheet sheet;
    sheet.setCellText(1, 1, u"Results");
    sheet.autoFitColumn(1);
    QCOMPARE(sheet.columnWidth(1), std::optional<double>(8.0));
    sheet.setCellText(2, 1, u"Rock - Paper - Scissors");
    sheet.setCellText(3, 2, u"x");
    QCOMPARE(sheet.columnWidth(1), std::optional<double>(8.0)); // a fit holds until the next one
    QCOMPARE(sheet.columnWidth(2), std::nullopt);

    sheet.setCellText(2, 1, u"short"); // written again: the last text counts
    sheet.autoFitColumns();
    QCOMPARE(sheet.columnWidth(1), std::optional<double>(8.0));
    QCOMPARE(sheet.columnWidth(2), std::optional<double>(2.0));
    QCOMPARE(sheet.cellText(2, 1), u"short"_s);
    QCOMPARE(sheet.cellText(4, 4), QString());
}

void SpreadsheetExportTest::sheetRefusesWhatDoesNotFit() {
    platform::XlsxSheet sheet;
    const QString longest(platform::kCellCharacters, u'x');
    sheet.setCellText(platform::kSheetRows, platform::kSheetColumns, longest);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, sheet.setCellText(platform::kSheetRows + 1, 1, u"x"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, sheet.setCellText(1, platform::kSheetColumns + 1, u"x"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, sheet.setCellText(1, 1, QString(longest + u'x')));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, sheet.setCellText(0, 1, u"x"));
    QCOMPARE(sheet.cellText(1, 1), QString());
}

void SpreadsheetExportTest::plainDecimalNumbersBecomeNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("decimalPoint");
    QTest::addColumn<QVariant>("number"); // invalid: the text stays text
    const QVariant text;
    QTest::newRow("one numeric die") << u"6"_s << u"."_s << QVariant(6.0);
    QTest::newRow("negative") << u"-12"_s << u"."_s << QVariant(-12.0);
    QTest::newRow("negative zero is zero") << u"-0"_s << u"."_s << QVariant(0.0);
    QTest::newRow("fraction") << u"0.25"_s << u"."_s << QVariant(0.25);
    QTest::newRow("the locale's comma") << u"-3,5"_s << u","_s << QVariant(-3.5);
    QTest::newRow("another locale's point") << u"3.5"_s << u","_s << text;
    QTest::newRow("leading zero") << u"007"_s << u"."_s << text;
    QTest::newRow("grouping") << u"1,000"_s << u"."_s << text;
    QTest::newRow("exponent") << u"1e5"_s << u"."_s << text;
    QTest::newRow("blank around") << u" 5"_s << u"."_s << text;
    QTest::newRow("point without digits after") << u"5."_s << u"."_s << text;
    QTest::newRow("a roll of two dice") << u"1 - 2"_s << u"."_s << text;
    QTest::newRow("beyond any number") << u"1"_s + QString(400, u'0') << u"."_s << text;
    QTest::newRow("other digits") << u"\u0663"_s << u"."_s << text;
}

void SpreadsheetExportTest::plainDecimalNumbersBecomeNumbers() {
    QFETCH(QString, text);
    QFETCH(QString, decimalPoint);
    QFETCH(QVariant, number);
    const std::optional<double> read = platform::plainNumber(text, decimalPoint);
    QCOMPARE(read.has_value(), number.isValid());
    if (read) {
        QCOMPARE(*read, number.toDouble());
        QVERIFY(!std::signbit(*read) || *read != 0.0);
    }
}

void SpreadsheetExportTest::cleanupTakesOnlyOldWorkbooksAsWritten_data() {
    QTest::addColumn<QString>("since"); // what happened to the workbook since the export wrote it
    QTest::addColumn<int>("maxAgeHours");
    QTest::addColumn<bool>("removed");
    QTest::newRow("nothing, and old enough") << u"nothing"_s << 0 << true;
    QTest::newRow("nothing, but too fresh") << u"nothing"_s << 24 << false;
    QTest::newRow("the user saved over it") << u"saved"_s << 0 << false;
    QTest::newRow("same size, another time") << u"touched"_s << 0 << false;
    QTest::newRow("not written by the export") << u"foreign"_s << 0 << false;
}

void SpreadsheetExportTest::cleanupTakesOnlyOldWorkbooksAsWritten() {
    QFETCH(QString, since);
    QFETCH(int, maxAgeHours);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    platform::XlsxSpreadsheets sheets;
    sheets.setFolder(dir.path());
    sheets.setFinder([] { return platform::SpreadsheetLauncher{u"localc"_s, {u"-n"_s}}; });
    QString workbook;
    sheets.setStarter([&](const QString&, const QStringList& arguments) {
        workbook = arguments.last();
        return true;
    });
    const std::unique_ptr<platform::SpreadsheetApplication> application = sheets.createApplication();
    application->addWorkbook().activeSheet().setCellText(1, 1, u"Results");
    application->setVisible(true);
    QVERIFY(QFileInfo(workbook).isFile());

    QFile file(workbook);
    if (since == u"saved") {
        QVERIFY(file.open(QIODevice::Append));
        file.write("more");
    } else if (since == u"touched") {
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime));
    } else if (since == u"foreign") {
        QVERIFY(QFile::rename(workbook, workbook + u".kept"_s));
        workbook = fakes::writeFile(dir.filePath(u"results-mine.xlsx"_s), "PK");
    }
    file.close();

    QCOMPARE(platform::XlsxSpreadsheets::removeStaleWorkbooks(dir.path(), std::chrono::hours(maxAgeHours)),
             removed ? 1 : 0);
    QCOMPARE(QFileInfo::exists(workbook), !removed);
    if (removed) // with whatever the export kept beside it
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void SpreadsheetExportTest::libreOfficeReadsTextsAsTextAndNumbersAsNumbers() {
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
    if (soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    // given: texts a spreadsheet would be tempted to read as something else, every other row ticked
    const QStringList texts{u"Heads - Tails"_s,
                            u"=1+2"_s,
                            u"=HYPERLINK(\"http://example.com\",\"click\")"_s,
                            u"007"_s,
                            u"1/2"_s,
                            u"  two spaces either side  "_s,
                            u"Würfel – € 🎲"_s,
                            u"comma, \"quote\""_s,
                            u"TRUE"_s,
                            u"tab\there"_s,
                            u"6"_s,
                            u"-2.5"_s};
    core::ListModel list;
    list.addColumn(u"Results"_s);
    list.addColumn(u"=Note"_s);
    for (int i = 0; i < 3 * texts.size(); ++i) {
        list.addItem(texts[i % texts.size()]);
        list.setSubItem(list.itemCount(), 1, texts[(i + 1) % texts.size()]);
        list.setTicked(list.itemCount(), i % 2 == 0);
    }
    platform::XlsxSpreadsheets sheets;
    sheets.setFolder(dir.filePath(u"exports"_s));
    sheets.setFinder([] { return platform::SpreadsheetLauncher{u"localc"_s, {u"-n"_s}}; });
    QStringList started;
    sheets.setStarter([&](const QString& program, const QStringList& arguments) {
        started = QStringList{program} + arguments;
        return true;
    });
    Run run;
    run.fake.services.spreadsheets = &sheets;

    // when
    run.click(list);

    QCOMPARE(run.fake.messageBox.texts(), QStringList());
    QCOMPARE(started.size(), 3);
    QCOMPARE(started.mid(0, 2), (QStringList{u"localc"_s, u"-n"_s}));
    const QString workbook = started.last();
    QCOMPARE(QFileInfo(workbook).absolutePath(), QDir(dir.filePath(u"exports"_s)).absolutePath());

    // then: LibreOffice, with a throwaway profile, reads back every cell
    QProcess convert;
    convert.setProcessChannelMode(QProcess::MergedChannels);
    convert.start(soffice, {u"-env:UserInstallation="_s + QUrl::fromLocalFile(dir.filePath(u"profile"_s)).toString(),
                            u"--headless"_s, u"--norestore"_s, u"--convert-to"_s,
                            u"csv:Text - txt - csv (StarCalc):44,34,76,1,,0,true"_s, u"--outdir"_s,
                            dir.filePath(u"csv"_s), workbook});
    if (!convert.waitForFinished(180000)) {
        convert.kill();
        convert.waitForFinished();
        QFAIL("LibreOffice did not convert the workbook within three minutes");
    }
    QFile csv(dir.filePath(u"csv/"_s) + QFileInfo(workbook).completeBaseName() + u".csv"_s);
    QVERIFY2(csv.open(QIODevice::ReadOnly), convert.readAll().constData());
    const QList<QList<CsvCell>> sheet = parseCsv(QString::fromUtf8(csv.readAll()));

    QList<QStringList> expected{{u"Results"_s, u"=Note"_s}};
    for (std::int64_t r = 1; r <= list.itemCount(); ++r) {
        QString second = list.subItem(r, 1);
        second.remove(u'=');
        expected.append(list.isTicked(r) ? QStringList{list.text(r), second} : QStringList{QString(), QString()});
    }
    const qsizetype rowCount = std::max(expected.size(), sheet.size());
    for (qsizetype r = 0; r < rowCount; ++r) {
        for (qsizetype c = 0; c < 2; ++c) {
            const CsvCell cell = sheet.value(r).value(c);
            const QString want = expected.value(r).value(c);
            QVERIFY2(
                cell.text == want,
                qPrintable(u"row %1 column %2: \"%3\", expected \"%4\""_s.arg(r + 1).arg(c + 1).arg(cell.text, want)));
            // Quoted by the converter means a text cell; a plain number alone is a number cell.
            const bool number = platform::plainNumber(want, QLocale().decimalPoint()).has_value();
            QCOMPARE(cell.quoted, !want.isEmpty() && !number);
        }
        QVERIFY(sheet.value(r).size() <= 2);
    }
}

QTEST_GUILESS_MAIN(SpreadsheetExportTest)
#include "tst_spreadsheetexport.moc"
