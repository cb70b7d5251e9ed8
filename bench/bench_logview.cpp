// The log view on a 2 MiB log: parsing and filling the table, and one filter keystroke. Compare with
// bench_append, which times the text area that shows the same log.
#include "devicetext.h"
#include "logparser.h"
#include "logview.h"
#include "qtbenchmain.h"
#include "samplelog.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTableView>

#include <cstdio>

namespace {

constexpr qsizetype LogSize = 2 * 1024 * 1024;

// bench_append's log, whose lines are of another form (each row keeps its whole text), or the same size in the
// device's own form, where every line is split into its four parts.
const QByteArray& log(int form)
{
    static const QByteArray sample = sampleLog(LogSize);
    static const QByteArray device = [] {
        QByteArray out;
        out.reserve(LogSize + 256);
        char line[256];
        for (unsigned i = 0; out.size() < LogSize; ++i) {
            const unsigned s = i * 7;
            const int n = std::snprintf(line, sizeof line, "202405%02u%02u%02u%02u|SAT|%s|Sessao %06u: %s\n",
                                        1 + (s / 86400) % 28, (s / 3600) % 24, (s / 60) % 60, s % 60,
                                        i % 5 == 4 ? "erro" : "info", (i * 7919) % 1000000,
                                        "requisicao recebida da aplicacao comercial, resposta enviada");
            out.append(line, qMin<qsizetype>(n, qsizetype(sizeof line) - 1));
        }
        out.truncate(LogSize);
        return out;
    }();
    return form == 0 ? sample : device;
}

void parseLog(benchmark::State& state)
{
    const QByteArray& bytes = log(int(state.range(0)));
    qsizetype rows = 0;
    for (auto _ : state) {
        const QList<LogLine> lines = parseDeviceLog(decodeDeviceText(bytes));
        rows = lines.size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}

// What the window does with a log result: the view gets the log, and the shown table lays out and paints.
void parseAndShow(benchmark::State& state)
{
    const QByteArray& bytes = log(int(state.range(0)));
    LogView view;
    view.resize(1000, 600);
    view.show();
    QApplication::processEvents();
    for (auto _ : state) {
        view.setLog(bytes, QStringLiteral("900000001"), QDateTime::currentDateTime());
        QApplication::processEvents();
    }
    state.counters["rows"] = view.totalRows();
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}

// One keystroke in the filter box: the first letter typed into an empty box (most rows stay), and one more
// letter of a word (few rows stay), each timed until the table has repainted.
void filterKeystroke(benchmark::State& state)
{
    const QByteArray& bytes = log(0);
    LogView view;
    view.resize(1000, 600);
    view.show();
    view.setLog(bytes, QString(), QDateTime::currentDateTime());
    QApplication::processEvents();
    auto* box = view.findChild<QLineEdit*>(QStringLiteral("filtro"));
    const bool first = state.range(0) == 0;
    const QString before = first ? QString() : QStringLiteral("avis");
    const QString after = first ? QStringLiteral("a") : QStringLiteral("aviso");
    box->setText(before);
    QApplication::processEvents();
    bool typed = false;
    for (auto _ : state) {
        state.PauseTiming();
        box->setText(before);
        QApplication::processEvents();
        state.ResumeTiming();
        box->setText(after);
        QApplication::processEvents();
        typed = true;
    }
    state.counters["shown"] = typed ? view.shownRows() : 0;
    state.counters["rows"] = view.totalRows();
}

} // namespace

BENCHMARK(parseLog)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(parseAndShow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(filterKeystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
