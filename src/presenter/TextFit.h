#pragma once

// A text in the largest type that fits an area whole, for the presenter's projected row: wrapped at
// the spaces between words and never cut. Only a word too wide for the area at the smallest size is
// broken where it must be, so that none of it is lost.

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>

class QPainter;
class QTextLayout;

namespace presenter {

class TextFit {
public:
    static constexpr int kSmallestPixelSize = 8;

    TextFit();
    // Lays text out in font's family and weight at the largest pixel size from kSmallestPixelSize up
    // to largestPixelSize whose lines fit area.
    TextFit(const QString& text, const QFont& font, QSizeF area, int largestPixelSize);
    ~TextFit();
    TextFit(TextFit&&) noexcept;
    TextFit& operator=(TextFit&&) noexcept;

    int pixelSize() const { return m_pixelSize; }
    bool breaksWords() const { return m_breaksWords; }
    QSizeF size() const { return m_size; } // of the lines laid out
    QStringList lines() const;
    // Paints the lines centred in area (of the size given to the constructor).
    void draw(QPainter& painter, const QRectF& area) const;

private:
    bool layOut(int pixelSize, bool breakWords);

    QString m_text;
    QFont m_font;
    QSizeF m_area;
    std::unique_ptr<QTextLayout> m_layout;
    int m_pixelSize = 0;
    bool m_breaksWords = false;
    QSizeF m_size;
};

// WCAG 2's contrast ratio, 1 (none) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);
// ink when it stands out from background by at least least : 1, else black or white, whichever
// stands out more.
QColor readableInk(const QColor& background, const QColor& ink, double least);

} // namespace presenter
