#include "TextFit.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace presenter {

TextFit::TextFit() = default;
TextFit::~TextFit() = default;
TextFit::TextFit(TextFit&&) noexcept = default;
TextFit& TextFit::operator=(TextFit&&) noexcept = default;

TextFit::TextFit(const QString& text, const QFont& font, QSizeF area, int largestPixelSize)
    : m_text(text)
    , m_font(font)
    , m_area(area) {
    // The lines' fit shrinks as the type grows: the largest size that fits lies where a bisection finds it.
    int fits = kSmallestPixelSize;
    int tooLarge = std::max(largestPixelSize, kSmallestPixelSize) + 1;
    while (tooLarge - fits > 1) {
        const int middle = fits + (tooLarge - fits) / 2;
        (layOut(middle, false) ? fits : tooLarge) = middle;
    }
    if (!layOut(fits, false)) {
        m_breaksWords = true;
        layOut(fits, true);
    }
    m_pixelSize = fits;
}

bool TextFit::layOut(int pixelSize, bool breakWords) {
    QFont font = m_font;
    font.setPixelSize(pixelSize);
    m_layout = std::make_unique<QTextLayout>(m_text, font);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(breakWords ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::WordWrap);
    m_layout->setTextOption(option);
    const qreal width = m_area.width();
    qreal height = 0;
    qreal widest = 0;
    m_layout->beginLayout();
    for (QTextLine line = m_layout->createLine(); line.isValid(); line = m_layout->createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    m_layout->endLayout();
    m_size = QSizeF(widest, height);
    // A word wider than the line overflows it rather than being broken.
    return widest <= width && height <= m_area.height();
}

QStringList TextFit::lines() const {
    QStringList result;
    if (!m_layout)
        return result;
    for (int i = 0; i < m_layout->lineCount(); ++i) {
        const QTextLine line = m_layout->lineAt(i);
        result.append(m_text.mid(line.textStart(), line.textLength()));
    }
    return result;
}

void TextFit::draw(QPainter& painter, const QRectF& area) const {
    if (!m_layout)
        return;
    const qreal top = area.top() + std::max<qreal>(0, (area.height() - m_size.height()) / 2);
    m_layout->draw(&painter, QPointF(area.left(), top));
}

namespace {

double luminance(const QColor& colour) {
    auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor readableInk(const QColor& background, const QColor& ink, double least) {
    if (contrastRatio(background, ink) >= least)
        return ink;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return contrastRatio(background, black) >= contrastRatio(background, white) ? black : white;
}

} // namespace presenter
