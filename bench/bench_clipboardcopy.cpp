// Copying a million ticked rows of the results list: the copy itself with a clipboard that keeps the
// text, and the same through the real clipboard and event loop.

#include "BenchApplication.h"

#include "fakes/Fakes.h"

#include "core/ListModel.h"
#include "core/TextRows.h"
#include "platform/QtServices.h"
#include "results/ClipboardCopy.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kRows = 1000000;

void fillTicked(core::ListModel& list) {
    list.setCheckable(true);
    list.addColumn(u"Results"_s);
    core::TextRows rows;
    rows.reserve(kRows, kRows * 15);
    for (int i = 0; i < kRows; ++i)
        rows.append(i % 2 == 0 ? u"ant - bee - cat" : u"dog - eel - fox");
    list.addItems(std::move(rows));
    list.setAllTicked(true);
}

void BM_CopyTickedRows(benchmark::State& state) {
    core::ListModel list;
    fillTicked(list);
    platform::QtEventPump events;
    fakes::FakeClipboard clipboard;
    platform::Services services;
    services.events = &events;
    services.clipboard = &clipboard;
    for (auto _ : state)
        Main::CopyListviewToClipboard(list, services);
    if (clipboard.text.size() != qsizetype(kRows) * 17)
        state.SkipWithError("the copied text has the wrong length");
}
BENCHMARK(BM_CopyTickedRows)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CopyTickedRowsToSystemClipboard(benchmark::State& state) {
    core::ListModel list;
    fillTicked(list);
    platform::QtServices qt;
    for (auto _ : state)
        Main::CopyListviewToClipboard(list, qt.services());
}
BENCHMARK(BM_CopyTickedRowsToSystemClipboard)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

TESSALY_BENCHMARK_MAIN()
