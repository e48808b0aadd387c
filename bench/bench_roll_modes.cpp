// Start Rolling in each roll mode, 1,000,000 rolls of 3 dice, from the counts to the rows in the
// results model: over six labels, and over a die of a million sides, whose list of sides a roll
// without repeats must rearrange in place rather than copy. The clock and generator are the real ones.

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

} // namespace
