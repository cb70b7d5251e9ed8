// What the results window and sat-extrato spend on one receipt: reading the XML, laying the extract out, the
// on-screen image and the PDF; for a receipt of the hand-written full layout and for one of 500 items, the most a
// CF-e holds.
#include "cfereceipt.h"
#include "extract.h"
#include "qtbenchmain.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace {

QByteArray receiptXml()
{
    QFile file(QStringLiteral(BENCH_RESULTS_DATA "/cfe-completo.xml"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

satresults::CfeReceipt receipt(int items)
{
    satresults::CfeReceipt r = satresults::parseCfeReceipt(receiptXml()).receipt;
    const satresults::CfeItem item = r.items.value(0);
    while (r.items.size() < items)
        r.items.append(item);
    return r;
}

void parse(benchmark::State& state)
{
    const QByteArray xml = receiptXml();
    for (auto _ : state)
        benchmark::DoNotOptimize(satresults::parseCfeReceipt(xml).ok);
    state.SetBytesProcessed(int64_t(state.iterations()) * xml.size());
}

void layOut(benchmark::State& state)
{
    const satresults::CfeReceipt r = receipt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(satresults::Extract(r, 80).sizeMm());
}

void screenImage(benchmark::State& state)
{
    const satresults::CfeReceipt r = receipt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(satresults::renderExtract(r, 80, 200).height());
}

void pdf(benchmark::State& state)
{
    const satresults::CfeReceipt r = receipt(int(state.range(0)));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("extrato.pdf"));
    for (auto _ : state)
        benchmark::DoNotOptimize(satresults::writeExtractPdf(r, 80, path, nullptr));
    state.counters["bytes"] = double(QFile(path).size());
}

} // namespace

BENCHMARK(parse)->Unit(benchmark::kMicrosecond);
BENCHMARK(layOut)->Arg(2)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(screenImage)->Arg(2)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(pdf)->Arg(2)->Arg(500)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return runQtBenchmarks<QGuiApplication>(argc, argv);
}
