#include "RollCodec.h"

#include "core/DrawRows.h"
#include "core/TextRows.h"
#include "platform/RuntimeError.h"

#include <QSqlRecord>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <limits>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace history {

namespace {

struct Column {
    const char16_t* name;
    const char16_t* type;
};

// Small columns first: a listing reads a row's record only up to the columns it needs, so it never
// walks through the labels.
constexpr Column kRollColumns[] = {
    {u"time", u"INTEGER NOT NULL"}, // milliseconds since 1970, UTC
    {u"kind", u"TEXT NOT NULL"},    // "sides" or "set"
    {u"mode", u"TEXT NOT NULL"},    // core::rollModeWord
    {u"dice", u"INTEGER NOT NULL"},
    {u"rolls", u"INTEGER NOT NULL"},
    {u"die_name", u"TEXT NOT NULL"},
    {u"die", u"TEXT NOT NULL"},
    {u"fingerprint", u"TEXT NOT NULL"},
    {u"first_row", u"TEXT NOT NULL"},
    {u"bytes", u"INTEGER NOT NULL"},
    {u"index_bytes", u"INTEGER NOT NULL"},
    // The label count, each label's length and then all their UTF-16 code units: u32, u32s, u16s, LE.
    {u"labels", u"BLOB NOT NULL"},
    {u"weights", u"BLOB"}, // per-side weights; null while every side weighs the same
    {u"layout", u"BLOB"},  // per-position die of a set of different dice; null for one die
};
constexpr int kSummaryColumns = 10; // time .. bytes

constexpr qsizetype kPartBytes = qsizetype{8} << 20; // a multiple of every index size
constexpr qsizetype kListedChars = 200;

[[noreturn]] void damaged(const QString& what) {
    throw platform::RuntimeError(platform::RuntimeError::ApplicationDefined,
                                 u"the stored roll is damaged ("_s + what + u")"_s);
}

QString kindWord(RollOrigin::Kind kind) {
    return kind == RollOrigin::Kind::Set ? u"set"_s : u"sides"_s;
}

QString shortened(const QString& text) {
    if (text.size() <= kListedChars)
        return text;
    qsizetype cut = kListedChars - 1;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + u'\u2026';
}

// "2 × Six, 1 × Coin" for a roll of different dice; "4 sides, 10 tickets: a (3), b (1), …" for a
// weighted die; "3 sides: a, b, c" for an even one.
QString describeDie(const core::TextRows& labels, const core::DiceLayout* layout, const RollOrigin& origin) {
    if (!origin.name.isEmpty())
        return shortened(origin.name);
    if (labels.empty())
        return u"no sides"_s;
    if (layout != nullptr && !layout->parts.empty()) {
        QString text;
        for (const core::DiceLayout::Part& part : layout->parts) {
            const QString& name = layout->kinds[static_cast<std::size_t>(part.kind)].name;
            text += (text.isEmpty() ? QString() : u", "_s) + QString::number(part.count) + u" \u00D7 "_s +
                    (name.isEmpty() ? u"the sides list's die"_s : name);
            if (text.size() > kListedChars)
                break;
        }
        return shortened(text);
    }
    const std::vector<std::uint32_t>* weights =
        layout != nullptr && !layout->kinds.empty() ? &layout->kinds.front().weights : nullptr;
    if (weights != nullptr && weights->size() != static_cast<std::size_t>(labels.size()))
        weights = nullptr;
    QString text = QString::number(labels.size()) + (labels.size() == 1 ? u" side"_s : u" sides"_s);
    if (weights != nullptr) {
        std::uint64_t tickets = 0;
        for (const std::uint32_t weight : *weights)
            tickets += weight;
        text += u", "_s + QString::number(tickets) + (tickets == 1 ? u" ticket"_s : u" tickets"_s);
    }
    text += u": "_s;
    for (std::int64_t side = 0; side < labels.size() && text.size() <= kListedChars; ++side) {
        if (side > 0)
            text += u", "_s;
        text += labels.at(side);
        if (weights != nullptr)
            text += u" ("_s + QString::number((*weights)[static_cast<std::size_t>(side)]) + u')';
    }
    return shortened(text);
}

QByteArray encodeLabels(const core::TextRows& labels) {
    const auto count = static_cast<qsizetype>(labels.size());
    QByteArray bytes(4 + 4 * count + 2 * static_cast<qsizetype>(labels.charCount()), Qt::Uninitialized);
    char* out = bytes.data();
    qToLittleEndian<quint32>(static_cast<quint32>(count), out);
    out += 4;
    for (qsizetype side = 0; side < count; ++side, out += 4)
        qToLittleEndian<quint32>(static_cast<quint32>(labels.length(side)), out);
    for (qsizetype side = 0; side < count; ++side) {
        const QStringView label = labels.at(side);
        if (label.isEmpty())
            continue;
        qToLittleEndian<quint16>(label.utf16(), label.size(), out);
        out += 2 * label.size();
    }
    return bytes;
}

core::TextRows decodeLabels(const QByteArray& bytes) {
    if (bytes.size() < 4)
        damaged(u"no label count"_s);
    const qsizetype count = qFromLittleEndian<quint32>(bytes.constData());
    const qsizetype charsAt = 4 + 4 * count;
    if (charsAt > bytes.size())
        damaged(u"labels cut short"_s);
    std::vector<qsizetype> lengths(static_cast<std::size_t>(count));
    qsizetype chars = 0;
    for (qsizetype side = 0; side < count; ++side) {
        lengths[static_cast<std::size_t>(side)] = qFromLittleEndian<quint32>(bytes.constData() + 4 + 4 * side);
        chars += lengths[static_cast<std::size_t>(side)];
    }
    if (charsAt + 2 * chars != bytes.size())
        damaged(u"labels of the wrong length"_s);
    std::vector<char16_t> text(static_cast<std::size_t>(chars));
    if (chars > 0) // no copy into the null of an empty vector
        qFromLittleEndian<quint16>(bytes.constData() + charsAt, chars, text.data());
    core::TextRows labels;
    labels.reserve(count, chars);
    qsizetype at = 0;
    for (const qsizetype length : lengths) {
        labels.append(QStringView(text.data() + at, length));
        at += length;
    }
    return labels;
}

// The layout of a weighted die or a set: u32 kind count; per kind u64 first label, u64 sides, u8 1 when
// it carries weights, u32 name length and the name's UTF-16 code units; then u32 part count and per part
// i32 kind, i32 count. All little-endian. The weights go to their own column, one u32 per label (1 for a
// kind without weights), so that a plain roll stores neither.
class Writer {
public:
    template <class Value> void put(Value value) {
        char at[sizeof(Value)];
        qToLittleEndian<Value>(value, at);
        bytes.append(at, sizeof(Value));
    }
    QByteArray bytes;
};

class Reader {
public:
    explicit Reader(const QByteArray& bytes)
        : m_bytes(bytes) {}
    template <class Value> Value take() {
        if (m_bytes.size() - m_at < qsizetype{sizeof(Value)})
            damaged(u"its dice cut short"_s);
        const Value value = qFromLittleEndian<Value>(m_bytes.constData() + m_at);
        m_at += sizeof(Value);
        return value;
    }
    QString text(qsizetype length) {
        if (length > (m_bytes.size() - m_at) / 2)
            damaged(u"its dice cut short"_s);
        QString text(length, Qt::Uninitialized);
        qFromLittleEndian<quint16>(m_bytes.constData() + m_at, length, text.data());
        m_at += 2 * length;
        return text;
    }
    bool atEnd() const { return m_at == m_bytes.size(); }

private:
    const QByteArray& m_bytes;
    qsizetype m_at = 0;
};

void encodeLayout(const core::DiceLayout& layout, std::int64_t labelCount, QVariant& layoutColumn,
                  QVariant& weightsColumn) {
    Writer out;
    Writer weights;
    bool weighted = false;
    std::vector<std::uint32_t> perLabel(static_cast<std::size_t>(labelCount), 1);
    out.put<quint32>(static_cast<quint32>(layout.kinds.size()));
    for (const core::DiceLayout::Kind& kind : layout.kinds) {
        out.put<quint64>(static_cast<quint64>(kind.firstLabel));
        out.put<quint64>(static_cast<quint64>(kind.sides));
        out.put<quint8>(kind.weights.empty() ? 0 : 1);
        out.put<quint32>(static_cast<quint32>(kind.name.size()));
        for (const QChar c : kind.name)
            out.put<quint16>(c.unicode());
        weighted = weighted || !kind.weights.empty();
        for (std::size_t side = 0; side < kind.weights.size(); ++side)
            perLabel[static_cast<std::size_t>(kind.firstLabel) + side] = kind.weights[side];
    }
    out.put<quint32>(static_cast<quint32>(layout.parts.size()));
    for (const core::DiceLayout::Part& part : layout.parts) {
        out.put<qint32>(part.kind);
        out.put<qint32>(part.count);
    }
    layoutColumn = out.bytes;
    if (weighted) {
        for (const std::uint32_t weight : perLabel)
            weights.put<quint32>(weight);
        weightsColumn = weights.bytes;
    }
}

std::shared_ptr<const core::DiceLayout> decodeLayout(const QVariant& layoutColumn, const QVariant& weightsColumn,
                                                     std::int64_t labelCount, std::int32_t dice) {
    if (layoutColumn.isNull()) {
        if (!weightsColumn.isNull())
            damaged(u"weights without their dice"_s);
        return {};
    }
    const QByteArray bytes = layoutColumn.toByteArray();
    const QByteArray weightBytes = weightsColumn.toByteArray();
    if (!weightsColumn.isNull() && weightBytes.size() != 4 * labelCount)
        damaged(u"weights of the wrong length"_s);
    Reader in(bytes);
    auto layout = std::make_shared<core::DiceLayout>();
    const quint32 kinds = in.take<quint32>();
    if (kinds < 1 || kinds > labelCount)
        damaged(u"no dice"_s);
    for (quint32 k = 0; k < kinds; ++k) {
        core::DiceLayout::Kind kind;
        const quint64 first = in.take<quint64>();
        const quint64 sides = in.take<quint64>();
        const bool weighted = in.take<quint8>() != 0;
        kind.name = in.text(in.take<quint32>());
        if (first > quint64(labelCount) || sides > quint64(labelCount) - first)
            damaged(u"a die past its labels"_s);
        kind.firstLabel = static_cast<std::int64_t>(first);
        kind.sides = static_cast<std::int64_t>(sides);
        if (weighted) {
            if (weightsColumn.isNull())
                damaged(u"weights missing"_s);
            kind.weights.resize(sides);
            qFromLittleEndian<quint32>(weightBytes.constData() + 4 * first, static_cast<qsizetype>(sides),
                                       kind.weights.data());
        }
        layout->kinds.push_back(std::move(kind));
    }
    const quint32 parts = in.take<quint32>();
    std::int64_t counted = 0;
    for (quint32 p = 0; p < parts && counted <= dice; ++p) {
        const core::DiceLayout::Part part{in.take<qint32>(), in.take<qint32>()};
        if (part.kind < 0 || quint32(part.kind) >= kinds || part.count < 1)
            damaged(u"a die of no kind"_s);
        counted += part.count;
        layout->parts.push_back(part);
    }
    if (!in.atEnd() || (parts > 0 && counted != dice))
        damaged(u"dice that do not make its rows"_s);
    return layout;
}

QList<QByteArray> drawParts(const core::DrawRows& rows) {
    return std::visit(
        [](const auto& all) {
            using Index = std::decay_t<decltype(all[0])>;
            QList<QByteArray> parts;
            const auto* bytes = reinterpret_cast<const char*>(all.data());
            const auto total = static_cast<qsizetype>(all.size() * sizeof(Index));
            for (qsizetype at = 0; at < total; at += kPartBytes) {
                const qsizetype size = std::min(kPartBytes, total - at);
                if constexpr (std::endian::native == std::endian::little) {
                    parts.append(QByteArray::fromRawData(bytes + at, size));
                } else {
                    QByteArray part(size, Qt::Uninitialized);
                    qToLittleEndian<Index>(bytes + at, size / qsizetype{sizeof(Index)}, part.data());
                    parts.append(part);
                }
            }
            return parts;
        },
        rows.indices());
}

// A text column holds an empty text rather than nothing.
QVariant text(const QString& text) {
    return text.isNull() ? QString(qsizetype(0), QChar()) : text;
}

QString columnNames(int count) {
    QStringList names;
    for (int column = 0; column < count; ++column)
        names.append(QString::fromUtf16(kRollColumns[column].name));
    return names.join(u", "_s);
}

} // namespace

QStringList schemaStatements() {
    QStringList columns{u"id INTEGER PRIMARY KEY AUTOINCREMENT"_s};
    for (const Column& column : kRollColumns)
        columns.append(QString::fromUtf16(column.name) + u' ' + QString::fromUtf16(column.type));
    return {u"CREATE TABLE IF NOT EXISTS rolls ("_s + columns.join(u", "_s) + u')',
            u"CREATE TABLE IF NOT EXISTS roll_draws (roll_id INTEGER NOT NULL, part INTEGER NOT NULL, "
            u"data BLOB NOT NULL, PRIMARY KEY (roll_id, part))"_s};
}

QString rollColumnList() {
    return columnNames(static_cast<int>(std::size(kRollColumns)));
}

QString summaryColumnList() {
    return u"id, "_s + columnNames(kSummaryColumns);
}

EncodedRoll encodeRoll(const core::DrawRows& rows, const RollOrigin& origin, const QDateTime& time,
                       const QString& fingerprint) {
    EncodedRoll encoded;
    const QByteArray labels = encodeLabels(rows.labels());
    encoded.parts = drawParts(rows);
    QString firstRow;
    if (!rows.empty())
        rows.appendText(0, firstRow);
    firstRow = shortened(firstRow);
    const QString die = describeDie(rows.labels(), rows.layout(), origin);
    encoded.bytes = labels.size() + 2 * (firstRow.size() + die.size() + origin.name.size() + fingerprint.size());
    for (const QByteArray& part : encoded.parts)
        encoded.bytes += part.size();
    QVariant layout(QMetaType::fromType<QByteArray>());
    QVariant weights(QMetaType::fromType<QByteArray>());
    if (rows.layout() != nullptr)
        encodeLayout(*rows.layout(), rows.labels().size(), layout, weights);
    encoded.bytes += layout.toByteArray().size() + weights.toByteArray().size();
    encoded.values = {time.toMSecsSinceEpoch(),
                      kindWord(origin.kind),
                      core::rollModeWord(rows.mode()),
                      rows.dice(),
                      static_cast<qint64>(rows.size()),
                      text(origin.name),
                      text(die),
                      text(fingerprint),
                      text(firstRow),
                      static_cast<qint64>(encoded.bytes),
                      rows.indexBytes(),
                      labels,
                      weights,
                      layout};
    return encoded;
}

core::DrawRows decodeRoll(const QSqlRecord& record, const QList<QByteArray>& parts) {
    auto labels = std::make_shared<const core::TextRows>(decodeLabels(record.value(u"labels"_s).toByteArray()));
    const std::optional<core::RollMode> mode = core::rollModeFromWord(record.value(u"mode"_s).toString());
    const qint64 dice = record.value(u"dice"_s).toLongLong();
    const qint64 rolls = record.value(u"rolls"_s).toLongLong();
    if (!mode || dice < 1 || dice > std::numeric_limits<std::int32_t>::max() || rolls < 0)
        damaged(u"unknown mode or counts"_s);
    std::shared_ptr<const core::DiceLayout> layout = decodeLayout(record.value(u"layout"_s), record.value(u"weights"_s),
                                                                  labels->size(), static_cast<std::int32_t>(dice));
    core::DrawRows rows(std::move(labels), static_cast<std::int32_t>(dice), *mode, std::move(layout));
    const int indexBytes = rows.indexBytes();
    if (record.value(u"index_bytes"_s).toInt() != indexBytes)
        damaged(u"draws of the wrong size for its sides"_s);
    qint64 total = 0;
    for (const QByteArray& part : parts) {
        if (part.size() % indexBytes != 0)
            damaged(u"a part cut short"_s);
        total += part.size();
    }
    if (rolls > std::numeric_limits<qint64>::max() / dice / indexBytes || total != rolls * dice * indexBytes)
        damaged(u"draws missing"_s);
    rows.build([&](auto& all) {
        using Index = std::decay_t<decltype(all[0])>;
        all.resize(static_cast<std::size_t>(rolls * dice));
        char* out = reinterpret_cast<char*>(all.data());
        for (const QByteArray& part : parts) {
            if (part.isEmpty())
                continue;
            qFromLittleEndian<Index>(part.constData(), part.size() / qsizetype{sizeof(Index)}, out);
            out += part.size();
        }
    });
    return rows;
}

EntrySummary summaryFrom(const QSqlRecord& record) {
    EntrySummary entry;
    entry.id = record.value(u"id"_s).toLongLong();
    entry.time = QDateTime::fromMSecsSinceEpoch(record.value(u"time"_s).toLongLong(), Qt::UTC);
    entry.origin.kind = record.value(u"kind"_s).toString() == u"set" ? RollOrigin::Kind::Set : RollOrigin::Kind::Sides;
    entry.origin.name = record.value(u"die_name"_s).toString();
    entry.mode = core::rollModeFromWord(record.value(u"mode"_s).toString()).value_or(core::RollMode::Independent);
    entry.dice = record.value(u"dice"_s).toInt();
    entry.rolls = record.value(u"rolls"_s).toLongLong();
    entry.die = record.value(u"die"_s).toString();
    entry.fingerprint = record.value(u"fingerprint"_s).toString();
    entry.firstRow = record.value(u"first_row"_s).toString();
    entry.bytes = record.value(u"bytes"_s).toLongLong();
    return entry;
}

QString isoTime(const EntrySummary& entry) {
    const QDateTime local = entry.time.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace history
