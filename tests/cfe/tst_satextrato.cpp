// sat-extrato as a script runs it: exit codes, stderr messages and the PDF it leaves.
#include "issuedreceipts.h"

#include <QtTest>

class TestSatExtrato : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void help_data();
    void help();
    void existingOutputKeptOnFailure();

private:
    QTemporaryDir m_dir;
    QString m_receipt;
};

void TestSatExtrato::initTestCase()
{
    QVERIFY(m_dir.isValid());
    IssuedReceipts device;
    QVERIFY(device.ready());
    // Another sale, then the receipt and its cancellation.
    const auto save = [this](const QString& name, const QByteArray& xml) {
        QFile file(m_dir.filePath(name));
        return !xml.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(xml) == xml.size();
    };
    QVERIFY(save(QStringLiteral("other sale"), device.sell(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml")).xml));
    QVERIFY(save(QStringLiteral("CFe.xml"), device.sell(QStringLiteral(SAT_EXAMPLES_DIR "/venda-dois-itens.xml")).xml));
    QVERIFY(save(QStringLiteral("cancellation"), device.cancelLast().xml));
    m_receipt = m_dir.filePath(QStringLiteral("CFe.xml"));
    QFile other(m_dir.filePath(QStringLiteral("other")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("<?xml version=\"1.0\"?><config><tipoInter>ETHE</tipoInter></config>");
    QFile text(m_dir.filePath(QStringLiteral("text")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("123|06000|0000|Emitido com sucesso|");
}

void TestSatExtrato::commandLine_data()
{
    // RECEIPT, CANCELLATION, OTHER SALE, SALE DATA, OTHER, TEXT, OUT stand for paths
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // expected on stderr; empty: stderr must be empty
    QTest::addColumn<bool>("writesPdf");
    QTest::addColumn<int>("cancelledMarks"); // "*** CANCELADO ***" in the PDF's text
    QTest::newRow("80 mm by default") << QStringList {"RECEIPT", "-o", "OUT"} << 0 << "" << true << 0;
    QTest::newRow("58 mm") << QStringList {"RECEIPT", "-o", "OUT", "--largura", "58"} << 0 << "" << true << 0;
    QTest::newRow("long option names") << QStringList {"--saida", "OUT", "--largura=80", "RECEIPT"} << 0 << "" << true
                                       << 0;
    QTest::newRow("sale data, not issued")
        << QStringList {"SALE DATA", "-o", "OUT"} << 1 << "ainda não foi emitido" << false << 0;
    QTest::newRow("another document") << QStringList {"OTHER", "-o", "OUT"} << 1 << "não é um CF-e" << false << 0;
    QTest::newRow("not XML") << QStringList {"TEXT", "-o", "OUT"} << 1 << "XML" << false << 0;
    QTest::newRow("missing file") << QStringList {"nao-existe.xml", "-o", "OUT"} << 1 << "não existe" << false << 0;
    QTest::newRow("width 70") << QStringList {"RECEIPT", "-o", "OUT", "--largura", "70"} << 2 << "largura" << false
                              << 0;
    QTest::newRow("width not a number") << QStringList {"RECEIPT", "-o", "OUT", "--largura", "oitenta"} << 2
                                        << "largura" << false << 0;
    QTest::newRow("no output") << QStringList {"RECEIPT"} << 2 << "uso:" << false << 0;
    QTest::newRow("no input") << QStringList {"-o", "OUT"} << 2 << "uso:" << false << 0;
    QTest::newRow("two inputs") << QStringList {"RECEIPT", "RECEIPT", "-o", "OUT"} << 2 << "único" << false << 0;
    QTest::newRow("unknown option") << QStringList {"RECEIPT", "-o", "OUT", "--cor"} << 2 << "uso:" << false << 0;
    QTest::newRow("cancelled sale") << QStringList {"RECEIPT", "-o", "OUT", "--cancelamento", "CANCELLATION"} << 0 << ""
                                    << true << 2;
    QTest::newRow("cancellation of another sale")
        << QStringList {"OTHER SALE", "-o", "OUT", "--cancelamento", "CANCELLATION"} << 1 << "não da venda" << false
        << 0;
    QTest::newRow("a sale as the cancellation") << QStringList {"RECEIPT", "-o", "OUT", "--cancelamento", "OTHER SALE"}
                                                << 1 << "não um cancelamento" << false << 0;
    QTest::newRow("a cancellation as the sale")
        << QStringList {"CANCELLATION", "-o", "OUT", "--cancelamento", "CANCELLATION"} << 1 << "não uma venda" << false
        << 0;
    QTest::newRow("cancellation not there")
        << QStringList {"RECEIPT", "-o", "OUT", "--cancelamento", "nao-existe.xml"} << 1 << "não existe" << false << 0;
    QTest::newRow("cancellation not a CF-e")
        << QStringList {"RECEIPT", "-o", "OUT", "--cancelamento", "OTHER"} << 1 << "não é um CF-e" << false << 0;
    QTest::newRow("cancellation named empty")
        << QStringList {"RECEIPT", "-o", "OUT", "--cancelamento", ""} << 2 << "uso:" << false << 0;
    QTest::newRow("unwritable output") << QStringList {"RECEIPT", "-o", "sem-pasta/extrato.pdf"} << 1
                                       << "Não foi possível" << false << 0;
}

void TestSatExtrato::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(bool, writesPdf);
    QFETCH(int, cancelledMarks);
    const QString out = m_dir.filePath(QStringLiteral("extrato.pdf"));
    QFile::remove(out);
    for (QString& argument : arguments) {
        if (argument == u"RECEIPT")
            argument = m_receipt;
        else if (argument == u"CANCELLATION" || argument == u"OTHER SALE")
            argument = m_dir.filePath(argument.toLower());
        else if (argument == u"SALE DATA")
            argument = QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml");
        else if (argument == u"OTHER" || argument == u"TEXT")
            argument = m_dir.filePath(argument.toLower());
        else if (argument == u"OUT")
            argument = out;
        else if (argument.startsWith(QLatin1String("sem-pasta")))
            argument = m_dir.filePath(argument);
    }
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    // A script's environment: no display and no platform chosen.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SAT_EXTRATO_PATH), arguments);
    QVERIFY(process.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    if (message.isEmpty())
        QVERIFY2(errors.isEmpty(), qPrintable(errors));
    else
        QVERIFY2(errors.contains(message), qPrintable(errors));
    QFile pdf(out);
    QCOMPARE(pdf.exists(), writesPdf);
    if (writesPdf) {
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF-"));
        QVERIFY(bytes.trimmed().endsWith("%%EOF"));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {out, QStringLiteral("-")});
        if (text.waitForFinished(60000))
            QCOMPARE(QString::fromUtf8(text.readAllStandardOutput()).count(QStringLiteral("*** CANCELADO ***")),
                     cancelledMarks);
        else
            QVERIFY2(cancelledMarks == 0, "pdftotext missing (package poppler-utils)");
    }
}

void TestSatExtrato::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("--help") << QStringList {"--help"};
    QTest::newRow("-h") << QStringList {"-h"};
    QTest::newRow("--ajuda") << QStringList {"--ajuda"};
    QTest::newRow("--help beside a whole command") << QStringList {"RECEIPT", "-o", "OUT", "--help"};
}

// The usage on standard output and success, as command-line tools answer; nothing else is done.
void TestSatExtrato::help()
{
    QFETCH(QStringList, arguments);
    const QString out = m_dir.filePath(QStringLiteral("ajuda.pdf"));
    QFile::remove(out);
    arguments.replaceInStrings(QStringLiteral("RECEIPT"), m_receipt);
    arguments.replaceInStrings(QStringLiteral("OUT"), out);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SAT_EXTRATO_PATH), arguments);
    QVERIFY(process.waitForFinished(60000));
    const QString usage = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(errors.isEmpty(), qPrintable(errors));
    for (const char* option : {"--saida", "--largura", "--cancelamento", "--help", "CFe.xml"})
        QVERIFY2(usage.contains(QLatin1String(option)), qPrintable(usage));
    QVERIFY(!QFile::exists(out));
}

// A failed run leaves an earlier extract where it was.
void TestSatExtrato::existingOutputKeptOnFailure()
{
    const QString out = m_dir.filePath(QStringLiteral("anterior.pdf"));
    QFile previous(out);
    QVERIFY(previous.open(QIODevice::WriteOnly));
    previous.write("extrato anterior");
    previous.close();
    QProcess process;
    process.start(QStringLiteral(SAT_EXTRATO_PATH),
                  {QStringLiteral(SAT_EXAMPLES_DIR "/cancelamento-modelo.xml"), QStringLiteral("-o"), out});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(previous.open(QIODevice::ReadOnly));
    QCOMPARE(previous.readAll(), QByteArray("extrato anterior"));
}

QTEST_GUILESS_MAIN(TestSatExtrato)
#include "tst_satextrato.moc"
