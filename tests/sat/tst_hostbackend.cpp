// The two ways of running a device library, against libraries that are not the emulator as well as the emulator:
// what loading reports, that a call through the host answers as the same call in the tool's process, and that a
// library which crashes, hangs, answers null or a host that sends nonsense fails one call and never the tool.

#include "callfailure.h"
#include "host32.h"
#include "hostbackend.h"
#include "inprocessbackend.h"
#include "satdevice.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <optional>

Q_DECLARE_METATYPE(SatFunction)

namespace {

QString library(const char* name)
{
    return QStringLiteral(SAT_TEST_LIBRARIES_DIR "/") + QLatin1String(name);
}

const QString Emulator = QStringLiteral(SAT_EMULATOR_PATH);

SatCall stateQuery(int session = 11)
{
    return SatCall {SatFunction::ConsultarSAT, {SatArgument::of(session)}};
}

SatCall sale(int session = 22)
{
    return SatCall {SatFunction::EnviarDadosVenda,
                    {SatArgument::of(session), SatArgument::of("codigo-teste"), SatArgument::of("<CFe/>")}};
}

// The host processes this test started, found as children in /proc.
QList<qint64> hostProcesses()
{
    QList<qint64> found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (line.contains("(sat-hospedeiro") && rest.value(1).toLongLong() == QCoreApplication::applicationPid()
            && rest.value(0) != "Z")
            found.append(entry.toLongLong());
    }
    return found;
}

std::unique_ptr<DeviceBackend> makeBackend(bool host)
{
    if (host)
        return std::make_unique<HostBackend>();
    return std::make_unique<InProcessBackend>();
}

} // namespace

class TestHostBackend : public QObject {
    Q_OBJECT

private:
    QTemporaryDir state;

private slots:
    void initTestCase();
    void loading_data();
    void loading();
    void crashWhileLoading();
    void thirtyTwoBitsRunOnlyInTheHost();
    void hostAnswersAsTheToolsOwnProcess_data();
    void hostAnswersAsTheToolsOwnProcess();
    void largeDocumentsCrossWhole();
    void crashFailsOneCall();
    void hostKilledBetweenCalls();
    void hungCallEndsOnlyOnTheTechniciansWord();
    void slowCallIsWaitedFor();
    void badHost_data();
    void badHost();
    void environmentChangeReachesTheEmulator();
    void deviceFailures();
    void deviceBuildsTheRecord();
};

void TestHostBackend::initTestCase()
{
    QVERIFY(state.isValid());
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(state.filePath(QStringLiteral("estado.txt"))));
    qunsetenv("SAT_EMULADOR_FALHA");
    qunsetenv("SAT_BIBLIOTECA_HOSPEDEIRO");
    // Under AddressSanitizer the host would report a library's own crash as an exit, not as the signal it is.
    qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":handle_segv=0:handle_sigbus=0:handle_abort=0");
}

void TestHostBackend::loading_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<bool>("errorRecord");
    QTest::addColumn<bool>("emulator");
    QTest::addColumn<QStringList>("missing");
    QTest::newRow("the emulator") << Emulator << true << QString() << true << true << QStringList();
    QTest::newRow("standard functions only") << library("libsat-padrao.so") << true << QString() << false << false
                                             << QStringList();
    QTest::newRow("an older library")
        << library("libsat-antiga.so") << true << QString() << false << false
        << QStringList {"ComunicarCertificadoICPBRASIL", "ExtrairLogs", "ConsultarUltimaSessaoFiscal"};
    QTest::newRow("not a library") << library("nao-e-biblioteca.so") << false
                                   << QStringLiteral("não é uma biblioteca compartilhada") << false << false
                                   << QStringList();
    QTest::newRow("missing dependency") << library("libsat-dependente.so") << false
                                        << QStringLiteral("falta a biblioteca libsatdependencia.so") << false
                                        << false << QStringList();
    QTest::newRow("file gone") << library("libsumiu.so") << false << QStringLiteral("o arquivo não existe") << false
                               << false << QStringList();
}

void TestHostBackend::loading()
{
    QFETCH(QString, path);
    QFETCH(bool, loads);
    QFETCH(QString, problem);
    QFETCH(bool, errorRecord);
    QFETCH(bool, emulator);
    QFETCH(QStringList, missing);
    for (bool host : {true, false}) {
        const LibraryReport report = makeBackend(host)->load(path);
        QCOMPARE(report.loaded, loads);
        QVERIFY2(report.problem.contains(problem), qPrintable(report.problem));
        if (!loads)
            continue;
        QCOMPARE(report.bits, 64);
        QCOMPARE(report.hasErrorRecord, errorRecord);
        QCOMPARE(report.isEmulator, emulator);
        for (int n = 0; n < SatFunctionCount; ++n) {
            const auto function = static_cast<SatFunction>(n);
            const QString name = QString::fromLatin1(satFunctionName(function));
            QVERIFY2(report.has(function) != missing.contains(name), qPrintable(name));
        }
    }
}

// A library that crashes in its own constructor: in the tool's process that would end the tool, so only the host
// loads it, and says so, waited for or not.
void TestHostBackend::crashWhileLoading()
{
    HostBackend host;
    const LibraryReport waited = host.load(library("libsat-falha-ao-carregar.so"));
    QVERIFY(!waited.loaded);
    QVERIFY2(waited.problem.contains(QStringLiteral("falha de segmentação (sinal 11)")), qPrintable(waited.problem));

    std::optional<LibraryReport> reported;
    host.startLoading(library("libsat-falha-ao-carregar.so"), [&reported](const LibraryReport& report) {
        reported = report;
    });
    QTRY_VERIFY(reported);
    QVERIFY(!reported->loaded);
    QVERIFY(reported->problem.contains(QStringLiteral("falha de segmentação (sinal 11)")));
    const CallOutcome outcome = host.call(stateQuery());
    QCOMPARE(outcome.status, CallOutcome::Status::NotLoaded);
    QVERIFY(outcome.detail.contains(QStringLiteral("falha de segmentação")));
}

void TestHostBackend::thirtyTwoBitsRunOnlyInTheHost()
{
    const QString cannot = prepare32BitHost();
    if (!cannot.isEmpty())
        QSKIP(qPrintable(cannot));
    HostBackend host;
    const LibraryReport report = host.load(library("libsat-1252-32.so"));
    QVERIFY2(report.loaded, qPrintable(report.problem));
    QCOMPARE(report.bits, 32);
    const CallOutcome outcome = host.call(stateQuery(4321));
    QCOMPARE(outcome.status, CallOutcome::Status::Answered);
    QCOMPARE(outcome.answer, QByteArray("4321|08000|SAT em opera\xe7\xe3o \x96 pronto||"));
    QVERIFY(!outcome.record);

    const LibraryReport inProcess = InProcessBackend().load(library("libsat-1252-32.so"));
    QVERIFY(!inProcess.loaded);
    QVERIFY(inProcess.problem.contains(QStringLiteral("32 bits")));
}

void TestHostBackend::hostAnswersAsTheToolsOwnProcess_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("the emulator") << Emulator;
    QTest::newRow("standard functions only, printing to its output") << library("libsat-padrao.so");
    QTest::newRow("Windows-1252") << library("libsat-1252.so");
}

void TestHostBackend::hostAnswersAsTheToolsOwnProcess()
{
    QFETCH(QString, path);
    HostBackend host;
    InProcessBackend own;
    QVERIFY(host.load(path).loaded);
    QVERIFY(own.load(path).loaded);
    for (const SatCall& call : {stateQuery(101), sale(102)}) {
        const CallOutcome apart = host.call(call);
        const CallOutcome inside = own.call(call);
        QCOMPARE(apart.status, CallOutcome::Status::Answered);
        QCOMPARE(apart.answer, inside.answer);
        QCOMPARE(bool(apart.record), bool(inside.record));
        if (apart.record) {
            QCOMPARE(apart.record->codigo, inside.record->codigo);
            QCOMPARE(QByteArray(apart.record->mensagem, 300), QByteArray(inside.record->mensagem, 300));
        }
    }
}

// A 2 MiB sale goes to the library byte for byte: the emulator refuses it for what it is, not for a cut.
void TestHostBackend::largeDocumentsCrossWhole()
{
    HostBackend host;
    QVERIFY(host.load(Emulator).loaded);
    const std::string document = "<CFe>" + std::string(2 * 1024 * 1024 - 20, 'x') + "</CFe>";
    SatCall call = sale(7);
    call.arguments[2].text = document;
    const CallOutcome outcome = host.call(call);
    QCOMPARE(outcome.status, CallOutcome::Status::Answered);
    QVERIFY(outcome.answer.startsWith("7|06"));
    QVERIFY(outcome.record);
}

void TestHostBackend::crashFailsOneCall()
{
    HostBackend host;
    QVERIFY(host.load(library("libsat-falha-venda.so")).loaded);
    QCOMPARE(host.call(stateQuery(1)).status, CallOutcome::Status::Answered);
    const CallOutcome crashed = host.call(sale(2));
    QCOMPARE(crashed.status, CallOutcome::Status::Failed);
    QVERIFY2(crashed.detail.contains(QStringLiteral("falha de segmentação (sinal 11)")), qPrintable(crashed.detail));
    // The next call starts a fresh host.
    const CallOutcome after = host.call(stateQuery(3));
    QCOMPARE(after.status, CallOutcome::Status::Answered);
    QVERIFY(after.answer.startsWith("3|08000|"));
}

void TestHostBackend::hostKilledBetweenCalls()
{
    HostBackend host;
    QVERIFY(host.load(Emulator).loaded);
    QCOMPARE(host.call(stateQuery(1)).status, CallOutcome::Status::Answered);
    const QList<qint64> hosts = hostProcesses();
    QCOMPARE(hosts.size(), 1);
    QCOMPARE(::kill(pid_t(hosts.first()), SIGKILL), 0);
    QTRY_VERIFY(hostProcesses().isEmpty());
    // Nothing was lost: the call that comes next is simply made in a fresh host.
    const CallOutcome after = host.call(stateQuery(2));
    QCOMPARE(after.status, CallOutcome::Status::Answered);
    QVERIFY(after.answer.startsWith("2|08000|"));
    QCOMPARE(hostProcesses().size(), 1);
}

void TestHostBackend::hungCallEndsOnlyOnTheTechniciansWord()
{
    qputenv("SAT_BIBLIOTECA_ESPERA_MS", "200");
    QString shown;
    int shownTimes = 0;
    HostBackend::setWaitingHandler([&](WaitingCall& call) {
        ++shownTimes;
        shown = QStringLiteral("%1 %2").arg(call.function).arg(call.session);
        // The technician looks for a while, then ends it: the call has been waiting all along.
        QTest::qWait(400);
        QVERIFY(call.elapsedSeconds() < 5);
        call.endLibrary();
    });
    HostBackend host;
    QVERIFY(host.load(library("libsat-trava-venda.so")).loaded);
    QElapsedTimer timer;
    timer.start();
    const CallOutcome outcome = host.call(sale(77));
    QVERIFY(timer.elapsed() >= 600);
    HostBackend::setWaitingHandler(nullptr);
    qunsetenv("SAT_BIBLIOTECA_ESPERA_MS");

    QCOMPARE(shownTimes, 1);
    QCOMPARE(shown, QStringLiteral("EnviarDadosVenda 77"));
    QCOMPARE(outcome.status, CallOutcome::Status::Failed);
    QVERIFY2(outcome.detail.contains(QStringLiteral("você encerrou a biblioteca")), qPrintable(outcome.detail));
    QTRY_VERIFY(hostProcesses().isEmpty());
    QCOMPARE(host.call(stateQuery(78)).status, CallOutcome::Status::Answered);
}

// The waiting window is no time-out: when the answer comes, it closes by itself and the call succeeds.
void TestHostBackend::slowCallIsWaitedFor()
{
    qputenv("SAT_BIBLIOTECA_ESPERA_MS", "200");
    bool closedByItself = false;
    HostBackend::setWaitingHandler([&](WaitingCall& call) {
        QEventLoop loop;
        connect(&call, &WaitingCall::finished, &loop, &QEventLoop::quit);
        loop.exec();
        closedByItself = !call.endedByTechnician();
    });
    HostBackend host;
    QVERIFY(host.load(library("libsat-lenta-venda.so")).loaded);
    const CallOutcome outcome = host.call(sale(5));
    HostBackend::setWaitingHandler(nullptr);
    qunsetenv("SAT_BIBLIOTECA_ESPERA_MS");
    QVERIFY(closedByItself);
    QCOMPARE(outcome.status, CallOutcome::Status::Answered);
    QVERIFY(outcome.answer.startsWith("5|06"));
}

void TestHostBackend::badHost_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QString>("failure");
    QTest::newRow("frame too long") << QByteArray("grande") << QStringLiteral("quadro de tamanho inválido");
    QTest::newRow("truncated frame") << QByteArray("cortado") << QStringLiteral("terminou");
    QTest::newRow("out of order") << QByteArray("ordem") << QStringLiteral("fora de ordem");
    QTest::newRow("not a reply") << QByteArray("lixo") << QStringLiteral("malformada");
}

void TestHostBackend::badHost()
{
    QFETCH(QByteArray, mode);
    QFETCH(QString, failure);
    qputenv("SAT_BIBLIOTECA_HOSPEDEIRO", SAT_TEST_LIBRARIES_DIR "/sat-hospedeiro-ruim");
    qputenv("BADHOST_MODE", mode);
    HostBackend host;
    const LibraryReport report = host.load(Emulator);
    const CallOutcome outcome = host.call(stateQuery(9));
    qunsetenv("SAT_BIBLIOTECA_HOSPEDEIRO");
    qunsetenv("BADHOST_MODE");
    QVERIFY(report.loaded);
    QCOMPARE(outcome.status, CallOutcome::Status::Failed);
    QVERIFY2(outcome.detail.contains(failure), qPrintable(outcome.detail));
    // The real host takes over at the next call.
    QCOMPARE(host.call(stateQuery(10)).status, CallOutcome::Status::Answered);
}

// The emulator reads SAT_EMULADOR_FALHA at every call, and so it does through the host.
void TestHostBackend::environmentChangeReachesTheEmulator()
{
    HostBackend host;
    QVERIFY(host.load(Emulator).loaded);
    QCOMPARE(host.call(stateQuery(1)).record->codigo, 0);
    qputenv("SAT_EMULADOR_FALHA", "8000");
    const CallOutcome failing = host.call(stateQuery(2));
    qunsetenv("SAT_EMULADOR_FALHA");
    QCOMPARE(failing.record->codigo, 0x8000);
    QCOMPARE(failing.answer, QByteArray());
    QCOMPARE(host.call(stateQuery(3)).record->codigo, 0);
}

void TestHostBackend::deviceFailures()
{
    SatDevice& device = SatDevice::instance();
    QVERIFY(device.use(library("libsat-nula.so"), LibraryChoice::Source::Remembered).loaded);

    QCOMPARE(QByteArray(device.call(stateQuery(31))), QByteArray());
    std::optional<CallFailure> failure = takeCallFailure();
    QVERIFY(failure);
    QVERIFY(failure->text().contains(QStringLiteral("ConsultarSAT")));
    QVERIFY(failure->text().contains(library("libsat-nula.so")));
    QVERIFY(failure->text().contains(QStringLiteral("ponteiro nulo")));
    QVERIFY(!failure->text().contains(QStringLiteral("Número Sessão"))); // a query changes nothing

    device.call(sale(32));
    failure = takeCallFailure();
    QVERIFY(failure && failure->sent);
    QVERIFY(failure->text().contains(QStringLiteral("\"Número Sessão\" com o número de sessão 32")));

    device.call(SatCall {SatFunction::BloquearSAT, {SatArgument::of(33), SatArgument::of("x")}});
    failure = takeCallFailure();
    QVERIFY(failure && failure->text().contains(QStringLiteral("vazia")));

    device.call(SatCall {SatFunction::ExtrairLogs, {SatArgument::of(34), SatArgument::of("x")}});
    failure = takeCallFailure();
    QVERIFY(failure && !failure->sent);
    QVERIFY(failure->text().contains(QStringLiteral("ExtrairLogs")));
    QVERIFY(failure->text().contains(QStringLiteral("Nada foi enviado ao SAT")));
}

void TestHostBackend::deviceBuildsTheRecord()
{
    SatDevice& device = SatDevice::instance();
    QVERIFY(device.use(library("libsat-1252.so"), LibraryChoice::Source::Remembered).loaded);
    const QByteArray answer = device.call(sale(41));
    QVERIFY(!takeCallFailure());
    QVERIFY(answer.startsWith("41|06000|0000|"));
    const ErroSAT record = device.errorRecord();
    QCOMPARE(record.codigo, 0);
    QCOMPARE(QString::fromUtf8(record.mensagem), QString::fromUtf8("06000 - 0000 - Emitido com sucesso – conteúdo conferido"));

    // A library that has CodigoErro keeps its own record.
    QVERIFY(device.use(Emulator, LibraryChoice::Source::Bundled).loaded);
    device.call(stateQuery(42));
    QCOMPARE(QString::fromUtf8(device.errorRecord().mensagem), QStringLiteral("08000 - SAT em operacao"));
}

QTEST_GUILESS_MAIN(TestHostBackend)
#include "tst_hostbackend.moc"
