// The statistics of a roll, as the Statistics window counts them: 10,000,000 rolls of three six-sided
// dice (every view, and each view alone), and a 1,000,000-row roll of three 40,000-sided dice, whose
// result lines are nearly all distinct (the roll itself and its statistics). The rolls are made by
// Start Rolling with the process's clock and generator.

#include "fakes/Fakes.h"

#include "core/ListModel.h"
#include "platform/Clock.h"
#include "platform/RandomSource.h"
#include "platform/Services.h"
#include "roll/StartRolling.h"
#include "stats/Statistics.h"

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;
using stats::Statistics;

namespace {

struct Roll {
    Roll(int sides, int rolls, int dice) {
        services.messageBox = &messageBox;
        services.clock = &platform::systemClock();
        services.random = &platform::processRandomSource();
        core::TextRows labels;
        for (int side = 1; side <= sides; ++side)
            labels.append(QString::number(side));
        this->sides.addItems(labels);
        roll::startRolling(services, this->sides, results, QString::number(rolls), QString::number(dice));
    }
    fakes::FakeMessageBox messageBox;
    platform::Services services;
    core::ListModel sides;
    core::ListModel results;
};

const Roll& sixSided() {
    static const Roll roll(6, 10'000'000, 3);
    return roll;
}

const Roll& fortyThousandSided() {
    static const Roll roll(40000, 1'000'000, 3);
    return roll;
}

Statistics count(const Roll& roll, Statistics::View view) {
    stats::Work work;
    return Statistics::compute({roll.results.draws(), std::nullopt}, {view, 0, false}, work);
}

void countViews(benchmark::State& state, const Roll& roll, const QList<Statistics::View>& views) {
    if (!roll.messageBox.shown.isEmpty())
        state.SkipWithError("the roll failed");
    std::int64_t lines = 0;
    for (auto _ : state) {
        for (Statistics::View view : views) {
            const Statistics statistics = count(roll, view);
            if (statistics.rolls() != std::uint64_t(roll.results.itemCount()) || !statistics.table())
                state.SkipWithError("the statistics counted the wrong rows");
            if (view == Statistics::View::Combinations)
                lines = statistics.table()->rowCount();
        }
    }
    state.counters["rows"] = double(roll.results.itemCount());
    state.counters["list bytes/row"] = double(roll.results.bytesUsed()) / double(roll.results.itemCount());
    if (lines > 0)
        state.counters["distinct lines"] = double(lines);
}

void BM_Statistics_10MRolls3SixSided_AllViews(benchmark::State& state) {
    countViews(state, sixSided(), {Statistics::View::Sides, Statistics::View::Combinations, Statistics::View::Totals});
}
BENCHMARK(BM_Statistics_10MRolls3SixSided_AllViews)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Statistics_10MRolls3SixSided_View(benchmark::State& state) {
    countViews(state, sixSided(), {static_cast<Statistics::View>(state.range(0))});
}
BENCHMARK(BM_Statistics_10MRolls3SixSided_View)
    ->ArgName("view")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The result lines of a roll with nearly every line distinct, and the memory that counting them keeps.
void BM_Statistics_1MRolls3FortyThousandSided_Lines(benchmark::State& state) {
    const Roll& roll = fortyThousandSided();
    countViews(state, roll, {Statistics::View::Sides, Statistics::View::Combinations});
    stats::Work work;
    const stats::Combinations lines = stats::countCombinations({roll.results.draws(), std::nullopt}, false, work);
    state.counters["line bytes/row"] = double(lines.bytesUsed()) / double(roll.results.itemCount());
}
BENCHMARK(BM_Statistics_1MRolls3FortyThousandSided_Lines)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StartRolling_1MRolls3FortyThousandSided(benchmark::State& state) {
    fakes::FakeMessageBox messageBox;
    platform::Services services;
    services.messageBox = &messageBox;
    services.clock = &platform::systemClock();
    services.random = &platform::processRandomSource();
    core::ListModel sides;
    core::ListModel results;
    core::TextRows labels;
    for (int side = 1; side <= 40000; ++side)
        labels.append(QString::number(side));
    sides.addItems(labels);
    for (auto _ : state)
        roll::startRolling(services, sides, results, u"1000000"_s, u"3"_s);
    if (!messageBox.shown.isEmpty() || results.itemCount() != 1'000'000)
        state.SkipWithError("the roll failed");
    state.counters["list bytes/row"] = double(results.bytesUsed()) / double(results.itemCount());
}
BENCHMARK(BM_StartRolling_1MRolls3FortyThousandSided)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
