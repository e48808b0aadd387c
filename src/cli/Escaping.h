#pragma once

#include <QString>
#include <QStringView>

namespace cli {

// Text from outside (arguments, stored values, file names, labels) made safe to show on a terminal:
// control characters, line and paragraph separators and lone surrogates are written as escapes (\t,
// \n, \r, \xHH, \uHHHH), so that no escape sequence can act; a file name's byte that is not UTF-8 shows
// as \xHH. Everything else, a backslash included, stays as it is.
QString escaped(QStringView text);

inline constexpr qsizetype kShownValueLength = 60;
inline constexpr qsizetype kShownNameLength = 250;

// escaped() cut to about `length` characters, with "…" where it was cut: how messages quote a value.
QString shown(QStringView text, qsizetype length = kShownValueLength);

// True for the characters after which text continues on a new line (LF, CR, VT, FF, NEL, LS, PS).
bool isLineBreak(QChar c);

} // namespace cli
