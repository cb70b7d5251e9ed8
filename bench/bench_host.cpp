// A call through the library's host against the same call in the tool's own process: the state query, and a sale
// of a 2 MiB document. The difference of the two is what running the library apart costs. On the emulator, which
// writes its state file at every call, and on a library with fixed answers, where nothing but the crossing counts.
#include "hostbackend.h"
#include "inprocessbackend.h"
#include "qtbenchmain.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <utility>

namespace {

const QString Emulator = QStringLiteral(BENCH_EMULATOR_PATH);
const QString Canned = QStringLiteral(BENCH_CANNED_PATH);

// A fresh device state for the run, so the emulator answers the same every time.
QTemporaryDir& stateDir()
{
    static QTemporaryDir dir;
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(dir.filePath(QStringLiteral("estado.txt"))));
    return dir;
}

template <typename Backend> void run(benchmark::State& state, const QString& library, const SatCall& call)
{
    stateDir();
    Backend backend;
    if (!backend.load(library).loaded) {
        state.SkipWithError("the library did not load");
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

template <typename Backend> void stateQueryOn(benchmark::State& state, const QString& library)
{
    run<Backend>(state, library, stateQuery());
}

template <typename Backend> void largeSaleOn(benchmark::State& state, const QString& library)
{
    run<Backend>(state, library, largeSale());
}

} // namespace

int main(int argc, char** argv)
{
    const std::pair<const char*, QString> libraries[] = {{"emulator", Emulator}, {"fixed_answers", Canned}};
    for (const auto& [name, path] : libraries) {
        const std::string suffix = std::string("/") + name;
        for (auto* registered :
             {benchmark::RegisterBenchmark(("StateQuery_InProcess" + suffix).c_str(), stateQueryOn<InProcessBackend>,
                                           path),
              benchmark::RegisterBenchmark(("StateQuery_Host" + suffix).c_str(), stateQueryOn<HostBackend>, path),
              benchmark::RegisterBenchmark(("Sale2MiB_InProcess" + suffix).c_str(), largeSaleOn<InProcessBackend>,
                                           path),
              benchmark::RegisterBenchmark(("Sale2MiB_Host" + suffix).c_str(), largeSaleOn<HostBackend>, path)})
            registered->Unit(benchmark::kMicrosecond);
    }
    return runQtBenchmarks<QCoreApplication>(argc, argv);
}
