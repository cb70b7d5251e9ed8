#pragma once

// The main() of the benchmarks that need a Qt application (QGuiApplication or QApplication): offscreen unless the
// environment names a platform, so they run the same on a desktop and on a headless machine.

#include <QByteArray>
#include <QtGlobal>

#include <benchmark/benchmark.h>

template <typename Application> int runQtBenchmarks(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
