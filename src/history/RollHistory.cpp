#include "RollHistory.h"

#include "Fingerprint.h"
#include "HistoryExport.h"
#include "HistorySettings.h"
#include "RollStore.h"

#include "platform/FileDialogs.h"
#include "platform/RuntimeError.h"
#include "platform/ThreadPriority.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>
#include <QScopeGuard>

#include <chrono>
#include <new>

using namespace Qt::StringLiterals;

namespace history {

namespace {

QString megabytes(std::int64_t bytes) {
    return QLocale().toString(double(bytes) / double(kMegabyte), 'f', bytes < 10 * kMegabyte ? 1 : 0) + u" MB"_s;
}

// How long the window must have been done with its roll before the history's thread goes on.
constexpr std::int64_t kQuietMilliseconds = 100;

std::int64_t steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

RollHistory::RollHistory(const QString& databasePath, QObject* parent)
    : QObject(parent)
    , m_path(databasePath)
    , m_sizeLimit(kDefaultSizeLimitMegabytes * kMegabyte) {
    m_thread.setObjectName(u"RollHistory"_s);
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
    // Opened at once, so a damaged file is reported when the program starts rather than at a roll.
    post([](RollStore& store) {
        platform::yieldThreadToOthers(); // a roll's fingerprint and write never slow the window's thread
        store.open();
    });
}

RollHistory::~RollHistory() {
    m_closing = true;
    QMetaObject::invokeMethod(
        m_worker, [this] { m_store.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void RollHistory::post(std::function<void(RollStore&)> job) {
    QMetaObject::invokeMethod(
        m_worker,
        [this, job = std::move(job)] {
            try {
                if (!m_store) {
                    m_store = std::make_unique<RollStore>(
                        m_path, u"tessaly-history-"_s + QString::number(reinterpret_cast<quintptr>(this)));
                    m_store->setBetweenParts([this] { waitForTheWindow(); });
                }
                job(*m_store);
            } catch (const platform::RuntimeError& error) {
                tell(error.description());
            } catch (const std::bad_alloc&) {
                tell(u"The roll history ran out of memory; the roll was not kept."_s);
            }
            if (m_store) {
                for (const QString& text : m_store->takeNotices())
                    tell(text);
            }
        },
        Qt::QueuedConnection);
}

template <class Deliver> void RollHistory::deliver(Deliver&& deliver) {
    QMetaObject::invokeMethod(this, std::forward<Deliver>(deliver), Qt::QueuedConnection);
}

void RollHistory::tell(const QString& text) {
    deliver([this, text] {
        if (m_told.contains(text))
            return;
        m_told.insert(text);
        emit notice(text);
    });
}

void RollHistory::setWindowBusy(bool busy) {
    if (!busy)
        m_windowQuietSince = steadyMilliseconds();
    m_windowBusy = busy;
}

void RollHistory::waitForTheWindow() {
    // A roll waits for a quiet moment. Once many wait, any moment between rolls will do, so that a
    // burst of clicks still drains; past the hard bound memory matters more than the window's speed.
    for (;;) {
        takeHandedRows();
        const std::int64_t waiting = m_waitingBytes;
        if (m_closing || waiting >= kMostWaitingBytesEver)
            return;
        if (!m_windowBusy &&
            (waiting >= kMostWaitingBytes || steadyMilliseconds() - m_windowQuietSince >= kQuietMilliseconds))
            return;
        QThread::msleep(kQuietMilliseconds / 20);
    }
}

void RollHistory::takeHandedRows() {
    std::vector<std::shared_ptr<core::DrawRows>> handed;
    {
        const std::lock_guard lock(m_handedLock);
        handed.swap(m_handed);
    }
    for (const std::shared_ptr<core::DrawRows>& rows : handed)
        rows->ownIndices();
}

void RollHistory::record(const core::DrawRows& rows, const RollOrigin& origin) {
    const QDateTime time = QDateTime::currentDateTimeUtc();
    const std::int64_t bytes = rows.size() * rows.dice() * rows.indexBytes();
    m_waitingBytes += bytes;
    // The window's list keeps sharing these draws only until the history's thread copies them, which
    // it does at once even while it waits: the window's next roll then reuses memory it already has
    // instead of touching new pages while earlier rolls wait to be written.
    const auto held = std::make_shared<core::DrawRows>(rows);
    {
        const std::lock_guard lock(m_handedLock);
        m_handed.push_back(held);
    }
    post([this, held, origin, time, bytes](RollStore& store) {
        const auto kept = qScopeGuard([this, bytes] { m_waitingBytes -= bytes; });
        const std::int64_t limit = m_sizeLimit;
        waitForTheWindow();
        const core::DrawRows& rows = *held;
        const QString fingerprint = rollFingerprint(rows, [this] { waitForTheWindow(); });
        const RollStore::Added added = store.add(rows, origin, time, fingerprint, limit);
        dropped(added.dropped, limit);
        if (added.entry) {
            deliver([this, entry = *added.entry] {
                m_told.clear(); // a failure after this one is news again
                emit entryAdded(entry);
            });
        } else {
            tell(u"A roll of "_s + QLocale().toString(qint64(rows.size())) +
                 u" rows was not kept in the roll history: it is larger than the history's size limit of "_s +
                 megabytes(limit) + u'.');
        }
    });
}

void RollHistory::setSizeLimit(std::int64_t bytes) {
    m_sizeLimit = bytes;
    post([this, bytes](RollStore& store) { dropped(store.trim(bytes), bytes); });
}

void RollHistory::dropped(const std::vector<std::int64_t>& ids, std::int64_t limit) {
    if (ids.empty())
        return;
    deliver([this, ids = QList<qint64>(ids.begin(), ids.end()), limit] {
        emit entriesRemoved(ids);
        if (!std::exchange(m_toldSizeLimit, true))
            emit notice(u"The roll history has reached its size limit of "_s + megabytes(limit) +
                        u", so its oldest entries are removed to make room for new ones."_s);
    });
}

void RollHistory::requestEntries() {
    post([this](RollStore& store) {
        try {
            deliver([this, entries = store.entries()] { emit entriesListed(entries); });
        } catch (const platform::RuntimeError& error) {
            deliver([this, text = error.description()] { emit listingFailed(text); });
            throw;
        }
    });
}

void RollHistory::loadRows(std::int64_t id, QObject* context, RowsLoaded loaded) {
    post([this, id, context = QPointer<QObject>(context), loaded = std::move(loaded)](RollStore& store) {
        const std::optional<EntrySummary> entry = store.entry(id);
        std::optional<core::DrawRows> rows = entry ? store.rows(id) : std::nullopt;
        if (!entry || !rows) {
            tell(u"The roll history entry "_s + QString::number(id) + u" is gone."_s);
            return;
        }
        // The context is looked at on its own thread only.
        deliver([context, loaded, entry = *entry, rows = *std::move(rows)] {
            if (context)
                loaded(entry, rows);
        });
    });
}

void RollHistory::exportEntry(std::int64_t id, const QString& path, QObject* context,
                              std::function<void(QString)> done) {
    post([this, id, path, context = QPointer<QObject>(context), done = std::move(done)](RollStore& store) {
        QString failure;
        try {
            const std::optional<EntrySummary> entry = store.entry(id);
            const std::optional<core::DrawRows> rows = entry ? store.rows(id) : std::nullopt;
            if (!entry || !rows)
                failure = u"The roll history entry "_s + QString::number(id) + u" is gone."_s;
            else
                exportEntryText(*rows, entry->fingerprint, path);
        } catch (const platform::RuntimeError& error) {
            failure = error.description();
        } catch (const std::bad_alloc&) {
            failure = platform::saveFailureText(path, u"out of memory"_s);
        }
        deliver([context, done, failure] {
            if (context)
                done(failure);
        });
    });
}

void RollHistory::remove(std::int64_t id) {
    post([this, id](RollStore& store) {
        if (store.remove(id))
            deliver([this, id] { emit entriesRemoved({qint64(id)}); });
    });
}

void RollHistory::clear() {
    post([this](RollStore& store) {
        store.clear();
        deliver([this] { emit historyCleared(); });
    });
}

void RollHistory::waitUntilIdle() {
    QMetaObject::invokeMethod(
        m_worker, [] {}, Qt::BlockingQueuedConnection);
    // Answers go to their receivers' threads; for this one's, deliver them now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

} // namespace history
