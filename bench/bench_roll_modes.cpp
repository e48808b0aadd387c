// Start Rolling in each roll mode, 1,000,000 rolls of 3 dice, from the counts to the rows in the
// results model: over six labels, and over a die of a million sides, whose list of sides a roll
// without repeats must rearrange in place rather than copy. Then 3,000,000 rolls of 3 dice of a die
// of 1,000 sides, weighted and with every weight 1, in each mode: the weighted independent roll should
// take at most 1.3 times as long as the plain one. The clock and generator are the real ones.

#include "fakes/Fakes.h"

#include "core/ListModel.h"
#include "platform/Clock.h"
#include "platform/RandomSource.h"
#include "platform/Services.h"
#include "roll/StartRolling.h"

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRolls = 1000000;
constexpr int kDice = 3;

void BM_StartRollingInMode(benchmark::State& state) {
    const auto mode = static_cast<core::RollMode>(state.range(0));
    const auto sideCount = static_cast<int>(state.range(1));
    fakes::FakeMessageBox messageBox;
    platform::Services services;
    services.messageBox = &messageBox;
    services.clock = &platform::systemClock();
    services.random = &platform::processRandomSource();
    core::ListModel sides;
    core::TextRows labels;
    for (int side = 1; side <= sideCount; ++side)
        labels.append(QString::number(side));
    sides.addItems(labels);
    core::ListModel results;
    results.addColumn(u"Results"_s);

    for (auto _ : state)
        roll::startRolling(services, sides, results, QString::number(kRolls), QString::number(kDice), mode);

    if (!messageBox.shown.isEmpty() || results.itemCount() != kRolls)
        state.SkipWithError("Start Rolling did not produce the expected rows");
    state.SetLabel(core::rollModeWord(mode).toStdString() + ", " + std::to_string(sideCount) + " sides");
    state.counters["rows/s"] = benchmark::Counter(double(kRolls), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_StartRollingInMode)
    ->ArgsProduct({{int(core::RollMode::Independent), int(core::RollMode::Distinct), int(core::RollMode::Bag)},
                   {6, 1000000}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);

void BM_StartRollingWeighted(benchmark::State& state) {
    constexpr int kWeightedRolls = 3000000;
    constexpr int kSides = 1000;
    const auto mode = static_cast<core::RollMode>(state.range(0));
    const bool weighted = state.range(1) == 1;
    fakes::FakeMessageBox messageBox;
    platform::Services services;
    services.messageBox = &messageBox;
    services.clock = &platform::systemClock();
    services.random = &platform::processRandomSource();
    core::ListModel sides;
    core::TextRows labels;
    std::vector<std::uint32_t> weights;
    for (int side = 1; side <= kSides; ++side) {
        labels.append(QString::number(side));
        weights.push_back(weighted ? 1 + static_cast<std::uint32_t>(side * 7919 % 1000) : 1);
    }
    sides.addItems(labels);
    core::ListModel results;
    results.addColumn(u"Results"_s);

    for (auto _ : state)
        roll::startRolling(services, sides, results, QString::number(kWeightedRolls), QString::number(kDice), mode,
                           weights);

    if (!messageBox.shown.isEmpty() || results.itemCount() != kWeightedRolls)
        state.SkipWithError("Start Rolling did not produce the expected rows");
    state.SetLabel(core::rollModeWord(mode).toStdString() + (weighted ? ", weighted" : ", every weight 1"));
    state.counters["rows/s"] =
        benchmark::Counter(double(kWeightedRolls), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_StartRollingWeighted)
    ->ArgsProduct({{int(core::RollMode::Independent), int(core::RollMode::Distinct), int(core::RollMode::Bag)}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

} // namespace
