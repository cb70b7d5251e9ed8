// A call through the library's host against the same call in the tool's own process, on the emulator: the state
// query, and a sale of a 2 MiB document. The difference of the two is what running the library apart costs.
#include "hostbackend.h"
#include "inprocessbackend.h"
#include "qtbenchmain.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <memory>

namespace {

const QString Emulator = QStringLiteral(BENCH_EMULATOR_PATH);

// A fresh device state for the run, so the emulator answers the same every time.
QTemporaryDir& stateDir()
{
    static QTemporaryDir dir;
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(dir.filePath(QStringLiteral("estado.txt"))));
    return dir;
}

template <typename Backend> void run(benchmark::State& state, const SatCall& call)
{
    stateDir();
    Backend backend;
    if (!backend.load(Emulator).loaded) {
        state.SkipWithError("the emulator did not load");
        return;
    }
    for (auto _ : state) {
        const CallOutcome outcome = backend.call(call);
        if (outcome.status != CallOutcome::Status::Answered) {
            state.SkipWithError("the call failed");
            return;
        }
        benchmark::DoNotOptimize(outcome.answer.constData());
    }
}

SatCall stateQuery()
{
    return SatCall {SatFunction::ConsultarSAT, {SatArgument::of(1234)}};
}

SatCall largeSale()
{
    return SatCall {SatFunction::EnviarDadosVenda,
                    {SatArgument::of(1234), SatArgument::of("treino123"),
                     SatArgument::of(("<CFe>" + std::string(2 * 1024 * 1024 - 12, 'x') + "</CFe>").c_str())}};
}

void BM_StateQuery_InProcess(benchmark::State& state)
{
    run<InProcessBackend>(state, stateQuery());
}

void BM_StateQuery_Host(benchmark::State& state)
{
    run<HostBackend>(state, stateQuery());
}

void BM_Sale2MiB_InProcess(benchmark::State& state)
{
    run<InProcessBackend>(state, largeSale());
}

void BM_Sale2MiB_Host(benchmark::State& state)
{
    run<HostBackend>(state, largeSale());
}

} // namespace

BENCHMARK(BM_StateQuery_InProcess)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StateQuery_Host)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sale2MiB_InProcess)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sale2MiB_Host)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    return runQtBenchmarks<QCoreApplication>(argc, argv);
}
