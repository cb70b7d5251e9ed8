// The emulator refuses, through the C functions, what a device refuses in the sale and cancellation documents:
// each rule broken on its own in an otherwise valid document, with its EEEEE, its rejection code and its reason.
#include "commands/sampledocument.h"
#include "dllsat.h"
#include "validationrows.h"

#include <QtTest>

namespace {

const char kCode[] = "codigo-teste";
const char kTaxpayer[] = "44555666000181";
const char kBoth[] = "1122233300018144555666000181";
const char kNow[] = "20240315103000";
const char kKeyForm[] = "Cupom invalido: a chave deve ser CFe seguido de 44 digitos";

QStringList fieldsOf(const char* answer)
{
    return QString::fromLatin1(answer).split(QLatin1Char('|'));
}

} // namespace

using namespace validationrows;

class TestEmulatorValidation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void saleAccepted_data();
    void saleAccepted();
    void saleRefused_data();
    void saleRefused();
    void builtInSample();
    void cancellationKeyArgument_data();
    void cancellationKeyArgument();
    void cancellationRefused_data();
    void cancellationRefused();

private:
    QStringList sell(const QByteArray& document);

    QTemporaryDir m_dir;
    int m_session = 2000;
};

void TestEmulatorValidation::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qunsetenv("SAT_EMULADOR_FALHA");
    qputenv("SAT_EMULADOR_AGORA", kNow);
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(m_dir.filePath(QStringLiteral("estado.txt"))));
    QCOMPARE(fieldsOf(AtivarSAT(++m_session, 1, kCode, kTaxpayer, 35)).value(1), QStringLiteral("04000"));
    QCOMPARE(fieldsOf(AssociarAssinatura(++m_session, kCode, kBoth, QByteArray(344, '0').constData())).value(1),
             QStringLiteral("13000"));
}

void TestEmulatorValidation::cleanupTestCase()
{
    qunsetenv("SAT_EMULADOR_ESTADO");
    qunsetenv("SAT_EMULADOR_AGORA");
}

void TestEmulatorValidation::init()
{
    // Sales and cancellations of earlier rows must not leave the 30-minute window behind.
    qputenv("SAT_EMULADOR_AGORA", kNow);
}

QStringList TestEmulatorValidation::sell(const QByteArray& document)
{
    return fieldsOf(EnviarDadosVenda(++m_session, kCode, document.constData()));
}

void TestEmulatorValidation::saleAccepted_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("total");
    QTest::newRow("as shipped") << QByteArray() << QByteArray() << "17.50";
    QTest::newRow("version 0.06") << QByteArray("\"0.07\"") << QByteArray("\"0.06\"") << "17.50";
    QTest::newRow("version 0.08") << QByteArray("\"0.07\"") << QByteArray("\"0.08\"") << "17.50";
    QTest::newRow("service item") << kIcms00 + "||" + kCofinsAliq << "||" + kCofinsAliq + kIssqn << "17.50";
    QTest::newRow("exempt item") << kIcms00 + "||" + kPisAliq + "||" + kCofinsAliq
                                 << QByteArray("<ICMS><ICMS40><Orig>1</Orig><CST>41</CST></ICMS40></ICMS>||"
                                               "<PIS><PISNT><CST>04</CST></PISNT></PIS>||"
                                               "<COFINS><COFINSNT><CST>06</CST></COFINSNT></COFINS>")
                                 << "17.50";
    QTest::newRow("simples nacional") << kIcms00 + "||" + kPisAliq + "||" + kCofinsAliq
                                      << QByteArray(
                                             "<ICMS><ICMSSN102><Orig>0</Orig><CSOSN>500</CSOSN></ICMSSN102></ICMS>||"
                                             "<PIS><PISSN><CST>49</CST></PISSN></PIS>||"
                                             "<COFINS><COFINSSN><CST>49</CST></COFINSSN></COFINS>")
                                      << "17.50";
    QTest::newRow("rates by quantity")
        << kIcms00 + "||" + kPisAliq + "||" + kCofinsAliq
        << QByteArray(
               "<ICMS><ICMSSN900><Orig>0</Orig><CSOSN>900</CSOSN><pICMS>1.25</pICMS></ICMSSN900></ICMS>||"
               "<PIS><PISQtde><CST>03</CST><qBCProd>3.0000</qBCProd><vAliqProd>0.1000</vAliqProd></PISQtde></PIS>"
               "<PISST><qBCProd>3.0000</qBCProd><vAliqProd>0.0100</vAliqProd></PISST>||"
               "<COFINS><COFINSOutr><CST>99</CST><qBCProd>3.0000</qBCProd><vAliqProd>0.2000</vAliqProd></COFINSOutr>"
               "</COFINS><COFINSST><vBC>1.00</vBC><pCOFINS>0.0100</pCOFINS></COFINSST>")
        << "17.50";
    // Sizes are in characters: each of these letters is two bytes of UTF-8.
    QTest::newRow("accented texts at their longest") << QByteArray("<xProd>Cafe torrado 500 g</xProd>||<uCom>un<")
                                                     << QByteArray("<xProd>") + QString(120, QChar(0xe7)).toUtf8()
            + "</xProd>||<uCom>" + QString(6, QChar(0xe3)).toUtf8() + "<"
                                                     << "17.50";
    QTest::newRow("every optional field")
        << QByteArray("<CPF>12345678909</CPF>||</dest>||<cProd>0001</cProd>||<xProd>Cafe torrado 500 g</xProd>||"
                      "<vDesc>1.00</vDesc>||</prod><imposto>||<vDescSubtot>0.50</vDescSubtot>||</DescAcrEntr>||"
                      "<cMP>03</cMP><vMP>10.00</vMP>||</pgto>")
        << QByteArray("<CNPJ>11222333000181</CNPJ><xNome>Cliente</xNome>||</dest><entrega><xLgr>Rua A</xLgr>"
                      "<nro>10</nro><xCpl>fundos</xCpl><xBairro>Centro</xBairro><xMun>Santos</xMun><UF>SP</UF>"
                      "</entrega>||<cProd>0001</cProd><cEAN>7891234567895</cEAN>||"
                      "<xProd>Cafe torrado 500 g</xProd><NCM>09012100</NCM><CEST>1700100</CEST>||"
                      "<vDesc>1.00</vDesc><vOutro>0.25</vOutro><obsFiscoDet xCampoDet=\"lote\">"
                      "<xTextoDet>A1</xTextoDet></obsFiscoDet>||</prod><imposto><vItem12741>1.00</vItem12741>||"
                      "<vAcresSubtot>0.10</vAcresSubtot>||</DescAcrEntr><vCFeLei12741>2.00</vCFeLei12741>||"
                      "<cMP>03</cMP><vMP>10.00</vMP><cAdmC>001</cAdmC>||"
                      "</pgto><infAdic><infCpl>Volte sempre</infCpl></infAdic>")
        << "18.35";
}

void TestEmulatorValidation::saleAccepted()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, total);
    QByteArray document = example("venda-dois-itens.xml");
    QVERIFY(!document.isEmpty());
    if (!from.isEmpty())
        QVERIFY(applyChanges(document, from, to));
    const QStringList fields = sell(document);
    QCOMPARE(fields.value(1), QStringLiteral("06000"));
    QCOMPARE(fields.value(2), QStringLiteral("0000"));
    QCOMPARE(fields.value(9), total);
}

void TestEmulatorValidation::saleRefused_data()
{
    addSaleRows();
}

void TestEmulatorValidation::saleRefused()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, code);
    QFETCH(QString, message);
    QByteArray document;
    QVERIFY(brokenSale(from, to, document));
    const QStringList fields = sell(document);
    QCOMPARE(fields.size(), 6);
    QCOMPARE(fields.at(1), QStringLiteral("06010"));
    QCOMPARE(fields.at(2), code);
    if (message.endsWith(QLatin1Char('*')))
        QVERIFY2(fields.at(3).startsWith(message.chopped(1)), qPrintable(fields.at(3)));
    else
        QCOMPARE(fields.at(3), message);
}

// The tool's end-to-end test sends its built-in document, which does not follow the layout: the test takes it on any
// activated device, a sale refuses it, for its version first and, that fixed, for the order of its groups.
void TestEmulatorValidation::builtInSample()
{
    const QByteArray sample = sampleSaleDocument();
    QCOMPARE(fieldsOf(TesteFimAFim(++m_session, kCode, sample.constData())).value(1), QStringLiteral("09000"));

    QStringList fields = sell(sample);
    QCOMPARE(fields.value(1), QStringLiteral("06010"));
    QCOMPARE(fields.value(2), QStringLiteral("1007"));

    QByteArray current = sample;
    current.replace("versaoDadosEnt='0.04'", "versaoDadosEnt='0.07'");
    fields = sell(current);
    QCOMPARE(fields.value(1), QStringLiteral("06010"));
    QCOMPARE(fields.value(2), QStringLiteral("1002"));
    QCOMPARE(fields.value(3),
             QStringLiteral("Rejeicao: infCFe/total fora da ordem do leiaute (deve vir antes de pgto)"));

    // The shipped example is that same sale in the layout's order.
    fields = sell(example("venda.xml"));
    QCOMPARE(fields.value(1), QStringLiteral("06000"));
    QCOMPARE(fields.value(9), QStringLiteral("2.10"));
}

void TestEmulatorValidation::cancellationKeyArgument_data()
{
    QTest::addColumn<QString>("form"); // how the sale's "CFe..." key is typed
    QTest::addColumn<QString>("expected");
    QTest::newRow("CFe and 44 digits") << "as sold"
                                       << "07000";
    for (const char* form : {"bare", "lower-case prefix", "43 digits", "a digit more", "leading space", "null"})
        QTest::newRow(form) << form << "07002";
}

void TestEmulatorValidation::cancellationKeyArgument()
{
    QFETCH(QString, form);
    QFETCH(QString, expected);
    const QString key = sell(example("venda.xml")).value(8);
    QVERIFY(key.startsWith(QLatin1String("CFe")));
    const QByteArray document = readFile(m_dir.filePath(QStringLiteral("cancelamento-ultima-venda.xml")));
    QString typed = key;
    if (form == QLatin1String("bare"))
        typed = key.mid(3);
    else if (form == QLatin1String("lower-case prefix"))
        typed = QStringLiteral("cfe") + key.mid(3);
    else if (form == QLatin1String("43 digits"))
        typed = key.chopped(1);
    else if (form == QLatin1String("a digit more"))
        typed = key + QLatin1Char('0');
    else if (form == QLatin1String("leading space"))
        typed = QLatin1Char(' ') + key;
    const QByteArray argument = typed.toLatin1();
    const QStringList fields = fieldsOf(CancelarUltimaVenda(
        ++m_session, kCode, form == QLatin1String("null") ? nullptr : argument.constData(), document.constData()));
    QCOMPARE(fields.value(1), expected);
    if (expected != QLatin1String("07000"))
        QCOMPARE(fields.value(3), QString::fromLatin1(kKeyForm));
}

void TestEmulatorValidation::cancellationRefused_data()
{
    addCancellationRows();
}

void TestEmulatorValidation::cancellationRefused()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, code);
    QFETCH(QString, message);
    const QByteArray key = sell(example("venda.xml")).value(8).toLatin1();
    QByteArray document;
    QVERIFY(brokenCancellation(readFile(m_dir.filePath(QStringLiteral("cancelamento-ultima-venda.xml"))), key, from, to,
                               document));
    const QStringList fields = fieldsOf(CancelarUltimaVenda(++m_session, kCode, key.constData(), document.constData()));
    QCOMPARE(fields.size(), 6);
    QCOMPARE(fields.at(1), QStringLiteral("07007"));
    QCOMPARE(fields.at(2), code);
    if (message.endsWith(QLatin1Char('*')))
        QVERIFY2(fields.at(3).startsWith(message.chopped(1)), qPrintable(fields.at(3)));
    else
        QCOMPARE(fields.at(3), message);
}

QTEST_GUILESS_MAIN(TestEmulatorValidation)
#include "tst_emulatorvalidation.moc"
