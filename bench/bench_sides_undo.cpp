// Undo and redo on a die of 1,000,000 sides, with the list's view attached as in the window. Undoing
// "Clear List" must stay within 0.5 s: the cleared rows move into the history and back whole. Undoing
// "Add Side" takes the appended row back out; the duplicate test after it pays for the text index.

#include "fakes/Fakes.h"

#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "core/TextRows.h"
#include "dice/SidesCommands.h"
#include "shell/ListView.h"

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSides = 1000000;

struct BigDie {
    BigDie() {
        sides.addColumn(dice::sidesHeaderText(0));
        sides.setTextIndexEnabled(true);
        view.setListModel(&sides);
        core::TextRows rows;
        for (int n = 1; n <= kSides; ++n)
            rows.append(QString(u"side "_s + QString::number(n) + u" of the big die"_s));
        sides.addItems(std::move(rows));
    }
    fakes::FakeServices fake;
    core::ListModel sides;
    shell::ListView view;
    core::MousePointer pointer;
    dice::SidesCommands commands{sides, pointer, fake.services};
};

void undoClearList(benchmark::State& state) {
    BigDie die;
    for (auto _ : state) {
        state.PauseTiming();
        die.commands.clearList();
        state.ResumeTiming();
        die.commands.undo();
        if (die.sides.itemCount() != kSides)
            state.SkipWithError("the sides did not come back");
    }
}

void redoClearList(benchmark::State& state) {
    BigDie die;
    die.commands.clearList();
    for (auto _ : state) {
        state.PauseTiming();
        die.commands.undo();
        state.ResumeTiming();
        die.commands.redo();
        if (die.sides.itemCount() != 0)
            state.SkipWithError("the sides were not cleared again");
    }
}

void undoAddSideThenTestADuplicate(benchmark::State& state) {
    BigDie die;
    for (auto _ : state) {
        state.PauseTiming();
        die.fake.inputBox.answers.enqueue(u"one more"_s);
        die.commands.addSide();
        state.ResumeTiming();
        die.commands.undo();
        benchmark::DoNotOptimize(die.commands.SideAlreadyInList(u"one more"_s));
    }
}

} // namespace

// A fixed count: the untimed set-up of each round (a clear or an undo) far outweighs a redo, and the
// library would otherwise run rounds until the timed part alone adds up.
BENCHMARK(undoClearList)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(redoClearList)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(undoAddSideThenTestADuplicate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
