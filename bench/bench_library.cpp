// The dice library of 1,000 dice of 1,000 sides each: listing it, as the "Dice Library" window does
// when it opens (target: within 0.3 s), looking one name up, as every save and rename does, and
// loading one die. The files are written once, outside the timings, to a temporary folder.

#include "BenchApplication.h"

#include "library/Library.h"

#include <QTemporaryDir>

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

TESSALY_BENCHMARK_MAIN()
