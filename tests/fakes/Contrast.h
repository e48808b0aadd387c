#pragma once

// Readability checks on rendered windows: the WCAG 2 contrast ratio of text against its background,
// measured on the pixels a widget paints, and the desktop themes to measure them under.

#include <QColor>
#include <QPalette>
#include <QRect>
#include <QStringList>

class QAbstractItemView;
class QGroupBox;
class QImage;
class QLineEdit;
class QModelIndex;
class QWidget;

namespace fakes {

double contrastRatio(const QColor& a, const QColor& b); // 1 (none) to 21 (black on white)

struct TextContrast {
    QColor background; // the area's most common colour
    QColor ink;        // the text's colour: its strongest pixels, so a stray border pixel does not decide
    double ratio = 1;
};
TextContrast measureText(const QImage& image, const QRect& area);
// Renders the widget's window and measures the text in area, given in the widget's coordinates.
TextContrast measureText(const QWidget& widget, const QRect& area);

// Where a control draws its text, without frames, check boxes or margins.
QRect captionRect(const QGroupBox& frame);
QRect fieldTextRect(const QLineEdit& field);
QRect itemTextRect(const QAbstractItemView& view, const QModelIndex& index); // the viewport's coordinates

// A desktop theme as a platform theme hands it to Qt: the application palette, and the same palette
// for the widget classes a theme may colour on their own. Open windows take it at once.
enum class Theme { Light, Dark };
QPalette themePalette(Theme theme);
void applyTheme(Theme theme);

// The object names of the window's focusable controls that a screen reader would find without a name.
QStringList unnamedControls(const QWidget& window);

} // namespace fakes
