#include "Fingerprint.h"

#include "core/DrawRows.h"
#include "results/ClipboardCopy.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QStringEncoder>

namespace history {

QString rollFingerprint(const core::DrawRows& rows, const std::function<void()>& betweenPieces) {
    // Qt's own SHA-256: a faster one would not be felt, since the history's thread waits for the window.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QStringEncoder utf8(QStringEncoder::Utf8);
    QByteArray bytes;
    // Pieces end on line ends, so no surrogate pair is ever cut in two.
    results::copiedRollText(rows, [&](QStringView piece) {
        if (betweenPieces)
            betweenPieces();
        bytes.resize(utf8.requiredSpace(piece.size()));
        const char* end = utf8.appendToBuffer(bytes.data(), piece);
        hash.addData(QByteArrayView(bytes.constData(), end - bytes.constData()));
    });
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace history
