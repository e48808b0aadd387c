#pragma once

class QWidget;

namespace Main {

// Applies the optional skin "x/o.cjs" (a Qt style sheet) from the program's folder to the window;
// a missing file changes nothing. Raises platform::RuntimeError when the file cannot be read.
void ApplySkin(QWidget& form);

} // namespace Main
