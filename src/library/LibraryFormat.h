#pragma once

// The dice library's file formats, written and read in one place (docs/library-format.md describes
// them for people):
//
// - The library's own files: UTF-8 text, one die or one set per file. The first line says which
//   ("Quorvin Tessaly die 1", "Quorvin Tessaly set 1"; the 1 is the format's version), a line
//   "name<TAB>..." gives its name, and every other line is "number<TAB>text": a side's weight and
//   label, or a count and a die's name. The text is the rest of the line, with \t, \n, \r, \\, \s (a
//   space, written at either end of a text) and \u{hex} standing for characters that a line could
//   not hold or a person could not see. Empty lines and lines starting with '#' are comments.
// - Weighted lists: UTF-8 lines "label<TAB>weight", the last tab of a line ending the label; a line
//   without a tab is a label of weight 1. Empty lines are skipped.
// - Plain side lists, read exactly as "Load List From File" reads them (dice::SideListReader).
//
// Every reader raises platform::RuntimeError with the reason ("line 4: ..."), and returns nothing of
// a file that it cannot read whole.

#include "Names.h"

#include "dice/DiceSet.h"
#include "dice/Die.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace library {

enum class Format { SideList, WeightedList, LibraryFile };

inline constexpr char16_t kWeightedListExtension[] = u".tsv";

// "side list", "weighted list", "library file".
QString formatName(Format format);

// The format of a file to import: a library file when its first line says so, a weighted list when
// its name ends in .tsv, a plain side list otherwise.
Format formatOf(const QString& path, QByteArrayView start);

// --- the library's own files

QByteArray dieFileBytes(const dice::Die& die);
QByteArray setFileBytes(const dice::DiceSet& set);

std::variant<dice::Die, dice::DiceSet> parseLibraryFile(QByteArrayView bytes);

// What the library's list shows of a file. It checks everything parseLibraryFile() checks except that
// labels differ, without building the die.
struct Summary {
    Kind kind = Kind::Die;
    QString name;
    std::int64_t count = 0; // a die's sides, a set's dice per roll
    bool weighted = false;  // a die with a side that weighs other than 1
    QString setSummary;     // a set's "2 × Six, 1 × Coin"
};
Summary summarizeLibraryFile(QByteArrayView bytes);

// The kind and name of a library file from its first lines, which `start` must hold up to the name's
// line; none when they do not (not a library file, or the name further on).
std::optional<std::pair<Kind, QString>> libraryFileHeader(QByteArrayView start);

// A text as the library's files write it, and back. unescapeText() raises RuntimeError for an escape
// it does not know.
QString escapeText(QStringView text);
QString unescapeText(QByteArrayView utf8);

// --- lists

// "label<TAB>weight" per side, LF line ends. Raises RuntimeError for a label with a line break.
QByteArray weightedListBytes(const dice::Die& die);
dice::Die parseWeightedList(QByteArrayView bytes);

// One label per line, LF line ends. Raises RuntimeError for a label with a line break, or a weighted
// die, whose weights a side list cannot hold.
QByteArray sideListBytes(const dice::Die& die);
dice::Die parseSideList(QByteArrayView bytes);

} // namespace library
