#pragma once

// What the presenter shows: one row of the results at a time, and where it is among them. It follows
// the results list: a new roll (the list emptied, then filled from its first row) shows its first row,
// rows taken out keep the position within what is left, and an empty list says that there are no
// results. The window (shell/PresenterWindow) only paints text() and passes the keys on.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace core {
class ListModel;
}

namespace presenter {

class Presentation : public QObject {
    Q_OBJECT
public:
    // The reveal: this many shuffled frames, kRevealStep apart, before the row settles; under a second.
    static constexpr int kRevealFrames = 12;
    static constexpr int kRevealStepMs = 75;

    explicit Presentation(const core::ListModel& results, QObject* parent = nullptr);

    std::int64_t rowCount() const;
    std::int64_t position() const { return m_position; } // from 1; 0 when there are no rows
    // "Presenter – Row K of N", or "Presenter – No Results".
    QString title() const;
    // The row's text, or what to say without rows.
    QString text() const;

    // Each is false when the row shown stays the same.
    bool next();
    bool previous();
    bool first();
    bool last();

    // Texts to flash before the row settles: the roll's labels drawn at random, as many per frame as
    // the row has dice; for rows held as text, other rows' texts. None where nothing could differ.
    // pick(bound) returns a number below bound.
    std::vector<QString> revealFrames(const std::function<std::uint32_t(std::uint32_t)>& pick) const;

signals:
    // The row shown or its place changed; freshRoll when a new roll brought its first row.
    void changed(bool freshRoll);

private:
    bool moveTo(std::int64_t position);
    void rowsInserted(int first);
    void rowsGone();

    const core::ListModel& m_results;
    std::int64_t m_position = 0;
};

} // namespace presenter
