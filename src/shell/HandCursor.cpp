#include "HandCursor.h"

#include "platform/RuntimeError.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

namespace Main {

namespace {

// A .cur file is an icon directory whose entries carry the hot spot where an icon keeps its colour
// planes and bit count. The image itself is an ordinary DIB or PNG at the entry's offset.
struct CursorEntry {
    int hotX = 0;
    int hotY = 0;
    quint32 size = 0;
    quint32 offset = 0;
};

std::optional<CursorEntry> firstEntry(const QByteArray& bytes) {
    if (bytes.size() < 22)
        return std::nullopt;
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    if (qFromLittleEndian<quint16>(data) != 0 || qFromLittleEndian<quint16>(data + 2) != 2 ||
        qFromLittleEndian<quint16>(data + 4) == 0)
        return std::nullopt;
    CursorEntry entry;
    entry.hotX = qFromLittleEndian<quint16>(data + 10);
    entry.hotY = qFromLittleEndian<quint16>(data + 12);
    entry.size = qFromLittleEndian<quint32>(data + 14);
    entry.offset = qFromLittleEndian<quint32>(data + 18);
    return entry;
}

QImage decodeDib(const QByteArray& bytes, const CursorEntry& entry) {
    if (entry.offset >= static_cast<quint32>(bytes.size()) || bytes.size() - entry.offset < 40)
        return {};
    const auto* dib = reinterpret_cast<const uchar*>(bytes.constData()) + entry.offset;
    const qint32 width = qFromLittleEndian<qint32>(dib + 4);
    const qint32 doubledHeight = qFromLittleEndian<qint32>(dib + 8);
    const quint16 bitCount = qFromLittleEndian<quint16>(dib + 14);
    const quint32 headerSize = qFromLittleEndian<quint32>(dib);
    const int height = doubledHeight / 2;
    if (width <= 0 || width > 256 || height <= 0 || height > 256 || headerSize < 40)
        return {};
    const qint64 available = bytes.size() - entry.offset;
    const int maskStride = ((width + 31) / 32) * 4;
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);

    const uchar* pixels = dib + headerSize;
    if (bitCount == 32) {
        const qint64 stride = qint64(width) * 4;
        if (headerSize + stride * height > available)
            return {};
        for (int y = 0; y < height; ++y) {
            const uchar* row = pixels + stride * (height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const uchar* p = row + x * 4;
                image.setPixel(x, y, qRgba(p[2], p[1], p[0], p[3]));
            }
        }
        return image;
    }
    if (bitCount == 1) {
        // Two colours from the palette, then the XOR bitmap, then the AND (transparency) mask.
        const uchar* palette = pixels;
        const uchar* xorBits = palette + 8;
        const uchar* andBits = xorBits + qint64(maskStride) * height;
        if (headerSize + 8 + qint64(maskStride) * height * 2 > available)
            return {};
        for (int y = 0; y < height; ++y) {
            const uchar* xorRow = xorBits + qint64(maskStride) * (height - 1 - y);
            const uchar* andRow = andBits + qint64(maskStride) * (height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const bool transparent = (andRow[x / 8] >> (7 - x % 8)) & 1;
                if (transparent)
                    continue;
                const int index = (xorRow[x / 8] >> (7 - x % 8)) & 1;
                const uchar* colour = palette + index * 4;
                image.setPixel(x, y, qRgb(colour[2], colour[1], colour[0]));
            }
        }
        return image;
    }
    return {};
}

} // namespace

QCursor LoadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::RuntimeError(platform::RuntimeError::PathFileAccessError);
    const QByteArray bytes = file.read(1 << 20);
    const std::optional<CursorEntry> entry = firstEntry(bytes);
    if (!entry)
        throw platform::RuntimeError(481, QStringLiteral("Invalid picture"));

    QImage image;
    if (bytes.mid(entry->offset, 8).startsWith("\x89PNG"))
        image.loadFromData(bytes.mid(entry->offset, entry->size), "PNG");
    else
        image = decodeDib(bytes, *entry);
    if (image.isNull())
        throw platform::RuntimeError(481, QStringLiteral("Invalid picture"));
    return QCursor(QPixmap::fromImage(image), entry->hotX, entry->hotY);
}

} // namespace Main
