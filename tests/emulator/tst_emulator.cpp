// The emulator as the tool sees it: the C functions of the shared library, the answers and the error record.
#include "dllsat.h"

#include <QtTest>

namespace {

const char kCode[] = "codigo-teste";
const char kTaxpayer[] = "44555666000181";
const char kSoftwareHouse[] = "11222333000181";
const char kBoth[] = "1122233300018144555666000181";
const char kNow[] = "20240315103000";

QByteArray sampleSignature()
{
    return QByteArray(344, '0');
}

QStringList fieldsOf(const char* answer)
{
    return QString::fromLatin1(answer).split(QLatin1Char('|'));
}

QString eeeee(const char* answer)
{
    return fieldsOf(answer).value(1);
}

// The code of an answer with an alert field: numeroSessao|EEEEE|CCCC|mensagem|...
QString recordText()
{
    const ErroSAT record = CodigoErro();
    return QString::fromLatin1(record.mensagem);
}

// 44 digits after "CFe", check digit by modulo 11 with weights 2..9 from the right, 10 and 11 giving 0.
bool keyCheckDigitHolds(const QString& key)
{
    if (key.size() != 44)
        return false;
    int sum = 0;
    int weight = 2;
    for (int i = 42; i >= 0; --i) {
        sum += key.at(i).digitValue() * weight;
        weight = weight == 9 ? 2 : weight + 1;
    }
    const int digit = 11 - sum % 11;
    return key.at(43).digitValue() == (digit >= 10 ? 0 : digit);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const char kFixedNetwork[]
    = "<?xml version=\"1.0\"?>\n<config><tipoInter>ETHE</tipoInter><tipoLan>IPFIX</tipoLan>"
      "<lanIP>192.168.000.010</lanIP><lanMask>255.255.255.000</lanMask><lanGW>192.168.000.001</lanGW>"
      "<lanDNS1>192.168.000.002</lanDNS1><lanDNS2>010.001.001.001</lanDNS2><proxy>0</proxy><proxy_ip/>"
      "<proxy_porta/><proxy_user/><proxy_senha/></config>\n";

} // namespace

class TestEmulator : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void factoryDevice_data();
    void factoryDevice();
    void activation_data();
    void activation();
    void activationTwice();
    void wrongCodeOnceActivated_data();
    void wrongCodeOnceActivated();
    void association_data();
    void association();
    void endToEndTest();
    void saleIssuesReceipt();
    void exampleDocuments_data();
    void exampleDocuments();
    void saleRefused_data();
    void saleRefused();
    void cancellationWindow_data();
    void cancellationWindow();
    void cancellationRefused_data();
    void cancellationRefused();
    void readyCancellationDocument();
    void sessionStore();
    void sessionNumbersOutOfRange_data();
    void sessionNumbersOutOfRange();
    void operationalStatus();
    void blockAndUnblock();
    void network_data();
    void network();
    void activationCodeChange_data();
    void activationCodeChange();
    void certificateAndUpdate();
    void logExtraction();
    void persistenceAcrossReload();
    void unreadableStateSetAside_data();
    void unreadableStateSetAside();
    void transportFaults_data();
    void transportFaults();

private:
    void usePath(const QString& name);
    void activate();
    void associate();
    QByteArray sample() const;
    QStringList sell();

    QTemporaryDir* m_dir = nullptr;
    QString m_statePath;
    int m_session = 1000;
};

void TestEmulator::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    qunsetenv("SAT_EMULADOR_FALHA");
    qputenv("SAT_EMULADOR_AGORA", kNow);
    usePath(QStringLiteral("estado.txt"));
}

void TestEmulator::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
}

// A path not seen before is a factory device: the engine loads the state when the path changes.
void TestEmulator::usePath(const QString& name)
{
    m_statePath = m_dir->filePath(name);
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(m_statePath));
}

void TestEmulator::activate()
{
    QCOMPARE(eeeee(AtivarSAT(++m_session, 1, kCode, kTaxpayer, 35)), QStringLiteral("04000"));
}

void TestEmulator::associate()
{
    QCOMPARE(fieldsOf(AssociarAssinatura(++m_session, kCode, kBoth, sampleSignature().constData())).value(1),
             QStringLiteral("13000"));
}

QByteArray TestEmulator::sample() const
{
    const QByteArray text = readFile(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"));
    return text;
}

QStringList TestEmulator::sell()
{
    return fieldsOf(EnviarDadosVenda(++m_session, kCode, sample().constData()));
}

void TestEmulator::factoryDevice_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expected");
    QTest::newRow("state query") << 0 << QString() << "08000";
    QTest::newRow("status, factory code") << 1 << "31415926"
                                          << "10000";
    QTest::newRow("status, other code") << 1 << "12345678"
                                        << "10001";
    QTest::newRow("log, factory code") << 2 << "31415926"
                                       << "15000";
    QTest::newRow("network, factory code") << 3 << "31415926"
                                           << "12000";
    QTest::newRow("network, other code") << 3 << "87654321"
                                         << "12001";
    QTest::newRow("sale") << 4 << "31415926"
                          << "06002";
    QTest::newRow("end-to-end test") << 5 << "31415926"
                                     << "09002";
    QTest::newRow("session query") << 6 << "31415926"
                                   << "11002";
    QTest::newRow("block") << 7 << "31415926"
                           << "16099";
    QTest::newRow("association") << 8 << "31415926"
                                 << "13099";
    QTest::newRow("code change") << 9 << "31415926"
                                 << "18099";
    QTest::newRow("cancellation") << 10 << "31415926"
                                  << "07099";
    QTest::newRow("update") << 11 << "31415926"
                            << "14099";
    QTest::newRow("unblock") << 12 << "31415926"
                             << "17099";
}

void TestEmulator::factoryDevice()
{
    QFETCH(int, command);
    QFETCH(QString, code);
    QFETCH(QString, expected);
    const QByteArray c = code.toLatin1();
    const QByteArray doc = sample();
    const char* answer = nullptr;
    switch (command) {
    case 0:
        answer = ConsultarSAT(7);
        break;
    case 1:
        answer = ConsultarStatusOperacional(7, c.constData());
        break;
    case 2:
        answer = ExtrairLogs(7, c.constData());
        break;
    case 3:
        answer = ConfigurarInterfaceDeRede(7, c.constData(), kFixedNetwork);
        break;
    case 4:
        answer = EnviarDadosVenda(7, c.constData(), doc.constData());
        break;
    case 5:
        answer = TesteFimAFim(7, c.constData(), doc.constData());
        break;
    case 6:
        answer = ConsultarNumeroSessao(7, c.constData(), 1);
        break;
    case 7:
        answer = BloquearSAT(7, c.constData());
        break;
    case 8:
        answer = AssociarAssinatura(7, c.constData(), kBoth, sampleSignature().constData());
        break;
    case 9:
        answer = TrocarCodigoDeAtivacao(7, c.constData(), 1, "novo-codigo", "novo-codigo");
        break;
    case 10:
        answer = CancelarUltimaVenda(7, c.constData(), "CFe0", "<CFeCanc/>");
        break;
    case 11:
        answer = AtualizarSoftwareSAT(7, c.constData());
        break;
    default:
        answer = DesbloquearSAT(7, c.constData());
        break;
    }
    QVERIFY(answer);
    QVERIFY(QByteArray(answer).startsWith("7|"));
    QVERIFY(QByteArray(answer).contains(expected.toLatin1()));
    const ErroSAT record = CodigoErro();
    QCOMPARE(record.codigo, 0);
    QVERIFY2(recordText().startsWith(expected + " - "), record.mensagem);
}

void TestEmulator::activation_data()
{
    QTest::addColumn<int>("subCommand");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("cnpj");
    QTest::addColumn<int>("uf");
    QTest::addColumn<QString>("expected");
    QTest::newRow("valid") << 1 << QByteArray(kCode) << QByteArray(kTaxpayer) << 35 << "04000";
    QTest::newRow("ICP-Brasil") << 2 << QByteArray(kCode) << QByteArray(kTaxpayer) << 23 << "04006";
    QTest::newRow("wrong check digit") << 1 << QByteArray(kCode) << QByteArray("44555666000182") << 35 << "04002";
    QTest::newRow("punctuated") << 1 << QByteArray(kCode) << QByteArray("44.555.666/0001-81") << 35 << "04002";
    QTest::newRow("null CNPJ") << 1 << QByteArray(kCode) << QByteArray() << 35 << "04002";
    QTest::newRow("code of 7") << 1 << QByteArray("1234567") << QByteArray(kTaxpayer) << 35 << "04099";
    QTest::newRow("code of 33") << 1 << QByteArray(33, 'a') << QByteArray(kTaxpayer) << 35 << "04099";
    QTest::newRow("null code") << 1 << QByteArray() << QByteArray(kTaxpayer) << 35 << "04099";
    QTest::newRow("subcommand 4") << 4 << QByteArray(kCode) << QByteArray(kTaxpayer) << 35 << "04099";
    QTest::newRow("unknown state") << 1 << QByteArray(kCode) << QByteArray(kTaxpayer) << 99 << "04099";
}

void TestEmulator::activation()
{
    QFETCH(int, subCommand);
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, cnpj);
    QFETCH(int, uf);
    QFETCH(QString, expected);
    const char* answer = AtivarSAT(11, subCommand, code.isNull() ? nullptr : code.constData(),
                                   cnpj.isNull() ? nullptr : cnpj.constData(), uf);
    const QStringList fields = fieldsOf(answer);
    QCOMPARE(fields.value(0), QStringLiteral("11"));
    QCOMPARE(fields.value(1), expected);
    QVERIFY(recordText().startsWith(expected + " - "));
    if (expected == QLatin1String("04000") || expected == QLatin1String("04006")) {
        QCOMPARE(fields.size(), 6);
        QVERIFY(fields.at(5).startsWith(QLatin1String("-----BEGIN CERTIFICATE REQUEST-----\n")));
        QVERIFY(fields.at(5).endsWith(QLatin1String("\n-----END CERTIFICATE REQUEST-----")));
    } else {
        QCOMPARE(fields.size(), 5);
        QVERIFY(!QByteArray(answer).contains("BEGIN"));
    }
}

void TestEmulator::activationTwice()
{
    activate();
    QCOMPARE(eeeee(AtivarSAT(2, 1, "outro-codigo", kSoftwareHouse, 35)), QStringLiteral("04003"));
    // The factory code no longer opens the device; the taxpayer's does.
    QCOMPARE(eeeee(ConsultarStatusOperacional(3, "31415926")), QStringLiteral("10001"));
    QCOMPARE(eeeee(ConsultarStatusOperacional(4, kCode)), QStringLiteral("10000"));
}

void TestEmulator::wrongCodeOnceActivated_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("expected");
    QTest::newRow("association") << 0 << "13001";
    QTest::newRow("network") << 1 << "12001";
    QTest::newRow("update") << 2 << "14001";
    QTest::newRow("code change") << 3 << "18001";
    QTest::newRow("certificate") << 4 << "05001";
    QTest::newRow("end-to-end test") << 5 << "09001";
    QTest::newRow("block") << 6 << "16001";
    QTest::newRow("unblock") << 7 << "17001";
    QTest::newRow("status") << 8 << "10001";
    QTest::newRow("session query") << 9 << "11001";
    QTest::newRow("sale") << 10 << "06001";
    QTest::newRow("cancellation") << 11 << "07001";
    QTest::newRow("log") << 12 << "15001";
}

void TestEmulator::wrongCodeOnceActivated()
{
    QFETCH(int, command);
    QFETCH(QString, expected);
    activate();
    associate();
    const char wrong[] = "codigo-errado";
    const QByteArray doc = sample();
    const char* answer = nullptr;
    switch (command) {
    case 0:
        answer = AssociarAssinatura(5, wrong, kBoth, sampleSignature().constData());
        break;
    case 1:
        answer = ConfigurarInterfaceDeRede(5, wrong, kFixedNetwork);
        break;
    case 2:
        answer = AtualizarSoftwareSAT(5, wrong);
        break;
    case 3:
        answer = TrocarCodigoDeAtivacao(5, wrong, 1, "novo-codigo", "novo-codigo");
        break;
    case 4:
        answer = ComunicarCertificadoICPBRASIL(5, wrong, "x");
        break;
    case 5:
        answer = TesteFimAFim(5, wrong, doc.constData());
        break;
    case 6:
        answer = BloquearSAT(5, wrong);
        break;
    case 7:
        answer = DesbloquearSAT(5, wrong);
        break;
    case 8:
        answer = ConsultarStatusOperacional(5, wrong);
        break;
    case 9:
        answer = ConsultarNumeroSessao(5, wrong, 1);
        break;
    case 10:
        answer = EnviarDadosVenda(5, wrong, doc.constData());
        break;
    case 11:
        answer = CancelarUltimaVenda(5, wrong, "CFe0", "<CFeCanc/>");
        break;
    default:
        answer = ExtrairLogs(5, nullptr);
        break;
    }
    QVERIFY(QByteArray(answer).contains("|" + expected.toLatin1() + "|"));
    QCOMPARE(recordText(), expected + QStringLiteral(" - Codigo de ativacao invalido"));
}

void TestEmulator::association_data()
{
    QTest::addColumn<QByteArray>("cnpjs");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<QString>("expected");
    const QByteArray base64Signature = QByteArray(340, 'A') + "b+/=";
    QTest::newRow("sample signature") << QByteArray(kBoth) << sampleSignature() << "13000";
    QTest::newRow("Base64 signature") << QByteArray(kBoth) << base64Signature << "13000";
    QTest::newRow("other taxpayer") << QByteArray("1122233300018111222333000181") << sampleSignature() << "13004";
    QTest::newRow("software house check digit")
        << QByteArray("1122233300018244555666000181") << sampleSignature() << "13004";
    QTest::newRow("taxpayer first") << QByteArray("4455566600018111222333000181") << sampleSignature() << "13004";
    QTest::newRow("27 digits") << QByteArray(kBoth).left(27) << sampleSignature() << "13004";
    QTest::newRow("null CNPJs") << QByteArray() << sampleSignature() << "13004";
    QTest::newRow("343 characters") << QByteArray(kBoth) << QByteArray(343, '0') << "13003";
    QTest::newRow("345 characters") << QByteArray(kBoth) << QByteArray(345, '0') << "13003";
    QTest::newRow("outside Base64") << QByteArray(kBoth) << QByteArray(343, '0') + "*"
                                    << "13003";
    QTest::newRow("null signature") << QByteArray(kBoth) << QByteArray() << "13003";
}

void TestEmulator::association()
{
    QFETCH(QByteArray, cnpjs);
    QFETCH(QByteArray, signature);
    QFETCH(QString, expected);
    activate();
    const QStringList fields = fieldsOf(AssociarAssinatura(21, kCode, cnpjs.isNull() ? nullptr : cnpjs.constData(),
                                                           signature.isNull() ? nullptr : signature.constData()));
    QCOMPARE(fields.size(), 6);
    QCOMPARE(fields.at(1), expected);
    QCOMPARE(fields.at(2), QStringLiteral("0000"));
    QCOMPARE(recordText(), expected + " - " + fields.at(3));
}

void TestEmulator::endToEndTest()
{
    // Any activated device takes the built-in sample: no association, another taxpayer.
    QCOMPARE(eeeee(AtivarSAT(1, 1, kCode, kSoftwareHouse, 35)), QStringLiteral("04000"));
    const QStringList fields = fieldsOf(TesteFimAFim(2, kCode, sample().constData()));
    QCOMPARE(fields.size(), 9);
    QCOMPARE(fields.at(1), QStringLiteral("09000"));
    QCOMPARE(fields.at(6), QString::fromLatin1(kNow));
    QCOMPARE(fields.at(7), QStringLiteral("000001"));
    QVERIFY(fields.at(8).startsWith(QLatin1String("CFe")));
    QVERIFY(keyCheckDigitHolds(fields.at(8).mid(3)));
    QVERIFY(QByteArray::fromBase64(fields.at(5).toLatin1()).contains("Id=\"" + fields.at(8).toLatin1() + "\""));

    QCOMPARE(eeeee(TesteFimAFim(3, kCode, "<CFe><infCFe>")), QStringLiteral("09099"));
    QCOMPARE(eeeee(TesteFimAFim(4, kCode, nullptr)), QStringLiteral("09099"));
}

void TestEmulator::saleIssuesReceipt()
{
    activate();
    associate();
    const QStringList fields = sell();
    QCOMPARE(fields.size(), 12);
    QCOMPARE(fields.at(1), QStringLiteral("06000"));
    QVERIFY(recordText().contains(QLatin1String("6000")));
    QCOMPARE(fields.at(7), QString::fromLatin1(kNow));
    QCOMPARE(fields.at(9), QStringLiteral("2.10"));
    QCOMPARE(fields.at(10), QString());
    QCOMPARE(fields.at(11).size(), 344);

    // cUF, AAMM of the clock, issuer, model 59, serial, receipt number, random code, check digit.
    const QString key = fields.at(8).mid(3);
    QVERIFY(fields.at(8).startsWith(QLatin1String("CFe")));
    QCOMPARE(key.left(2), QStringLiteral("35"));
    QCOMPARE(key.mid(2, 4), QStringLiteral("2403"));
    QCOMPARE(key.mid(6, 14), QString::fromLatin1(kTaxpayer));
    QCOMPARE(key.mid(20, 2), QStringLiteral("59"));
    const QString serial = fieldsOf(ConsultarStatusOperacional(3, kCode)).value(5);
    QCOMPARE(key.mid(22, 9), serial);
    QCOMPARE(key.mid(31, 6), QStringLiteral("000001"));
    QVERIFY(keyCheckDigitHolds(key));

    const QByteArray receipt = QByteArray::fromBase64(fields.at(6).toLatin1());
    QVERIFY(receipt.contains("<infCFe "));
    QVERIFY(receipt.contains("Id=\"CFe" + key.toLatin1() + "\""));
    QVERIFY(receipt.contains("<dEmi>20240315</dEmi><hEmi>103000</hEmi>"));
    QVERIFY(receipt.contains("<vCFe>2.10</vCFe>"));
    QVERIFY(receipt.contains("<vTroco>30.90</vTroco>"));
    QVERIFY(receipt.contains("<Signature"));

    const QStringList second = sell();
    QCOMPARE(second.value(8).mid(3 + 31, 6), QStringLiteral("000002"));
}

void TestEmulator::exampleDocuments_data()
{
    QTest::addColumn<QString>("sale");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("customer");
    QTest::newRow("sample") << "venda.xml"
                            << "2.10"
                            << "";
    QTest::newRow("two items") << "venda-dois-itens.xml"
                               << "17.50"
                               << "12345678909";
}

// The shipped documents work as the walk-through uses them: sell, then cancel with the template.
void TestEmulator::exampleDocuments()
{
    QFETCH(QString, sale);
    QFETCH(QString, total);
    QFETCH(QString, customer);
    activate();
    associate();
    const QByteArray document = readFile(QStringLiteral(SAT_EXAMPLES_DIR "/") + sale);
    QVERIFY(!document.isEmpty());
    const QStringList fields = fieldsOf(EnviarDadosVenda(71, kCode, document.constData()));
    QCOMPARE(fields.value(1), QStringLiteral("06000"));
    QCOMPARE(fields.value(9), total);
    QCOMPARE(fields.value(10), customer);

    QByteArray cancellation = readFile(QStringLiteral(SAT_EXAMPLES_DIR "/cancelamento-modelo.xml"));
    cancellation.replace("CFe00000000000000000000000000000000000000000000", fields.value(8).toLatin1());
    QCOMPARE(eeeee(CancelarUltimaVenda(72, kCode, fields.value(8).toLatin1().constData(), cancellation.constData())),
             QStringLiteral("07000"));
}

void TestEmulator::saleRefused_data()
{
    QTest::addColumn<int>("setup"); // 0 associated, 1 not associated, 2 associated and blocked
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no association") << 1 << QByteArray() << QByteArray() << "06003";
    QTest::newRow("blocked") << 2 << QByteArray() << QByteArray() << "06006";
    QTest::newRow("malformed XML") << 0 << QByteArray("</CFe>") << QByteArray("</CF>") << "06010";
    QTest::newRow("no item") << 0 << QByteArray("<det nItem='1'>") << QByteArray("<xdet nItem='1'>") << "06010";
    QTest::newRow("other root") << 0 << QByteArray("CFe>") << QByteArray("NFe>") << "06010";
    QTest::newRow("payment below total") << 0 << QByteArray("33.00") << QByteArray("2.09") << "06010";
    QTest::newRow("doctype") << 0 << QByteArray("<CFe>") << QByteArray("<!DOCTYPE CFe [<!ENTITY a 'b'>]><CFe>")
                             << "06010";
    QTest::newRow("other signature") << 0 << QByteArray("<signAC>0") << QByteArray("<signAC>1") << "06004";
    QTest::newRow("other software house")
        << 0 << QByteArray("11222333000181") << QByteArray("11222333000262") << "06004";
    QTest::newRow("other issuer") << 0 << QByteArray("44555666000181") << QByteArray("11222333000181") << "06004";
    QTest::newRow("empty document") << 0 << QByteArray("*") << QByteArray() << "06010";
    QTest::newRow("over 1500 KB") << 0 << QByteArray("</CFe>") << QByteArray("</CFe>") + QByteArray(1536001, ' ')
                                  << "06005";
}

void TestEmulator::saleRefused()
{
    QFETCH(int, setup);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, expected);
    activate();
    if (setup != 1)
        associate();
    if (setup == 2)
        QCOMPARE(eeeee(BloquearSAT(31, kCode)), QStringLiteral("16000"));
    QByteArray doc = sample();
    if (from == "*")
        doc.clear();
    else if (!from.isEmpty())
        doc.replace(from, to);
    const QStringList fields = fieldsOf(EnviarDadosVenda(32, kCode, doc.constData()));
    QCOMPARE(fields.size(), 6);
    QCOMPARE(fields.at(1), expected);
    QVERIFY(!recordText().contains(QLatin1String("6000")));
    // A refused sale leaves nothing to cancel.
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("cancelamento-ultima-venda.xml"))));
}

void TestEmulator::cancellationWindow_data()
{
    QTest::addColumn<QByteArray>("later");
    QTest::addColumn<QString>("expected");
    QTest::newRow("at once") << QByteArray(kNow) << "07000";
    QTest::newRow("29 minutes") << QByteArray("20240315105900") << "07000";
    QTest::newRow("30 minutes") << QByteArray("20240315110000") << "07000";
    QTest::newRow("30 minutes and 1 second") << QByteArray("20240315110001") << "07002";
    QTest::newRow("31 minutes") << QByteArray("20240315110100") << "07002";
    QTest::newRow("next day") << QByteArray("20240316103000") << "07002";
    QTest::newRow("clock set back") << QByteArray("20240315102959") << "07002";
}

void TestEmulator::cancellationWindow()
{
    QFETCH(QByteArray, later);
    QFETCH(QString, expected);
    activate();
    associate();
    const QString key = sell().value(8);
    const QByteArray document = readFile(m_dir->filePath(QStringLiteral("cancelamento-ultima-venda.xml")));
    qputenv("SAT_EMULADOR_AGORA", later);
    const QStringList fields
        = fieldsOf(CancelarUltimaVenda(41, kCode, key.toLatin1().constData(), document.constData()));
    QCOMPARE(fields.value(1), expected);
    QCOMPARE(fields.size(), expected == QLatin1String("07000") ? 12 : 6);
    QCOMPARE(recordText().contains(QLatin1String("7000")), expected == QLatin1String("07000"));
}

void TestEmulator::cancellationRefused_data()
{
    QTest::addColumn<int>("sales");
    QTest::addColumn<QString>("keyChange"); // "" as sold, "digits" without CFe, "other" another key
    QTest::addColumn<QByteArray>("documentChange");
    QTest::addColumn<QString>("expected");
    QTest::newRow("key without prefix") << 1 << "digits" << QByteArray() << "07002";
    QTest::newRow("no sale") << 0 << "" << QByteArray() << "07002";
    QTest::newRow("another key") << 1 << "other" << QByteArray() << "07002";
    QTest::newRow("not the last sale") << 2 << "first" << QByteArray() << "07002";
    QTest::newRow("chCanc differs") << 1 << "" << QByteArray("chCanc") << "07007";
    QTest::newRow("malformed") << 1 << "" << QByteArray("malformed") << "07007";
    QTest::newRow("other signature") << 1 << "" << QByteArray("signAC") << "07007";
    QTest::newRow("null document") << 1 << "" << QByteArray("null") << "07007";
}

void TestEmulator::cancellationRefused()
{
    QFETCH(int, sales);
    QFETCH(QString, keyChange);
    QFETCH(QByteArray, documentChange);
    QFETCH(QString, expected);
    activate();
    associate();
    QString first;
    QString key = QStringLiteral("CFe35240344555666000181599000000010000011234568");
    for (int i = 0; i < sales; ++i) {
        key = sell().value(8);
        if (i == 0)
            first = key;
    }
    QByteArray document = "<CFeCanc><infCFe chCanc=\"" + key.toLatin1() + "\"><ide><CNPJ>11222333000181</CNPJ><signAC>"
        + sampleSignature()
        + "</signAC><numeroCaixa>115</numeroCaixa></ide><emit/><dest/><total/>"
          "</infCFe></CFeCanc>";
    if (documentChange == "chCanc")
        document.replace("chCanc=\"CFe3", "chCanc=\"CFe4");
    else if (documentChange == "malformed")
        document.chop(3);
    else if (documentChange == "signAC")
        document.replace("<signAC>0", "<signAC>1");
    if (keyChange == QLatin1String("digits"))
        key = key.mid(3);
    else if (keyChange == QLatin1String("other"))
        key.replace(40, 1, key.at(40) == QLatin1Char('1') ? QStringLiteral("2") : QStringLiteral("1"));
    else if (keyChange == QLatin1String("first"))
        key = first;
    const char* answer = CancelarUltimaVenda(51, kCode, key.toLatin1().constData(),
                                             documentChange == "null" ? nullptr : document.constData());
    QCOMPARE(eeeee(answer), expected);
    QCOMPARE(fieldsOf(answer).size(), expected == QLatin1String("07000") ? 12 : 6);
}

void TestEmulator::readyCancellationDocument()
{
    activate();
    associate();
    const QStringList sale = sell();
    const QString path = m_dir->filePath(QStringLiteral("cancelamento-ultima-venda.xml"));
    const QByteArray document = readFile(path);
    QVERIFY(document.contains("chCanc=\"" + sale.value(8).toLatin1() + "\""));

    const QStringList fields
        = fieldsOf(CancelarUltimaVenda(61, kCode, sale.value(8).toLatin1().constData(), document.constData()));
    QCOMPARE(fields.value(1), QStringLiteral("07000"));
    QCOMPARE(fields.value(9), QStringLiteral("2.10"));
    const QString cancellationKey = fields.value(8).mid(3);
    QVERIFY(keyCheckDigitHolds(cancellationKey));
    QCOMPARE(cancellationKey.mid(31, 6), QStringLiteral("000002"));
    const QByteArray receipt = QByteArray::fromBase64(fields.value(6).toLatin1());
    QVERIFY(receipt.contains("<CFeCanc>"));
    QVERIFY(receipt.contains("chCanc=\"" + sale.value(8).toLatin1() + "\""));
    QVERIFY(!QFile::exists(path));

    // The sale is gone once cancelled.
    QCOMPARE(eeeee(CancelarUltimaVenda(62, kCode, sale.value(8).toLatin1().constData(), document.constData())),
             QStringLiteral("07002"));
}

void TestEmulator::sessionStore()
{
    activate();
    associate();
    const QByteArray sale = EnviarDadosVenda(500, kCode, sample().constData());
    QCOMPARE(ConsultarNumeroSessao(501, kCode, 500), sale.constData());
    QCOMPARE(recordText(), QStringLiteral("11000 - Sessao encontrada"));

    QCOMPARE(eeeee(ConsultarNumeroSessao(502, kCode, 499)), QStringLiteral("11003"));
    QCOMPARE(eeeee(ConsultarNumeroSessao(503, kCode, -1)), QStringLiteral("11003"));
    QCOMPARE(eeeee(ConsultarNumeroSessao(504, kCode, 1000000)), QStringLiteral("11003"));
    // The query's own answers are not kept.
    QCOMPARE(eeeee(ConsultarNumeroSessao(505, kCode, 501)), QStringLiteral("11003"));

    for (int session = 600; session < 699; ++session)
        ConsultarSAT(session);
    QCOMPARE(ConsultarNumeroSessao(506, kCode, 500), sale.constData());
    ConsultarSAT(699);
    QCOMPARE(eeeee(ConsultarNumeroSessao(507, kCode, 500)), QStringLiteral("11003"));
    QCOMPARE(eeeee(ConsultarNumeroSessao(508, kCode, 600)), QStringLiteral("08000"));
}

void TestEmulator::sessionNumbersOutOfRange_data()
{
    QTest::addColumn<int>("session");
    QTest::addColumn<bool>("valid");
    QTest::newRow("-1") << -1 << false;
    QTest::newRow("0") << 0 << true;
    QTest::newRow("999999") << 999999 << true;
    QTest::newRow("1000000") << 1000000 << false;
    QTest::newRow("INT_MIN") << std::numeric_limits<int>::min() << false;
}

void TestEmulator::sessionNumbersOutOfRange()
{
    QFETCH(int, session);
    QFETCH(bool, valid);
    QCOMPARE(eeeee(ConsultarSAT(session)), valid ? QStringLiteral("08000") : QStringLiteral("08099"));
    QCOMPARE(eeeee(ExtrairLogs(session, "31415926")), valid ? QStringLiteral("15000") : QStringLiteral("15099"));
    QCOMPARE(eeeee(ConsultarNumeroSessao(1, "31415926", session)), QStringLiteral("11002"));
}

void TestEmulator::operationalStatus()
{
    const QStringList factory = fieldsOf(ConsultarStatusOperacional(1, "31415926"));
    QCOMPARE(factory.size(), 28);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{9}$")).match(factory.at(5)).hasMatch());
    QCOMPARE(factory.at(6), QStringLiteral("DHCP"));
    QCOMPARE(factory.at(17), QString::fromLatin1(kNow));
    QCOMPARE(factory.at(27), QStringLiteral("0"));

    activate();
    associate();
    QCOMPARE(eeeee(ConfigurarInterfaceDeRede(2, kCode, kFixedNetwork)), QStringLiteral("12000"));
    const QString key = sell().value(8).mid(3);
    BloquearSAT(3, kCode);
    const QStringList fields = fieldsOf(ConsultarStatusOperacional(4, kCode));
    QCOMPARE(fields.size(), 28);
    QCOMPARE(fields.mid(6, 3), QStringList({"IPFIX", "192.168.000.010", fields.at(8)}));
    QCOMPARE(fields.at(9), QStringLiteral("255.255.255.000"));
    QCOMPARE(fields.at(10), QStringLiteral("192.168.000.001"));
    QCOMPARE(fields.at(11), QStringLiteral("192.168.000.002"));
    QCOMPARE(fields.at(12), QStringLiteral("010.001.001.001"));
    QCOMPARE(fields.at(20), key);
    QCOMPARE(fields.at(23), QString::fromLatin1(kNow));
    QCOMPARE(fields.at(25), QStringLiteral("20240315"));
    QCOMPARE(fields.at(26), QStringLiteral("20290315"));
    QCOMPARE(fields.at(27), QStringLiteral("2"));
}

void TestEmulator::blockAndUnblock()
{
    activate();
    associate();
    QCOMPARE(eeeee(DesbloquearSAT(1, kCode)), QStringLiteral("17005"));
    QCOMPARE(eeeee(BloquearSAT(2, kCode)), QStringLiteral("16000"));
    QCOMPARE(eeeee(BloquearSAT(3, kCode)), QStringLiteral("16002"));
    QCOMPARE(sell().value(1), QStringLiteral("06006"));
    QCOMPARE(eeeee(DesbloquearSAT(4, kCode)), QStringLiteral("17000"));
    QCOMPARE(sell().value(1), QStringLiteral("06000"));
}

void TestEmulator::network_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("fixed address") << QByteArray() << QByteArray() << "12000";
    QTest::newRow("DHCP") << QByteArray("<tipoLan>IPFIX</tipoLan>") << QByteArray("<tipoLan>DHCP</tipoLan>") << "12000";
    QTest::newRow("proxy with address")
        << QByteArray("<proxy>0</proxy><proxy_ip/><proxy_porta/>")
        << QByteArray("<proxy>1</proxy><proxy_ip>010.000.000.001</proxy_ip><proxy_porta>3128</proxy_porta>") << "12000";
    QTest::newRow("transparent proxy") << QByteArray("<proxy>0</proxy>") << QByteArray("<proxy>2</proxy>") << "12000";
    QTest::newRow("proxy without address")
        << QByteArray("<proxy>0</proxy>") << QByteArray("<proxy>1</proxy>") << "12002";
    QTest::newRow("octet over 255") << QByteArray("192.168.000.010") << QByteArray("192.168.000.256") << "12002";
    QTest::newRow("gateway elsewhere") << QByteArray("<lanGW>192.168.000.001") << QByteArray("<lanGW>10.0.0.1")
                                       << "12002";
    QTest::newRow("non-contiguous mask") << QByteArray("255.255.255.000") << QByteArray("255.000.255.000") << "12002";
    QTest::newRow("unknown lan type") << QByteArray("IPFIX") << QByteArray("FIXO") << "12002";
    QTest::newRow("unknown element") << QByteArray("<proxy_user/>") << QByteArray("<usuarioProxy/>") << "12002";
    QTest::newRow("repeated element") << QByteArray("<proxy_user/>") << QByteArray("<proxy_user/><proxy_user/>")
                                      << "12002";
    QTest::newRow("malformed") << QByteArray("</config>") << QByteArray("</conf>") << "12002";
    QTest::newRow("empty") << QByteArray("*") << QByteArray() << "12002";
}

void TestEmulator::network()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, expected);
    QByteArray doc(kFixedNetwork);
    if (from == "*")
        doc.clear();
    else if (!from.isEmpty())
        doc.replace(from, to);
    QCOMPARE(eeeee(ConfigurarInterfaceDeRede(1, "31415926", doc.constData())), expected);
    // A refused document leaves the earlier settings in place.
    const QString lanType = fieldsOf(ConsultarStatusOperacional(2, "31415926")).value(6);
    QCOMPARE(lanType == QLatin1String("IPFIX"), expected == QLatin1String("12000") && doc.contains("IPFIX"));
}

void TestEmulator::activationCodeChange_data()
{
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<int>("option");
    QTest::addColumn<QByteArray>("newCode");
    QTest::addColumn<QByteArray>("confirmation");
    QTest::addColumn<QString>("expected");
    QTest::newRow("with the current code")
        << QByteArray(kCode) << 1 << QByteArray("novo-codigo") << QByteArray("novo-codigo") << "18000";
    QTest::newRow("with the emergency code")
        << QByteArray("emergencia-sat-0") << 2 << QByteArray("novo-codigo") << QByteArray("novo-codigo") << "18000";
    QTest::newRow("current code as emergency")
        << QByteArray(kCode) << 2 << QByteArray("novo-codigo") << QByteArray("novo-codigo") << "18002";
    QTest::newRow("emergency code as current")
        << QByteArray("emergencia-sat-0") << 1 << QByteArray("novo-codigo") << QByteArray("novo-codigo") << "18001";
    QTest::newRow("option 3") << QByteArray(kCode) << 3 << QByteArray("novo-codigo") << QByteArray("novo-codigo")
                              << "18099";
    QTest::newRow("confirmation differs")
        << QByteArray(kCode) << 1 << QByteArray("novo-codigo") << QByteArray("novo-codigO") << "18099";
    QTest::newRow("new code of 7") << QByteArray(kCode) << 1 << QByteArray("1234567") << QByteArray("1234567")
                                   << "18099";
    QTest::newRow("null new code") << QByteArray(kCode) << 1 << QByteArray() << QByteArray() << "18099";
}

void TestEmulator::activationCodeChange()
{
    QFETCH(QByteArray, current);
    QFETCH(int, option);
    QFETCH(QByteArray, newCode);
    QFETCH(QByteArray, confirmation);
    QFETCH(QString, expected);
    activate();
    QCOMPARE(
        eeeee(TrocarCodigoDeAtivacao(1, current.constData(), option, newCode.isNull() ? nullptr : newCode.constData(),
                                     confirmation.isNull() ? nullptr : confirmation.constData())),
        expected);
    const bool changed = expected == QLatin1String("18000");
    QCOMPARE(eeeee(ConsultarStatusOperacional(2, "novo-codigo")),
             changed ? QStringLiteral("10000") : QStringLiteral("10001"));
    QCOMPARE(eeeee(ConsultarStatusOperacional(3, kCode)), changed ? QStringLiteral("10001") : QStringLiteral("10000"));
}

void TestEmulator::certificateAndUpdate()
{
    activate();
    const char certificate[] = "-----BEGIN CERTIFICATE-----\nMIIBszCCAVmgAwIBAgIU\nAAAA\n-----END CERTIFICATE-----\n";
    // The device takes a certificate only after it asked for one.
    QCOMPARE(eeeee(AtivarSAT(1, 3, kCode, kTaxpayer, 35)), QStringLiteral("04006"));
    QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(2, kCode, "certificado")), QStringLiteral("05003"));
    QCOMPARE(
        eeeee(ComunicarCertificadoICPBRASIL(3, kCode, "-----BEGIN CERTIFICATE-----\n*\n-----END CERTIFICATE-----")),
        QStringLiteral("05003"));
    QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(4, kCode, nullptr)), QStringLiteral("05003"));
    QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(1, kCode, certificate)), QStringLiteral("05000"));
    QCOMPARE(fieldsOf(AtualizarSoftwareSAT(5, kCode)).mid(1, 1), QStringList {"14000"});
    QCOMPARE(fieldsOf(AtualizarSoftwareSAT(6, kCode)).size(), 5);
}

void TestEmulator::logExtraction()
{
    activate();
    const QStringList fields = fieldsOf(ExtrairLogs(1, kCode));
    QCOMPARE(fields.size(), 6);
    QCOMPARE(fields.at(1), QStringLiteral("15000"));
    const QList<QByteArray> lines = QByteArray::fromBase64(fields.at(5).toLatin1()).split('\n');
    QVERIFY(lines.size() >= 3);
    QCOMPARE(lines.last(), QByteArray());
    const QRegularExpression shape(QStringLiteral("^\\d{14}\\|SAT\\|info\\|[ -~]+$"));
    for (int i = 0; i + 1 < lines.size(); ++i)
        QVERIFY2(shape.match(QString::fromLatin1(lines.at(i))).hasMatch(), lines.at(i).constData());
    QVERIFY(lines.at(lines.size() - 2).startsWith(QByteArray(kNow) + "|SAT|info|AtivarSAT sessao "));
}

void TestEmulator::persistenceAcrossReload()
{
    activate();
    associate();
    const QByteArray sale = EnviarDadosVenda(700, kCode, sample().constData());
    const QByteArray saved = readFile(m_statePath);
    QVERIFY(saved.startsWith("sat-emulador-estado 1\n"));
    QVERIFY(saved.endsWith("fim\n"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"cancelamento-ultima-venda.xml", "estado.txt", "estado.txt.lock"}));

    usePath(QStringLiteral("outro.txt"));
    QCOMPARE(eeeee(ConsultarStatusOperacional(701, "31415926")), QStringLiteral("10000"));

    usePath(QStringLiteral("estado.txt"));
    QCOMPARE(eeeee(ConsultarStatusOperacional(702, "31415926")), QStringLiteral("10001"));
    QCOMPARE(ConsultarNumeroSessao(703, kCode, 700), sale.constData());
    const QStringList second = sell();
    QCOMPARE(second.value(1), QStringLiteral("06000"));
    QCOMPARE(second.value(8).mid(3 + 31, 6), QStringLiteral("000002"));
}

void TestEmulator::unreadableStateSetAside_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("garbage") << QByteArray("\x00\x01garbage\xff", 11);
    QTest::newRow("other version") << QByteArray("sat-emulador-estado 9\nfim\n");
    QTest::newRow("cut short") << QByteArray("sat-emulador-estado 1\nativado=0\n");
}

void TestEmulator::unreadableStateSetAside()
{
    QFETCH(QByteArray, content);
    {
        QFile file(m_statePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QCOMPARE(eeeee(ConsultarStatusOperacional(1, "31415926")), QStringLiteral("10000"));
    const QString asideName = QStringLiteral("estado.txt.ilegivel-") + QString::fromLatin1(kNow);
    QCOMPARE(readFile(m_dir->filePath(asideName)), content);
    QVERIFY(readFile(m_statePath).startsWith("sat-emulador-estado 1\n"));
    const QByteArray log = QByteArray::fromBase64(fieldsOf(ExtrairLogs(2, "31415926")).value(5).toLatin1());
    QVERIFY(log.contains("Arquivo de estado ilegivel"));
    QVERIFY(log.contains(asideName.toLatin1()));
}

void TestEmulator::transportFaults_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("code");
    QTest::newRow("port") << QByteArray("1") << 1;
    QTest::newRow("not recognised") << QByteArray("4") << 4;
    QTest::newRow("time-out") << QByteArray("8000") << 0x8000;
    QTest::newRow("no CTS") << QByteArray("8001") << 0x8001;
    QTest::newRow("time-out with prefix") << QByteArray("0x8000") << 0x8000;
    QTest::newRow("other value") << QByteArray("2") << 0;
}

void TestEmulator::transportFaults()
{
    QFETCH(QByteArray, value);
    QFETCH(int, code);
    qputenv("SAT_EMULADOR_FALHA", value);
    const char* answer = AtivarSAT(1, 1, kCode, kTaxpayer, 35);
    const ErroSAT record = CodigoErro();
    QCOMPARE(record.codigo, code);
    if (code == 0) {
        QCOMPARE(eeeee(answer), QStringLiteral("04000"));
        return;
    }
    QCOMPARE(answer, "");
    QVERIFY(std::strlen(record.mensagem) > 10);
    QVERIFY(!QByteArray(record.mensagem).contains(" - "));
    QCOMPARE(ConsultarSAT(2), "");
    QCOMPARE(CodigoErro().codigo, code);

    // The device never saw the activation.
    qunsetenv("SAT_EMULADOR_FALHA");
    QCOMPARE(eeeee(AtivarSAT(3, 1, kCode, kTaxpayer, 35)), QStringLiteral("04000"));
    QCOMPARE(CodigoErro().codigo, 0);
}

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
