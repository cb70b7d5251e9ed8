// Reading the device's log into rows, and narrowing them with the filter.
#include "codec/base64.h"
#include "devicetext.h"
#include "dllsat.h"
#include "logfiltermodel.h"
#include "logparser.h"
#include "logtablemodel.h"
#include "samplelog.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList rowsOf(const QList<LogLine>& lines)
{
    QStringList out;
    for (const LogLine& line : lines)
        out << QStringList {line.when, line.origin, line.level, line.message}.join(QStringLiteral(" ¦ "));
    return out;
}

QString row(const char* when, const char* origin, const char* level, const char* message)
{
    return QStringList {QString::fromUtf8(when), QString::fromUtf8(origin), QString::fromUtf8(level),
                        QString::fromUtf8(message)}
        .join(QStringLiteral(" ¦ "));
}

QString whole(const char* text)
{
    return row("", "", "", text);
}

QList<LogLine> filterSample()
{
    return parseDeviceLog(QStringLiteral("20240315103000|SAT|info|SAT ativado\n"
                                         "20240315103100|SAT|aviso|Rede sem sinal\n"
                                         "20240315103200|REDE|ERRO|Falha de rede: DNS\n"
                                         "20240315103300|SAT|info|Erro de digitação corrigido\n"
                                         "linha solta sem campos\n"));
}

} // namespace

class TestDeviceLog : public QObject {
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void decoding_data();
    void decoding();
    void emulatorLog();
    void largeLog();
    void filter_data();
    void filter();
    void typingAndClearing();
};

void TestDeviceLog::lines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows");
    const QString a = row("15/03/2024 10:30:00", "SAT", "info", "SAT ativado");
    const QString b = row("15/03/2024 10:31:05", "REDE", "aviso", "DNS lento");
    const QString first = QStringLiteral("20240315103000|SAT|info|SAT ativado");
    const QString second = QStringLiteral("20240315103105|REDE|aviso|DNS lento");
    QTest::newRow("LF") << first + "\n" + second + "\n" << QStringList {a, b};
    QTest::newRow("CRLF") << first + "\r\n" + second + "\r\n" << QStringList {a, b};
    QTest::newRow("CR") << first + "\r" + second + "\r" << QStringList {a, b};
    QTest::newRow("mixed") << first + "\r\n" + second + "\r" + first + "\n" << QStringList {a, b, a};
    QTest::newRow("no final line end") << first + "\n" + second << QStringList {a, b};
    QTest::newRow("blank line kept") << first + "\n\n" + second + "\n" << QStringList {a, whole(""), b};
    QTest::newRow("CR LF CR is two lines") << first + "\r\n\r" << QStringList {a, whole("")};
    QTest::newRow("empty log") << QString() << QStringList();
    QTest::newRow("line without separators") << QStringLiteral("texto solto\n") << QStringList {whole("texto solto")};
    QTest::newRow("pipes inside the text") << QStringLiteral("20240315103000|SAT|info|a|b||c\n")
                                           << QStringList {row("15/03/2024 10:30:00", "SAT", "info", "a|b||c")};
    QTest::newRow("empty parts") << QStringLiteral("20240315103000|||\n")
                                 << QStringList {row("15/03/2024 10:30:00", "", "", "")};
    QTest::newRow("two separators only") << QStringLiteral("20240315103000|SAT|info\n")
                                         << QStringList {whole("20240315103000|SAT|info")};
    QTest::newRow("impossible date") << QStringLiteral("20240230103000|SAT|info|x\n")
                                     << QStringList {whole("20240230103000|SAT|info|x")};
    QTest::newRow("impossible time") << QStringLiteral("20240315246000|SAT|info|x\n")
                                     << QStringList {whole("20240315246000|SAT|info|x")};
    QTest::newRow("stamp with letters") << QStringLiteral("2024031510300a|SAT|info|x\n")
                                        << QStringList {whole("2024031510300a|SAT|info|x")};
    QTest::newRow("stamp too long") << QStringLiteral("202403151030001|SAT|info|x")
                                    << QStringList {whole("202403151030001|SAT|info|x")};
}

void TestDeviceLog::lines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    QCOMPARE(rowsOf(parseDeviceLog(text)), rows);
}

void TestDeviceLog::decoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ASCII") << QByteArray("abc|1") << QStringLiteral("abc|1");
    QTest::newRow("UTF-8") << QByteArray("Opera\xc3\xa7\xc3\xa3o") << QString::fromUtf8("Operação");
    QTest::newRow("Latin-1") << QByteArray("Opera\xe7\xe3o") << QString::fromUtf8("Operação");
    QTest::newRow("UTF-8 cut in the middle of a character") << QByteArray("a\xc3") << QString::fromUtf8("aÃ");
    QTest::newRow("NUL kept") << QByteArray("a\0b", 3) << QString(QStringLiteral("a") + QChar(0) + "b");
}

void TestDeviceLog::decoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeDeviceText(bytes), text);
}

// The emulator's log as the tool receives it: Base64 in the sixth field, decoded by the tool's own decoder.
void TestDeviceLog::emulatorLog()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(dir.filePath(QStringLiteral("estado.txt"))));
    qputenv("SAT_EMULADOR_AGORA", "20240315103000");
    qunsetenv("SAT_EMULADOR_FALHA");
    const char code[] = "codigo-teste";
    QVERIFY(QByteArray(AtivarSAT(1, 1, code, "44555666000181", 35)).contains("|04000|"));
    QVERIFY(QByteArray(BloquearSAT(2, code)).contains("|16000|"));

    const QByteArray answer(ExtrairLogs(3, code));
    QVERIFY(answer.contains("|15000|"));
    const QList<QByteArray> fields = answer.split('|');
    QCOMPARE(fields.size(), 6);
    const std::size_t length = decodeBase64(fields.at(5).constData());
    const QByteArray log(decodeBuffer(), qsizetype(length));
    QVERIFY(log.endsWith('\n'));

    const QList<LogLine> lines = parseDeviceLog(decodeDeviceText(log));
    QCOMPARE(lines.size(), log.count('\n'));
    bool activated = false;
    for (const LogLine& line : lines) {
        QCOMPARE(line.when, QStringLiteral("15/03/2024 10:30:00"));
        QCOMPARE(line.origin, QStringLiteral("SAT"));
        QVERIFY(!line.level.isEmpty());
        activated = activated || line.message.startsWith(QStringLiteral("SAT ativado para o CNPJ 44555666000181"));
    }
    QVERIFY(activated);
}

// The benchmarks' 2 MiB log, cut in the middle of its last line: every line a row, the cut one included.
void TestDeviceLog::largeLog()
{
    const QByteArray log = sampleLog(2 * 1024 * 1024);
    QVERIFY(!log.endsWith('\n'));
    const QList<LogLine> lines = parseDeviceLog(decodeDeviceText(log));
    QCOMPARE(lines.size(), log.count('\n') + 1);
    QVERIFY(lines.size() > 17000);
    QCOMPARE(lines.first().message, QString::fromLatin1(log.left(log.indexOf('\n'))));
    QCOMPARE(lines.last().message, QString::fromLatin1(log.mid(log.lastIndexOf('\n') + 1)));

    LogTableModel model;
    model.setLines(lines);
    LogFilterModel filter;
    filter.setLogModel(&model);
    filter.setFilterText(QStringLiteral("aviso"));
    int expected = 0;
    for (const QByteArray& line : log.split('\n'))
        expected += line.toLower().contains("aviso") ? 1 : 0;
    QCOMPARE(filter.rowCount(), expected);
    QVERIFY(expected > 0 && expected < lines.size());
}

void TestDeviceLog::filter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("empty shows all") << QString()
                                     << QStringList {"SAT ativado", "Rede sem sinal", "Falha de rede: DNS",
                                                     "Erro de digitação corrigido", "linha solta sem campos"};
    QTest::newRow("message, any case") << "REDE" << QStringList {"Rede sem sinal", "Falha de rede: DNS"};
    QTest::newRow("level or message") << "erro" << QStringList {"Falha de rede: DNS", "Erro de digitação corrigido"};
    QTest::newRow("level only") << "AVISO" << QStringList {"Rede sem sinal"};
    QTest::newRow("accented") << "DIGITAÇÃO" << QStringList {"Erro de digitação corrigido"};
    QTest::newRow("origin is not searched") << "SAT" << QStringList {"SAT ativado"};
    QTest::newRow("date is not searched") << "2024" << QStringList();
    QTest::newRow("line of another form") << "solta" << QStringList {"linha solta sem campos"};
    QTest::newRow("nothing") << "impressora" << QStringList();
}

void TestDeviceLog::filter()
{
    QFETCH(QString, text);
    QFETCH(QStringList, messages);
    LogTableModel model;
    model.setLines(filterSample());
    LogFilterModel proxy;
    proxy.setLogModel(&model);
    proxy.setFilterText(text);
    QStringList shown;
    for (int i = 0; i < proxy.rowCount(); ++i)
        shown << proxy.index(i, LogTableModel::Message).data().toString();
    QCOMPARE(shown, messages);
    QCOMPARE(proxy.countText(), QStringLiteral("%1 de 5 linhas").arg(messages.size()));
}

// Keystroke by keystroke, as the filter box sends it, then back to nothing.
void TestDeviceLog::typingAndClearing()
{
    LogTableModel model;
    model.setLines(filterSample());
    LogFilterModel proxy;
    proxy.setLogModel(&model);
    const QList<int> expected {3, 2, 2, 2};
    const QString word = QStringLiteral("rede");
    for (int i = 0; i < 4; ++i) {
        proxy.setFilterText(word.left(i + 1));
        QCOMPARE(proxy.rowCount(), expected.at(i));
    }
    proxy.setFilterText(QString());
    QCOMPARE(proxy.rowCount(), 5);
    QCOMPARE(proxy.countText(), QStringLiteral("5 de 5 linhas"));
    QCOMPARE(proxy.index(4, LogTableModel::When).data().toString(), QString());
    QCOMPARE(proxy.index(0, LogTableModel::When).data().toString(), QStringLiteral("15/03/2024 10:30:00"));
}

QTEST_GUILESS_MAIN(TestDeviceLog)
#include "tst_devicelog.moc"
