// Reading and judging the operational status: crafted answers, one problem at a time, and the emulator's own.
#include "dllsat.h"
#include "operationalstatus.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDateTime Now(QDate(2024, 3, 15), QTime(10, 30, 0));
const char NowStamp[] = "20240315103000";
const QString NoKey(44, QLatin1Char('0'));

// A healthy device's 23 fields, as the emulator sends them after activation.
QStringList healthyFields()
{
    return {QStringLiteral("900000001"),
            QStringLiteral("DHCP"),
            QStringLiteral("192.168.000.150"),
            QStringLiteral("02:53:41:54:00:01"),
            QStringLiteral("255.255.255.000"),
            QStringLiteral("192.168.000.001"),
            QStringLiteral("192.168.000.001"),
            QStringLiteral("008.008.008.008"),
            QStringLiteral("CONECTADO"),
            QStringLiteral("ALTO"),
            QStringLiteral("4194304 KB"),
            QStringLiteral("8 KB"),
            QString::fromLatin1(NowStamp),
            QStringLiteral("01.00.00"),
            QStringLiteral("00.07"),
            QStringLiteral("35240344555666000181599000000010000011234565"),
            NoKey,
            NoKey,
            QStringLiteral("20240315102000"),
            QStringLiteral("20240315102500"),
            QStringLiteral("20240315"),
            QStringLiteral("20290315"),
            QStringLiteral("0")};
}

QByteArray answerWith(int device, const QString& value)
{
    QStringList fields = healthyFields();
    if (device >= 0)
        fields[device] = value;
    return (QStringLiteral("7|10000|Resposta com Sucesso|||") + fields.join(QLatin1Char('|'))).toLatin1();
}

const OperationalStatus::Row* rowLabelled(const OperationalStatus& status, const QString& label,
                                          QList<OperationalStatus::Row>& storage)
{
    storage = status.rows();
    for (const OperationalStatus::Row& row : storage)
        if (row.label == label)
            return &row;
    return nullptr;
}

} // namespace

class TestOperationalStatus : public QObject {
    Q_OBJECT

private slots:
    void healthyAnswer_data();
    void healthyAnswer();
    void eachProblemAlone_data();
    void eachProblemAlone();
    void limitsThatAreNoProblem_data();
    void limitsThatAreNoProblem();
    void notAStatus_data();
    void notAStatus();
    void emulatorAnswer();
};

void TestOperationalStatus::healthyAnswer_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    QTest::newRow("series") << "Número de série"
                            << "900000001";
    QTest::newRow("lan type") << "Tipo de rede"
                              << "DHCP (endereço automático)";
    QTest::newRow("padded address") << "Endereço IP"
                                    << "192.168.0.150";
    QTest::newRow("mask") << "Máscara"
                          << "255.255.255.0";
    QTest::newRow("dns 2") << "DNS 2"
                           << "8.8.8.8";
    QTest::newRow("network") << "Situação da rede"
                             << "Conectada";
    QTest::newRow("memory total") << "Memória total"
                                  << "4 GB";
    QTest::newRow("memory share") << "Memória usada"
                                  << "8 KB (0,0% do total)";
    QTest::newRow("clock") << "Data e hora do SAT"
                           << "15/03/2024 10:30:00 (igual ao relógio deste computador)";
    QTest::newRow("no key in memory") << "Primeiro CF-e-SAT em memória"
                                      << "Nenhum";
    QTest::newRow("last transmission") << "Última transmissão à SEFAZ"
                                       << "15/03/2024 10:20:00";
    QTest::newRow("last communication") << "Última comunicação com a SEFAZ"
                                        << "15/03/2024 10:25:00";
    QTest::newRow("certificate issued") << "Emissão do certificado"
                                        << "15/03/2024";
    QTest::newRow("certificate expiry") << "Vencimento do certificado"
                                        << "15/03/2029 (faltam 1826 dias)";
    QTest::newRow("state") << "Estado de operação"
                           << "0 - Desbloqueado";
}

void TestOperationalStatus::healthyAnswer()
{
    QFETCH(QString, label);
    QFETCH(QString, value);
    const OperationalStatus status = OperationalStatus::parse(answerWith(-1, QString()), Now);
    QVERIFY(status.isValid());
    QCOMPARE(status.rows().size(), OperationalStatus::DeviceFieldCount);
    QCOMPARE(status.summary(), QStringLiteral("SAT em operação normal"));
    QVERIFY(status.problems().isEmpty());
    QCOMPARE(status.serial(), QStringLiteral("900000001"));
    QList<OperationalStatus::Row> rows;
    const OperationalStatus::Row* row = rowLabelled(status, label, rows);
    QVERIFY2(row, qPrintable(label));
    QCOMPARE(row->value, value);
    QVERIFY(!row->problem);
}

void TestOperationalStatus::eachProblemAlone_data()
{
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("reason");
    QTest::newRow("network down") << 8 << "NAO_CONECTADO"
                                  << "Situação da rede"
                                  << "Rede não conectada";
    QTest::newRow("network unknown") << 8 << "TALVEZ"
                                     << "Situação da rede"
                                     << "Situação da rede não reconhecida: TALVEZ";
    QTest::newRow("battery medium") << 9 << "MEDIO"
                                    << "Nível da bateria"
                                    << "Bateria em nível médio";
    QTest::newRow("battery low") << 9 << "BAIXO"
                                 << "Nível da bateria"
                                 << "Bateria em nível baixo";
    QTest::newRow("battery empty field") << 9 << ""
                                         << "Nível da bateria"
                                         << "Nível da bateria não reconhecido: (vazio)";
    QTest::newRow("memory at 90%") << 11 << "3774874 KB"
                                   << "Memória usada"
                                   << "Memória 90,0% usada";
    QTest::newRow("memory full, other unit") << 11 << "4 GB"
                                             << "Memória usada"
                                             << "Memória 100,0% usada";
    QTest::newRow("memory not a number") << 11 << "muito"
                                         << "Memória usada"
                                         << "Memória usada ilegível: muito";
    QTest::newRow("memory total zero") << 10 << "0 KB"
                                       << "Memória total"
                                       << "Memória total ilegível: 0 KB";
    QTest::newRow("clock ahead") << 12 << "20240315103501"
                                 << "Data e hora do SAT"
                                 << "Relógio do SAT adiantado 5 min 1 s";
    QTest::newRow("clock behind") << 12 << "20240315093000"
                                  << "Data e hora do SAT"
                                  << "Relógio do SAT atrasado 1 h";
    QTest::newRow("clock days off") << 12 << "20240310103000"
                                    << "Data e hora do SAT"
                                    << "Relógio do SAT atrasado 5 dias";
    QTest::newRow("clock garbage") << 12 << "20241345999999"
                                   << "Data e hora do SAT"
                                   << "Data e hora do SAT ilegível: 20241345999999";
    QTest::newRow("clock short") << 12 << "2024031510"
                                 << "Data e hora do SAT"
                                 << "Data e hora do SAT ilegível: 2024031510";
    QTest::newRow("certificate expired") << 21 << "20240314"
                                         << "Vencimento do certificado"
                                         << "Certificado vencido em 14/03/2024";
    QTest::newRow("certificate expires today") << 21 << "20240315"
                                               << "Vencimento do certificado"
                                               << "Certificado vence em 15/03/2024 (vence hoje)";
    QTest::newRow("certificate in 30 days") << 21 << "20240414"
                                            << "Vencimento do certificado"
                                            << "Certificado vence em 14/04/2024 (faltam 30 dias)";
    QTest::newRow("certificate missing") << 21 << "00000000"
                                         << "Vencimento do certificado"
                                         << "Certificado sem data de vencimento";
    QTest::newRow("certificate garbage") << 21 << "2029-03-15"
                                         << "Vencimento do certificado"
                                         << "Vencimento do certificado ilegível: 2029-03-15";
    QTest::newRow("blocked by SEFAZ") << 22 << "1"
                                      << "Estado de operação"
                                      << "SAT bloqueado pela SEFAZ";
    QTest::newRow("blocked by taxpayer") << 22 << "2"
                                         << "Estado de operação"
                                         << "SAT bloqueado pelo contribuinte";
    QTest::newRow("autonomous block") << 22 << "3"
                                      << "Estado de operação"
                                      << "SAT em bloqueio autônomo";
    QTest::newRow("blocked for deactivation") << 22 << "4"
                                              << "Estado de operação"
                                              << "SAT bloqueado para desativação";
    QTest::newRow("state out of range") << 22 << "5"
                                        << "Estado de operação"
                                        << "Estado de operação não reconhecido: 5";
    QTest::newRow("state not a number") << 22 << "0x"
                                        << "Estado de operação"
                                        << "Estado de operação não reconhecido: 0x";
}

void TestOperationalStatus::eachProblemAlone()
{
    QFETCH(int, device);
    QFETCH(QString, value);
    QFETCH(QString, label);
    QFETCH(QString, reason);
    const OperationalStatus status = OperationalStatus::parse(answerWith(device, value), Now);
    QVERIFY(status.isValid());
    QCOMPARE(status.problems(), QStringList {reason});
    QCOMPARE(status.summary(), QStringLiteral("Atenção: ") + reason);
    QList<OperationalStatus::Row> rows;
    const OperationalStatus::Row* row = rowLabelled(status, label, rows);
    QVERIFY(row);
    QVERIFY(row->problem);
    QCOMPARE(row->raw, value);
    // A value that cannot be read is shown as sent, never dropped.
    if (reason.contains(QStringLiteral("ilegível")) || reason.contains(QStringLiteral("não reconhecid")))
        QVERIFY(row->value == value || (value.isEmpty() && row->value == QStringLiteral("(vazio)")));
}

void TestOperationalStatus::limitsThatAreNoProblem_data()
{
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("memory just under 90%") << 11 << "3774873 KB"
                                           << "3,6 GB (89,9% do total)";
    QTest::newRow("clock 5 min ahead") << 12 << "20240315103500"
                                       << "15/03/2024 10:35:00 (5 min adiantado em relação a este computador)";
    QTest::newRow("clock 5 min behind") << 12 << "20240315102500"
                                        << "15/03/2024 10:25:00 (5 min atrasado em relação a este computador)";
    QTest::newRow("certificate in 31 days") << 21 << "20240415"
                                            << "15/04/2024 (faltam 31 dias)";
    QTest::newRow("certificate as a full stamp") << 21 << "20290315000000"
                                                 << "15/03/2029 (faltam 1826 dias)";
    QTest::newRow("address not a quad stays as sent") << 2 << "fe80::1"
                                                      << "fe80::1";
    QTest::newRow("empty address") << 2 << ""
                                   << "(vazio)";
    QTest::newRow("never transmitted") << 18 << "00000000000000"
                                       << "Nunca";
    QTest::newRow("transmission garbage shown raw") << 18 << "ontem"
                                                    << "ontem";
}

void TestOperationalStatus::limitsThatAreNoProblem()
{
    QFETCH(int, device);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    const OperationalStatus status = OperationalStatus::parse(answerWith(device, value), Now);
    QVERIFY(status.isValid());
    QCOMPARE(status.problems(), QStringList());
    QCOMPARE(status.rows().at(device).value, shown);
}

void TestOperationalStatus::notAStatus_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("failure");
    QTest::newRow("empty") << QByteArray() << ""
                           << "O SAT não enviou resposta.";
    QTest::newRow("blanks") << QByteArray(" \r\n") << ""
                            << "O SAT não enviou resposta.";
    QTest::newRow("wrong code") << QByteArray("12|10001|Codigo de ativacao invalido|||") << "10001"
                                << "O SAT respondeu: 10001 - Codigo de ativacao invalido";
    QTest::newRow("no separators") << QByteArray("lixo") << ""
                                   << "O SAT respondeu: lixo";
    QByteArray shortAnswer = answerWith(-1, QString());
    shortAnswer.truncate(shortAnswer.lastIndexOf('|'));
    QTest::newRow("27 fields") << shortAnswer << "10000"
                               << "Resposta incompleta do SAT (27 de 28 campos): 10000 - Resposta com Sucesso";
    QTest::newRow("status fields under another code")
        << answerWith(-1, QString()).replace("|10000|", "|10098|") << "10098"
        << "O SAT respondeu: 10098 - Resposta com Sucesso";
}

void TestOperationalStatus::notAStatus()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, code);
    QFETCH(QString, failure);
    const OperationalStatus status = OperationalStatus::parse(answer, Now);
    QVERIFY(!status.isValid());
    QVERIFY(status.rows().isEmpty());
    QCOMPARE(status.code(), code);
    QCOMPARE(status.failure(), failure);
    QCOMPARE(status.summary(), failure);
    QCOMPARE(status.rawAnswer(), QString::fromLatin1(answer));
}

// The emulator's real answers, through the library the tool loads: a factory device, then activated, then blocked.
void TestOperationalStatus::emulatorAnswer()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(dir.filePath(QStringLiteral("estado.txt"))));
    qputenv("SAT_EMULADOR_AGORA", NowStamp);
    qunsetenv("SAT_EMULADOR_FALHA");

    OperationalStatus status = OperationalStatus::parse(ConsultarStatusOperacional(1, "31415926"), Now);
    QVERIFY2(status.isValid(), qPrintable(status.failure()));
    QCOMPARE(status.problems(), QStringList {QStringLiteral("Certificado sem data de vencimento")});

    const char code[] = "codigo-teste";
    QVERIFY(QByteArray(AtivarSAT(2, 1, code, "44555666000181", 35)).contains("|04000|"));
    status = OperationalStatus::parse(ConsultarStatusOperacional(3, code), Now);
    QVERIFY2(status.isValid(), qPrintable(status.failure()));
    QCOMPARE(status.serial(), QStringLiteral("900000001"));
    QCOMPARE(status.rows().size(), OperationalStatus::DeviceFieldCount);
    QCOMPARE(status.summary(), QStringLiteral("SAT em operação normal"));
    QVERIFY(status.memoryShare() >= 0);

    QVERIFY(QByteArray(BloquearSAT(4, code)).contains("|16000|"));
    status = OperationalStatus::parse(ConsultarStatusOperacional(5, code), Now);
    QCOMPARE(status.problems(), QStringList {QStringLiteral("SAT bloqueado pelo contribuinte")});

    status = OperationalStatus::parse(ConsultarStatusOperacional(6, "codigo-errado"), Now);
    QVERIFY(!status.isValid());
    QCOMPARE(status.code(), QStringLiteral("10001"));
}

QTEST_GUILESS_MAIN(TestOperationalStatus)
#include "tst_operationalstatus.moc"
