#include "satdevice.h"

#include "answerrecord.h"
#include "callfailure.h"
#include "hostbackend.h"
#include "inprocessbackend.h"

#include <QCoreApplication>

namespace {

SatDevice* device = nullptr;

std::unique_ptr<DeviceBackend> makeBackend()
{
    if (libraryInOwnProcess())
        return std::make_unique<InProcessBackend>();
    return std::make_unique<HostBackend>();
}

QString sourceName(LibraryChoice::Source source)
{
    return source == LibraryChoice::Source::Environment
        ? QStringLiteral("A biblioteca do SAT indicada em SAT_BIBLIOTECA")
        : QStringLiteral("A biblioteca do SAT escolhida em \"Biblioteca do SAT\"");
}

} // namespace

SatDevice& SatDevice::instance()
{
    if (!device) {
        device = new SatDevice;
        // Its host goes before the application does.
        qAddPostRoutine([] {
            delete device;
            device = nullptr;
        });
    }
    return *device;
}

SatDevice::SatDevice()
    : backend(makeBackend())
{
}

SatDevice::~SatDevice() = default;

void SatDevice::start()
{
    started = true;
    const LibraryChoice choice = chooseLibrary();
    chosenBy = choice.source;
    current = LibraryReport();
    current.path = choice.path;
    known = false;
    auto done = [this, source = choice.source](const LibraryReport& report) { loadedAtStartup(report, source); };
    if (auto* host = dynamic_cast<HostBackend*>(backend.get()))
        host->startLoading(choice.path, done);
    else
        done(backend->load(choice.path));
}

void SatDevice::loadedAtStartup(const LibraryReport& report, LibraryChoice::Source source)
{
    current = report;
    known = true;
    if (!report.loaded && source != LibraryChoice::Source::Bundled) {
        note = QStringLiteral("%1 não carregou: %2.").arg(sourceName(source), report.problem);
        const QString message = QStringLiteral("%1, %2, não carregou: %3.\n\nA ferramenta usa a biblioteca que "
                                               "vem com ela.")
                                    .arg(sourceName(source), report.path, report.problem);
        // Not from inside the backend's own signal: the fallback replaces its host.
        QMetaObject::invokeMethod(
            this,
            [this, message] {
                chosenBy = LibraryChoice::Source::Bundled;
                current = backend->load(bundledLibraryPath());
                emit libraryChanged();
                emit startupProblem(message);
            },
            Qt::QueuedConnection);
    }
    emit libraryChanged();
}

LibraryReport SatDevice::use(const QString& path, LibraryChoice::Source source)
{
    const LibraryReport candidate = check(path);
    if (!candidate.loaded)
        return candidate;
    const LibraryReport report = backend->load(path);
    if (!report.loaded) {
        // It loaded a moment ago in a host of its own: put the previous one back.
        backend->load(current.path);
        return report;
    }
    current = report;
    known = true;
    started = true;
    chosenBy = source;
    note.clear();
    emit libraryChanged();
    return report;
}

LibraryReport SatDevice::check(const QString& path)
{
    HostBackend probe;
    return probe.load(path);
}

void SatDevice::fail(const SatCall& call, const QString& what, bool sent)
{
    answer = QByteArray("");
    record = ErroSAT {};
    setCallFailure(CallFailure {QString::fromLatin1(satFunctionName(call.function)), current.path, what,
                                call.session(), sent, changesDevice(call.function)});
}

const char* SatDevice::call(const SatCall& call)
{
    takeCallFailure();
    // A program that calls before choosing (a test of the tool's own dllsat) gets the usual choice.
    if (!started)
        start();
    if (busy) {
        // Only the waiting window runs the event loop during a call, and it is modal: this is a guard.
        fail(call, QStringLiteral("outra chamada à biblioteca ainda está em andamento"), false);
        return answer.constData();
    }
    busy = true;
    const CallOutcome outcome = backend->call(call);
    busy = false;

    switch (outcome.status) {
    case CallOutcome::Status::Answered:
        if (outcome.record) {
            record = *outcome.record;
        } else if (outcome.answer.isEmpty()) {
            fail(call, QStringLiteral("a resposta veio vazia, e a biblioteca não tem CodigoErro para dizer o que "
                                      "houve"),
                 true);
            return answer.constData();
        } else {
            record = recordFromAnswer(call.function, outcome.answer);
        }
        answer = outcome.answer;
        return answer.constData();
    case CallOutcome::Status::NullAnswer:
        fail(call, QStringLiteral("ela devolveu um ponteiro nulo no lugar da resposta"), true);
        break;
    case CallOutcome::Status::MissingFunction:
        fail(call, QStringLiteral("a biblioteca do SAT em uso não tem esta função"), false);
        break;
    case CallOutcome::Status::NotLoaded:
        fail(call, QStringLiteral("a biblioteca do SAT não está carregada (%1)").arg(outcome.detail), false);
        break;
    case CallOutcome::Status::NotSent:
        fail(call, outcome.detail, false);
        break;
    case CallOutcome::Status::Failed:
        fail(call, outcome.detail, true);
        break;
    }
    return answer.constData();
}
