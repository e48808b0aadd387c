#pragma once

#include <QPalette>

namespace shell {

// The main window's own colours: a white window and frames with black text, light buttons and white
// lists, the same under every desktop theme. Every role is set in every colour group, so no colour of
// a dark theme shows through (a theme's own palettes for headers, fields or buttons included). Windows
// of their own, the dialogs and message boxes, do not inherit it and follow the theme.
QPalette formPalette();

} // namespace shell
