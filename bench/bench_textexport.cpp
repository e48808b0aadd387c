#include "core/ListModel.h"
#include "fakes/Fakes.h"
#include "platform/Services.h"
#include "results/TextExport.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

// The results of a long session: every row ticked, labels of a few dice joined by " - ".
void fillResults(core::ListModel& list, std::int64_t rows) {
    list.addColumn(u"Results"_s);
    core::TextRows batch;
    const QString labels[] = {u"Heads"_s, u"Tails"_s, u"6"_s, u"20"_s, u"Rock"_s, u"Paper"_s, u"Scissors"_s};
    QString line;
    for (std::int64_t i = 0; i < rows; ++i) {
        line.resize(0);
        for (int die = 0; die < 3; ++die) {
            if (die > 0)
                line += u" - "_s;
            line += labels[(i * 7 + die * 3) % 7];
        }
        batch.append(line);
    }
    list.addItems(batch);
    list.setAllTicked(true);
}

void BM_SaveTickedRowsAsText(benchmark::State& state) {
    core::ListModel list;
    fillResults(list, state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(u"results.txt"_s);
    fakes::FakeEventPump pump;
    fakes::FakeMessageBox box;
    box.onShow = [](const fakes::ShownMessage& message) {
        qFatal("unexpected report: %ls", qUtf16Printable(message.text));
    };
    platform::Services services;
    services.events = &pump;
    services.messageBox = &box;

    for (auto _ : state)
        Main::SaveListviewProperlySpacedWithoutProgressBar(list, path, services);

    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["yields"] = benchmark::Counter(pump.calls, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SaveTickedRowsAsText)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
