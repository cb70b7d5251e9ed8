#include "codec/base64.h"
#include "samplelog.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

namespace {

constexpr qsizetype LogSize = 2 * 1024 * 1024;

struct Input {
    QByteArray log = sampleLog(LogSize);
    QByteArray lines = sampleLogBase64(log, true);
    QByteArray unbroken = sampleLogBase64(log, false);
};

const Input& input()
{
    static const Input instance;
    return instance;
}

const QByteArray& textFor(const benchmark::State& state)
{
    return state.range(0) ? input().lines : input().unbroken;
}

// Both decoders are charged for the same Base64 text, so bytes/s compare directly.
void finish(benchmark::State& state, const QByteArray& result)
{
    if (result != input().log)
        state.SkipWithError("decoded text differs from the log");
    state.SetBytesProcessed(int64_t(state.iterations()) * textFor(state).size());
    state.SetLabel(state.range(0) ? "76 columns, CRLF" : "one line");
}

void decodeBase64Log(benchmark::State& state)
{
    const QByteArray& text = textFor(state);
    std::size_t length = 0;
    for (auto _ : state) {
        length = decodeBase64(text.constData());
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
    finish(state, QByteArray(decodeBuffer(), qsizetype(length)));
}

void qtFromBase64Log(benchmark::State& state)
{
    const QByteArray& text = textFor(state);
    QByteArray result;
    for (auto _ : state) {
        result = QByteArray::fromBase64(text);
        benchmark::DoNotOptimize(result.constData());
        benchmark::ClobberMemory();
    }
    finish(state, result);
}

} // namespace

BENCHMARK(decodeBase64Log)->ArgName("wrapped")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(qtFromBase64Log)->ArgName("wrapped")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
