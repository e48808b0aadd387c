#include "Presentation.h"

#include "core/ListModel.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace presenter {

Presentation::Presentation(const core::ListModel& results, QObject* parent)
    : QObject(parent)
    , m_results(results)
    , m_position(results.itemCount() > 0 ? 1 : 0) {
    connect(&results, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int) { rowsInserted(first); });
    connect(&results, &QAbstractItemModel::rowsRemoved, this, &Presentation::rowsGone);
    connect(&results, &QAbstractItemModel::modelReset, this, &Presentation::rowsGone);
    // A roll's text can change in place (a list of draws turned into text); the row stays.
    connect(&results, &QAbstractItemModel::dataChanged, this, [this] { emit changed(false); });
}

std::int64_t Presentation::rowCount() const {
    return m_results.itemCount();
}

QString Presentation::title() const {
    if (m_position == 0)
        return u"Presenter \u2013 No Results"_s;
    return u"Presenter \u2013 Row "_s + QString::number(m_position) + u" of "_s + QString::number(rowCount());
}

QString Presentation::text() const {
    if (m_position == 0)
        return u"There are no results. Press R to roll."_s;
    return m_results.text(m_position);
}

bool Presentation::next() {
    return moveTo(std::min(m_position + 1, rowCount()));
}

bool Presentation::previous() {
    return moveTo(std::min<std::int64_t>(std::max<std::int64_t>(m_position - 1, 1), rowCount()));
}

bool Presentation::first() {
    return moveTo(std::min<std::int64_t>(1, rowCount()));
}

bool Presentation::last() {
    return moveTo(rowCount());
}

bool Presentation::moveTo(std::int64_t position) {
    if (position == m_position)
        return false;
    m_position = position;
    emit changed(false);
    return true;
}

void Presentation::rowsInserted(int first) {
    // A roll empties the list and fills it from the top; rows added below leave the row shown.
    if (first == 0) {
        m_position = 1;
        emit changed(true);
    } else {
        emit changed(false);
    }
}

void Presentation::rowsGone() {
    m_position = std::clamp<std::int64_t>(m_position, rowCount() > 0 ? 1 : 0, rowCount());
    emit changed(false);
}

std::vector<QString> Presentation::revealFrames(const std::function<std::uint32_t(std::uint32_t)>& pick) const {
    std::vector<QString> frames;
    if (m_position == 0)
        return frames;
    const core::DrawRows& draws = m_results.draws();
    const std::int64_t labels = draws.empty() ? 0 : draws.labels().size();
    if (labels > 1) {
        const auto bound = static_cast<std::uint32_t>(std::min<std::int64_t>(labels, UINT32_MAX));
        for (int frame = 0; frame < kRevealFrames; ++frame) {
            QString text;
            for (std::int32_t die = 0; die < draws.dice(); ++die) {
                if (die > 0)
                    text += QStringView(core::kRollSeparator);
                text += draws.labels().at(pick(bound));
            }
            frames.push_back(std::move(text));
        }
    } else if (draws.empty() && rowCount() > 1) {
        const auto bound = static_cast<std::uint32_t>(std::min<std::int64_t>(rowCount(), UINT32_MAX));
        for (int frame = 0; frame < kRevealFrames; ++frame)
            frames.push_back(m_results.text(pick(bound) + 1));
    }
    return frames;
}

} // namespace presenter
