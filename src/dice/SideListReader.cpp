#include "SideListReader.h"

#include "core/ListModel.h"
#include "platform/RuntimeError.h"

namespace dice {

namespace {

// The line rule: every CR and every LF ends a line, so CR LF ends one and leaves an empty one, which is
// skipped. Hands the text between them to piece(), and calls endLine() at each end.
template <class Text, class Piece, class EndLine> void splitLines(Text text, Piece piece, EndLine endLine) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = text[i];
        if (c == u'\r' || c == u'\n') {
            piece(text.sliced(start, i - start));
            endLine();
            start = i + 1;
        }
    }
    piece(text.sliced(start));
}

// False once the input has passed the limit.
bool countRead(qint64& bytesRead, qsizetype more) {
    bytesRead += more;
    return bytesRead <= kMostSideListBytes;
}

} // namespace

SideListReader::SideListReader(const core::ListModel& list)
    : m_list(list)
    , m_listEmpty(list.itemCount() == 0)
    , m_seen(m_rows) {}

void throwSideListTooLong() {
    throw platform::RuntimeError(
        platform::RuntimeError::OutOfMemory,
        QStringLiteral("longer than 1 GiB (%1 bytes), the most a side list may be").arg(kMostSideListBytes));
}

void SideListReader::feed(QByteArrayView bytes) {
    if (!countRead(m_bytesRead, bytes.size()))
        throw platform::RuntimeError(platform::RuntimeError::OutOfMemory);
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
    splitLines(
        text, [this](QStringView piece) { m_rows.appendPiece(piece); }, [this] { endLine(); });
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

Utf8SideListReader::Utf8SideListReader()
    : m_seen(m_labels) {}

void Utf8SideListReader::feed(QByteArrayView bytes) {
    if (!countRead(m_bytesRead, bytes.size()))
        throwSideListTooLong();
    take(m_decoder.decode(bytes));
}

void Utf8SideListReader::endFile() {
    take(m_decoder.finish());
    endLine();
    m_bytesRead = 0;
}

Utf8Labels Utf8SideListReader::finish() {
    endFile();
    m_seen.clear();
    return std::exchange(m_labels, Utf8Labels());
}

void Utf8SideListReader::take(QByteArrayView text) {
    splitLines(
        text, [this](QByteArrayView piece) { m_labels.appendPiece(piece); }, [this] { endLine(); });
}

void Utf8SideListReader::endLine() {
    const QByteArrayView line = m_labels.pending();
    if (line.isEmpty())
        return;
    if (m_seen.addUnlessPresent(line, m_labels.size()))
        m_labels.endRow();
    else
        m_labels.dropPending();
}

} // namespace dice
