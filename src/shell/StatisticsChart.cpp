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

constexpr int kGridLines = 4;
constexpr double kLabelGap = 12; // between two names under the axis

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

// The smallest of 1, 2, 5, 10, 20, 50, ... that is at least `least`.
std::int64_t roundStride(double least) {
    for (std::int64_t power = 1;; power *= 10) {
        for (std::int64_t factor : {1, 2, 5}) {
            if (static_cast<double>(factor * power) >= least)
                return factor * power;
        }
    }
}

double highest(const std::vector<double>& values) {
    double top = 0;
    for (double value : values)
        top = std::max(top, std::isnan(value) ? 0 : value);
    return top;
}

} // namespace

QString axisNumber(double value, double step, const QLocale& locale) {
    struct Unit {
        double size;
        char16_t suffix;
    };
    // Short forms once grid lines are half a unit apart or more.
    Unit unit{1, 0};
    for (Unit shorter : {Unit{1e12, u'T'}, Unit{1e9, u'B'}, Unit{1e6, u'M'}}) {
        if (step >= shorter.size / 2) {
            unit = shorter;
            break;
        }
    }
    int decimals = 0;
    for (double scaled = step / unit.size; scaled < 1 - 1e-9 && decimals < 6; scaled *= 10)
        ++decimals;
    if (value == 0)
        return locale.toString(0);
    QString text = locale.toString(value / unit.size, 'f', decimals);
    if (unit.suffix != 0)
        text += QChar(unit.suffix);
    return text;
}

StatisticsChart::StatisticsChart(QWidget* parent)
    : QWidget(parent) {
    setAccessibleName(u"Chart"_s);
    setAccessibleDescription(u"Bars of the observed counts with the expected level drawn across them. Where the "
                             u"sides outnumber the pixels, each bar is the mean of neighbouring sides. The table "
                             u"lists the same values."_s);
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
    m_barsWidth = -1;
    update();
}

void StatisticsChart::clear() {
    setChart({}, nullptr);
}

const stats::Statistics::Chart& StatisticsChart::bars() const {
    if (m_barsWidth != width()) {
        m_barsWidth = width();
        // The room beside the axis's numbers depends on the bars' height, which depends on the bins: the
        // unbinned height gives room enough, as bins are never higher.
        const double unbinnedTop = std::max(highest(m_chart.observed), highest(m_chart.expected));
        const QFontMetricsF metrics(font());
        const double step = gridStep(unbinnedTop > 0 ? unbinnedTop * 1.08 : 1, kGridLines);
        const double room = width() - metrics.horizontalAdvance(axisNumber(unbinnedTop, step)) - 18;
        m_bars = m_chart.binned(std::max<std::int64_t>(1, static_cast<std::int64_t>(room)));
    }
    return m_bars;
}

double StatisticsChart::topValue() const {
    const double top = std::max(highest(bars().observed), highest(bars().expected));
    return top > 0 ? top * 1.08 : 1;
}

StatisticsChart::Legend StatisticsChart::legend() const {
    const QFontMetricsF metrics(font());
    const stats::Statistics::Chart& shown = bars();
    Legend legend;
    legend.names = {shown.binSize > 1 ? u"Observed (mean)"_s : u"Observed"_s,
                    shown.histogram ? u"Exact distribution"_s : u"Expected"_s};
    // Each entry is its key (a swatch, or a line two swatches long) and its name.
    const double swatch = metrics.height() * 0.7;
    const std::array<double, 2> widths = {swatch + 4 + metrics.horizontalAdvance(legend.names[0]),
                                          2 * swatch + 4 + metrics.horizontalAdvance(legend.names[1])};
    const double right = width() - 8.0;
    const double apart = widths[0] + 12 + widths[1];
    legend.lines = apart <= right - 4 ? 1 : 2;
    double x = std::max(4.0, right - (legend.lines == 1 ? apart : std::max(widths[0], widths[1])));
    for (std::size_t entry = 0; entry < 2; ++entry) {
        const double top = 2 + (legend.lines == 1 ? 0 : static_cast<double>(entry) * metrics.height());
        legend.entries[entry] = QRectF(x, top, widths[entry], metrics.height());
        if (legend.lines == 1)
            x += widths[entry] + 12;
    }
    return legend;
}

QRectF StatisticsChart::legendArea() const {
    const Legend shown = legend();
    return shown.entries[0].united(shown.entries[1]);
}

QRectF StatisticsChart::plotArea() const {
    const QFontMetricsF metrics(font());
    const double top = topValue();
    const double step = gridStep(top, kGridLines);
    double widest = 0;
    for (double value = 0; value <= top; value += step)
        widest = std::max(widest, metrics.horizontalAdvance(axisNumber(value, step)));
    const double left = widest + 10;
    const double bottom = metrics.height() + 8;
    // Room for the legend, and below it for what a binned bar stands for.
    const double above = (legend().lines + (bars().binSize > 1 ? 1 : 0)) * metrics.height() + 8;
    return QRectF(left, above, std::max(1.0, width() - left - 8), std::max(1.0, height() - above - bottom));
}

std::optional<std::int64_t> StatisticsChart::barAt(QPointF point) const {
    const QRectF area = plotArea();
    const auto count = static_cast<std::int64_t>(bars().observed.size());
    if (count == 0 || !area.contains(point))
        return std::nullopt;
    const auto bar = static_cast<std::int64_t>((point.x() - area.left()) / area.width() * static_cast<double>(count));
    return std::clamp<std::int64_t>(bar, 0, count - 1);
}

QString StatisticsChart::barText(std::int64_t bar) const {
    if (!m_table || bar < 0 || bar >= std::ssize(bars().observed))
        return {};
    const QStringList headers = m_table->headers();
    if (const std::int64_t size = bars().binSize; size > 1) {
        const std::int64_t first = bar * size;
        const std::int64_t last = std::min<std::int64_t>(first + size, std::ssize(m_chart.observed)) - 1;
        return headers.value(0) + u"s: "_s + m_table->cell(first, 0) + u"\u2013"_s + m_table->cell(last, 0) +
               u"\nMean count: "_s + stats::formatExpected(bars().observed[static_cast<std::size_t>(bar)]) +
               u"\nMean expected: "_s + stats::formatExpected(bars().expected[static_cast<std::size_t>(bar)]);
    }
    QStringList lines;
    for (int column = 0; column < headers.size(); ++column) {
        const QString cell = m_table->cell(bar, column);
        if (!cell.isEmpty())
            lines.append(headers[column] + u": "_s + cell);
    }
    return lines.join(u'\n');
}

QList<std::pair<QRectF, QString>> StatisticsChart::axisLabels() const {
    const auto count = static_cast<std::int64_t>(bars().observed.size());
    if (!m_table || count == 0)
        return {};
    const QFontMetricsF metrics(font());
    const QRectF area = plotArea();
    const double slot = area.width() / static_cast<double>(count);
    // A bar is named after its first row, the last bar after the last row.
    const auto firstName = [&](std::int64_t bar) {
        return m_table->cell(bar == count - 1 ? std::ssize(m_chart.observed) - 1 : bar * bars().binSize, 0);
    };
    const auto placed = [&](std::int64_t bar, double most) {
        const QString name = metrics.elidedText(firstName(bar), Qt::ElideRight, most);
        const double width = metrics.horizontalAdvance(name);
        const double left = std::clamp(area.left() + (static_cast<double>(bar) + 0.5) * slot - width / 2, 0.0,
                                       std::max(0.0, this->width() - width));
        return std::pair(QRectF(left, area.bottom() + 4, width, metrics.height()), name);
    };

    // Names a round number of bars apart, far enough apart for the widest of a few of them.
    double widest = 0;
    for (std::int64_t bar : {std::int64_t{0}, count / 2, count - 1})
        widest = std::max(widest, metrics.horizontalAdvance(firstName(bar)));
    const std::int64_t stride = roundStride(std::max(1.0, (widest + kLabelGap) / slot));
    QList<std::pair<QRectF, QString>> labels;
    const auto fits = [&](const QRectF& rect) {
        return labels.isEmpty() || rect.left() >= labels.back().first.right() + kLabelGap;
    };
    for (std::int64_t bar = 0; bar < count - 1; bar += stride) {
        auto label = placed(bar, area.width());
        if (fits(label.first))
            labels.append(std::move(label));
    }
    if (count > 1) {
        auto last = placed(count - 1, area.width());
        while (labels.size() > 1 && !fits(last.first))
            labels.removeLast();
        if (!fits(last.first)) { // the first and the last alone do not fit: both cut to half the width
            const double half = area.width() / 2 - kLabelGap;
            labels = {placed(0, half)};
            last = placed(count - 1, half);
        }
        labels.append(std::move(last));
    }
    return labels;
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
    const stats::Statistics::Chart& shown = bars();
    const auto count = static_cast<std::int64_t>(shown.observed.size());
    if (count == 0)
        return;

    const QRectF area = plotArea();
    const double top = topValue();
    const auto y = [&](double value) { return area.bottom() - value / top * area.height(); };
    const QFontMetricsF metrics(font());

    // Grid lines and their values.
    QColor grid = colours.color(QPalette::Text);
    grid.setAlphaF(0.15F);
    const double step = gridStep(top, kGridLines);
    for (double value = 0; value <= top; value += step) {
        painter.setPen(QPen(grid, 0));
        painter.drawLine(QPointF(area.left(), y(value)), QPointF(area.right(), y(value)));
        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(QRectF(0, y(value) - metrics.height() / 2, area.left() - 5, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, axisNumber(value, step));
    }

    // Bars, at least a pixel wide each once binned.
    const double slot = area.width() / static_cast<double>(count);
    const double gap = slot >= 4 ? std::min(2.0, slot / 5) : 0;
    QPainterPath expected;
    for (std::int64_t bar = 0; bar < count; ++bar) {
        const double observed = shown.observed[static_cast<std::size_t>(bar)];
        const double level = shown.expected[static_cast<std::size_t>(bar)];
        const double left = area.left() + static_cast<double>(bar) * slot;
        painter.fillRect(QRectF(left + gap / 2, y(observed), slot - gap, area.bottom() - y(observed)),
                         colours.color(QPalette::Highlight));
        if (std::isnan(level)) // no exact expectation: the counts alone
            continue;
        if (shown.histogram) {
            const QPointF centre(left + slot / 2, y(level));
            bar == 0 ? expected.moveTo(centre) : expected.lineTo(centre);
        } else {
            const QPointF start(left, y(level));
            bar == 0 ? expected.moveTo(start) : expected.lineTo(start);
            expected.lineTo(left + slot, y(level));
        }
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colours.color(QPalette::Text), 2));
    painter.drawPath(expected);
    painter.setRenderHint(QPainter::Antialiasing, false);

    // The axis and the names of the bars that fit under it.
    painter.setPen(QPen(colours.color(QPalette::Text), 0));
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    for (const auto& [place, name] : axisLabels())
        painter.drawText(place, Qt::AlignLeft | Qt::AlignTop, name);

    // The legend, and what a binned bar stands for.
    const Legend key = legend();
    const double swatch = metrics.height() * 0.7;
    if (shown.binSize > 1) {
        const QString binned = u"Binned: each bar is the mean of "_s + QLocale().toString(shown.binSize) +
                               (shown.histogram ? u" totals"_s : u" sides"_s);
        painter.drawText(QRectF(area.left(), key.lines * metrics.height() + 4, area.width(), metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(binned, Qt::ElideRight, area.width()));
    }
    const QRectF observed = key.entries[0];
    painter.fillRect(QRectF(observed.left(), observed.center().y() - swatch / 2, swatch, swatch),
                     colours.color(QPalette::Highlight));
    const QRectF level = key.entries[1];
    painter.setPen(QPen(colours.color(QPalette::Text), 2));
    painter.drawLine(QPointF(level.left(), level.center().y()), QPointF(level.left() + 2 * swatch, level.center().y()));
    // A name wider than the chart is cut short rather than cut off.
    const std::array<double, 2> keyWidths = {swatch + 4, 2 * swatch + 4};
    for (std::size_t entry = 0; entry < 2; ++entry) {
        QRectF name = key.entries[entry].adjusted(keyWidths[entry], 0, 0, 0);
        name.setRight(std::min(name.right(), width() - 8.0));
        painter.drawText(name, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(key.names[entry], Qt::ElideRight, std::max(0.0, name.width())));
    }
}

} // namespace shell
