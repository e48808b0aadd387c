#include "Contrast.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QStyleOption>

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

namespace fakes {

namespace {

double luminance(const QColor& colour) {
    auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

} // namespace

// The presenter chooses its ink with a ratio of its own (presenter/TextFit). This copy is written apart
// on purpose: the tests measure the program with it, so a fault in the program's formula cannot pass
// its own check.
double contrastRatio(const QColor& a, const QColor& b) {
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

TextContrast measureText(const QImage& image, const QRect& area) {
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    const QRect inside = area.intersected(pixels.rect());
    std::unordered_map<QRgb, int> counts;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[pixels.pixel(x, y)];
    }
    TextContrast result;
    if (counts.empty())
        return result;
    result.background = QColor::fromRgb(
        std::max_element(counts.begin(), counts.end(), [](auto a, auto b) { return a.second < b.second; })->first);
    // Shades a hair off the background (gradients, bevels) are no text.
    std::vector<std::pair<double, QRgb>> marks;
    for (const auto& [rgb, count] : counts) {
        const double ratio = contrastRatio(result.background, QColor::fromRgb(rgb));
        if (ratio >= 1.1)
            marks.insert(marks.end(), count, {ratio, rgb});
    }
    result.ink = result.background;
    if (!marks.empty()) {
        std::sort(marks.begin(), marks.end(), std::greater<>());
        result.ink = QColor::fromRgb(marks[marks.size() / 10].second);
    }
    result.ratio = contrastRatio(result.background, result.ink);
    return result;
}

TextContrast measureText(const QWidget& widget, const QRect& area) {
    QWidget* window = widget.window();
    const QImage image = window->grab().toImage();
    const qreal scale = image.devicePixelRatio();
    const QRect inWindow(widget.mapTo(window, area.topLeft()), area.size());
    return measureText(image, QRectF(inWindow.topLeft() * scale, inWindow.size() * scale).toRect());
}

QRect captionRect(const QGroupBox& frame) {
    QStyleOptionGroupBox option;
    option.initFrom(&frame);
    option.text = frame.title();
    option.textAlignment = frame.alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    return frame.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &frame);
}

QRect fieldTextRect(const QLineEdit& field) {
    QStyleOptionFrame option;
    option.initFrom(&field);
    option.lineWidth = field.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &field);
    return field.style()->subElementRect(QStyle::SE_LineEditContents, &option, &field).adjusted(1, 1, -1, -1);
}

QRect itemTextRect(const QAbstractItemView& view, const QModelIndex& index) {
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = view.visualRect(index);
    option.font = view.font();
    option.text = index.data().toString();
    option.features = QStyleOptionViewItem::HasDisplay;
    if (index.data(Qt::CheckStateRole).isValid())
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
    return view.style()->subElementRect(QStyle::SE_ItemViewItemText, &option, &view);
}

QPalette themePalette(Theme theme) {
    const bool dark = theme == Theme::Dark;
    const QColor text = dark ? QColor(0xee, 0xee, 0xec) : QColor(0x2e, 0x34, 0x36);
    const QColor window = dark ? QColor(0x35, 0x35, 0x35) : QColor(0xf6, 0xf5, 0xf4);
    const QColor base = dark ? QColor(0x2d, 0x2d, 0x2d) : QColor(Qt::white);
    QPalette palette(text, window, window.lighter(130), window.darker(150), window.darker(120), text, Qt::white, base,
                     window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    palette.setColor(QPalette::PlaceholderText, dark ? QColor(0x91, 0x91, 0x91) : QColor(0x88, 0x8a, 0x85));
    return palette;
}

void applyTheme(Theme theme) {
    const QPalette palette = themePalette(theme);
    QApplication::setPalette(palette);
    for (const char* widgetClass : {"QAbstractButton", "QHeaderView", "QAbstractItemView", "QLineEdit", "QGroupBox",
                                    "QLabel", "QMessageBoxLabel"})
        QApplication::setPalette(palette, widgetClass);
    QCoreApplication::processEvents(); // the open windows hear of it through a posted event
}

QStringList unnamedControls(const QWidget& window) {
    QStringList unnamed;
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (control->focusPolicy() == Qt::NoFocus || !control->isVisibleTo(&window))
            continue;
        const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        if (accessible == nullptr || accessible->text(QAccessible::Name).isEmpty())
            unnamed.append(control->objectName());
    }
    return unnamed;
}

} // namespace fakes
