#include "SideListLoader.h"

#include "platform/ListModel.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"
#include "platform/TextRows.h"
#include "shell/Main.h"

#include <QDir>
#include <QFileInfo>
#include <QHashFunctions>

#include <cstdint>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The lines of one file accepted so far: open addressing over their rows in the batch, with each row's
// hash kept so that probing rarely compares texts. Sized once for the file's line count.
class BatchLines {
public:
    BatchLines(const platform::TextRows& rows, qsizetype expected)
        : m_rows(rows) {
        std::size_t capacity = 16;
        while (capacity < static_cast<std::size_t>(expected) * 2)
            capacity *= 2;
        m_slots.assign(capacity, 0);
        m_hashes.reserve(static_cast<std::size_t>(expected));
    }

    // True when the line was not met before; it is then recorded as the batch's next row, which the
    // caller appends.
    bool insertIfNew(QStringView line) {
        const std::uint32_t hash = static_cast<std::uint32_t>(qHash(line, 0x5bd1e995U));
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = hash & mask;
        while (m_slots[slot] != 0) {
            const std::uint32_t row = m_slots[slot] - 1;
            if (m_hashes[row] == hash && m_rows.at(row) == line)
                return false;
            slot = (slot + 1) & mask;
        }
        if (m_hashes.size() >= std::numeric_limits<std::uint32_t>::max() - 1)
            throw platform::RuntimeError(platform::RuntimeError::OutOfMemory);
        m_slots[slot] = static_cast<std::uint32_t>(m_hashes.size() + 1);
        m_hashes.push_back(hash);
        return true;
    }

private:
    const platform::TextRows& m_rows;
    std::vector<std::uint32_t> m_slots;
    std::vector<std::uint32_t> m_hashes;
};

} // namespace

namespace Main {

bool ListviewContainsText(const platform::ListModel& list, QStringView text) {
    return list.containsText(text);
}

void LoadListviewFromTextFile(platform::ListModel& list, const QString& path, platform::MessageBox& messageBox) {
    // A folder passes the existence test, as it passes the date query that the test stands for;
    // opening it then fails and the caller's trap reports that.
    const bool exists = FileExists(path) || (!path.isEmpty() && QFileInfo(path).isDir());
    if (!exists) {
        messageBox.show(u"File not found"_s, platform::OkOnly, QString());
        return;
    }
    const QString text = platform::decodeSystemText(platform::readFileBytes(path));
    const QStringView all(text);

    // One pass to size the batch, so that neither the rows nor the set of this file's lines grow.
    qsizetype terminators = 0;
    for (QChar c : all) {
        if (c == u'\r' || c == u'\n')
            ++terminators;
    }
    platform::TextRows accepted;
    accepted.reserve(terminators + 1, all.size());
    BatchLines seen(accepted, terminators + 1);
    const bool listEmpty = list.itemCount() == 0;

    auto take = [&](QStringView line) {
        if (line.isEmpty() || (!listEmpty && ListviewContainsText(list, line)))
            return;
        if (seen.insertIfNew(line))
            accepted.append(line);
    };
    // Every CR and every LF ends a line; a CR LF pair leaves an empty line between them, skipped like
    // any other empty line.
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QChar c = all[i];
        if (c == u'\r' || c == u'\n') {
            take(all.sliced(start, i - start));
            start = i + 1;
        }
    }
    take(all.sliced(start));
    list.addItems(accepted);
}

QString FixPathBackslashes(const QString& path) {
    auto collapse = [](QString text) { return text.replace(u"\\\\"_s, u"\\"_s); };
    if (!path.startsWith(u'\\'))
        return collapse(path);
    qsizetype first = 1;
    while (first < path.size() && path[first] == u'\\')
        ++first;
    return u"\\\\"_s + collapse(path.mid(first));
}

QString FixPathSeparators(const QString& path) {
#ifdef Q_OS_WIN
    return FixPathBackslashes(QDir::toNativeSeparators(path));
#else
    // No network-path prefix here: any run of slashes means one.
    QString fixed;
    fixed.reserve(path.size());
    for (QChar c : path) {
        if (c == u'/' && fixed.endsWith(u'/'))
            continue;
        fixed.append(c);
    }
    return fixed;
#endif
}

} // namespace Main
