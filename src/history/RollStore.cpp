#include "RollStore.h"

#include "RollCodec.h"

#include "core/DrawRows.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;
using platform::RuntimeError;

namespace history {

namespace {

constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;
// Pages and index entries around an entry's bytes: overflow pages lose 4 of every 4096 bytes.
constexpr std::int64_t kEntryOverhead = 64 * 1024;

// SQLite found the file damaged; the store moves it aside. Never leaves this file.
struct Damage {
    QString reason;
};

bool isDamage(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff; // the primary code of an extended one
    return ok && (code == kSqliteCorrupt || code == kSqliteNotADatabase);
}

QString reasonOf(const QSqlError& error) {
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? u"unknown error"_s : text;
}

// The connection's statements, each failure raised as Damage or as a RuntimeError naming the file.
class Sql {
public:
    Sql(const QString& connection, const QString& path)
        : m_db(QSqlDatabase::database(connection, false))
        , m_path(path) {}

    QSqlQuery run(const QString& statement, const QVariantList& values = {}) {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!query.prepare(statement))
            fail(query.lastError());
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (!query.exec())
            fail(query.lastError());
        return query;
    }
    // Steps through every row the statement answers with.
    void runToEnd(const QString& statement) {
        QSqlQuery query = run(statement);
        while (query.next()) {
        }
        check(query);
    }
    QVariant value(const QString& statement, const QVariantList& values = {}) {
        QSqlQuery query = run(statement, values);
        const QVariant value = query.next() ? query.value(0) : QVariant();
        check(query);
        return value;
    }
    void check(const QSqlQuery& query) {
        if (query.lastError().isValid())
            fail(query.lastError());
    }
    [[noreturn]] void fail(const QSqlError& error) {
        if (isDamage(error))
            throw Damage{reasonOf(error)};
        throw RuntimeError(RuntimeError::ApplicationDefined,
                           u"Could not use the roll history \""_s + m_path + u"\": "_s + reasonOf(error) + u'.');
    }

private:
    QSqlDatabase m_db;
    const QString& m_path;
};

// BEGIN ... COMMIT, rolled back when left early. IMMEDIATE takes the write lock at once, so two
// processes writing never wait on each other's read locks.
class Transaction {
public:
    Transaction(Sql& sql, bool write)
        : m_sql(sql) {
        m_sql.run(write ? u"BEGIN IMMEDIATE"_s : u"BEGIN"_s);
    }
    ~Transaction() {
        if (!m_done) {
            try {
                m_sql.run(u"ROLLBACK"_s);
            } catch (...) {
                // The file is left as the last commit made it either way.
            }
        }
    }
    void commit() {
        m_sql.run(u"COMMIT"_s);
        m_done = true;
    }

private:
    Sql& m_sql;
    bool m_done = false;
};

void deleteEntry(Sql& sql, std::int64_t id) {
    sql.run(u"DELETE FROM roll_draws WHERE roll_id = ?"_s, {qint64(id)});
    sql.run(u"DELETE FROM rolls WHERE id = ?"_s, {qint64(id)});
}

std::int64_t pagesInUse(Sql& sql) {
    const std::int64_t pageSize = sql.value(u"PRAGMA page_size"_s).toLongLong();
    return (sql.value(u"PRAGMA page_count"_s).toLongLong() - sql.value(u"PRAGMA freelist_count"_s).toLongLong()) *
           pageSize;
}

// Deletes the oldest entries until room more bytes fit within sizeLimit, or none is left.
std::vector<std::int64_t> dropOldest(Sql& sql, std::int64_t room, std::int64_t sizeLimit) {
    std::vector<std::int64_t> dropped;
    while (pagesInUse(sql) + room > sizeLimit) {
        const QVariant oldest = sql.value(u"SELECT min(id) FROM rolls"_s);
        if (oldest.isNull())
            break;
        deleteEntry(sql, oldest.toLongLong());
        dropped.push_back(oldest.toLongLong());
    }
    return dropped;
}

} // namespace

RollStore::RollStore(QString path, QString connectionName)
    : m_path(std::move(path))
    , m_connection(std::move(connectionName)) {}

RollStore::~RollStore() {
    close();
}

void RollStore::open() {
    if (!m_open)
        openFile();
}

void RollStore::openFile() {
    const auto once = [this] {
        const QString folder = QFileInfo(m_path).absolutePath();
        if (!QDir().mkpath(folder))
            throw RuntimeError(RuntimeError::ApplicationDefined,
                               u"Could not make the roll history's folder \""_s + folder + u"\"."_s);
        if (!QSqlDatabase::isDriverAvailable(u"QSQLITE"_s))
            throw RuntimeError(RuntimeError::ApplicationDefined,
                               u"The roll history needs Qt's SQLite driver (QSQLITE), which is not installed."_s);
        // A history its owner made read-only is still read; what would change it fails.
        const QFileInfo file(m_path);
        const bool readOnly = file.exists() && !file.isWritable();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
            db.setDatabaseName(m_path);
            db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=5000"_s + (readOnly ? u";QSQLITE_OPEN_READONLY"_s : QString()));
            m_open = true;
            if (!db.open())
                Sql(m_connection, m_path).fail(db.lastError());
        }
        Sql sql(m_connection, m_path);
        if (!readOnly) {
            sql.run(u"PRAGMA auto_vacuum = INCREMENTAL"_s); // takes effect in a new file only
            if (sql.value(u"PRAGMA journal_mode = WAL"_s).toString() != u"wal")
                throw RuntimeError(RuntimeError::ApplicationDefined, u"Could not use the roll history \""_s + m_path +
                                                                         u"\": it cannot keep a write-ahead log."_s);
            sql.run(u"PRAGMA synchronous = NORMAL"_s); // with the log, a killed process loses no commit
            sql.run(u"PRAGMA journal_size_limit = 67108864"_s);
        }
        const QString check = sql.value(u"PRAGMA quick_check"_s).toString();
        if (check != u"ok")
            throw Damage{check};
        if (readOnly)
            return;
        Transaction transaction(sql, true);
        for (const QString& statement : schemaStatements())
            sql.run(statement);
        transaction.commit();
    };
    try {
        once();
    } catch (const Damage& damage) {
        moveDamagedFileAside(damage.reason);
        try {
            once();
        } catch (const Damage& again) {
            close();
            throw RuntimeError(RuntimeError::ApplicationDefined,
                               u"Could not begin a new roll history \""_s + m_path + u"\": "_s + again.reason + u'.');
        }
    } catch (...) {
        close();
        throw;
    }
}

void RollStore::close() {
    if (!m_open)
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
    m_open = false;
}

void RollStore::moveDamagedFileAside(const QString& reason) {
    close();
    const QString base = m_path + u".damaged-"_s + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s);
    QString aside = base;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = base + u'-' + QString::number(n);
    QFile file(m_path);
    if (!file.rename(aside))
        throw RuntimeError(RuntimeError::ApplicationDefined, u"The roll history \""_s + m_path + u"\" is damaged ("_s +
                                                                 reason + u") and could not be moved aside: "_s +
                                                                 file.errorString() + u'.');
    // The log and its index belong with the file; without them a new file starts clean.
    for (const QString& suffix : {u"-wal"_s, u"-shm"_s}) {
        if (QFile::exists(m_path + suffix))
            QFile::rename(m_path + suffix, aside + suffix);
    }
    m_notices.append(u"The roll history \""_s + m_path + u"\" was damaged ("_s + reason + u"). It was moved to \""_s +
                     aside + u"\" and a new history was begun."_s);
}

template <class Work> auto RollStore::guarded(Work&& work) -> decltype(work()) {
    open();
    try {
        return work();
    } catch (const Damage& damage) {
        moveDamagedFileAside(damage.reason);
    }
    openFile();
    try {
        return work();
    } catch (const Damage& damage) {
        throw RuntimeError(RuntimeError::ApplicationDefined,
                           u"Could not use the roll history \""_s + m_path + u"\": "_s + damage.reason + u'.');
    }
}

void RollStore::giveBackFreePages() {
    Sql sql(m_connection, m_path);
    // Each step of incremental_vacuum gives back one page, and Qt's driver steps a statement without
    // columns only once: it runs once a page, all in one transaction.
    {
        Transaction transaction(sql, true);
        for (std::int64_t free = sql.value(u"PRAGMA freelist_count"_s).toLongLong(); free > 0; --free)
            sql.run(u"PRAGMA incremental_vacuum(1)"_s);
        transaction.commit();
    }
    sql.runToEnd(u"PRAGMA wal_checkpoint(TRUNCATE)"_s);
}

RollStore::Added RollStore::add(const core::DrawRows& rows, const RollOrigin& origin, const QDateTime& time,
                                const QString& fingerprint, std::int64_t sizeLimit) {
    const EncodedRoll encoded = encodeRoll(rows, origin, time, fingerprint);
    const std::int64_t needed = encoded.bytes + encoded.bytes / 256 + kEntryOverhead;
    Added added = guarded([&] {
        Added added;
        if (needed > sizeLimit)
            return added;
        Sql sql(m_connection, m_path);
        Transaction transaction(sql, true);
        added.dropped = dropOldest(sql, needed, sizeLimit);
        QString marks = u"?"_s;
        for (qsizetype i = 1; i < encoded.values.size(); ++i)
            marks += u", ?"_s;
        const QSqlQuery insert =
            sql.run(u"INSERT INTO rolls ("_s + rollColumnList() + u") VALUES ("_s + marks + u')', encoded.values);
        const qint64 id = insert.lastInsertId().toLongLong();
        for (qsizetype part = 0; part < encoded.parts.size(); ++part) {
            if (m_betweenParts)
                m_betweenParts();
            sql.run(u"INSERT INTO roll_draws (roll_id, part, data) VALUES (?, ?, ?)"_s,
                    {id, qint64(part), encoded.parts[part]});
        }
        QSqlQuery kept = sql.run(u"SELECT "_s + summaryColumnList() + u" FROM rolls WHERE id = ?"_s, {id});
        if (kept.next())
            added.entry = summaryFrom(kept.record());
        sql.check(kept);
        kept.finish();
        transaction.commit();
        return added;
    });
    if (!added.dropped.empty())
        guarded([&] { giveBackFreePages(); });
    return added;
}

std::vector<std::int64_t> RollStore::trim(std::int64_t sizeLimit) {
    const std::vector<std::int64_t> dropped = guarded([&] {
        Sql sql(m_connection, m_path);
        Transaction transaction(sql, true);
        std::vector<std::int64_t> dropped = dropOldest(sql, 0, sizeLimit);
        transaction.commit();
        return dropped;
    });
    if (!dropped.empty())
        guarded([&] { giveBackFreePages(); });
    return dropped;
}

std::vector<EntrySummary> RollStore::entries() {
    return guarded([&] {
        Sql sql(m_connection, m_path);
        QSqlQuery query = sql.run(u"SELECT "_s + summaryColumnList() + u" FROM rolls ORDER BY id DESC"_s);
        std::vector<EntrySummary> entries;
        while (query.next())
            entries.push_back(summaryFrom(query.record()));
        sql.check(query);
        return entries;
    });
}

std::optional<EntrySummary> RollStore::entry(std::int64_t id) {
    return guarded([&]() -> std::optional<EntrySummary> {
        Sql sql(m_connection, m_path);
        QSqlQuery query = sql.run(u"SELECT "_s + summaryColumnList() + u" FROM rolls WHERE id = ?"_s, {qint64(id)});
        if (!query.next()) {
            sql.check(query);
            return std::nullopt;
        }
        return summaryFrom(query.record());
    });
}

std::optional<core::DrawRows> RollStore::rows(std::int64_t id) {
    return guarded([&]() -> std::optional<core::DrawRows> {
        Sql sql(m_connection, m_path);
        Transaction transaction(sql, false); // the facts and the parts of one state of the file
        QSqlQuery facts = sql.run(u"SELECT "_s + rollColumnList() + u" FROM rolls WHERE id = ?"_s, {qint64(id)});
        if (!facts.next()) {
            sql.check(facts);
            return std::nullopt;
        }
        const QSqlRecord record = facts.record();
        QList<QByteArray> parts;
        QSqlQuery draws = sql.run(u"SELECT data FROM roll_draws WHERE roll_id = ? ORDER BY part"_s, {qint64(id)});
        while (draws.next())
            parts.append(draws.value(0).toByteArray());
        sql.check(draws);
        core::DrawRows rows = decodeRoll(record, parts);
        transaction.commit();
        return rows;
    });
}

bool RollStore::remove(std::int64_t id) {
    const bool removed = guarded([&] {
        Sql sql(m_connection, m_path);
        Transaction transaction(sql, true);
        const bool exists = !sql.value(u"SELECT id FROM rolls WHERE id = ?"_s, {qint64(id)}).isNull();
        deleteEntry(sql, id);
        transaction.commit();
        return exists;
    });
    if (removed)
        guarded([&] { giveBackFreePages(); });
    return removed;
}

void RollStore::clear() {
    guarded([&] {
        Sql sql(m_connection, m_path);
        Transaction transaction(sql, true);
        sql.run(u"DELETE FROM roll_draws"_s);
        sql.run(u"DELETE FROM rolls"_s);
        transaction.commit();
        giveBackFreePages();
    });
}

std::int64_t RollStore::usedBytes() {
    return guarded([&] {
        Sql sql(m_connection, m_path);
        return pagesInUse(sql);
    });
}

QStringList RollStore::takeNotices() {
    return std::exchange(m_notices, {});
}

} // namespace history
