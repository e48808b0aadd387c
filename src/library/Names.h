#pragma once

// The names of the library's dice and sets, and the file names made from them. A name is whatever the
// user calls a die ("Class 7B", "Würfel", "a/b"); it is kept inside the die's file, and the file is
// named after it only as far as that is safe: letters and digits of any script, '-' for anything
// else, never hidden, never a path, never a name some system reserves, and never one that differs
// from another file's name by case alone, so the folder can be copied anywhere.

#include <QString>
#include <QStringList>
#include <QStringView>

namespace library {

enum class Kind { Die, Set };

inline constexpr char16_t kDieExtension[] = u".die";
inline constexpr char16_t kSetExtension[] = u".dieset";
inline constexpr qsizetype kLongestName = 200;

// "die" or "set".
QString kindWord(Kind kind);

// What keeps the text from being a name, in words for the user; empty when it is one. A name is 1 to
// kLongestName characters, without control characters (line breaks, tabs) and without spaces at
// either end.
QString nameProblem(QStringView name);

// Names are one whatever their case: "Six" and "six" name the same die.
bool sameName(QStringView a, QStringView b);

// The file name for a new entry of that name and kind in a folder that holds `taken` (file names,
// any case): the name made safe, with "-2", "-3", ... added when another file has it in some case.
QString fileNameFor(QStringView name, Kind kind, const QStringList& taken);

} // namespace library
