#include "StatisticsChart.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace shell {

namespace {

// A round step for about `lines` grid lines up to top: 1, 2 or 5 times a power of ten.
double gridStep(double top, int lines) {
    const double raw = top / lines;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0}) {
        if (raw <= factor * power)
            return factor * power;
    }
    return 10 * power;
}

QString axisNumber(double value) {
    if (value >= 1e6)
        return QString::number(value, 'g', 4);
    return QString::number(value, 'f', value == std::floor(value) ? 0 : 1);
}

} // namespace

StatisticsChart::StatisticsChart(QWidget* parent)
    : QWidget(parent) {
    setAccessibleName(u"Chart"_s);
    setAccessibleDescription(u"Bars of the observed counts with the expected level drawn across them. "
                             u"The table lists the same values."_s);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize StatisticsChart::sizeHint() const {
    return {420, 260};
}

QSize StatisticsChart::minimumSizeHint() const {
    return {160, 120};
}

void StatisticsChart::setChart(stats::Statistics::Chart chart, std::shared_ptr<const stats::Table> table) {
    m_chart = std::move(chart);
    m_table = std::move(table);
    update();
}

void StatisticsChart::clear() {
    setChart({}, nullptr);
}

double StatisticsChart::topValue() const {
    double top = 0;
    for (double value : m_chart.observed)
        top = std::max(top, value);
    for (double value : m_chart.expected)
        top = std::max(top, value);
    return top > 0 ? top * 1.08 : 1;
}

QRectF StatisticsChart::plotArea() const {
    const QFontMetricsF metrics(font());
    const double left = metrics.horizontalAdvance(axisNumber(topValue())) + 10;
    const double bottom = metrics.height() + 8;
    const double top = metrics.height() + 8; // room for the legend
    return QRectF(left, top, std::max(1.0, width() - left - 8), std::max(1.0, height() - top - bottom));
}

std::optional<std::int64_t> StatisticsChart::barAt(QPointF point) const {
    const QRectF area = plotArea();
    const auto bars = static_cast<std::int64_t>(m_chart.observed.size());
    if (bars == 0 || !area.contains(point))
        return std::nullopt;
    const auto bar = static_cast<std::int64_t>((point.x() - area.left()) / area.width() * static_cast<double>(bars));
    return std::clamp<std::int64_t>(bar, 0, bars - 1);
}

QString StatisticsChart::barText(std::int64_t bar) const {
    if (!m_table || bar < 0 || bar >= m_table->rowCount())
        return {};
    const QStringList headers = m_table->headers();
    QStringList lines;
    for (int column = 0; column < headers.size(); ++column) {
        const QString cell = m_table->cell(bar, column);
        if (!cell.isEmpty())
            lines.append(headers[column] + u": "_s + cell);
    }
    return lines.join(u'\n');
}

bool StatisticsChart::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const std::optional<std::int64_t> bar = barAt(help->pos());
        if (bar)
            QToolTip::showText(help->globalPos(), barText(*bar), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void StatisticsChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.base());
    const auto bars = static_cast<std::int64_t>(m_chart.observed.size());
    if (bars == 0)
        return;

    const QRectF area = plotArea();
    const double top = topValue();
    const auto y = [&](double value) { return area.bottom() - value / top * area.height(); };
    const QFontMetricsF metrics(font());

    // Grid lines and their values.
    QColor grid = colours.color(QPalette::Text);
    grid.setAlphaF(0.15F);
    const double step = gridStep(top, 4);
    for (double value = 0; value <= top; value += step) {
        painter.setPen(QPen(grid, 0));
        painter.drawLine(QPointF(area.left(), y(value)), QPointF(area.right(), y(value)));
        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(QRectF(0, y(value) - metrics.height() / 2, area.left() - 5, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, axisNumber(value));
    }

    // Bars: where they are narrower than a pixel, a column shows the highest bar it covers.
    const double slot = area.width() / static_cast<double>(bars);
    const int columns = slot >= 1 ? static_cast<int>(bars) : static_cast<int>(std::ceil(area.width()));
    const auto firstBar = [&](int column) {
        return slot >= 1 ? column : static_cast<std::int64_t>(column / area.width() * static_cast<double>(bars));
    };
    const double columnWidth = slot >= 1 ? slot : 1.0;
    const double gap = columnWidth >= 4 ? std::min(2.0, columnWidth / 5) : 0;
    QPainterPath expected;
    for (int column = 0; column < columns; ++column) {
        const std::int64_t from = firstBar(column);
        const std::int64_t to = std::max(from + 1, std::min<std::int64_t>(bars, firstBar(column + 1)));
        double observed = 0;
        double level = 0;
        for (std::int64_t bar = from; bar < to; ++bar) {
            observed = std::max(observed, m_chart.observed[static_cast<std::size_t>(bar)]);
            level = std::max(level, m_chart.expected[static_cast<std::size_t>(bar)]);
        }
        const double left = area.left() + column * columnWidth;
        painter.fillRect(QRectF(left + gap / 2, y(observed), columnWidth - gap, area.bottom() - y(observed)),
                         colours.color(QPalette::Highlight));
        if (m_chart.histogram) {
            const QPointF centre(left + columnWidth / 2, y(level));
            column == 0 ? expected.moveTo(centre) : expected.lineTo(centre);
        } else {
            const QPointF start(left, y(level));
            column == 0 ? expected.moveTo(start) : expected.lineTo(start);
            expected.lineTo(left + columnWidth, y(level));
        }
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colours.color(QPalette::Text), 2));
    painter.drawPath(expected);
    painter.setRenderHint(QPainter::Antialiasing, false);

    // The axis and the first and last bars' names.
    painter.setPen(QPen(colours.color(QPalette::Text), 0));
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    if (m_table && m_table->rowCount() > 0) {
        const QRectF below(area.left(), area.bottom() + 4, area.width(), metrics.height());
        const double half = area.width() / 2 - 4;
        painter.drawText(below, Qt::AlignLeft | Qt::AlignTop,
                         metrics.elidedText(m_table->cell(0, 0), Qt::ElideRight, half));
        if (bars > 1)
            painter.drawText(below, Qt::AlignRight | Qt::AlignTop,
                             metrics.elidedText(m_table->cell(bars - 1, 0), Qt::ElideRight, half));
    }

    // The legend.
    const QString observedName = u"Observed"_s;
    const QString expectedName = m_chart.histogram ? u"Exact distribution"_s : u"Expected"_s;
    const double swatch = metrics.height() * 0.7;
    double x = area.right() - metrics.horizontalAdvance(observedName) - metrics.horizontalAdvance(expectedName) -
               4 * swatch - 16;
    const double middle = metrics.height() / 2 + 2;
    painter.fillRect(QRectF(x, middle - swatch / 2, swatch, swatch), colours.color(QPalette::Highlight));
    x += swatch + 4;
    painter.drawText(QPointF(x, middle + metrics.ascent() / 2 - 1), observedName);
    x += metrics.horizontalAdvance(observedName) + 12;
    painter.setPen(QPen(colours.color(QPalette::Text), 2));
    painter.drawLine(QPointF(x, middle), QPointF(x + 2 * swatch, middle));
    x += 2 * swatch + 4;
    painter.drawText(QPointF(x, middle + metrics.ascent() / 2 - 1), expectedName);
}

} // namespace shell
