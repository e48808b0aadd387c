#pragma once

#include <QString>

namespace core {
class DrawRows;
}

namespace history {

// The SHA-256, in lower-case hex, of the bytes "Copy Results To Clipboard" places for these rows with
// every row ticked, encoded as UTF-8: what `sha256sum` prints for the copied text saved to a file.
QString rollFingerprint(const core::DrawRows& rows);

} // namespace history
