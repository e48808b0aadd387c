#pragma once

// The roll history as the window uses it. Every request runs on the history's own thread, in the
// order made, over that thread's RollStore connection: a roll's fingerprint and its write (seconds
// for ten million rolls) never hold up the window. Answers come back as signals (or callbacks) on the
// thread that owns this object. A roll is handed over as a copy of its DrawRows, which shares the
// draws instead of copying them.

#include "RollEntry.h"

#include "core/DrawRows.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace history {

class RollStore;

class RollHistory : public QObject {
    Q_OBJECT
public:
    explicit RollHistory(const QString& databasePath, QObject* parent = nullptr);
    ~RollHistory() override; // after every request made so far has run

    const QString& path() const { return m_path; }
    // Applies at once: the oldest entries that no longer fit go, with entriesRemoved.
    void setSizeLimit(std::int64_t bytes);
    std::int64_t sizeLimit() const { return m_sizeLimit; }

    // The window is busy with a roll, or done with it. The history's thread does no work while it is
    // and for a moment after: on a processor whose cores share their caches, as most do, its
    // fingerprint and write would otherwise slow the window's next answer by half. Rolls made meanwhile
    // wait their turn. Past kMostWaitingBytes of waiting draws the thread works whenever no roll is
    // running, and past kMostWaitingBytesEver it works regardless.
    void setWindowBusy(bool busy);
    static constexpr std::int64_t kMostWaitingBytes = std::int64_t{256} << 20;
    static constexpr std::int64_t kMostWaitingBytesEver = std::int64_t{1} << 30;

    // Keeps a roll with the time of the call: Start Rolling's rows with RollOrigin::sides(), a set's
    // with RollOrigin::set(name). Answers with entryAdded, after entriesRemoved for the oldest entries
    // that made room.
    void record(const core::DrawRows& rows, const RollOrigin& origin = RollOrigin::sides());
    void requestEntries(); // answers with entriesListed, newest first

    using RowsLoaded = std::function<void(const EntrySummary& entry, const core::DrawRows& rows)>;
    // Calls loaded on context's thread, unless context is gone; an entry deleted meanwhile gets a notice.
    void loadRows(std::int64_t id, QObject* context, RowsLoaded loaded);
    // Writes the entry as HistoryExport does; calls done with an empty text or the failure in plain words.
    void exportEntry(std::int64_t id, const QString& path, QObject* context, std::function<void(QString)> done);
    void remove(std::int64_t id); // answers with entriesRemoved
    void clear();                 // answers with historyCleared

    // Returns once every request made so far has run and its answers have been delivered.
    void waitUntilIdle();

signals:
    void entriesListed(const std::vector<history::EntrySummary>& entries);
    void listingFailed(const QString& text); // instead of entriesListed, after the notice
    void entryAdded(const history::EntrySummary& entry);
    void entriesRemoved(const QList<qint64>& ids);
    void historyCleared();
    // Something the user should read, in plain words; a text is given once until a roll is kept again.
    void notice(const QString& text);

private:
    void post(std::function<void(RollStore&)> job);
    template <class Deliver> void deliver(Deliver&& deliver);
    void tell(const QString& text);
    void dropped(const std::vector<std::int64_t>& ids, std::int64_t limit);
    void waitForTheWindow(); // on the history's thread
    void takeHandedRows();   // on the history's thread

    QString m_path;
    std::atomic<std::int64_t> m_sizeLimit;
    std::atomic<bool> m_windowBusy = false;
    std::atomic<std::int64_t> m_windowQuietSince = 0; // milliseconds on a steady clock
    std::atomic<std::int64_t> m_waitingBytes = 0;     // the draws of rolls handed over and not yet kept
    std::atomic<bool> m_closing = false;
    std::mutex m_handedLock;
    std::vector<std::shared_ptr<core::DrawRows>> m_handed; // rows recorded and still shared with the window
    QThread m_thread;
    QObject* m_worker = nullptr;        // lives on m_thread
    std::unique_ptr<RollStore> m_store; // made, used and dropped on m_thread only
    QSet<QString> m_told;
    bool m_toldSizeLimit = false;
};

} // namespace history
