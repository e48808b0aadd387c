// Copying a million ticked rows of the results list: the copy itself with a clipboard that keeps the
// text (of rows given as text, and of rows kept as a roll's draws, whose text is made as it is read),
// and the same through the real clipboard and event loop.

#include "fakes/Fakes.h"

#include "core/DrawRows.h"
#include "core/ListModel.h"
#include "core/TextRows.h"
#include "desktop/QtServices.h"
#include "results/ClipboardCopy.h"

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRows = 1000000;

void fillTicked(core::ListModel& list, bool asDraws = false) {
    list.setCheckable(true);
    list.addColumn(u"Results"_s);
    if (asDraws) {
        auto labels = std::make_shared<core::TextRows>();
        for (const char16_t* label : {u"ant", u"bee", u"cat", u"dog", u"eel", u"fox"})
            labels->append(QStringView(label));
        core::DrawRows rows(labels, 3);
        rows.build([](auto& indices) {
            using Index = std::decay_t<decltype(indices[0])>;
            for (int i = 0; i < kRows; ++i) {
                const int first = i % 2 == 0 ? 0 : 3; // "ant - bee - cat" or "dog - eel - fox"
                for (int die = 0; die < 3; ++die)
                    indices.push_back(static_cast<Index>(first + die));
            }
        });
        list.addItems(std::move(rows));
    } else {
        core::TextRows rows;
        rows.reserve(kRows, kRows * 15);
        for (int i = 0; i < kRows; ++i)
            rows.append(i % 2 == 0 ? u"ant - bee - cat" : u"dog - eel - fox");
        list.addItems(std::move(rows));
    }
    list.setAllTicked(true);
}

void BM_CopyTickedRows(benchmark::State& state) {
    core::ListModel list;
    fillTicked(list, state.range(0) != 0);
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
BENCHMARK(BM_CopyTickedRows)->ArgName("draws")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CopyTickedRowsToSystemClipboard(benchmark::State& state) {
    core::ListModel list;
    fillTicked(list);
    platform::QtServices qt;
    for (auto _ : state)
        Main::CopyListviewToClipboard(list, qt.services());
}
BENCHMARK(BM_CopyTickedRowsToSystemClipboard)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
