// ConsultarUltimaSessaoFiscal: the answer of the last sale or cancellation, whatever became of it, for a point of
// sale whose answer got lost; through the C functions, and from a device started afresh on the same state file.
#include "device.h"
#include "dllsat.h"

#include <QtTest>

namespace {

const char kCode[] = "codigo-teste";
const char kTaxpayer[] = "44555666000181";
const char kBoth[] = "1122233300018144555666000181";
const char kNow[] = "20240315103000";

QStringList fieldsOf(const char* answer)
{
    return QString::fromLatin1(answer).split(QLatin1Char('|'));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString recordText()
{
    return QString::fromLatin1(CodigoErro().mensagem);
}

} // namespace

class TestLastFiscalSession : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void query_data();
    void query();
    void notKeptAsASession();
    void newDevice();

private:
    QByteArray step(const QString& name);
    void usePath(const QString& name);

    QTemporaryDir* m_dir = nullptr;
    int m_session = 3000;
};

void TestLastFiscalSession::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    qunsetenv("SAT_EMULADOR_FALHA");
    qputenv("SAT_EMULADOR_AGORA", kNow);
    usePath(QStringLiteral("estado.txt"));
}

void TestLastFiscalSession::cleanup()
{
    qunsetenv("SAT_EMULADOR_FALHA");
    delete m_dir;
    m_dir = nullptr;
}

// A path not seen before is another device; back on a path, the engine reads its state file again.
void TestLastFiscalSession::usePath(const QString& name)
{
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(m_dir->filePath(name)));
}

// One command of a row's story; returns its answer.
QByteArray TestLastFiscalSession::step(const QString& name)
{
    const QByteArray sale = readFile(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"));
    const QByteArray signature(344, '0');
    if (name == u"activate")
        return AtivarSAT(++m_session, 1, kCode, kTaxpayer, 35);
    if (name == u"associate")
        return AssociarAssinatura(++m_session, kCode, kBoth, signature.constData());
    if (name == u"sale")
        return EnviarDadosVenda(++m_session, kCode, sale.constData());
    if (name == u"refused sale")
        return EnviarDadosVenda(++m_session, kCode, QByteArray(sale).replace("<CFOP>5000</CFOP>", "").constData());
    if (name == u"sale with a wrong code")
        return EnviarDadosVenda(++m_session, "errado-123", sale.constData());
    if (name == u"sale with no session number")
        return EnviarDadosVenda(-1, kCode, sale.constData());
    if (name == u"sale lost on the way") {
        // The device never sees it: the answer of the command before is the one to learn.
        qputenv("SAT_EMULADOR_FALHA", "8000");
        const QByteArray answer = EnviarDadosVenda(++m_session, kCode, sale.constData());
        qunsetenv("SAT_EMULADOR_FALHA");
        return answer;
    }
    if (name == u"cancellation" || name == u"refused cancellation") {
        const QByteArray document = readFile(m_dir->filePath(QStringLiteral("cancelamento-ultima-venda.xml")));
        const QByteArray key = document.mid(document.indexOf("chCanc=\"") + 8, 47);
        const QByteArray sent = name == u"cancellation" ? document : QByteArray(document).replace("<emit />", "");
        return CancelarUltimaVenda(++m_session, kCode, key.constData(), sent.constData());
    }
    if (name == u"status")
        return ConsultarStatusOperacional(++m_session, kCode);
    if (name == u"query")
        return ConsultarUltimaSessaoFiscal(++m_session, kCode);
    if (name == u"restart") {
        usePath(QStringLiteral("outro.txt"));
        ConsultarSAT(++m_session);
        usePath(QStringLiteral("estado.txt"));
        return ConsultarSAT(++m_session);
    }
    qFatal("unknown step %s", qPrintable(name));
}

void TestLastFiscalSession::query_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QByteArray>("code"); // the activation code of the query
    QTest::addColumn<int>("session"); // of the query
    QTest::addColumn<QString>("record"); // "EEEEE - mensagem" of the error record
    QTest::addColumn<int>("answerOf"); // index of the step whose answer comes back whole; -1: a refusal

    const QStringList ready = {"activate", "associate"};
    const QString found = QStringLiteral("19000 - Ultima sessao fiscal encontrada");
    QTest::newRow("after a sale") << ready + QStringList {"sale"} << QByteArray(kCode) << 1 << found << 2;
    QTest::newRow("after a refused sale")
        << ready + QStringList {"sale", "refused sale"} << QByteArray(kCode) << 1 << found << 3;
    QTest::newRow("after a sale with a wrong code")
        << ready + QStringList {"sale", "sale with a wrong code"} << QByteArray(kCode) << 1 << found << 3;
    QTest::newRow("after a cancellation")
        << ready + QStringList {"sale", "cancellation"} << QByteArray(kCode) << 1 << found << 3;
    QTest::newRow("after a refused cancellation")
        << ready + QStringList {"sale", "refused cancellation"} << QByteArray(kCode) << 1 << found << 3;
    QTest::newRow("a sale after a cancellation")
        << ready + QStringList {"sale", "cancellation", "sale"} << QByteArray(kCode) << 1 << found << 4;
    QTest::newRow("other commands leave it")
        << ready + QStringList {"sale", "status", "query"} << QByteArray(kCode) << 1 << found << 2;
    QTest::newRow("a sale the device never saw")
        << ready + QStringList {"sale", "sale lost on the way"} << QByteArray(kCode) << 1 << found << 2;
    QTest::newRow("a sale with no valid session number")
        << ready + QStringList {"sale", "sale with no session number"} << QByteArray(kCode) << 1 << found << 2;
    QTest::newRow("after a restart") << ready + QStringList {"sale", "restart"} << QByteArray(kCode) << 1 << found << 2;
    QTest::newRow("none yet") << ready << QByteArray(kCode) << 1
                              << "19003 - Nenhuma venda ou cancelamento processado ate agora" << -1;
    QTest::newRow("wrong code") << ready + QStringList {"sale"} << QByteArray("errado-123") << 1
                                << "19001 - Codigo de ativacao invalido" << -1;
    QTest::newRow("null code") << ready + QStringList {"sale"} << QByteArray() << 1
                               << "19001 - Codigo de ativacao invalido" << -1;
    QTest::newRow("not activated") << QStringList() << QByteArray("31415926") << 1 << "19002 - SAT ainda nao ativado"
                                   << -1;
    QTest::newRow("session number out of range")
        << ready + QStringList {"sale"} << QByteArray(kCode) << 1000000 << "19099 - Numero de sessao invalido" << -1;
}

void TestLastFiscalSession::query()
{
    QFETCH(QStringList, steps);
    QFETCH(QByteArray, code);
    QFETCH(int, session);
    QFETCH(QString, record);
    QFETCH(int, answerOf);
    QList<QByteArray> answers;
    for (const QString& name : steps)
        answers << step(name);
    const QByteArray answer = ConsultarUltimaSessaoFiscal(session, code.isNull() ? nullptr : code.constData());
    QCOMPARE(recordText(), record);
    QCOMPARE(CodigoErro().codigo, 0);
    if (answerOf >= 0) {
        QVERIFY(!answers.at(answerOf).isEmpty());
        QCOMPARE(answer, answers.at(answerOf));
        return;
    }
    // A refusal of the query itself, under its own session number.
    const QStringList fields = fieldsOf(answer.constData());
    QCOMPARE(fields.size(), 5);
    QCOMPARE(fields.at(0), QString::number(session));
    QCOMPARE(fields.at(1) + " - " + fields.at(2), record);
}

// The query's own answer is no session: asked again under the lost sale's number it would hide it. Its line in the
// log is like any other command's.
void TestLastFiscalSession::notKeptAsASession()
{
    step(QStringLiteral("activate"));
    step(QStringLiteral("associate"));
    const QByteArray sale
        = EnviarDadosVenda(700, kCode, readFile(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml")).constData());
    QCOMPARE(fieldsOf(sale.constData()).value(1), QStringLiteral("06000"));
    QCOMPARE(QByteArray(ConsultarUltimaSessaoFiscal(701, kCode)), sale);
    QCOMPARE(fieldsOf(ConsultarNumeroSessao(702, kCode, 701)).value(1), QStringLiteral("11003"));
    QCOMPARE(QByteArray(ConsultarUltimaSessaoFiscal(700, kCode)), sale);
    QCOMPARE(QByteArray(ConsultarNumeroSessao(703, kCode, 700)), sale);
    const QByteArray log = QByteArray::fromBase64(fieldsOf(ExtrairLogs(704, kCode)).value(5).toLatin1());
    QVERIFY2(
        log.contains(QByteArray(kNow)
                     + "|SAT|info|ConsultarUltimaSessaoFiscal sessao 701: 19000 Ultima sessao fiscal encontrada\n"),
        log.constData());
}

// Another process on the same state file: the answer comes from the file, not from the library's memory.
void TestLastFiscalSession::newDevice()
{
    step(QStringLiteral("activate"));
    step(QStringLiteral("associate"));
    const QByteArray sale = step(QStringLiteral("sale"));
    const QByteArray cancellation = step(QStringLiteral("cancellation"));
    QCOMPARE(fieldsOf(cancellation.constData()).value(1), QStringLiteral("07000"));

    satemu::Device fresh;
    const satemu::Device::Reply reply = fresh.queryLastFiscalSession(800, kCode);
    QCOMPARE(reply.code, std::string("19000"));
    QCOMPARE(QByteArray::fromStdString(reply.answer), cancellation);
    QVERIFY(cancellation != sale);
}

QTEST_GUILESS_MAIN(TestLastFiscalSession)
#include "tst_lastfiscalsession.moc"
