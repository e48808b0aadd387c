// Loading a side list of 1,000,000 distinct lines into an empty sides list, beside a plain reading of
// the same file with std::getline into a std::unordered_set as the yardstick.

#include "core/ListModel.h"
#include "dice/SideListLoader.h"
#include "fakes/Fakes.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <unordered_set>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLines = 1'000'000;

// Written once per run: "side 1 of the big die" ... with CR LF ends, as a text editor saves them.
const QString& bigFile() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(u"sides.txt"_s);
        QByteArray bytes;
        bytes.reserve(kLines * 28);
        for (int n = 1; n <= kLines; ++n)
            bytes += "side " + QByteArray::number(n) + " of the big die\r\n";
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            qFatal("cannot write the benchmark file");
        return file;
    }();
    return path;
}

void loadIntoSidesList(benchmark::State& state) {
    const QString& path = bigFile();
    fakes::FakeMessageBox messageBox;
    // Both sides of the comparison pay for building and for freeing what they built.
    for (auto _ : state) {
        core::ListModel sides;
        sides.setTextIndexEnabled(true);
        Main::LoadListviewFromTextFile(sides, path, messageBox);
        if (sides.itemCount() != kLines)
            state.SkipWithError("not every line was loaded");
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void getlineIntoUnorderedSet(benchmark::State& state) {
    const std::string path = bigFile().toStdString();
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        std::unordered_set<std::string> seen;
        std::vector<std::string> sides;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty() && seen.insert(line).second)
                sides.push_back(line);
        }
        if (sides.size() != static_cast<std::size_t>(kLines))
            state.SkipWithError("not every line was read");
        benchmark::DoNotOptimize(sides.data());
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

} // namespace

BENCHMARK(loadIntoSidesList)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(getlineIntoUnorderedSet)->Unit(benchmark::kMillisecond)->MinTime(2.0);
