#include "accesskey.h"
#include "base64encoder.h"
#include "decimal.h"
#include "devicestate.h"
#include "documents.h"

#include <QtTest>

using namespace satemu;

class TestEmulatorEngine : public QObject {
    Q_OBJECT

private slots:
    void checkDigit_data();
    void checkDigit();
    void keyLayout();
    void base64_data();
    void base64();
    void decimal_data();
    void decimal();
    void stateRoundTrip();
    void stateRejected_data();
    void stateRejected();
    void networkAddressesNormalised();
    void saleTotals();
};

void TestEmulatorEngine::checkDigit_data()
{
    QTest::addColumn<QString>("first43");
    QTest::addColumn<int>("digit");
    // Sums worked by hand, weights 2..9 from the right: 597 mod 11 = 3, digit 11 - 3 = 8.
    QTest::newRow("sale key") << "3524034455566600018159900000001000001123456" << 8;
    // 432 mod 11 = 3: digit 8.
    QTest::newRow("software house issuer") << "3524031122233300018159900000001000042000000" << 8;
    // 1094 mod 11 = 5: digit 6.
    QTest::newRow("last number of the range") << "3599124455566600018159900000001999999999999" << 6;
    // 6 x 2 = 12, 12 mod 11 = 1, 11 - 1 = 10: digit 0.
    QTest::newRow("ten gives zero") << "0000000000000000000000000000000000000000006" << 0;
    // Sum 0, 11 - 0 = 11: digit 0.
    QTest::newRow("eleven gives zero") << "0000000000000000000000000000000000000000000" << 0;
    QTest::newRow("42 digits") << "352403445556660001815990000000100000112345" << -1;
    QTest::newRow("letter") << "352403445556660001815990000000100000112345A" << -1;
}

void TestEmulatorEngine::checkDigit()
{
    QFETCH(QString, first43);
    QFETCH(int, digit);
    QCOMPARE(AccessKey::checkDigit(first43.toStdString()), digit);
}

void TestEmulatorEngine::keyLayout()
{
    AccessKey::Parts parts;
    parts.uf = 35;
    parts.yearMonth = "2403";
    parts.issuerCnpj = "44555666000181";
    parts.serial = "900000001";
    parts.receiptNumber = 1;
    parts.randomCode = 123456;
    QCOMPARE(AccessKey::build(parts), std::string("35240344555666000181599000000010000011234568"));
    QVERIFY(AccessKey::isValid("35240344555666000181599000000010000011234568"));
    QVERIFY(!AccessKey::isValid("35240344555666000181599000000010000011234567"));

    parts.receiptNumber = 1000000;
    QVERIFY(AccessKey::build(parts).empty());
}

void TestEmulatorEngine::base64_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("f") << QByteArray("f") << QByteArray("Zg==");
    QTest::newRow("fo") << QByteArray("fo") << QByteArray("Zm8=");
    QTest::newRow("foo") << QByteArray("foo") << QByteArray("Zm9v");
    QTest::newRow("foobar") << QByteArray("foobar") << QByteArray("Zm9vYmFy");
    QTest::newRow("high bytes") << QByteArray("\xff\xfe\x00\x80", 4) << QByteArray("//4AgA==");
}

void TestEmulatorEngine::base64()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, encoded);
    const std::string out = encodeBase64(data.toStdString());
    QCOMPARE(QByteArray::fromStdString(out), encoded);
    QVERIFY(isBase64Text(out));
}

void TestEmulatorEngine::decimal_data()
{
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("product"); // rounded to cents, empty when an input is refused
    QTest::newRow("sample item") << "1.0000"
                                 << "2.100"
                                 << "2.10";
    QTest::newRow("half cent rounds up") << "0.5000"
                                         << "0.01"
                                         << "0.01";
    QTest::newRow("below half cent rounds down") << "0.3333"
                                                 << "0.01"
                                                 << "0.00";
    QTest::newRow("three decimals of price") << "3"
                                             << "1.999"
                                             << "6.00";
    QTest::newRow("no integer part") << ".5"
                                     << "1"
                                     << "";
    QTest::newRow("sign") << "-1"
                          << "1"
                          << "";
    QTest::newRow("five decimals") << "1.00001"
                                   << "1"
                                   << "";
    QTest::newRow("comma") << "1,5"
                           << "1"
                           << "";
    QTest::newRow("fourteen integer digits") << "12345678901234"
                                             << "1"
                                             << "";
}

void TestEmulatorEngine::decimal()
{
    QFETCH(QString, quantity);
    QFETCH(QString, price);
    QFETCH(QString, product);
    Decimal q;
    Decimal p;
    const bool read = Decimal::parse(quantity.toStdString(), q, 4) && Decimal::parse(price.toStdString(), p, 3);
    QCOMPARE(read, !product.isEmpty());
    if (!read)
        return;
    QVERIFY(q.multiply(p));
    QCOMPARE(QString::fromStdString(q.roundedToCents().format(2)), product);
}

void TestEmulatorEngine::stateRoundTrip()
{
    DeviceState state;
    state.activated = true;
    state.activationCode = "c%d|e\nx=1";
    state.taxpayerCnpj = "44555666000181";
    state.uf = 35;
    state.certificateType = 2;
    state.activatedAt = "20240315103000";
    state.blocked = true;
    state.network.lanType = "IPFIX";
    state.network.ip = "192.168.000.010";
    state.network.password = "s\xe9nha";
    state.receiptNumber = 42;
    state.hasLastSale = true;
    state.saleKey = "35240344555666000181599000000010000011234568";
    state.saleIssuedAt = "20240315103000";
    state.saleTotal = "2.10";
    state.sessions.put(7, "7|06000|0000|Emitido||\nlinha");
    state.sessions.put(8, "8|08000|SAT em operacao||");
    state.log.add(DateTime::fromSeconds(0), "primeira");

    DeviceState read;
    std::string error;
    QVERIFY2(DeviceState::parse(state.serialise(), read, error), error.c_str());
    QCOMPARE(read.serialise(), state.serialise());
    QCOMPARE(read.activationCode, state.activationCode);
    QCOMPARE(read.network.password, state.network.password);
    QCOMPARE(read.sessions.entries().size(), size_t(2));
    QCOMPARE(*read.sessions.find(7), std::string("7|06000|0000|Emitido||\nlinha"));
    QCOMPARE(read.log.lines().front(), std::string("19700101000000|SAT|info|primeira"));
}

void TestEmulatorEngine::stateRejected_data()
{
    DeviceState factory;
    const QByteArray valid = QByteArray::fromStdString(factory.serialise());
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("other version") << QByteArray(valid).replace("estado 1", "estado 2");
    QTest::newRow("cut before the end mark") << valid.left(valid.indexOf("fim"));
    QTest::newRow("cut mid line") << valid.left(valid.size() - 2);
    QTest::newRow("unknown key") << QByteArray(valid).replace("bloqueado=0", "bloqueio=0");
    QTest::newRow("bad boolean") << QByteArray(valid).replace("bloqueado=0", "bloqueado=sim");
    QTest::newRow("bad escape") << QByteArray(valid).replace("codigoAtivacao=", "codigoAtivacao=%G1");
    QTest::newRow("content after the end") << valid + "ativado=1\n";
    QTest::newRow("activated without taxpayer") << QByteArray(valid).replace("ativado=0", "ativado=1");
    QTest::newRow("session out of range") << QByteArray(valid).replace("fim\n", "sessao=1000000 x\nfim\n");
}

void TestEmulatorEngine::stateRejected()
{
    QFETCH(QByteArray, text);
    DeviceState read;
    read.receiptNumber = 5;
    std::string error;
    QVERIFY(!DeviceState::parse(text.toStdString(), read, error));
    QVERIFY(!error.empty());
    QCOMPARE(read.receiptNumber, 5);
}

void TestEmulatorEngine::networkAddressesNormalised()
{
    const std::string document = "<config><tipoInter>ETHE</tipoInter><tipoLan>IPFIX</tipoLan><lanIP>10.0.0.5</lanIP>"
                                 "<lanMask>255.0.0.0</lanMask><lanGW>10.0.0.1</lanGW><lanDNS1>8.8.8.8</lanDNS1>"
                                 "<proxy>1</proxy><proxy_ip>10.0.0.9</proxy_ip><proxy_porta>03128</proxy_porta>"
                                 "</config>";
    NetworkConfig config;
    std::string error;
    QVERIFY2(NetworkConfig::parse(document.data(), document.size(), config, error), error.c_str());
    QCOMPARE(config.ip, std::string("010.000.000.005"));
    QCOMPARE(config.mask, std::string("255.000.000.000"));
    QCOMPARE(config.dns2, std::string("000.000.000.000"));
    QCOMPARE(config.proxyIp, std::string("010.000.000.009"));
    QCOMPARE(config.proxyPort, std::string("3128"));
}

void TestEmulatorEngine::saleTotals()
{
    const std::string document
        = "<CFe><infCFe><ide><CNPJ>11222333000181</CNPJ><signAC>x</signAC><numeroCaixa>1</numeroCaixa></ide>"
          "<emit><CNPJ>44555666000181</CNPJ><IE>1</IE></emit><dest><CPF>12345678909</CPF></dest>"
          "<det nItem='1'><prod><cProd>1</cProd><xProd>A</xProd><qCom>3</qCom><vUnCom>1.999</vUnCom>"
          "<vDesc>0.50</vDesc></prod><imposto/></det>"
          "<det nItem='2'><prod><cProd>2</cProd><xProd>B</xProd><qCom>2.5</qCom><vUnCom>4</vUnCom>"
          "<vOutro>1.00</vOutro></prod><imposto/></det>"
          "<total><DescAcrEntr><vDescSubtot>0.25</vDescSubtot></DescAcrEntr></total>"
          "<pgto><MP><cMP>01</cMP><vMP>10.00</vMP></MP><MP><cMP>03</cMP><vMP>10.00</vMP></MP></pgto></infCFe></CFe>";
    std::string error;
    const std::unique_ptr<SaleDocument> sale = SaleDocument::parse(document.data(), document.size(), error);
    QVERIFY2(sale, error.c_str());
    // 6.00 - 0.50 + 10.00 + 1.00 - 0.25
    QCOMPARE(sale->productsTotal.format(2), std::string("16.00"));
    QCOMPARE(sale->total.format(2), std::string("16.25"));
    QCOMPARE(sale->change.format(2), std::string("3.75"));
    QCOMPARE(sale->customerId, std::string("12345678909"));
}

QTEST_GUILESS_MAIN(TestEmulatorEngine)
#include "tst_emulatorengine.moc"
