#include "FileName.h"

#include <algorithm>

namespace platform {

namespace {

constexpr char16_t kFirstEscape = 0xDC80;

// The length of the valid UTF-8 character at the start of bytes, or 0 when none starts there.
qsizetype validCharacter(QByteArrayView bytes) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80; // the second byte's range, narrowed against overlong forms and surrogates
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

QString decodeFileName(QByteArrayView bytes) {
    QString name;
    name.reserve(bytes.size());
    while (!bytes.isEmpty()) {
        qsizetype valid = 0;
        for (qsizetype length = 0; valid < bytes.size(); valid += length) {
            length = validCharacter(bytes.sliced(valid));
            if (length == 0)
                break;
        }
        name += QString::fromUtf8(bytes.first(valid));
        if (valid < bytes.size())
            name += QChar(static_cast<char16_t>(kFirstEscape + static_cast<unsigned char>(bytes[valid]) - 0x80));
        bytes = bytes.sliced(std::min(valid + 1, bytes.size()));
    }
    return name;
}

QByteArray encodeFileName(QStringView name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const int escaped = i < name.size() ? escapedByte(name, i) : 0;
        if (i < name.size() && escaped < 0)
            continue;
        bytes += name.sliced(start, i - start).toUtf8();
        if (i < name.size())
            bytes += static_cast<char>(escaped);
        start = i + 1;
    }
    return bytes;
}

int escapedByte(QStringView name, qsizetype i) {
    const char16_t c = name[i].unicode();
    // A low surrogate after a high one is half of a character beyond the first plane.
    if (c < kFirstEscape || c > 0xDCFF || (i > 0 && name[i - 1].isHighSurrogate()))
        return -1;
    return c - kFirstEscape + 0x80;
}

} // namespace platform
