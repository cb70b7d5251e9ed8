#include "hostbackend.h"

#include "librarychoice.h"
#include "libraryfile.h"

#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <csignal>
#include <cstring>
#include <utility>

using namespace hostprotocol;

namespace {

HostBackend::WaitingHandler& waitingHandler()
{
    static HostBackend::WaitingHandler handler;
    return handler;
}

// The emulator reads its SAT_EMULADOR_ variables at every call: a host started before one changed would not see
// it, so a change starts a fresh host.
QStringList satEnvironment()
{
    QStringList variables;
    for (const QString& entry : QProcessEnvironment::systemEnvironment().toStringList()) {
        if (entry.startsWith(QLatin1String("SAT_")))
            variables.append(entry);
    }
    variables.sort();
    return variables;
}

QString hostProgram(int bits)
{
    // For tests: a host that misbehaves, or the 32-bit host under an emulator where the kernel runs no 32-bit
    // programs.
    const QString named
        = qEnvironmentVariable(bits == 32 ? "SAT_BIBLIOTECA_HOSPEDEIRO32" : "SAT_BIBLIOTECA_HOSPEDEIRO");
    if (!named.isEmpty())
        return named;
    return privateFilePath(bits == 32 ? QStringLiteral("sat-hospedeiro32") : QStringLiteral("sat-hospedeiro"));
}

const QString LoadingFunction = QStringLiteral("carregar a biblioteca");

} // namespace

WaitingCall::WaitingCall(const QString& function, int session, const QElapsedTimer& since)
    : function(function)
    , session(session)
    , since(since)
{
}

void WaitingCall::endLibrary()
{
    ended = true;
    emit finished();
}

HostBackend::HostBackend() = default;

HostBackend::~HostBackend()
{
    stopHost();
}

void HostBackend::setWaitingHandler(WaitingHandler handler)
{
    waitingHandler() = std::move(handler);
}

int HostBackend::waitingThreshold()
{
    bool ok = false;
    const int milliseconds = qEnvironmentVariableIntValue("SAT_BIBLIOTECA_ESPERA_MS", &ok);
    return ok && milliseconds >= 0 ? milliseconds : 10000;
}

QString HostBackend::describeEnd(QProcess::ExitStatus status, int code)
{
    if (status == QProcess::NormalExit)
        return QStringLiteral("a biblioteca encerrou o processo (código de saída %1)").arg(code);
    const char* name = nullptr;
    switch (code) {
    case SIGSEGV:
        name = "falha de segmentação";
        break;
    case SIGBUS:
        name = "erro de barramento";
        break;
    case SIGABRT:
        name = "abortado";
        break;
    case SIGFPE:
        name = "erro aritmético";
        break;
    case SIGILL:
        name = "instrução ilegal";
        break;
    case SIGKILL:
        name = "encerrado à força";
        break;
    case SIGTERM:
        name = "encerrado";
        break;
    case SIGPIPE:
        name = "escrita num canal fechado";
        break;
    case SIGTRAP:
        name = "parada de depuração";
        break;
    default:
        return QStringLiteral("sinal %1").arg(code);
    }
    return QStringLiteral("%1 (sinal %2)").arg(QString::fromUtf8(name)).arg(code);
}

bool HostBackend::startHost(int bits, QString& problem)
{
    stopHost();
    const QString program = hostProgram(bits);
    if (!QFileInfo(program).isExecutable()) {
        problem = QStringLiteral("não foi encontrado o programa %1, que carrega as bibliotecas de %2 bits")
                      .arg(program)
                      .arg(bits);
        return false;
    }
    process = std::make_unique<QProcess>();
    process->setProgram(program);
    // What the library prints goes where the tool's own messages go.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process.get(), &QProcess::readyReadStandardOutput, this, &HostBackend::readReplies);
    connect(process.get(), &QProcess::finished, this, &HostBackend::hostEnded);
    connect(process.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            hostEnded();
    });
    hostEnvironment = satEnvironment();
    reader = FrameReader();
    process->start();
    return true;
}

void HostBackend::stopHost()
{
    pending = Pending::None;
    callReply.reset();
    if (!process)
        return;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        // An idle host ends by itself when its input closes; one stuck in a call does not.
        process->closeWriteChannel();
        if (!process->waitForFinished(200)) {
            process->kill();
            process->waitForFinished(2000);
        }
    }
    retired.push_back(std::move(process));
}

bool HostBackend::hostRunning()
{
    // waitForFinished(0) notices a host that died since the last call, before anything is sent to it.
    return process && process->state() == QProcess::Running && !process->waitForFinished(0);
}

void HostBackend::send(const std::string& frame, Pending kind)
{
    pending = kind;
    protocolError.clear();
    process->write(frame.data(), qint64(frame.size()));
}

void HostBackend::readReplies()
{
    if (!process)
        return;
    const QByteArray bytes = process->readAllStandardOutput();
    reader.append(bytes.constData(), std::size_t(bytes.size()));
    std::string payload;
    while (protocolError.isEmpty()) {
        const FrameReader::Status status = reader.next(payload);
        if (status == FrameReader::Status::NeedMore)
            break;
        Type type;
        LoadReply loaded;
        CallReply answered;
        if (status == FrameReader::Status::Error) {
            protocolError = QStringLiteral("o processo da biblioteca mandou um quadro de tamanho inválido");
        } else if (!typeOf(payload, type) || (type != Type::Loaded && type != Type::Answer)
                   || (type == Type::Loaded && !decode(payload, loaded))
                   || (type == Type::Answer && !decode(payload, answered))) {
            protocolError = QStringLiteral("o processo da biblioteca mandou uma resposta malformada");
        } else if (pending == Pending::Load && type == Type::Loaded && loaded.sequence == sequence) {
            pending = Pending::None;
            finishLoad(loaded);
            emit settled();
        } else if (pending == Pending::Call && type == Type::Answer && answered.sequence == sequence) {
            pending = Pending::None;
            callReply = std::move(answered);
            emit settled();
        } else {
            protocolError = QStringLiteral("o processo da biblioteca mandou uma resposta fora de ordem");
        }
    }
    if (!protocolError.isEmpty() && process->state() != QProcess::NotRunning) {
        // Nothing it sends after that can be trusted.
        process->kill();
        if (pending != Pending::None)
            emit settled();
    }
}

QString HostBackend::howItEnded() const
{
    if (!protocolError.isEmpty())
        return protocolError;
    if (!process)
        return QStringLiteral("o processo da biblioteca foi encerrado");
    if (process->error() == QProcess::FailedToStart)
        return QStringLiteral("o programa %1 não pôde ser iniciado: %2").arg(process->program(), process->errorString());
    return QStringLiteral("o processo da biblioteca terminou: %1")
        .arg(describeEnd(process->exitStatus(), process->exitCode()));
}

void HostBackend::hostEnded()
{
    readReplies();
    // A load nobody waits for (the one started with the window) must still end, so the status bar can say why.
    if (pending == Pending::Load) {
        pending = Pending::None;
        failLoad(QStringLiteral("ao carregá-la, %1").arg(howItEnded()));
    }
    emit settled();
}

bool HostBackend::waitForReply(const QString& function, int session, QString& failure)
{
    QElapsedTimer since;
    since.start();
    const int threshold = waitingThreshold();
    while (pending != Pending::None && protocolError.isEmpty() && process
           && process->state() != QProcess::NotRunning) {
        const qint64 left = threshold - since.elapsed();
        if (left > 0 || !waitingHandler()) {
            process->waitForReadyRead(int(left > 0 ? qMin<qint64>(left, 1000) : 1000));
            continue;
        }
        WaitingCall wait(function, session, since);
        connect(this, &HostBackend::settled, &wait, &WaitingCall::finished);
        waitingHandler()(wait);
        // An answer that came as the button was pressed still counts.
        if (wait.endedByTechnician() && pending != Pending::None && protocolError.isEmpty()) {
            failure = QStringLiteral("você encerrou a biblioteca depois de %1 s sem resposta")
                          .arg(since.elapsed() / 1000);
            stopHost();
            return false;
        }
    }
    if (pending == Pending::None && protocolError.isEmpty())
        return true;
    failure = howItEnded();
    stopHost();
    return false;
}

void HostBackend::finishLoad(const LoadReply& reply)
{
    LibraryReport loaded;
    loaded.path = libraryPath;
    loaded.bits = libraryBits;
    loaded.loaded = reply.loaded;
    if (!reply.loaded)
        loaded.problem = explainLoadError(QString::fromLocal8Bit(reply.error.data(), qsizetype(reply.error.size())));
    loaded.functions = reply.functions & ((1u << SatFunctionCount) - 1);
    loaded.hasErrorRecord = reply.hasErrorRecord;
    loaded.isEmulator = reply.isEmulator;
    report = loaded;
    if (auto done = std::exchange(onLoaded, nullptr))
        done(loaded);
}

void HostBackend::failLoad(const QString& problem)
{
    LibraryReport failed;
    failed.path = libraryPath;
    failed.bits = libraryBits;
    failed.problem = problem;
    report = failed;
    if (auto done = std::exchange(onLoaded, nullptr))
        done(failed);
}

void HostBackend::startLoading(const QString& path, std::function<void(const LibraryReport&)> done)
{
    stopHost();
    libraryPath = path;
    report.reset();
    onLoaded = std::move(done);
    const LibraryFile file = inspectLibraryFile(path);
    libraryBits = file.bits;
    const QByteArray name = QFile::encodeName(path);
    QString problem;
    if (!file.usable)
        failLoad(file.problem);
    else if (name.size() > int(MaxPath))
        failLoad(QStringLiteral("o caminho do arquivo é longo demais"));
    else if (!startHost(file.bits, problem))
        failLoad(problem);
    else
        send(encode(LoadRequest {++sequence, name.toStdString()}), Pending::Load);
}

LibraryReport HostBackend::load(const QString& path)
{
    retired.clear();
    startLoading(path, nullptr);
    QString failure;
    if (pending == Pending::Load && !waitForReply(LoadingFunction, 0, failure))
        failLoad(QStringLiteral("ao carregá-la, %1").arg(failure));
    return *report;
}

bool HostBackend::ensureLoaded(QString& problem)
{
    QString failure;
    if (pending == Pending::Load && !waitForReply(LoadingFunction, 0, failure))
        failLoad(QStringLiteral("ao carregá-la, %1").arg(failure));
    if (report && report->loaded && hostRunning() && satEnvironment() == hostEnvironment)
        return true;
    if (libraryPath.isEmpty()) {
        problem = QStringLiteral("nenhuma biblioteca foi escolhida");
        return false;
    }
    // A host that died since the last call, or one whose environment is out of date: a fresh one.
    const LibraryReport reloaded = load(libraryPath);
    problem = reloaded.problem;
    return reloaded.loaded;
}

CallOutcome HostBackend::call(const SatCall& call)
{
    retired.clear();
    CallOutcome outcome;
    QString problem;
    if (!ensureLoaded(problem)) {
        outcome.status = CallOutcome::Status::NotLoaded;
        outcome.detail = problem;
        return outcome;
    }
    if (!report->has(call.function)) {
        outcome.status = CallOutcome::Status::MissingFunction;
        return outcome;
    }
    for (const SatArgument& argument : call.arguments) {
        if (argument.isText && argument.text.size() > MaxArgument) {
            outcome.status = CallOutcome::Status::NotSent;
            outcome.detail = QStringLiteral("um dos textos tem mais de %1 MiB, o limite desta ferramenta")
                                 .arg(MaxArgument >> 20);
            return outcome;
        }
    }

    callReply.reset();
    send(encode(CallRequest {++sequence, call}), Pending::Call);
    QString failure;
    if (!waitForReply(QString::fromLatin1(satFunctionName(call.function)), call.session(), failure)) {
        outcome.status = CallOutcome::Status::Failed;
        outcome.detail = failure;
        return outcome;
    }
    const CallReply& reply = *callReply;
    switch (reply.status) {
    case AnswerStatus::Answered:
        outcome.answer = QByteArray(reply.answer.data(), qsizetype(reply.answer.size()));
        break;
    case AnswerStatus::NullAnswer:
        outcome.status = CallOutcome::Status::NullAnswer;
        break;
    case AnswerStatus::MissingFunction:
        outcome.status = CallOutcome::Status::MissingFunction;
        break;
    case AnswerStatus::NotLoaded:
        outcome.status = CallOutcome::Status::NotLoaded;
        outcome.detail = QStringLiteral("o processo da biblioteca perdeu a biblioteca");
        break;
    case AnswerStatus::TooLong:
        outcome.status = CallOutcome::Status::Failed;
        outcome.detail = QStringLiteral("a resposta passa de %1 MiB, o limite desta ferramenta").arg(MaxPayload >> 20);
        break;
    }
    if (reply.hasRecord) {
        ErroSAT record {};
        record.codigo = reply.code;
        std::memcpy(record.mensagem, reply.message.data(), qMin(reply.message.size(), sizeof record.mensagem));
        outcome.record = record;
    }
    return outcome;
}
