#include "codec/base64.h"
#include "qtbenchmain.h"
#include "samplelog.h"

#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTextEdit>

namespace {

constexpr qsizetype LogSize = 2 * 1024 * 1024;

std::size_t decodedLogLength()
{
    static const std::size_t length = decodeBase64(sampleLogBase64(sampleLog(LogSize), true).constData());
    return length;
}

// What a log command does with the decoded log: an emptied text area, one
// appended paragraph read as Latin-1, shown.
void appendLog(QTextEdit& com, std::size_t length)
{
    com.clear();
    com.append(QString::fromLatin1(decodeBuffer(), qsizetype(length)));
    com.setVisible(true);
}

void appendDecodedLog(benchmark::State& state)
{
    const std::size_t length = decodedLogLength();
    QTextEdit com;
    com.resize(760, 400);
    for (auto _ : state)
        appendLog(com, length);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(length));
    state.counters["blocks"] = com.document()->blockCount();
}

// The text area goes on laying the document out after the slot returns; this
// adds the time until the whole log is laid out.
void appendDecodedLogAndLayOut(benchmark::State& state)
{
    const std::size_t length = decodedLogLength();
    QTextEdit com;
    com.resize(760, 400);
    for (auto _ : state) {
        appendLog(com, length);
        benchmark::DoNotOptimize(com.document()->documentLayout()->documentSize());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(length));
    state.counters["height"] = com.document()->documentLayout()->documentSize().height();
}

} // namespace

BENCHMARK(appendDecodedLog)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(appendDecodedLogAndLayOut)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
