#include "XlsxSpreadsheet.h"

#include "RuntimeError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <QVarLengthArray>

#include <xlsxwriter.h>

#include <algorithm>
#include <charconv>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

// What the spreadsheet says when a cell address or a text is beyond the sheet.
RuntimeError sheetError() {
    return RuntimeError(RuntimeError::ApplicationDefined);
}

const QString kWorkbookPattern = u"results-*.xlsx"_s;
const QString kRecordSuffix = u".written"_s;

// "<size> <modification time in ms since the epoch>" of a workbook as this program left it.
QByteArray fingerprint(const QFileInfo& file) {
    return QByteArray::number(file.size()) + ' ' + QByteArray::number(file.lastModified().toMSecsSinceEpoch());
}

// Without its record a workbook is never removed: a record that cannot be written costs only space.
void recordWritten(const QString& workbook) {
    QFile record(workbook + kRecordSuffix);
    if (record.open(QIODevice::WriteOnly | QIODevice::Truncate))
        record.write(fingerprint(QFileInfo(workbook)));
}

bool unchangedSinceWritten(const QFileInfo& workbook) {
    QFile record(workbook.absoluteFilePath() + kRecordSuffix);
    return record.open(QIODevice::ReadOnly) && record.read(64) == fingerprint(workbook);
}

class XlsxApplication final : public SpreadsheetApplication {
public:
    XlsxApplication(SpreadsheetLauncher launcher, QString folder, XlsxSpreadsheets::Starter starter)
        : m_launcher(std::move(launcher))
        , m_folder(std::move(folder))
        , m_starter(std::move(starter)) {}

    SpreadsheetWorkbook& addWorkbook() override {
        m_workbooks.push_back(std::make_unique<XlsxWorkbook>());
        m_shown.push_back(false);
        return *m_workbooks.back();
    }

    void setVisible(bool visible) override {
        if (!visible)
            return;
        for (std::size_t i = 0; i < m_workbooks.size(); ++i) {
            if (!m_shown[i])
                show(*m_workbooks[i]);
            m_shown[i] = true;
        }
    }

private:
    void show(XlsxWorkbook& workbook) {
        // The standard description first, then what the user can act on: which folder, which program.
        const auto failure = [](RuntimeError::Code code, const QString& detail) {
            return RuntimeError(code, RuntimeError::standardDescription(code) + u": "_s + detail);
        };
        // Private to the user: the results may be nobody else's business.
        if (!QDir().mkpath(m_folder))
            throw failure(RuntimeError::PathNotFound, u"the folder for the workbook cannot be made: "_s + m_folder);
        QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QString path;
        {
            QTemporaryFile reserved(m_folder + u"/results-XXXXXX.xlsx"_s);
            reserved.setAutoRemove(false);
            if (!reserved.open())
                throw failure(RuntimeError::PathFileAccessError,
                              u"the workbook cannot be written into the folder "_s + m_folder);
            path = reserved.fileName();
        }
        try {
            workbook.activeSheet().save(path);
        } catch (const RuntimeError&) {
            QFile::remove(path);
            throw;
        }
        // The file stays: the application reads it after we return. A later start removes it, unless the
        // user has saved over it.
        recordWritten(path);
        if (!m_starter(m_launcher.program, m_launcher.arguments + QStringList{path})) {
            // Nobody will ever open it.
            QFile::remove(path);
            QFile::remove(path + kRecordSuffix);
            throw failure(RuntimeError::AutomationError,
                          u"the spreadsheet application could not be started: "_s + m_launcher.program);
        }
    }

    SpreadsheetLauncher m_launcher;
    QString m_folder;
    XlsxSpreadsheets::Starter m_starter;
    std::vector<std::unique_ptr<XlsxWorkbook>> m_workbooks;
    std::vector<bool> m_shown;
};

} // namespace

std::optional<double> plainNumber(QStringView text, QStringView decimalPoint) {
    const auto digitsEnd = [&](qsizetype from) {
        while (from < text.size() && text[from] >= u'0' && text[from] <= u'9')
            ++from;
        return from;
    };
    const qsizetype whole = text.startsWith(u'-') ? 1 : 0;
    const qsizetype wholeEnd = digitsEnd(whole);
    if (wholeEnd == whole || (wholeEnd - whole > 1 && text[whole] == u'0'))
        return std::nullopt;
    qsizetype fraction = wholeEnd;
    qsizetype fractionEnd = wholeEnd;
    if (wholeEnd < text.size()) {
        if (decimalPoint.isEmpty() || !text.sliced(wholeEnd).startsWith(decimalPoint))
            return std::nullopt;
        fraction = wholeEnd + decimalPoint.size();
        fractionEnd = digitsEnd(fraction);
        if (fractionEnd == fraction || fractionEnd != text.size())
            return std::nullopt;
    }
    // The same digits in the C notation that from_chars reads; on the stack unless very long.
    QVarLengthArray<char, 64> notation;
    for (qsizetype i = 0; i < wholeEnd; ++i)
        notation.append(static_cast<char>(text[i].unicode()));
    if (fractionEnd > fraction) {
        notation.append('.');
        for (qsizetype i = fraction; i < fractionEnd; ++i)
            notation.append(static_cast<char>(text[i].unicode()));
    }
    double value = 0.0;
    const auto [end, failure] = std::from_chars(notation.constData(), notation.constData() + notation.size(), value);
    if (failure != std::errc() || end != notation.constData() + notation.size())
        return std::nullopt;           // beyond what a number cell holds: it stays the text it is
    return value == 0.0 ? 0.0 : value; // "-0" is typed zero, not a negative one
}

void XlsxSheet::setCellText(int row, int column, QStringView text) {
    if (row < 1 || row > kSheetRows || column < 1 || column > kSheetColumns || text.size() > kCellCharacters)
        throw sheetError();
    if (!m_cells.empty()) {
        const Cell& last = m_cells.back();
        if (row < last.row || (row == last.row && column <= last.column))
            m_sorted = false;
    }
    const auto* chars = reinterpret_cast<const char16_t*>(text.utf16());
    m_cells.push_back({row, column, m_chars.size(), static_cast<std::size_t>(text.size())});
    m_chars.insert(m_chars.end(), chars, chars + text.size());
}

void XlsxSheet::sortCells() {
    if (m_sorted)
        return;
    const auto before = [](const Cell& a, const Cell& b) {
        return a.row < b.row || (a.row == b.row && a.column < b.column);
    };
    std::stable_sort(m_cells.begin(), m_cells.end(), before);
    // A cell written twice keeps its last text.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_cells.size(); ++i) {
        if (i + 1 < m_cells.size() && !before(m_cells[i], m_cells[i + 1]))
            continue;
        m_cells[kept++] = m_cells[i];
    }
    m_cells.resize(kept);
    m_sorted = true;
}

QStringView XlsxSheet::textOf(const Cell& cell) const {
    return QStringView(m_chars.data() + cell.begin, static_cast<qsizetype>(cell.length));
}

void XlsxSheet::setWidth(int column, std::size_t longest) {
    if (m_widths.size() < static_cast<std::size_t>(column))
        m_widths.resize(static_cast<std::size_t>(column), 0.0);
    // Widths count characters of the default font; one more keeps the text off the cell's edge.
    m_widths[static_cast<std::size_t>(column - 1)] =
        longest == 0 ? LXW_DEF_COL_WIDTH : std::min(255.0, static_cast<double>(longest) + 1.0);
}

void XlsxSheet::autoFitColumn(int column) {
    if (column < 1 || column > kSheetColumns)
        throw sheetError();
    sortCells();
    std::size_t longest = 0;
    for (const Cell& cell : m_cells) {
        if (cell.column == column)
            longest = std::max(longest, cell.length);
    }
    setWidth(column, longest);
}

void XlsxSheet::autoFitColumns() {
    sortCells();
    std::vector<std::size_t> longest;
    std::vector<bool> used;
    for (const Cell& cell : m_cells) {
        const auto index = static_cast<std::size_t>(cell.column - 1);
        if (longest.size() <= index) {
            longest.resize(index + 1, 0);
            used.resize(index + 1, false);
        }
        longest[index] = std::max(longest[index], cell.length);
        used[index] = true;
    }
    for (std::size_t i = 0; i < longest.size(); ++i) {
        if (used[i])
            setWidth(static_cast<int>(i + 1), longest[i]);
    }
}

QString XlsxSheet::cellText(int row, int column) {
    sortCells();
    const auto it = std::lower_bound(
        m_cells.begin(), m_cells.end(), std::make_pair(row, column),
        [](const Cell& cell, const std::pair<int, int>& key) { return std::make_pair(cell.row, cell.column) < key; });
    if (it == m_cells.end() || it->row != row || it->column != column)
        return {};
    return textOf(*it).toString();
}

std::optional<double> XlsxSheet::columnWidth(int column) const {
    if (column < 1 || static_cast<std::size_t>(column) > m_widths.size() ||
        m_widths[static_cast<std::size_t>(column - 1)] == 0.0)
        return std::nullopt;
    return m_widths[static_cast<std::size_t>(column - 1)];
}

void XlsxSheet::save(const QString& path) {
    sortCells();
    // Constant-memory mode streams the rows, in order, to a scratch file beside the workbook, and
    // writes each text inline in its cell: no string table to build for a million rows.
    QByteArray scratchFolder = QFile::encodeName(QFileInfo(path).absolutePath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratchFolder.data();
    lxw_workbook* workbook = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (workbook == nullptr)
        throw RuntimeError(RuntimeError::OutOfMemory);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_error error = sheet == nullptr ? LXW_ERROR_MEMORY_MALLOC_FAILED : LXW_NO_ERROR;
    for (std::size_t i = 0; i < m_widths.size() && error == LXW_NO_ERROR; ++i) {
        if (m_widths[i] > 0.0)
            error =
                worksheet_set_column(sheet, static_cast<lxw_col_t>(i), static_cast<lxw_col_t>(i), m_widths[i], nullptr);
    }
    // Stateless: a broken surrogate at the end of one cell must not leak into the next.
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QByteArray utf8;
    const QString decimalPoint = QLocale().decimalPoint();
    for (const Cell& cell : m_cells) {
        if (error != LXW_NO_ERROR)
            break;
        if (cell.length == 0)
            continue;
        const QStringView text = textOf(cell);
        const auto row = static_cast<lxw_row_t>(cell.row - 1);
        const auto column = static_cast<lxw_col_t>(cell.column - 1);
        if (const std::optional<double> number = plainNumber(text, decimalPoint)) {
            error = worksheet_write_number(sheet, row, column, *number, nullptr);
            continue;
        }
        utf8.resize(encoder.requiredSpace(text.size()) + 1);
        *encoder.appendToBuffer(utf8.data(), text) = '\0';
        // A string cell: a text such as "=1+2" stays the visible text, never a formula.
        error = worksheet_write_string(sheet, row, column, utf8.constData(), nullptr);
    }
    const lxw_error closed = workbook_close(workbook);
    if (error != LXW_NO_ERROR || closed != LXW_NO_ERROR) {
        QFile::remove(path);
        if (error == LXW_ERROR_MEMORY_MALLOC_FAILED)
            throw RuntimeError(RuntimeError::OutOfMemory);
        if (error != LXW_NO_ERROR)
            throw sheetError();
        throw RuntimeError(closed == LXW_ERROR_CREATING_XLSX_FILE ? RuntimeError::PathFileAccessError
                                                                  : RuntimeError::DeviceIoError);
    }
}

std::optional<SpreadsheetLauncher> findSpreadsheetApplication(const QStringList& searchPaths) {
    const auto find = [&](const QString& name) {
        return searchPaths.isEmpty() ? QStandardPaths::findExecutable(name)
                                     : QStandardPaths::findExecutable(name, searchPaths);
    };
    // "-n" opens the file as a template: a new, untitled document that the user saves or discards.
    if (const QString calc = find(u"localc"_s); !calc.isEmpty())
        return SpreadsheetLauncher{calc, {u"-n"_s}};
    for (const QString& name : {u"libreoffice"_s, u"soffice"_s}) {
        if (const QString office = find(name); !office.isEmpty())
            return SpreadsheetLauncher{office, {u"--calc"_s, u"-n"_s}};
    }
    const QString xdgMime = find(u"xdg-mime"_s);
    const QString xdgOpen = find(u"xdg-open"_s);
    if (xdgMime.isEmpty() || xdgOpen.isEmpty())
        return std::nullopt;
    QProcess query;
    query.start(xdgMime,
                {u"query"_s, u"default"_s, u"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"_s});
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return std::nullopt;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0 ||
        query.readAllStandardOutput().trimmed().isEmpty())
        return std::nullopt;
    return SpreadsheetLauncher{xdgOpen, {}};
}

XlsxSpreadsheets::XlsxSpreadsheets()
    : m_finder([] { return findSpreadsheetApplication(); })
    , m_starter(&XlsxSpreadsheets::startDetached)
    , m_folder(defaultFolder()) {}

std::unique_ptr<SpreadsheetApplication> XlsxSpreadsheets::createApplication() {
    std::optional<SpreadsheetLauncher> launcher = m_finder();
    if (!launcher)
        throw RuntimeError(RuntimeError::CannotCreateObject);
    return std::make_unique<XlsxApplication>(std::move(*launcher), m_folder, m_starter);
}

QString XlsxSpreadsheets::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + u"/exports"_s;
}

int XlsxSpreadsheets::removeStaleWorkbooks(const QString& folder, std::chrono::seconds maxAge) {
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addSecs(-maxAge.count());
    int removed = 0;
    const QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList({kWorkbookPattern}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& file : files) {
        if (file.lastModified().toUTC() > cutoff)
            continue;
        if (unchangedSinceWritten(file) && QFile::remove(file.absoluteFilePath()))
            ++removed;
        // Either way the record has done its work: a workbook the user changed is the user's for good.
        QFile::remove(file.absoluteFilePath() + kRecordSuffix);
    }
    // Records whose workbook the user moved away.
    const QFileInfoList records = dir.entryInfoList({kWorkbookPattern + kRecordSuffix}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& record : records) {
        const QString workbook = record.absoluteFilePath().chopped(kRecordSuffix.size());
        if (!QFileInfo::exists(workbook) && record.lastModified().toUTC() <= cutoff)
            QFile::remove(record.absoluteFilePath());
    }
    return removed;
}

bool XlsxSpreadsheets::startDetached(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace platform
