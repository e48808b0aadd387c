#include "SideListReader.h"

#include "core/ListModel.h"

namespace dice {

SideListReader::SideListReader(const core::ListModel& list)
    : m_list(list)
    , m_listEmpty(list.itemCount() == 0)
    , m_seen(m_rows) {}

void SideListReader::feed(QByteArrayView bytes) {
    take(m_decoder.decode(bytes));
}

core::TextRows SideListReader::finish() {
    take(m_decoder.finish());
    endLine();
    core::TextRows rows = std::move(m_rows);
    m_rows = {};
    return rows;
}

core::TextRows SideListReader::completeLines() {
    m_rows.dropPendingChars(m_rows.pendingLength());
    core::TextRows rows = std::move(m_rows);
    m_rows = {};
    return rows;
}

void appendSideList(core::ListModel& list, const std::function<QByteArrayView()>& read) {
    SideListReader reader(list);
    try {
        for (QByteArrayView chunk = read(); !chunk.isEmpty(); chunk = read())
            reader.feed(chunk);
    } catch (...) {
        list.addItems(reader.completeLines());
        throw; // still the caller's to report
    }
    list.addItems(reader.finish());
}

void SideListReader::take(QStringView text) {
    // The characters go straight into the batch as the pending row; a line that is not kept is
    // dropped from it again. So a line of any length is held once, not once per copy.
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            m_rows.appendPiece(text.sliced(start, i - start));
            endLine();
            start = i + 1;
        }
    }
    m_rows.appendPiece(text.sliced(start));
}

void SideListReader::endLine() {
    const QStringView line = m_rows.pending();
    if (line.isEmpty())
        return;
    const std::uint32_t hash = core::TextIndex::hashOf(line);
    if ((!m_listEmpty && m_list.containsText(line)) || m_seen.contains(line, hash)) {
        m_rows.dropPendingChars(line.size());
        return;
    }
    m_rows.endRow();
    m_seen.add(hash);
}

void appendSideListText(core::ListModel& list, QStringView text) {
    SideListReader reader(list);
    reader.feedText(text);
    list.addItems(reader.finish());
}

} // namespace dice
