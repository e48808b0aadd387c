#pragma once

#include <QStringView>

#include <memory>

namespace platform {

// The spreadsheet application as the export drives it: start it, add a workbook, put texts into
// the cells of its active sheet, fit the columns, and show the result to the user. Rows and columns
// count from 1. Every call may throw RuntimeError.
class SpreadsheetSheet {
public:
    virtual ~SpreadsheetSheet() = default;
    // The text arrives as if typed into the cell: a plain decimal number becomes a number (SUM and sorting
    // work on it), any other text stays the visible text; nothing becomes a formula or a date.
    virtual void setCellText(int row, int column, QStringView text) = 0;
    virtual void autoFitColumn(int column) = 0;
    virtual void autoFitColumns() = 0;
};

class SpreadsheetWorkbook {
public:
    virtual ~SpreadsheetWorkbook() = default;
    virtual SpreadsheetSheet& activeSheet() = 0;
};

// Releasing the application never closes what it has shown: the user keeps the workbook.
class SpreadsheetApplication {
public:
    virtual ~SpreadsheetApplication() = default;
    // A new, empty workbook, owned by the application.
    virtual SpreadsheetWorkbook& addWorkbook() = 0;
    virtual void setVisible(bool visible) = 0;
};

class Spreadsheets {
public:
    virtual ~Spreadsheets() = default;
    // Throws RuntimeError(CannotCreateObject) when no spreadsheet application is installed.
    virtual std::unique_ptr<SpreadsheetApplication> createApplication() = 0;
};

// What one sheet can hold.
inline constexpr int kSheetRows = 1048576;
inline constexpr int kSheetColumns = 16384;
inline constexpr int kCellCharacters = 32767;

} // namespace platform
