// Start Rolling of a million rolls of three dice over six three-letter labels, from the click to the
// rows in the results model, next to the shell pipeline that draws and joins the same labels; and the
// cost of one draw with its clock read and reseed.

#include "BenchApplication.h"

#include "fakes/Fakes.h"

#include "core/ListModel.h"
#include "platform/Clock.h"
#include "platform/RandomSource.h"
#include "platform/Services.h"
#include "roll/RandomPick.h"
#include "shell/Form1.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

const QStringList kLabels{u"ant"_s, u"bee"_s, u"cat"_s, u"dog"_s, u"eel"_s, u"fox"_s};
constexpr int kRolls = 1000000;
constexpr int kDice = 3;

void BM_StartRolling(benchmark::State& state) {
    fakes::FakeMessageBox messageBox;
    fakes::FakeSettingsStore settings; // the count fields save every change
    platform::Services services;
    services.messageBox = &messageBox;
    services.settings = &settings;
    services.clock = &platform::systemClock();
    services.random = &platform::processRandomSource();
    shell::Form1 form(services);
    form.results().addColumn(u"Results"_s);
    for (const QString& label : kLabels)
        form.sides().addItem(label);
    form.Text1->setText(QString::number(kDice));
    form.Text2->setText(QString::number(kRolls));

    for (auto _ : state)
        form.PushButton8->click();

    const core::ListModel& results = form.results();
    if (!messageBox.shown.isEmpty() || results.itemCount() != kRolls || results.textLength(1) != 15)
        state.SkipWithError("Start Rolling did not produce the expected rows");
    state.counters["rows/s"] = benchmark::Counter(double(kRolls), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes/row"] = double(results.bytesUsed()) / double(results.itemCount());
}
BENCHMARK(BM_StartRolling)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_ShufMawkPipeline(benchmark::State& state) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"labels.txt"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write((kLabels.join(u'\n') + u'\n').toUtf8()) < 0) {
        state.SkipWithError("cannot write the labels file");
        return;
    }
    file.close();
    const QByteArray command = "shuf -r -n " + QByteArray::number(kRolls * kDice) + " '" + path.toLocal8Bit() +
                               "' | mawk 'ORS=NR%3?\" - \":\"\\n\"' >/dev/null";
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (std::system(command.constData()) != 0) {
            state.SkipWithError("the pipeline failed");
            return;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    state.counters["rows/s"] = benchmark::Counter(double(kRolls), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ShufMawkPipeline)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// One die as the engine draws it: clock read, reseed and the bounded pick, through the interfaces.
void BM_PickRandomIndex(benchmark::State& state) {
    platform::Clock& clock = platform::systemClock();
    platform::RandomSource& random = platform::processRandomSource();
    const auto sides = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(Main::PickRandomIndex(sides, clock, random));
}
// Its two parts.
void BM_ClockRead(benchmark::State& state) {
    platform::Clock& clock = platform::systemClock();
    for (auto _ : state)
        benchmark::DoNotOptimize(clock.secondsSinceMidnight());
}
BENCHMARK(BM_ClockRead);

void BM_ReseedAndDraw(benchmark::State& state) {
    platform::RandomSource& random = platform::processRandomSource();
    float time = 1000.0F;
    for (auto _ : state) {
        random.reseed(time);
        benchmark::DoNotOptimize(random.next());
        time += 0.001F;
    }
}
BENCHMARK(BM_ReseedAndDraw);

BENCHMARK(BM_PickRandomIndex)->Arg(6)->Arg(40000)->Arg(std::numeric_limits<std::int32_t>::max());

} // namespace

TESSALY_BENCHMARK_MAIN()
