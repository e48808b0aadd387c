#pragma once

#include <QString>

#include <functional>

namespace core {
class DrawRows;
}

namespace history {

// The SHA-256, in lower-case hex, of the bytes "Copy Results To Clipboard" places for these rows with
// every row ticked, encoded as UTF-8: what `sha256sum` prints for the copied text saved to a file.
// betweenPieces, when given, is called before each piece of the text is hashed, to let it wait.
QString rollFingerprint(const core::DrawRows& rows, const std::function<void()>& betweenPieces = {});

} // namespace history
