// The emulator shared: programs beside each other on one device, hosts started again, and the busy answers whose
// count the device keeps for all of them.
#include "dllsat.h"
#include "emulatorfixture.h"

#include <QtTest>

using namespace fixture;

namespace {

const QString kBusy = QStringLiteral("SAT em processamento. Tente novamente.");

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList fieldsOf(const QByteArray& answer)
{
    return QString::fromLatin1(answer).split(QLatin1Char('|'));
}

// The CF-e number of a sale's answer, from its access key: cUF, AAMM, CNPJ, model and serial come before it.
QString receiptNumber(const QByteArray& sale)
{
    return fieldsOf(sale).value(8).mid(3 + 31, 6);
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
    void twoProgramsInterleaved();

private:
    // The commands run by a program of its own on the same device; the EEEEE of each answer.
    QStringList another(const QStringList& commands);
    static void start(QProcess& program, const QStringList& commands);
    // Every answer of a program started by start(), once it ended well.
    static QList<QByteArray> answersOf(QProcess& program);
    void readyForSales();

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

QList<QByteArray> TestEmulatorShared::answersOf(QProcess& program)
{
    if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        return {"o programa falhou"};
    QByteArray output = program.readAllStandardOutput();
    output.chop(1);
    return output.split('\0');
}

void TestEmulatorShared::start(QProcess& program, const QStringList& commands)
{
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(EMULATORCLIENT_PATH),
                  QStringList {QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml")} + commands);
}

QStringList TestEmulatorShared::another(const QStringList& commands)
{
    QProcess program;
    start(program, commands);
    QStringList codes;
    for (const QByteArray& answer : answersOf(program))
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

void TestEmulatorShared::readyForSales()
{
    QCOMPARE(fieldsOf(AtivarSAT(1, 1, kCode, kTaxpayer, 35)).value(1), QStringLiteral("04000"));
    QCOMPARE(fieldsOf(AssociarAssinatura(2, kCode, kBoth, QByteArray(344, '0').constData())).value(1),
             QStringLiteral("13000"));
}

// Both programs sell and query at the same time, each keeping the emulator loaded: every session is found
// afterwards, every number issued once.
void TestEmulatorShared::twoProgramsInterleaved()
{
    readyForSales();
    const int count = 15;
    QStringList commands;
    for (int i = 0; i < count; ++i)
        commands << QStringLiteral("venda=%1").arg(100 + i) << QStringLiteral("consulta=%1").arg(300 + i);
    QProcess program;
    start(program, commands);
    // Its first answer says it is under way; the rest of its commands meet this program's.
    QVERIFY(program.waitForReadyRead(30000));
    const QByteArray document = readFile(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"));
    QMap<int, QByteArray> answers;
    for (int i = 0; i < count; ++i) {
        answers.insert(200 + i, EnviarDadosVenda(200 + i, kCode, document.constData()));
        answers.insert(400 + i, ConsultarSAT(400 + i));
    }
    const QList<QByteArray> theirs = answersOf(program);
    QCOMPARE(theirs.size(), 2 * count);
    for (int i = 0; i < 2 * count; ++i)
        answers.insert(fieldsOf(theirs.at(i)).value(0).toInt(), theirs.at(i));

    QSet<QString> numbers;
    for (auto answer = answers.cbegin(); answer != answers.cend(); ++answer) {
        QCOMPARE(QByteArray(ConsultarNumeroSessao(900, kCode, answer.key())), answer.value());
        const QStringList fields = fieldsOf(answer.value());
        if (fields.value(1) == QLatin1String("06000"))
            numbers.insert(receiptNumber(answer.value()));
        else
            QCOMPARE(fields.value(1), QStringLiteral("08000"));
    }
    QCOMPARE(numbers.size(), 2 * count);
    QVERIFY(numbers.contains(QStringLiteral("000001")) && numbers.contains(QStringLiteral("000030")));
}

QTEST_GUILESS_MAIN(TestEmulatorShared)
#include "tst_emulatorshared.moc"
