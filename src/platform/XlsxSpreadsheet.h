#pragma once

#include "Spreadsheet.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace platform {

// The number a cell's text stands for when it is typed into a spreadsheet, in plain decimal notation
// only: an optional "-", digits without a leading zero, then optionally the locale's decimal separator
// and more digits; no grouping, no exponent, nothing before or after. nullopt for every other text,
// which stays text (never a formula, never a date).
std::optional<double> plainNumber(QStringView text, QStringView decimalPoint);

// A sheet kept in memory until it is shown: the cells' texts back to back in one buffer.
class XlsxSheet final : public SpreadsheetSheet {
public:
    void setCellText(int row, int column, QStringView text) override;
    void autoFitColumn(int column) override;
    void autoFitColumns() override;

    // The text of a cell; empty when never set.
    QString cellText(int row, int column);
    // The width a fit gave the column, in characters; nullopt when it was never fitted.
    std::optional<double> columnWidth(int column) const;
    // Writes the sheet as an .xlsx workbook: a cell whose text is a plainNumber() in the user's locale as a
    // number, every other cell as text. Throws RuntimeError.
    void save(const QString& path);

private:
    struct Cell {
        int row;
        int column;
        std::size_t begin;
        std::size_t length;
    };
    void sortCells();
    QStringView textOf(const Cell& cell) const;
    void setWidth(int column, std::size_t longest);

    std::vector<Cell> m_cells;
    std::vector<char16_t> m_chars;
    bool m_sorted = true;         // by row, then column, each cell once
    std::vector<double> m_widths; // by column from 0; 0 when never fitted
};

class XlsxWorkbook final : public SpreadsheetWorkbook {
public:
    XlsxSheet& activeSheet() override { return m_sheet; }

private:
    XlsxSheet m_sheet;
};

// How to open a workbook file in the installed spreadsheet application; the file goes last.
struct SpreadsheetLauncher {
    QString program;
    QStringList arguments;
};

// LibreOffice Calc on the PATH (or in searchPaths when given) opens the file as a template, so the
// user gets a new, untitled document; failing that, the desktop's default application for .xlsx
// files opens it. nullopt when there is neither.
std::optional<SpreadsheetLauncher> findSpreadsheetApplication(const QStringList& searchPaths = {});

// Spreadsheets on a desktop without automation: the workbook is built in memory, and making the
// application visible writes it as an .xlsx file into a per-user folder and opens it there. Beside each
// workbook a record keeps its size and time as written, so that the cleanup never takes a workbook the
// user has saved over.
class XlsxSpreadsheets final : public Spreadsheets {
public:
    using Finder = std::function<std::optional<SpreadsheetLauncher>()>;
    using Starter = std::function<bool(const QString& program, const QStringList& arguments)>;

    XlsxSpreadsheets();

    std::unique_ptr<SpreadsheetApplication> createApplication() override;

    void setFinder(Finder finder) { m_finder = std::move(finder); }
    void setStarter(Starter starter) { m_starter = std::move(starter); }
    void setFolder(const QString& folder) { m_folder = folder; }
    const QString& folder() const { return m_folder; }

    // The per-user folder for the workbook files: the cache folder's "exports".
    static QString defaultFolder();
    // Removes the workbook files in folder older than maxAge (the application has long read them) that
    // are unchanged since this program wrote them: same size and modification time. Returns how many went.
    static int removeStaleWorkbooks(const QString& folder, std::chrono::seconds maxAge);
    // Starts the program detached from this process, its output discarded.
    static bool startDetached(const QString& program, const QStringList& arguments);

private:
    Finder m_finder;
    Starter m_starter;
    QString m_folder;
};

} // namespace platform
