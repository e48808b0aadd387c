#include "KeptBag.h"

#include "core/ListModel.h"
#include "core/RollMode.h"
#include "core/TextIndex.h"
#include "core/TextRows.h"
#include "platform/FileDialogs.h"
#include "platform/Identity.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"
#include "platform/TextFileWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace bag {

namespace {

const QString kHeader = u"Quorvin Tessaly kept bag 1"_s;
// A count of none: the label's side has a full set.
constexpr std::uint64_t kNoCount = std::numeric_limits<std::uint64_t>::max();
// Far beyond any bag that fits in memory as labels; a larger file is not one of ours.
constexpr qsizetype kLargestFile = qsizetype{1} << 30;

QString escaped(QStringView label) {
    QString out;
    out.reserve(label.size());
    for (const QChar c : label) {
        if (c == u'\\')
            out += u"\\\\"_s;
        else if (c == u'\n')
            out += u"\\n"_s;
        else if (c == u'\r')
            out += u"\\r"_s;
        else
            out += c;
    }
    return out;
}

std::optional<QString> unescaped(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        if (text[i] == u'\\')
            out += u'\\';
        else if (text[i] == u'n')
            out += u'\n';
        else if (text[i] == u'r')
            out += u'\r';
        else
            return std::nullopt;
    }
    return out;
}

platform::RuntimeError readFailure(const QString& path, const QString& reason) {
    return platform::RuntimeError(platform::RuntimeError::PathFileAccessError, u"Could not read the kept bag \""_s +
                                                                                   path + u"\": "_s + reason +
                                                                                   u". The bag starts full again."_s);
}

} // namespace

struct KeptBag::Record {
    core::TextRows labels;
    std::vector<std::uint64_t> tickets; // by label; kNoCount where the label was added anew
    core::TextIndex index{labels};

    std::int64_t find(QStringView label) const { return index.find(label); }
    void add(QStringView label, std::uint64_t count) {
        labels.append(label);
        tickets.push_back(count);
        index.add(core::TextIndex::hashOf(label));
    }
};

QString defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' +
           QString::fromUtf16(platform::kOrganizationName) + u'/' + QString::fromUtf16(platform::kApplicationName) +
           u"/kept-bag.txt"_s;
}

KeptBag::KeptBag(QString path)
    : m_path(std::move(path))
    , m_record(std::make_unique<Record>()) {}

KeptBag::~KeptBag() = default;

void KeptBag::load(const core::ListModel& sides) {
    m_record = std::make_unique<Record>();
    if (m_path.isEmpty() || !QFileInfo::exists(m_path))
        return;
    QByteArray bytes;
    bool tooLarge = false;
    try {
        platform::TextFileReader reader(m_path);
        QByteArray buffer(256 * 1024, Qt::Uninitialized);
        for (QByteArrayView chunk = reader.read(buffer); !chunk.isEmpty() && !tooLarge; chunk = reader.read(buffer)) {
            tooLarge = bytes.size() + chunk.size() > kLargestFile;
            bytes += chunk;
        }
    } catch (const platform::RuntimeError& error) {
        throw readFailure(m_path, error.description());
    }
    if (tooLarge)
        throw readFailure(m_path, u"it is too large"_s);

    const QString text = QString::fromUtf8(bytes);
    const QList<QStringView> lines = QStringView(text).split(u'\n');
    if (lines.front() != kHeader)
        throw readFailure(m_path, u"it does not start with \""_s + kHeader + u'"');
    auto record = std::make_unique<Record>();
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QStringView line = lines[n];
        if (line.isEmpty() && n == lines.size() - 1)
            break;
        const qsizetype tab = line.indexOf(u'\t');
        bool isCount = false;
        const std::uint64_t count = tab > 0 ? line.first(tab).toULongLong(&isCount) : 0;
        const std::optional<QString> label = tab > 0 ? unescaped(line.sliced(tab + 1)) : std::nullopt;
        if (!isCount || !label || count == kNoCount)
            throw readFailure(m_path, u"line "_s + QString::number(n + 1) + u" is not a count, a tab and a label"_s);
        // A side that left the list while the program was closed left the bag.
        if (!sides.containsText(*label))
            continue;
        if (const std::int64_t row = record->find(*label); row >= 0)
            record->tickets[row] = std::max(record->tickets[row], count);
        else
            record->add(*label, count);
    }
    m_record = std::move(record);
}

std::vector<std::uint64_t> KeptBag::ticketsLeft(const core::TextRows& labels,
                                                std::span<const std::uint32_t> weights) const {
    std::vector<std::uint64_t> left(static_cast<std::size_t>(labels.size()), 1);
    if (!weights.empty())
        left.assign(weights.begin(), weights.end());
    if (m_record->tickets.empty())
        return left;
    // Sides that share a label share its count, first come first served.
    std::vector<std::uint64_t> rest = m_record->tickets;
    for (std::int64_t side = 0; side < labels.size(); ++side) {
        const std::int64_t row = m_record->find(labels.at(side));
        if (row < 0 || rest[row] == kNoCount)
            continue;
        left[side] = std::min<std::uint64_t>(rest[row], left[side]);
        rest[row] -= left[side];
    }
    return left;
}

void KeptBag::keep(const core::TextRows& labels, std::span<const std::uint64_t> ticketsLeft) {
    auto next = std::make_unique<Record>();
    for (std::int64_t side = 0; side < labels.size(); ++side) {
        const QStringView label = labels.at(side);
        if (const std::int64_t row = next->find(label); row >= 0)
            next->tickets[row] += ticketsLeft[side];
        else
            next->add(label, ticketsLeft[side]);
    }
    // Labels no longer listed keep their counts for an undo that brings them back.
    const Record& old = *m_record;
    for (std::int64_t row = 0; row < old.labels.size(); ++row) {
        if (old.tickets[row] != kNoCount && next->find(old.labels.at(row)) < 0)
            next->add(old.labels.at(row), old.tickets[row]);
    }
    save(*next);
    m_record = std::move(next);
}

void KeptBag::sidesAdded(const core::ListModel& sides, std::int64_t first, std::int64_t last,
                         const core::TextRows* listedBefore) {
    if (m_record->tickets.empty())
        return;
    std::optional<core::TextIndex> before;
    if (listedBefore != nullptr)
        before.emplace(*listedBefore);
    bool forgot = false;
    for (std::int64_t position = first; position <= last; ++position) {
        const QStringView label = sides.textView(position);
        const std::int64_t row = m_record->find(label);
        if (row >= 0 && m_record->tickets[row] != kNoCount && !(before && before->contains(label))) {
            m_record->tickets[row] = kNoCount;
            forgot = true;
        }
    }
    if (forgot)
        save(*m_record);
}

void KeptBag::refill() {
    auto empty = std::make_unique<Record>();
    save(*empty);
    m_record = std::move(empty);
}

KeptBag::Count KeptBag::count(const core::TextRows& labels, std::span<const std::uint32_t> weights) const {
    Count count;
    for (const std::uint64_t left : ticketsLeft(labels, weights))
        count.left += left;
    count.total = static_cast<std::uint64_t>(labels.size());
    if (!weights.empty()) {
        count.total = 0;
        for (const std::uint32_t weight : weights)
            count.total += weight;
        count.weighted = true;
    }
    return count;
}

QString KeptBag::describe(Count count) {
    return core::rollModeName(core::RollMode::Bag) + u": "_s + QString::number(count.left) + u" of "_s +
           QString::number(count.total) + (count.weighted ? u" ticket"_s : u" side"_s) +
           (count.total == 1 ? u""_s : u"s"_s) + u" left in the bag"_s;
}

void KeptBag::save(const Record& record) const {
    if (m_path.isEmpty())
        return;
    try {
        if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
            throw platform::RuntimeError(platform::RuntimeError::PathNotFound);
        platform::TextFileWriter file(m_path, platform::TextFileWriter::Encoding::Utf8,
                                      platform::TextFileWriter::LineEnd::Lf,
                                      platform::TextFileWriter::Replace::WholeOnly);
        file.writeLine(kHeader);
        QString line;
        for (std::int64_t row = 0; row < record.labels.size(); ++row) {
            if (record.tickets[row] == kNoCount)
                continue;
            line = QString::number(record.tickets[row]) + u'\t' + escaped(record.labels.at(row));
            file.writeLine(line);
        }
        file.close();
    } catch (const platform::RuntimeError& error) {
        throw platform::RuntimeError(error.number(), platform::saveFailureText(m_path, error.description()));
    }
}

} // namespace bag
