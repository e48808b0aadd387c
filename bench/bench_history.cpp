// The roll history's work on a roll of 10,000,000 rolls of three dice over six labels, all of it on the
// history's own thread in the program: the fingerprint of the copied rows, the entry's write, and the
// rows read back for "Show In Results". Then what a full history costs: opening a file of about
// 500 MB (the default limit), which checks it page by page, and listing 5,000 entries.

#include "core/DrawRows.h"
#include "history/Fingerprint.h"
#include "history/RollStore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr std::int64_t kRolls = 10'000'000;
constexpr int kDice = 3;
constexpr std::int64_t kNoLimit = std::int64_t{1} << 40;

core::DrawRows roll(std::int64_t rolls, std::uint64_t seed = 1) {
    auto labels = std::make_shared<core::TextRows>();
    for (const QString& label : {u"ant"_s, u"bee"_s, u"cat"_s, u"dog"_s, u"eel"_s, u"fox"_s})
        labels->append(label);
    core::DrawRows rows(labels, kDice);
    rows.build([&](auto& all) {
        all.resize(static_cast<std::size_t>(rolls * kDice));
        for (auto& index : all) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            index = static_cast<std::decay_t<decltype(index)>>((seed >> 33) % 6);
        }
    });
    return rows;
}

const core::DrawRows& tenMillion() {
    static const core::DrawRows rows = roll(kRolls);
    return rows;
}

void countRolls(benchmark::State& state, std::int64_t rolls) {
    state.counters["rows/s"] = benchmark::Counter(double(rolls), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Fingerprint(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(history::rollFingerprint(tenMillion()));
    countRolls(state, kRolls);
}
BENCHMARK(BM_Fingerprint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteEntry(benchmark::State& state) {
    QTemporaryDir folder;
    history::RollStore store(folder.filePath(u"history.sqlite"_s), u"write"_s);
    store.open();
    for (auto _ : state) {
        if (!store.add(tenMillion(), {}, QDateTime::currentDateTimeUtc(), QString(), kNoLimit).entry)
            state.SkipWithError("the entry was not kept");
        state.PauseTiming();
        store.clear();
        state.ResumeTiming();
    }
    countRolls(state, kRolls);
}
BENCHMARK(BM_WriteEntry)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadEntry(benchmark::State& state) {
    QTemporaryDir folder;
    history::RollStore store(folder.filePath(u"history.sqlite"_s), u"read"_s);
    const auto added = store.add(tenMillion(), {}, QDateTime::currentDateTimeUtc(), QString(), kNoLimit);
    for (auto _ : state) {
        if (store.rows(added.entry->id)->size() != kRolls)
            state.SkipWithError("the rows came back wrong");
    }
    countRolls(state, kRolls);
}
BENCHMARK(BM_ReadEntry)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenFullHistory(benchmark::State& state) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"history.sqlite"_s);
    {
        history::RollStore store(path, u"fill"_s);
        for (int entry = 0; entry < 16; ++entry)
            store.add(tenMillion(), {}, QDateTime::currentDateTimeUtc(), QString(), kNoLimit);
    }
    for (auto _ : state) {
        history::RollStore store(path, u"open"_s);
        store.open();
    }
    state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
}
BENCHMARK(BM_OpenFullHistory)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListEntries(benchmark::State& state) {
    QTemporaryDir folder;
    history::RollStore store(folder.filePath(u"history.sqlite"_s), u"list"_s);
    for (int entry = 0; entry < 5000; ++entry)
        store.add(roll(100, std::uint64_t(entry)), {}, QDateTime::currentDateTimeUtc(), QString(), kNoLimit);
    for (auto _ : state) {
        if (store.entries().size() != 5000)
            state.SkipWithError("the listing came back wrong");
    }
}
BENCHMARK(BM_ListEntries)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
