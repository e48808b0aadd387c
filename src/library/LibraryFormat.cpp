#include "LibraryFormat.h"

#include "core/ListModel.h"
#include "core/TextIndex.h"
#include "dice/SideListReader.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"

#include <cstring>
#include <limits>

using namespace Qt::StringLiterals;

namespace library {

namespace {

constexpr char kDieHeader[] = "Quorvin Tessaly die";
constexpr char kSetHeader[] = "Quorvin Tessaly set";
constexpr char kVersion[] = "1";
constexpr char kNameKey[] = "name";

[[noreturn]] void fail(const QString& reason) {
    throw platform::RuntimeError(platform::RuntimeError::ApplicationDefined, reason);
}

[[noreturn]] void failAt(std::int64_t line, const QString& reason) {
    fail(u"line "_s + QString::number(line) + u": "_s + reason);
}

// A value of the file as a message shows it: quoted, cut to a readable length, and with what a person
// could not see written as the library's files write it.
QString quotedValue(QStringView text) {
    constexpr qsizetype kLongest = 40;
    return u'"' + escapeText(text.first(std::min(text.size(), kLongest))) +
           (text.size() > kLongest ? u"\u2026\""_s : u"\""_s);
}

QString quotedValue(QByteArrayView utf8) {
    return quotedValue(QString::fromUtf8(utf8.first(std::min<qsizetype>(utf8.size(), 200))));
}

QByteArrayView trimmedSpaces(QByteArrayView text) {
    while (!text.isEmpty() && text.front() == ' ')
        text = text.sliced(1);
    while (!text.isEmpty() && text.back() == ' ')
        text.chop(1);
    return text;
}

// The offset of the first byte that is not well-formed UTF-8 (no overlong forms, surrogates or
// values past U+10FFFF), or -1.
qsizetype firstInvalidUtf8(QByteArrayView bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype at = 0;
    while (at < size) {
        // Eight ASCII bytes at a time: most of a file is.
        if (at + 8 <= size) {
            std::uint64_t word = 0;
            std::memcpy(&word, data + at, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                at += 8;
                continue;
            }
        }
        const unsigned char lead = data[at];
        if (lead < 0x80) {
            ++at;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xbf;
        if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            low = lead == 0xe0 ? 0xa0 : 0x80;
            high = lead == 0xed ? 0x9f : 0xbf;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            low = lead == 0xf0 ? 0x90 : 0x80;
            high = lead == 0xf4 ? 0x8f : 0xbf;
        } else {
            return at;
        }
        if (at + length > size || data[at + 1] < low || data[at + 1] > high)
            return at;
        for (int k = 2; k < length; ++k) {
            if (data[at + k] < 0x80 || data[at + k] > 0xbf)
                return at;
        }
        at += length;
    }
    return -1;
}

// The lines of a text, ended by CR, LF or CR LF, numbered from 1 as an editor numbers them.
class Lines {
public:
    explicit Lines(QByteArrayView bytes)
        : m_rest(bytes) {}

    bool next(QByteArrayView& line) {
        if (m_done)
            return false;
        ++m_number;
        const char* data = m_rest.data();
        const qsizetype size = m_rest.size();
        qsizetype end = 0;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        line = m_rest.first(end);
        if (end == size) {
            m_done = true;
            m_rest = {};
            return !line.isEmpty() || m_number == 1;
        }
        qsizetype after = end + 1;
        if (data[end] == '\r' && after < size && data[after] == '\n')
            ++after;
        m_rest = m_rest.sliced(after);
        return true;
    }
    std::int64_t number() const { return m_number; }

private:
    QByteArrayView m_rest;
    std::int64_t m_number = 0;
    bool m_done = false;
};

std::int64_t lineOfOffset(QByteArrayView bytes, qsizetype offset) {
    Lines lines(bytes.first(offset));
    QByteArrayView line;
    while (lines.next(line)) {
    }
    return std::max<std::int64_t>(lines.number(), 1);
}

// The character code of the escape \u{hex} at `at`, and where its closing brace is; -1 when it is not
// one of 1 to 6 hex digits up to 10FFFF.
qsizetype codeEscape(QByteArrayView text, qsizetype at, char32_t& value) {
    if (at + 2 >= text.size() || text[at + 2] != '{')
        return -1;
    value = 0;
    qsizetype close = at + 3;
    for (; close < text.size() && text[close] != '}'; ++close) {
        const char c = text[close];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0 || close - at - 3 >= 6)
            return -1;
        value = value * 16 + static_cast<char32_t>(digit);
    }
    if (close == at + 3 || close >= text.size() || value > 0x10ffff)
        return -1;
    return close;
}

QString badCodeEscape() {
    return u"\\u must be followed by a character code in braces, such as \\u{1F3B2}."_s;
}

// Checks the escapes of a text without decoding it.
void checkEscapes(QByteArrayView text, std::int64_t line) {
    for (qsizetype at = text.indexOf('\\'); at >= 0; at = text.indexOf('\\', at + 1)) {
        if (at + 1 >= text.size())
            failAt(line, u"a backslash ends the line; write \\\\ for a backslash."_s);
        const char code = text[at + 1];
        if (code == 'u') {
            char32_t value = 0;
            const qsizetype close = codeEscape(text, at, value);
            if (close < 0)
                failAt(line, badCodeEscape());
            at = close;
        } else if (code == 's' || code == 't' || code == 'n' || code == 'r' || code == '\\') {
            ++at;
        } else {
            failAt(line, u"unknown escape \\"_s + QString::fromUtf8(text.sliced(at + 1, 1)) +
                             u"; a backslash is written \\\\."_s);
        }
    }
}

std::int64_t itemNumber(QByteArrayView text, std::int64_t line, std::uint64_t most, const char16_t* what) {
    const QByteArrayView digits = trimmedSpaces(text);
    std::uint64_t value = 0;
    bool ok = !digits.isEmpty();
    for (const char c : digits) {
        if (c < '0' || c > '9' || value > (most - static_cast<std::uint64_t>(c - '0')) / 10) {
            ok = false;
            break;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (!ok)
        failAt(line, quotedValue(text) + u" is not "_s + QString::fromUtf16(what) + u'.');
    return static_cast<std::int64_t>(value);
}

// A library file read line by line: the header when made, then walk() hands every item line to
// onItem(line, number text, text) in order, after the name line.
class LibraryFileReader {
public:
    LibraryFileReader(QByteArrayView bytes, bool checkText)
        : m_lines(QByteArrayView()) {
        if (bytes.startsWith("\xef\xbb\xbf"))
            bytes = bytes.sliced(3);
        m_lines = Lines(bytes);
        QByteArrayView line;
        m_lines.next(line);
        line = trimmedSpaces(line);
        QByteArrayView version;
        if (startsWithWord(line, kDieHeader)) {
            version = trimmedSpaces(line.sliced(sizeof kDieHeader - 1));
        } else if (startsWithWord(line, kSetHeader)) {
            m_kind = Kind::Set;
            version = trimmedSpaces(line.sliced(sizeof kSetHeader - 1));
        } else {
            fail(u"this is not a Quorvin Tessaly die or set: the first line is not \"Quorvin Tessaly die 1\" or "
                 u"\"Quorvin Tessaly set 1\"."_s);
        }
        if (version != kVersion)
            fail(u"the file is in format "_s + quotedValue(version) +
                 u", and this version of Quorvin Tessaly reads format 1."_s);
        if (checkText) {
            if (const qsizetype bad = firstInvalidUtf8(bytes); bad >= 0)
                failAt(lineOfOffset(bytes, bad), u"the text is not UTF-8."_s);
        }
    }

    Kind kind() const { return m_kind; }

    // Returns the name; with nameOnly, stops there.
    template <class OnItem> QString walk(OnItem&& onItem, bool nameOnly = false) {
        QString name;
        bool named = false;
        QByteArrayView line;
        while (m_lines.next(line)) {
            if (line.isEmpty() || line.front() == '#')
                continue;
            const qsizetype tab = line.indexOf('\t');
            if (tab < 0)
                failAt(m_lines.number(), u"there is no tab between the number and the text."_s);
            const QByteArrayView key = line.first(tab);
            const QByteArrayView text = line.sliced(tab + 1);
            if (key == kNameKey) {
                if (named)
                    failAt(m_lines.number(), u"the name is given twice."_s);
                name = unescapeAt(text, m_lines.number());
                if (const QString problem = nameProblem(name); !problem.isEmpty())
                    failAt(m_lines.number(), problem);
                named = true;
                if (nameOnly)
                    return name;
                continue;
            }
            if (!named)
                failAt(m_lines.number(),
                       u"the name line must come before the "_s + (m_kind == Kind::Die ? u"sides."_s : u"dice."_s));
            onItem(m_lines.number(), key, text);
        }
        if (!named)
            fail(u"the file gives no name (a line \"name<TAB>...\")."_s);
        return name;
    }

private:
    static bool startsWithWord(QByteArrayView line, const char* word) {
        const auto length = static_cast<qsizetype>(std::strlen(word));
        return line.startsWith(word) && (line.size() == length || line[length] == ' ');
    }
    static QString unescapeAt(QByteArrayView text, std::int64_t line) {
        checkEscapes(text, line);
        return unescapeText(text);
    }

    Lines m_lines;
    Kind m_kind = Kind::Die;
};

constexpr char16_t kWeightWanted[] = u"a weight, a whole number from 0 to 1000000000";
constexpr char16_t kCountWanted[] = u"a count of dice, a whole number from 1 to 2147483647";

std::uint32_t weightAt(QByteArrayView key, std::int64_t line) {
    return static_cast<std::uint32_t>(itemNumber(key, line, dice::kMostWeight, kWeightWanted));
}

std::int32_t countAt(QByteArrayView key, std::int64_t line) {
    const std::int64_t count = itemNumber(key, line, static_cast<std::uint64_t>(dice::kMostDicePerRoll), kCountWanted);
    if (count < 1)
        failAt(line, quotedValue(key) + u" is not "_s + QString::fromUtf16(kCountWanted) + u'.');
    return static_cast<std::int32_t>(count);
}

void checkLabel(QByteArrayView text, std::int64_t line) {
    if (text.isEmpty())
        failAt(line, u"the side has no label."_s);
    checkEscapes(text, line);
}

void checkDie(const QString& problem) {
    if (!problem.isEmpty())
        fail(problem);
}

// The rest of a set's file: its name and its dice, checked as a set.
dice::DiceSet readSet(LibraryFileReader& reader) {
    dice::DiceSet set;
    set.name = reader.walk([&](std::int64_t line, QByteArrayView key, QByteArrayView text) {
        const std::int32_t count = countAt(key, line);
        checkEscapes(text, line);
        set.entries.push_back({unescapeText(text), count});
        if (const QString problem = nameProblem(set.entries.back().die); !problem.isEmpty())
            failAt(line, problem);
    });
    checkDie(dice::setProblem(set));
    return set;
}

void appendEscapedCode(QString& out, char32_t code) {
    out += u"\\u{"_s + QString::number(static_cast<uint>(code), 16).toUpper() + u'}';
}

QByteArray withLineEnd(const QString& text) {
    return text.toUtf8() + '\n';
}

void checkListLabel(QStringView label, std::int64_t side) {
    if (label.contains(u'\n') || label.contains(u'\r'))
        fail(u"the label of side "_s + QString::number(side + 1) +
             u" holds a line break, which a list cannot hold: export the die as a library file."_s);
}

} // namespace

QString formatName(Format format) {
    switch (format) {
    case Format::SideList:
        return u"side list"_s;
    case Format::WeightedList:
        return u"weighted list"_s;
    case Format::LibraryFile:
        break;
    }
    return u"library file"_s;
}

Format formatForName(const QString& path) {
    if (path.endsWith(QStringView(kDieExtension), Qt::CaseInsensitive) ||
        path.endsWith(QStringView(kSetExtension), Qt::CaseInsensitive))
        return Format::LibraryFile;
    if (path.endsWith(QStringView(kWeightedListExtension), Qt::CaseInsensitive))
        return Format::WeightedList;
    return Format::SideList;
}

Format formatOf(const QString& path, QByteArrayView start) {
    if (start.startsWith("\xef\xbb\xbf"))
        start = start.sliced(3);
    if (start.startsWith(kDieHeader) || start.startsWith(kSetHeader))
        return Format::LibraryFile;
    return formatForName(path);
}

QString escapeText(QStringView text) {
    QString out;
    out.reserve(text.size() + 8);
    qsizetype leading = 0;
    while (leading < text.size() && text[leading] == u' ')
        ++leading;
    qsizetype trailing = text.size();
    while (trailing > leading && text[trailing - 1] == u' ')
        --trailing;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c == u' ') {
            out += at < leading || at >= trailing ? u"\\s"_s : u" "_s;
        } else if (c == u'\\') {
            out += u"\\\\"_s;
        } else if (c == u'\t') {
            out += u"\\t"_s;
        } else if (c == u'\n') {
            out += u"\\n"_s;
        } else if (c == u'\r') {
            out += u"\\r"_s;
        } else if (c.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate()) {
            out += c;
            out += text[++at];
        } else if (c.isSurrogate() || c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                   c == QChar::ParagraphSeparator || c == QChar::ByteOrderMark) {
            // Characters a person cannot see, that an editor may take for a line end, or that UTF-8
            // cannot carry alone (half a surrogate pair).
            appendEscapedCode(out, c.unicode());
        } else {
            out += c;
        }
    }
    return out;
}

QString unescapeText(QByteArrayView utf8) {
    QString out;
    out.reserve(utf8.size());
    qsizetype start = 0;
    for (qsizetype at = utf8.indexOf('\\'); at >= 0; at = utf8.indexOf('\\', start)) {
        out += QString::fromUtf8(utf8.sliced(start, at - start));
        if (at + 1 >= utf8.size())
            fail(u"a backslash ends the text; write \\\\ for a backslash."_s);
        start = at + 2;
        switch (utf8[at + 1]) {
        case 's':
            out += u' ';
            break;
        case 't':
            out += u'\t';
            break;
        case 'n':
            out += u'\n';
            break;
        case 'r':
            out += u'\r';
            break;
        case '\\':
            out += u'\\';
            break;
        case 'u': {
            char32_t value = 0;
            const qsizetype close = codeEscape(utf8, at, value);
            if (close < 0)
                fail(badCodeEscape());
            if (value > 0xffff) {
                out += QString::fromUcs4(&value, 1);
            } else {
                out += QChar(static_cast<char16_t>(value)); // half a surrogate pair stays as it was
            }
            start = close + 1;
            break;
        }
        default:
            fail(u"unknown escape \\"_s + QString::fromUtf8(utf8.sliced(at + 1, 1)) +
                 u"; a backslash is written \\\\."_s);
        }
    }
    out += QString::fromUtf8(utf8.sliced(start));
    return out;
}

QByteArray dieFileBytes(const dice::Die& die) {
    QString text = QString::fromLatin1(kDieHeader) + u' ' + QString::fromLatin1(kVersion) + u'\n';
    text += QString::fromLatin1(kNameKey) + u'\t' + escapeText(die.name) + u'\n';
    for (std::int64_t side = 0; side < die.labels.size(); ++side)
        text += QString::number(die.weights[static_cast<std::size_t>(side)]) + u'\t' + escapeText(die.labels.at(side)) +
                u'\n';
    return text.toUtf8();
}

QByteArray setFileBytes(const dice::DiceSet& set) {
    QString text = QString::fromLatin1(kSetHeader) + u' ' + QString::fromLatin1(kVersion) + u'\n';
    text += QString::fromLatin1(kNameKey) + u'\t' + escapeText(set.name) + u'\n';
    for (const dice::SetEntry& entry : set.entries)
        text += QString::number(entry.count) + u'\t' + escapeText(entry.die) + u'\n';
    return text.toUtf8();
}

std::variant<dice::Die, dice::DiceSet> parseLibraryFile(QByteArrayView bytes) {
    LibraryFileReader reader(bytes, true);
    if (reader.kind() == Kind::Set) {
        return readSet(reader);
    }
    dice::Die die;
    die.name = reader.walk([&](std::int64_t line, QByteArrayView key, QByteArrayView text) {
        const std::uint32_t weight = weightAt(key, line);
        checkLabel(text, line);
        die.append(unescapeText(text), weight);
    });
    checkDie(dice::dieProblem(die));
    return die;
}

Summary summarizeLibraryFile(QByteArrayView bytes) {
    LibraryFileReader reader(bytes, true);
    Summary summary;
    summary.kind = reader.kind();
    if (summary.kind == Kind::Set) {
        const dice::DiceSet set = readSet(reader);
        summary.name = set.name;
        summary.count = set.diceCount();
        summary.setSummary = dice::setSummary(set);
        return summary;
    }
    std::uint64_t total = 0;
    summary.name = reader.walk([&](std::int64_t line, QByteArrayView key, QByteArrayView text) {
        const std::uint32_t weight = key == "1" ? 1 : weightAt(key, line);
        checkLabel(text, line);
        summary.weighted = summary.weighted || weight != 1;
        total += weight;
        ++summary.count;
    });
    if (summary.count == 0)
        fail(u"The die has no sides."_s);
    if (total == 0)
        fail(u"Every side weighs 0: at least one must weigh more to be drawn."_s);
    if (total > dice::kMostTotalWeight)
        fail(u"The weights add up to more than 9223372036854775808."_s);
    return summary;
}

std::optional<std::pair<Kind, QString>> libraryFileHeader(QByteArrayView start) {
    try {
        LibraryFileReader reader(start, false);
        const QString name = reader.walk([](std::int64_t, QByteArrayView, QByteArrayView) {}, true);
        return std::make_pair(reader.kind(), name);
    } catch (const platform::RuntimeError&) {
        return std::nullopt;
    }
}

QByteArray weightedListBytes(const dice::Die& die) {
    QByteArray bytes;
    for (std::int64_t side = 0; side < die.labels.size(); ++side) {
        checkListLabel(die.labels.at(side), side);
        bytes += withLineEnd(die.labels.at(side).toString() + u'\t' +
                             QString::number(die.weights[static_cast<std::size_t>(side)]));
    }
    return bytes;
}

dice::Die parseWeightedList(QByteArrayView bytes) {
    platform::SystemTextDecoder decoder;
    QString text = decoder.decode(bytes).toString();
    text += decoder.finish();
    dice::Die die;
    core::TextIndex seen(die.labels);
    qsizetype start = 0;
    std::int64_t line = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        ++line;
        const QStringView content = QStringView(text).sliced(start, end - start);
        start = end + (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n' ? 2 : 1);
        if (content.isEmpty())
            continue;
        const qsizetype tab = content.lastIndexOf(u'\t');
        const QStringView label = tab < 0 ? content : content.first(tab);
        std::uint32_t weight = 1;
        if (tab >= 0) {
            const std::optional<std::uint32_t> parsed = dice::parseWeight(content.sliced(tab + 1));
            if (!parsed)
                failAt(line, quotedValue(content.sliced(tab + 1)) + u" after the last tab is not "_s +
                                 QString::fromUtf16(kWeightWanted) + u'.');
            weight = *parsed;
        }
        if (label.isEmpty())
            failAt(line, u"the side has no label."_s);
        const std::uint32_t hash = core::TextIndex::hashOf(label);
        if (seen.contains(label, hash))
            failAt(line, u"this label is listed on an earlier line."_s);
        die.append(label, weight);
        seen.add(hash);
    }
    checkDie(dice::dieProblem(die));
    return die;
}

QByteArray sideListBytes(const dice::Die& die) {
    if (die.weighted())
        fail(u"a side list cannot hold the weights of a weighted die: export it as a weighted list or a library "
             u"file."_s);
    QByteArray bytes;
    for (std::int64_t side = 0; side < die.labels.size(); ++side) {
        checkListLabel(die.labels.at(side), side);
        bytes += withLineEnd(die.labels.at(side).toString());
    }
    return bytes;
}

dice::Die parseSideList(QByteArrayView bytes) {
    const core::ListModel none;
    dice::SideListReader reader(none);
    reader.feed(bytes);
    dice::Die die;
    die.labels = reader.finish();
    die.weights.assign(static_cast<std::size_t>(die.labels.size()), 1);
    if (die.labels.empty())
        fail(u"the file holds no sides."_s);
    return die;
}

} // namespace library
