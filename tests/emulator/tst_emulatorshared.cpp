// The emulator shared: programs beside each other on one device, hosts started again, and the busy answers whose
// count the device keeps for all of them.
#include "dllsat.h"
#include "emulatorfixture.h"

#include <QtTest>

using namespace fixture;

namespace {

const QString kBusy = QStringLiteral("SAT em processamento. Tente novamente.");

QStringList fieldsOf(const QByteArray& answer)
{
    return QString::fromLatin1(answer).split(QLatin1Char('|'));
}

QStringList busyAnswer(int session, const char* code)
{
    return {QString::number(session), QLatin1String(code), kBusy, QString(), QString(), QString()};
}

} // namespace

class TestEmulatorShared : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void busyAnswers();
    void busyCountOfTheDevice();

private:
    // The commands run by a program of its own on the same device; the EEEEE of each answer.
    QStringList another(const QStringList& commands);

    QTemporaryDir* m_dir = nullptr;
};

void TestEmulatorShared::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    qunsetenv("SAT_EMULADOR_FALHA");
    qunsetenv("SAT_EMULADOR_OCUPADO");
    qputenv("SAT_EMULADOR_AGORA", kNow);
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(m_dir->filePath(QStringLiteral("estado.txt"))));
}

void TestEmulatorShared::cleanup()
{
    qunsetenv("SAT_EMULADOR_OCUPADO");
    delete m_dir;
    m_dir = nullptr;
}

QStringList TestEmulatorShared::another(const QStringList& commands)
{
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(EMULATORCLIENT_PATH),
                  QStringList {QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml")} + commands);
    if (!program.waitForFinished(30000) || program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        return {QStringLiteral("o programa falhou")};
    QStringList codes;
    QByteArray output = program.readAllStandardOutput();
    output.chop(1);
    for (const QByteArray& answer : output.split('\0'))
        codes << fieldsOf(answer).value(1);
    return codes;
}

// Turned away in 6 fields under the function's own prefix, as real devices answer; nothing of the command stays.
void TestEmulatorShared::busyAnswers()
{
    qputenv("SAT_EMULADOR_OCUPADO", "2");
    QCOMPARE(fieldsOf(AtivarSAT(21, 1, kCode, kTaxpayer, 35)), busyAnswer(21, "04098"));
    QCOMPARE(CodigoErro().codigo, 0);
    QCOMPARE(QString::fromLatin1(CodigoErro().mensagem), QStringLiteral("04098 - ") + kBusy);
    // Queries go through, uncounted, and find the device as it was: the factory code still opens it.
    QCOMPARE(fieldsOf(ConsultarStatusOperacional(22, "31415926")).value(1), QStringLiteral("10000"));
    QCOMPARE(fieldsOf(EnviarDadosVenda(23, kCode, "<CFe/>")), busyAnswer(23, "06098"));
    QCOMPARE(fieldsOf(AtivarSAT(24, 1, kCode, kTaxpayer, 35)).value(1), QStringLiteral("04000"));

    QCOMPARE(fieldsOf(ConsultarNumeroSessao(25, kCode, 21)).value(1), QStringLiteral("11003"));
    const QByteArray log = QByteArray::fromBase64(fieldsOf(ExtrairLogs(26, kCode)).value(5).toLatin1());
    QVERIFY2(log.contains("sessao 22: 10000") && log.contains("sessao 24: 04000"), log.constData());
    QVERIFY2(!log.contains("sessao 21:") && !log.contains("sessao 23:"), log.constData());
}

// Each program below is also what a host started again looks like: the count goes on from where the device left
// it, and starts over only when a call came without the variable.
void TestEmulatorShared::busyCountOfTheDevice()
{
    qputenv("SAT_EMULADOR_OCUPADO", "2");
    QCOMPARE(another({"ativar=31"}), QStringList {"04098"});
    QCOMPARE(another({"consulta=32", "ativar=33"}), (QStringList {"08000", "04098"}));
    QCOMPARE(another({"ativar=34"}), QStringList {"04000"});
    QCOMPARE(another({"associar=35"}), QStringList {"13000"});

    qunsetenv("SAT_EMULADOR_OCUPADO");
    QCOMPARE(another({"consulta=36"}), QStringList {"08000"});
    qputenv("SAT_EMULADOR_OCUPADO", "2");
    QCOMPARE(another({"venda=37", "venda=38", "venda=39"}), (QStringList {"06098", "06098", "06000"}));
}

QTEST_GUILESS_MAIN(TestEmulatorShared)
#include "tst_emulatorshared.moc"
