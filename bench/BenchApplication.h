#pragma once

// A main() for benchmarks that need a QApplication (the window, the list view, the clipboard): the
// offscreen platform unless another is asked for.

#include <QApplication>

#include <benchmark/benchmark.h>

#define TESSALY_BENCHMARK_MAIN()                                                                                       \
    int main(int argc, char** argv) {                                                                                  \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                                            \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                                   \
        QApplication app(argc, argv);                                                                                  \
        benchmark::Initialize(&argc, argv);                                                                            \
        if (benchmark::ReportUnrecognizedArguments(argc, argv))                                                        \
            return 1;                                                                                                  \
        benchmark::RunSpecifiedBenchmarks();                                                                           \
        benchmark::Shutdown();                                                                                         \
        return 0;                                                                                                      \
    }
