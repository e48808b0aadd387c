#pragma once

#include "stats/Statistics.h"

#include <QWidget>

#include <memory>
#include <optional>

namespace shell {

// The chart of the Statistics window, drawn with QPainter in the window's palette: a bar per row of
// the table with the expected level drawn across it, or for totals a histogram with the exact
// distribution drawn over it. Hovering a bar shows its row of the table, which is also the chart's
// text alternative.
class StatisticsChart : public QWidget {
    Q_OBJECT
public:
    explicit StatisticsChart(QWidget* parent = nullptr);

    void setChart(stats::Statistics::Chart chart, std::shared_ptr<const stats::Table> table);
    void clear();

    // The bar under a point of the widget, and what hovering it shows.
    std::optional<std::int64_t> barAt(QPointF point) const;
    QString barText(std::int64_t bar) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF plotArea() const;
    double topValue() const;

    stats::Statistics::Chart m_chart;
    std::shared_ptr<const stats::Table> m_table;
};

} // namespace shell
