// sat-validar as a script runs it: exit codes, one fault a line on stdout naming its field, messages on stderr.
#include <QtTest>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestSatValidar : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLine_data();
    void commandLine();

private:
    QTemporaryDir m_dir;
};

void TestSatValidar::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray sale = readFile(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"));
    const QByteArray cancellation = readFile(QStringLiteral(SAT_EXAMPLES_DIR "/cancelamento-modelo.xml"));
    QVERIFY(sale.contains("<CFOP>5000</CFOP>") && sale.contains("<cMP>01") && sale.contains("'0.07'"));
    QVERIFY(cancellation.contains("<ide>"));
    const struct {
        const char* name;
        QByteArray content;
    } files[] = {
        {"-venda.xml", sale},
        {"sem-cfop.xml", QByteArray(sale).replace("<CFOP>5000</CFOP>", "")},
        {"varias.xml",
         QByteArray(sale)
             .replace("<CFOP>5000</CFOP>", "")
             .replace("<IE>", "<xNome>Loja</xNome><IE>")
             .replace("<cMP>01", "<cMP>07")},
        {"cancelamento.xml", QByteArray(cancellation).replace("<ide>", "<ide><dEmi>20240315</dEmi>")},
        {"quebra-de-linha.xml", QByteArray(sale).replace("'0.07'", "'0.&#10;7'")},
        {"texto.txt", "isto nao e XML"},
        {"vazio.xml", ""},
        {"enorme.xml", "<CFe>" + QByteArray(1600 * 1024, ' ') + "</CFe>"},
    };
    for (const auto& file : files)
        QVERIFY(writeFile(m_dir.filePath(QLatin1String(file.name)), file.content));
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("pasta")));
}

void TestSatValidar::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments"); // names of files made in the test's folder, or of examples/
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("output"); // stdout, line by line; a line ending in "*": its start
    QTest::addColumn<QString>("error"); // expected in stderr; empty: stderr must be empty
    QTest::addColumn<bool>("more"); // stdout goes on after the lines given (the help)

    const QString examples = QStringLiteral(SAT_EXAMPLES_DIR "/");
    const QStringList none;
    QTest::newRow("valid sale") << QStringList {examples + "venda-dois-itens.xml"} << 0
                                << QStringList {"Nenhum problema encontrado"} << "" << false;
    QTest::newRow("valid cancellation") << QStringList {examples + "cancelamento-modelo.xml"} << 0
                                        << QStringList {"Nenhum problema encontrado"} << "" << false;
    QTest::newRow("one fault") << QStringList {"sem-cfop.xml"} << 1
                               << QStringList {"infCFe/det[1]/prod/CFOP: ausente [rejeição 1051]"} << "" << false;
    QTest::newRow("every fault, the device's refusal first")
        << QStringList {"varias.xml"} << 1
        << QStringList {"infCFe/emit/xNome: e preenchido pelo SAT e nao deve ser enviado [rejeição 1024]",
                        "infCFe/det[1]/prod/CFOP: ausente [rejeição 1051]",
                        "infCFe/pgto/MP[1]/cMP: valor fora do dominio (01, 02, 03, 04, 05, 10, 11, 12, 13 ou 99) "
                        "[rejeição 1117]"}
        << "" << false;
    QTest::newRow("a cancellation, by its root")
        << QStringList {"cancelamento.xml"} << 1
        << QStringList {"infCFe/ide/dEmi: e preenchido pelo SAT e nao deve ser enviado [rejeição 1144]"} << "" << false;
    QTest::newRow("a line break in a quoted value")
        << QStringList {"quebra-de-linha.xml"} << 1
        << QStringList {"infCFe/@versaoDadosEnt: 0. 7 nao suportada (aceitas de 0.06 a 0.08) [rejeição 1007]"} << ""
        << false;
    QTest::newRow("not XML") << QStringList {"texto.txt"} << 1
                             << QStringList {"documento: XML mal formado na linha 1: *"} << "" << false;
    QTest::newRow("too large") << QStringList {"enorme.xml"} << 1
                               << QStringList {"documento: documento maior que 1500 KB [rejeição 1006]"} << "" << false;
    QTest::newRow("empty file") << QStringList {"vazio.xml"} << 1 << none << "o arquivo vazio.xml está vazio." << false;
    QTest::newRow("missing file") << QStringList {"nao-existe.xml"} << 1 << none
                                  << "o arquivo nao-existe.xml não existe." << false;
    QTest::newRow("a folder") << QStringList {"pasta"} << 1 << none << "pasta é uma pasta, não um arquivo." << false;
    QTest::newRow("a name starting with a dash, after --")
        << QStringList {"--", "-venda.xml"} << 0 << QStringList {"Nenhum problema encontrado"} << "" << false;
    for (const char* option : {"--help", "-h", "--ajuda"})
        QTest::newRow(option) << QStringList {QLatin1String(option)} << 0
                              << QStringList {"uso: sat-validar ARQUIVO.xml", "", "Confere um documento *"} << ""
                              << true;
    QTest::newRow("help with a file") << QStringList {"sem-cfop.xml", "-h"} << 0
                                      << QStringList {"uso: sat-validar ARQUIVO.xml", "", "Confere um documento *"}
                                      << "" << true;
    QTest::newRow("no file") << QStringList() << 2 << none << "uso: sat-validar ARQUIVO.xml" << false;
    QTest::newRow("two files") << QStringList {"sem-cfop.xml", "varias.xml"} << 2 << none << "informe um único arquivo."
                               << false;
    QTest::newRow("unknown option") << QStringList {"--saida", "sem-cfop.xml"} << 2 << none
                                    << "opção desconhecida: --saida" << false;
}

void TestSatValidar::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, output);
    QFETCH(QString, error);
    QFETCH(bool, more);
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral(SAT_VALIDAR_PATH), arguments);
    QVERIFY(process.waitForFinished(60000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    if (error.isEmpty())
        QVERIFY2(errors.isEmpty(), qPrintable(errors));
    else
        QVERIFY2(errors.startsWith(QStringLiteral("sat-validar: ") + error), qPrintable(errors));
    if (output.isEmpty()) {
        QVERIFY2(out.isEmpty(), qPrintable(out));
        return;
    }
    QVERIFY(out.endsWith(QLatin1Char('\n')));
    const QStringList lines = out.chopped(1).split(QLatin1Char('\n'));
    QVERIFY2(more ? lines.size() > output.size() : lines.size() == output.size(), qPrintable(out));
    for (qsizetype i = 0; i < output.size(); ++i) {
        if (output.at(i).endsWith(QLatin1Char('*')))
            QVERIFY2(lines.at(i).startsWith(output.at(i).chopped(1)), qPrintable(lines.at(i)));
        else
            QCOMPARE(lines.at(i), output.at(i));
    }
}

QTEST_GUILESS_MAIN(TestSatValidar)
#include "tst_satvalidar.moc"
