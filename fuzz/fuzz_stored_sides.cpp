// The stored sides restored as the window's start and `roll` restore them: split at ';', empty pieces
// skipped. Any UTF-16 text, lone surrogates included. The pieces must cover the value exactly, and
// saving the restored sides (joined by ';') then restoring them again must give the same sides.

#include "dice/StoredSides.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "stored sides: %s\n", what);
    std::abort();
}

QStringList restore(QStringView stored) {
    QStringList sides;
    for (const QStringView piece : dice::splitStoredSides(stored)) {
        if (dice::isStoredSide(piece))
            sides.append(piece.toString());
    }
    return sides;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString stored(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        stored[static_cast<qsizetype>(i / 2)] = QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));

    const QList<QStringView> pieces = dice::splitStoredSides(stored);
    if (pieces.size() != stored.count(u';') + 1)
        fail("one piece more than separators expected");
    QString joined;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (pieces[i].contains(u';'))
            fail("a piece holds a separator");
        if (i > 0)
            joined.append(u';');
        joined.append(pieces[i]);
    }
    if (joined != stored)
        fail("the pieces do not make up the stored value");

    const QStringList sides = restore(stored);
    for (const QString& side : sides) {
        if (side.isEmpty())
            fail("an empty side was restored");
    }
    if (restore(sides.join(u';')) != sides)
        fail("saving the restored sides and restoring them again changed them");
    return 0;
}
