#pragma once

// The roll history's database: one SQLite file (Qt's QSQLITE driver) in write-ahead-log mode, each
// entry written in one transaction, so a process killed at any moment loses at most the entry it was
// writing. A file that SQLite finds damaged is moved aside, never deleted, and a new one begun; each
// operation that meets damage does so and goes on with the new file. The stored form of a roll is
// RollCodec's; this class only runs the SQL.
//
// One RollStore is one connection, to be used on the thread that made it. RollHistory gives the
// window one on a worker thread; the command line uses one directly.

#include "RollEntry.h"

#include "core/DrawRows.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace history {

class RollStore {
public:
    // connectionName is unique in the process; nothing is opened yet.
    RollStore(QString path, QString connectionName);
    ~RollStore();
    RollStore(const RollStore&) = delete;
    RollStore& operator=(const RollStore&) = delete;

    // Opens the file, making it and its folder when missing. Throws platform::RuntimeError, in plain
    // words naming the file, when there is no database to be had; a damaged one is moved aside.
    void open();
    const QString& path() const { return m_path; }

    struct Added {
        std::optional<EntrySummary> entry; // none when the roll alone is over the limit
        std::vector<std::int64_t> dropped; // the oldest entries removed to make room
    };
    // Keeps the roll, first removing the oldest entries until the file stays within sizeLimit bytes.
    Added add(const core::DrawRows& rows, const RollOrigin& origin, const QDateTime& time, const QString& fingerprint,
              std::int64_t sizeLimit);
    // Removes the oldest entries until the file is within sizeLimit bytes; returns their ids.
    std::vector<std::int64_t> trim(std::int64_t sizeLimit);
    std::vector<EntrySummary> entries(); // newest first
    std::optional<EntrySummary> entry(std::int64_t id);
    // The entry's rows as they were rolled; none when there is no such entry.
    std::optional<core::DrawRows> rows(std::int64_t id);
    bool remove(std::int64_t id);
    void clear();
    std::int64_t usedBytes(); // the pages in use: the file's size once freed pages are given back

    // Called before each part of a roll's draws is written, to let the writer wait.
    void setBetweenParts(std::function<void()> betweenParts) { m_betweenParts = std::move(betweenParts); }

    // What happened that the user should hear of (a damaged file moved aside), since the last call.
    QStringList takeNotices();

private:
    template <class Work> auto guarded(Work&& work) -> decltype(work());
    void openFile();
    void close();
    void moveDamagedFileAside(const QString& reason);
    void giveBackFreePages();

    QString m_path;
    QString m_connection;
    QStringList m_notices;
    std::function<void()> m_betweenParts;
    bool m_open = false;
};

} // namespace history
