// The dice library of 1,000 dice of 1,000 sides each: listing it, opening the "Dice Library" window
// over it until the list shows (target: within 0.3 s) and how long that keeps the window's thread
// from a roll, looking one name up, as every save and rename does, and loading one die. The files are
// written once, outside the timings, to a temporary folder.

#include "fakes/Fakes.h"
#include "library/Library.h"
#include "shell/DiceLibraryWindow.h"
#include "shell/Form1.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDice = 1000;
constexpr int kSides = 1000;

struct FilledLibrary {
    FilledLibrary()
        : library(folder.path()) {
        for (int number = 0; number < kDice; ++number) {
            dice::Die die;
            die.name = u"Class "_s + QString::number(number);
            for (int side = 0; side < kSides; ++side)
                die.append(QString(u"Student "_s + QString::number(side)), number % 2 == 0 ? 1 : 1 + side % 7);
            library.save(die);
        }
    }
    QTemporaryDir folder;
    library::Library library;
};

FilledLibrary& filledLibrary() {
    static FilledLibrary filled;
    return filled;
}

void BM_ListLibrary(benchmark::State& state) {
    const library::Library& library = filledLibrary().library;
    std::size_t entries = 0;
    for (auto _ : state)
        entries = library.list().entries.size();
    if (entries != kDice)
        state.SkipWithError("the library did not list every die");
}
BENCHMARK(BM_ListLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the window's construction until its table shows every entry; the list is read on a worker
// thread meanwhile, so the counter "gui_ms" is the time the window's thread was held up: the part that
// a Start Rolling clicked at once would wait for.
void BM_OpenLibraryWindow(benchmark::State& state) {
    const QString folder = filledLibrary().library.folder();
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    double held = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        shell::DiceLibraryWindow window(form, fake.services, folder);
        window.show();
        held += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        while (!window.listed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (window.currentEntry() == nullptr)
            state.SkipWithError("the window listed nothing");
    }
    state.counters["gui_ms"] = held / static_cast<double>(state.iterations());
}
BENCHMARK(BM_OpenLibraryWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FindName(benchmark::State& state) {
    const library::Library& library = filledLibrary().library;
    for (auto _ : state)
        benchmark::DoNotOptimize(library.find(u"class 999"_s));
}
BENCHMARK(BM_FindName)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadDie(benchmark::State& state) {
    const library::Library& library = filledLibrary().library;
    for (auto _ : state)
        benchmark::DoNotOptimize(library.loadDie(u"Class 500"_s));
}
BENCHMARK(BM_LoadDie)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
