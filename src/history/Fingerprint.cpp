#include "Fingerprint.h"

#include "core/DrawRows.h"
#include "results/ClipboardCopy.h"

#include <QCryptographicHash>
#include <QStringEncoder>

namespace history {

QString rollFingerprint(const core::DrawRows& rows) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QStringEncoder utf8(QStringEncoder::Utf8);
    // Pieces end on line ends, so no surrogate pair is ever cut in two.
    results::copiedRollText(rows, [&](QStringView piece) { hash.addData(QByteArray(utf8(piece))); });
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace history
