#pragma once

#include "stats/Statistics.h"

#include <QList>
#include <QLocale>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <utility>

namespace shell {

// The chart of the Statistics window, drawn with QPainter in the window's palette: a bar per row of
// the table with the expected level drawn across it, or for totals a histogram with the exact
// distribution drawn over it. Where the rows outnumber the pixels, each bar is the mean of a bin of
// neighbouring rows, and the chart says so. Hovering a bar shows its row of the table (or its bin's
// means), which is also the chart's text alternative.
class StatisticsChart : public QWidget {
    Q_OBJECT
public:
    explicit StatisticsChart(QWidget* parent = nullptr);

    void setChart(stats::Statistics::Chart chart, std::shared_ptr<const stats::Table> table);
    void clear();

    // The bars as drawn at the present width: binned when the rows outnumber the pixels.
    const stats::Statistics::Chart& bars() const;
    // The bar under a point of the widget, and what hovering it shows.
    std::optional<std::int64_t> barAt(QPointF point) const;
    QString barText(std::int64_t bar) const;
    // The bars named under the axis, and where: as many as fit without overlapping, the first and the
    // last among them.
    QList<std::pair<QRectF, QString>> axisLabels() const;
    // Where the legend is drawn: at the top right, its two entries side by side where they fit and one
    // under the other where they do not.
    QRectF legendArea() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Legend {
        std::array<QString, 2> names; // the observed and the expected
        std::array<QRectF, 2> entries;
        int lines = 1;
    };
    Legend legend() const;
    QRectF plotArea() const;
    double topValue() const;

    stats::Statistics::Chart m_chart;
    std::shared_ptr<const stats::Table> m_table;
    mutable stats::Statistics::Chart m_bars; // m_chart binned for m_barsWidth
    mutable int m_barsWidth = -1;
};

// A count on the chart's axis in the locale's own digits: grouped below a million ("25,000"), short
// above ("1.5M"), with as many decimals as the step between grid lines needs.
QString axisNumber(double value, double step, const QLocale& locale = QLocale());

} // namespace shell
