// Start Rolling of 3,000,000 rolls of three dice over six three-letter labels: as the user meets it,
// from the click until the shown window has answered the next click, with and without the roll
// history, next to the shell pipeline that draws and joins the same rows (compare the two in the same
// run); then step by step, to see where the time goes: the draws with their clock reads, the rows
// built into the model, the model's insert with and without a view and its headers, the first paint,
// and the clearing that starts the next roll; the peak memory of a 10,000,000-roll run. Last, one draw
// with its clock read and reseed, and its two parts.

#include "fakes/Fakes.h"
#include "fakes/WidgetSupport.h"

#include "core/ListModel.h"
#include "history/RollHistory.h"
#include "platform/Clock.h"
#include "platform/RandomSource.h"
#include "platform/Services.h"
#include "roll/RandomPick.h"
#include "roll/RollModes.h"
#include "roll/StartRolling.h"
#include "shell/Form1.h"
#include "shell/ListView.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <optional>

#include <malloc.h>

using namespace Qt::StringLiterals;

namespace {

const QStringList kLabels{u"ant"_s, u"bee"_s, u"cat"_s, u"dog"_s, u"eel"_s, u"fox"_s};
constexpr int kRolls = 3'000'000;
constexpr int kDice = 3;

// The real clock and generator, fakes for the rest.
struct RollServices {
    RollServices() {
        fake.services.clock = &platform::systemClock();
        fake.services.random = &platform::processRandomSource();
    }
    fakes::FakeServices fake;
};

core::TextRows labelRows() {
    core::TextRows rows;
    for (const QString& label : kLabels)
        rows.append(label);
    return rows;
}

void countRows(benchmark::State& state) {
    state.counters["rows/s"] = benchmark::Counter(double(kRolls), benchmark::Counter::kIsIterationInvariantRate);
}

// Returns once the window has handled every event queued so far: the layout and paint a command left.
void drainEvents() {
    bool reached = false;
    QMetaObject::invokeMethod(
        qApp, [&] { reached = true; }, Qt::QueuedConnection);
    while (!reached)
        QCoreApplication::processEvents();
}

// The window as the program shows it, with the die and counts typed in.
struct ShownForm : RollServices {
    ShownForm() {
        form.Form_Load();
        for (const QString& label : kLabels)
            form.sides().addItem(label);
        fakes::control<QLineEdit>(form, u"Text1"_s)->setText(QString::number(kDice));
        fakes::control<QLineEdit>(form, u"Text2"_s)->setText(QString::number(kRolls));
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("the window was not shown");
    }
    bool rolledAsExpected() {
        return fake.messageBox.shown.isEmpty() && form.results().itemCount() == kRolls &&
               form.results().textLength(1) == 15;
    }
    // Start Rolling, then a click on the first result row.
    void clickStartRollingThenFirstRow() {
        QTest::mouseClick(startRolling, Qt::LeftButton);
        drainEvents();
        const QPoint firstRow = resultsList->visualRect(form.results().index(0, 0)).center();
        QTest::mouseClick(resultsList->viewport(), Qt::LeftButton, {}, firstRow);
        drainEvents();
    }
    shell::Form1 form{fake.services};
    QWidget* startRolling = fakes::control(form, u"PushButton8"_s);
    shell::ListView* resultsList = fakes::control<shell::ListView>(form, u"ListView2"_s);
};

// The click on Start Rolling, then the next click (on the first result row), each handled with all it
// leaves queued. First arg 1: with the Statistics window open, which counts every new roll. Second arg
// 1: with the roll history kept, whose thread fingerprints and writes every roll meanwhile.
void BM_ClickUntilNextClick(benchmark::State& state) {
    ShownForm shown;
    shell::Form1& form = shown.form;
    QTemporaryDir folder;
    std::optional<history::RollHistory> kept;
    if (state.range(1) == 1) {
        kept.emplace(folder.filePath(u"history.sqlite"_s));
        form.setRollHistory(&*kept);
    }
    if (state.range(0) == 1) {
        QTest::keyClick(&form, Qt::Key_I, Qt::ControlModifier);
        drainEvents();
    }
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        shown.clickStartRollingThenFirstRow();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    if (!shown.rolledAsExpected())
        state.SkipWithError("Start Rolling did not produce the expected rows");
    countRows(state);
    state.counters["bytes/row"] = double(form.results().bytesUsed()) / double(form.results().itemCount());
}
BENCHMARK(BM_ClickUntilNextClick)
    ->ArgNames({"statistics", "history"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(3.0);

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
    countRows(state);
}
BENCHMARK(BM_ShufMawkPipeline)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);

// --- step by step

// The draws alone: every die with its clock read and reseed, through the services as a roll makes them.
void BM_DrawDice(benchmark::State& state) {
    RollServices services;
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(kRolls) * kDice);
    roll::DiceDrawer drawer = roll::diceDrawer(core::RollMode::Independent, static_cast<std::int32_t>(kLabels.size()),
                                               *services.fake.services.clock, *services.fake.services.random);
    for (auto _ : state) {
        std::visit(
            [&](auto& draw) {
                for (std::size_t row = 0; row < indices.size(); row += kDice)
                    draw.drawRoll(std::span<std::uint8_t>(indices.data() + row, kDice));
            },
            drawer);
        benchmark::DoNotOptimize(indices.data());
    }
    countRows(state);
}
BENCHMARK(BM_DrawDice)->Unit(benchmark::kMillisecond);

// The whole command into a list no view shows: counts, draws, the rows kept as draws, the model's insert.
void BM_StartRollingWithoutView(benchmark::State& state) {
    RollServices services;
    core::ListModel sides;
    sides.addItems(labelRows());
    core::ListModel results;
    for (auto _ : state)
        roll::startRolling(services.fake.services, sides, results, QString::number(kRolls), QString::number(kDice));
    if (results.itemCount() != kRolls)
        state.SkipWithError("Start Rolling did not produce the expected rows");
    countRows(state);
}
BENCHMARK(BM_StartRollingWithoutView)->Unit(benchmark::kMillisecond);

// A finished batch of rows handed to the results list, which no view shows (0) or the window's list shows
// (1): the model's insert, then the view's and its headers' share. The batch is made outside the timing.
void BM_ModelInsert(benchmark::State& state) {
    ShownForm shown;
    core::ListModel unshown;
    unshown.addColumn(u"Results"_s);
    unshown.setCheckable(true);
    core::ListModel& results = state.range(0) == 1 ? shown.form.results() : unshown;
    const auto labels = std::make_shared<const core::TextRows>(labelRows());
    for (auto _ : state) {
        state.PauseTiming();
        results.removeAll();
        drainEvents();
        core::DrawRows batch(labels, kDice);
        batch.build([](auto& indices) { indices.resize(static_cast<std::size_t>(kRolls) * kDice, 1); });
        state.ResumeTiming();
        results.addItems(std::move(batch));
    }
    countRows(state);
}
BENCHMARK(BM_ModelInsert)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10);

// Emptying the shown list of a roll, as the next roll starts with.
void BM_ClearShownRows(benchmark::State& state) {
    ShownForm shown;
    core::ListModel& results = shown.form.results();
    const auto labels = std::make_shared<const core::TextRows>(labelRows());
    for (auto _ : state) {
        state.PauseTiming();
        core::DrawRows batch(labels, kDice);
        batch.build([](auto& indices) { indices.resize(static_cast<std::size_t>(kRolls) * kDice, 1); });
        results.addItems(std::move(batch));
        drainEvents();
        state.ResumeTiming();
        results.removeAll();
    }
    countRows(state);
}
BENCHMARK(BM_ClearShownRows)->Unit(benchmark::kMillisecond)->Iterations(10);

// The first paint of the results list after a roll: its rows in view made into text and drawn.
void BM_FirstPaint(benchmark::State& state) {
    ShownForm shown;
    QTest::mouseClick(shown.startRolling, Qt::LeftButton);
    drainEvents();
    shell::ListView& view = *shown.resultsList;
    for (auto _ : state)
        view.viewport()->repaint();
    if (!shown.rolledAsExpected())
        state.SkipWithError("Start Rolling did not produce the expected rows");
}
BENCHMARK(BM_FirstPaint)->Unit(benchmark::kMicrosecond);

// The process's peak memory above the idle window while the shown window rolls 10,000,000 rolls of
// three dice, without and with (1) the Statistics window open: the resident high-water mark is reset before the click
// and read after the next one. Linux with glibc only.
std::int64_t statusKilobytes(const char* field) {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void BM_PeakMemoryPerRow(benchmark::State& state) {
    constexpr int kBigRolls = 10'000'000;
    ShownForm shown;
    fakes::control<QLineEdit>(shown.form, u"Text2"_s)->setText(QString::number(kBigRolls));
    if (state.range(0) == 1) {
        QTest::keyClick(&shown.form, Qt::Key_I, Qt::ControlModifier);
        drainEvents();
    }
    for (auto _ : state) {
        state.PauseTiming();
        shown.form.results().removeAll();
        QTest::qWait(1000); // the Statistics window lets go of the last roll's rows
        // Memory the last roll freed goes back to the system, so the roll measured must take its own.
        malloc_trim(0);
        QFile clearRefs(u"/proc/self/clear_refs"_s);
        const bool reset = clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
        clearRefs.close();
        const std::int64_t idle = statusKilobytes("VmRSS:");
        state.ResumeTiming();
        shown.clickStartRollingThenFirstRow();
        state.PauseTiming();
        QTest::qWait(1000); // and the Statistics window has counted it
        const std::int64_t peak = statusKilobytes("VmHWM:");
        const std::int64_t after = statusKilobytes("VmRSS:");
        if (!reset || idle < 0 || peak < 0) {
            state.SkipWithError("this system does not report the peak memory");
            break;
        }
        state.counters["peak bytes/row"] = double(peak - idle) * 1024.0 / kBigRolls;
        state.counters["after bytes/row"] = double(after - idle) * 1024.0 / kBigRolls;
        state.ResumeTiming();
    }
    if (shown.form.results().itemCount() != kBigRolls)
        state.SkipWithError("Start Rolling did not produce the expected rows");
}
BENCHMARK(BM_PeakMemoryPerRow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// --- one die

void BM_PickRandomIndex(benchmark::State& state) {
    platform::Clock& clock = platform::systemClock();
    platform::RandomSource& random = platform::processRandomSource();
    const auto sides = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(Main::PickRandomIndex(sides, clock, random));
}
BENCHMARK(BM_PickRandomIndex)->Arg(6)->Arg(40000)->Arg(std::numeric_limits<std::int32_t>::max());

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

} // namespace
