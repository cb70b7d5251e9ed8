#include "inprocessbackend.h"

#include "libraryfile.h"

#include <algorithm>
#include <iterator>

LibraryReport InProcessBackend::load(const QString& path)
{
    library.reset();
    std::fill(std::begin(functions), std::end(functions), nullptr);
    errorRecord = nullptr;
    LibraryReport report;
    report.path = path;
    const LibraryFile file = inspectLibraryFile(path);
    report.bits = file.bits;
    if (!file.usable) {
        report.problem = file.problem;
        return report;
    }
    if (file.bits != QT_POINTER_SIZE * 8) {
        report.problem = QStringLiteral("é uma biblioteca de %1 bits, que só roda fora do processo da ferramenta "
                                        "(sem SAT_BIBLIOTECA_ISOLADA=0)")
                             .arg(file.bits);
        return report;
    }
    library = std::make_unique<QLibrary>(path);
    if (!library->load()) {
        report.problem = explainLoadError(library->errorString());
        library.reset();
        return report;
    }
    report.loaded = true;
    for (int n = 0; n < SatFunctionCount; ++n) {
        functions[n] = reinterpret_cast<void*>(library->resolve(satFunctionName(static_cast<SatFunction>(n))));
        if (functions[n])
            report.functions |= 1u << n;
    }
    errorRecord = reinterpret_cast<ErroSAT(DLLSAT_CALL*)()>(library->resolve("CodigoErro"));
    report.hasErrorRecord = errorRecord != nullptr;
    report.isEmulator = library->resolve("SatComandosEmulador") != nullptr;
    return report;
}

CallOutcome InProcessBackend::call(const SatCall& call)
{
    CallOutcome outcome;
    if (!library) {
        outcome.status = CallOutcome::Status::NotLoaded;
        return outcome;
    }
    void* function = functions[static_cast<int>(call.function)];
    if (!function) {
        outcome.status = CallOutcome::Status::MissingFunction;
        return outcome;
    }
    const char* answer = invokeSatFunction(function, call);
    // The answer lasts until the library's next call, and CodigoErro is one: copy it first.
    if (answer)
        outcome.answer = QByteArray(answer);
    else
        outcome.status = CallOutcome::Status::NullAnswer;
    if (errorRecord)
        outcome.record = errorRecord();
    return outcome;
}
