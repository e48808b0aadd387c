#include "Names.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace library {

namespace {

// Keeps a file name well inside every file system's limit, in bytes too.
constexpr qsizetype kLongestFileBase = 60;

bool isReservedDeviceName(const QString& base) {
    static const QSet<QString> reserved = [] {
        QSet<QString> names{u"con"_s, u"prn"_s, u"aux"_s, u"nul"_s};
        for (int digit = 0; digit <= 9; ++digit) {
            names.insert(u"com"_s + QString::number(digit));
            names.insert(u"lpt"_s + QString::number(digit));
        }
        return names;
    }();
    return reserved.contains(base.toLower());
}

} // namespace

QString kindWord(Kind kind) {
    return kind == Kind::Die ? u"die"_s : u"set"_s;
}

QString nameProblem(QStringView name) {
    if (name.isEmpty())
        return u"A name cannot be empty."_s;
    if (name.size() > kLongestName)
        return u"A name is at most "_s + QString::number(kLongestName) + u" characters long."_s;
    if (name.front().isSpace() || name.back().isSpace())
        return u"A name cannot start or end with a space."_s;
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return u"A name cannot hold line breaks, tabs or other control characters."_s;
    }
    return {};
}

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString fileNameFor(QStringView name, Kind kind, const QStringList& taken) {
    QString base;
    bool dash = false;
    for (const char32_t c : name.toUcs4()) {
        if (QChar::isLetterOrNumber(c)) {
            if (dash && !base.isEmpty())
                base += u'-';
            dash = false;
            const QString character = QString::fromUcs4(&c, 1);
            if (base.size() + character.size() > kLongestFileBase)
                break;
            base += character;
        } else {
            dash = true;
        }
    }
    if (base.isEmpty())
        base = kindWord(kind);
    if (isReservedDeviceName(base))
        base += u"-1"_s;
    const QString extension = QString::fromUtf16(kind == Kind::Die ? kDieExtension : kSetExtension);
    QSet<QString> lowered;
    for (const QString& file : taken)
        lowered.insert(file.toLower());
    QString candidate = base + extension;
    for (int number = 2; lowered.contains(candidate.toLower()); ++number)
        candidate = base + u'-' + QString::number(number) + extension;
    return candidate;
}

} // namespace library
