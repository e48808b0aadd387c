#include "Escaping.h"

#include "platform/FileName.h"

using namespace Qt::StringLiterals;

namespace cli {

namespace {

// Appends the character at text[i] as shown, and returns how many characters it took.
qsizetype appendShown(QString& out, QStringView text, qsizetype i) {
    const char16_t c = text[i].unicode();
    const auto hex = [&](const char* prefix, unsigned value, int digits) {
        out += QLatin1StringView(prefix) + QString::number(value, 16).toUpper().rightJustified(digits, u'0');
    };
    if (const int byte = platform::escapedByte(text, i); byte >= 0) {
        hex("\\x", static_cast<unsigned>(byte), 2);
    } else if (c == u'\t' || c == u'\n' || c == u'\r') {
        out += c == u'\t' ? u"\\t"_s : c == u'\n' ? u"\\n"_s : u"\\r"_s;
    } else if (c < 0x20 || c == 0x7F) {
        hex("\\x", c, 2);
    } else if ((c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029) {
        hex("\\u", c, 4);
    } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        out += text.sliced(i, 2);
        return 2;
    } else if (QChar::isSurrogate(c)) {
        hex("\\u", c, 4);
    } else {
        out += QChar(c);
    }
    return 1;
}

} // namespace

QString escaped(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();)
        i += appendShown(out, text, i);
    return out;
}

QString shown(QStringView text, qsizetype length) {
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        if (out.size() >= length)
            return out + u'…';
        i += appendShown(out, text, i);
    }
    return out;
}

bool isLineBreak(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

} // namespace cli
