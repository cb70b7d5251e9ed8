// The CF-e read into what the extract shows, and the formatting of its values.
#include "cfeformat.h"
#include "cfereceipt.h"
#include "issuedreceipts.h"

#include <QtTest>

using namespace satresults;

namespace {

QByteArray fixture(const char* name)
{
    QFile file(QStringLiteral(RESULTS_DATA_DIR "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString example(const char* name)
{
    return QStringLiteral(SAT_EXAMPLES_DIR "/") + QLatin1String(name);
}

} // namespace

class TestCfeReceipt : public QObject {
    Q_OBJECT

private slots:
    void emulatorSale();
    void emulatorSaleWithDiscountsAndPayments();
    void emulatorCancellation();
    void cancellationPairsWithItsSale();
    void emulatorEndToEndTest();
    void fullLayout();
    void missingOptionalGroups();
    void textAsCarried_data();
    void textAsCarried();
    void notACfe_data();
    void notACfe();
    void money_data();
    void money();
    void identifiers_data();
    void identifiers();
};

void TestCfeReceipt::emulatorSale()
{
    IssuedReceipts device;
    QVERIFY(device.ready());
    const IssuedReceipts::Issued sale = device.sell(example("venda.xml"));
    QVERIFY(!sale.xml.isEmpty());
    const CfeParseResult parsed = parseCfeReceipt(sale.xml);
    QVERIFY2(parsed.ok, qPrintable(parsed.error));
    const CfeReceipt& r = parsed.receipt;
    QCOMPARE(r.kind, CfeReceipt::Kind::Sale);
    QVERIFY(r.testEnvironment);
    QCOMPARE(QStringLiteral("CFe") + r.key, sale.fields.value(8));
    QCOMPARE(r.date + r.time, sale.fields.value(7));
    QCOMPARE(r.total, sale.fields.value(9));
    QCOMPARE(r.consumerId, sale.fields.value(10));
    QCOMPARE(r.qrCodeSignature, sale.fields.value(11));
    QCOMPARE(r.serial, QStringLiteral("900000001"));
    QCOMPARE(r.number, QStringLiteral("000001"));
    QCOMPARE(r.cnpj, QStringLiteral("44555666000181"));
    QCOMPARE(r.items.size(), 1);
    QCOMPARE(r.payments.size(), 1);
    // The answer's own QR fields are the reference: timestamp, total, consumer and signature as the device gave them.
    QCOMPARE(
        qrCodeText(r),
        QStringList({r.key, sale.fields.value(7), sale.fields.value(9), QString(), sale.fields.value(11)}).join(u'|'));
    QCOMPARE(receiptFileName(r), QStringLiteral("CFe") + r.key + QStringLiteral(".xml"));
}

void TestCfeReceipt::emulatorSaleWithDiscountsAndPayments()
{
    IssuedReceipts device;
    QVERIFY(device.ready());
    const CfeParseResult parsed = parseCfeReceipt(device.sell(example("venda-dois-itens.xml")).xml);
    QVERIFY2(parsed.ok, qPrintable(parsed.error));
    const CfeReceipt& r = parsed.receipt;
    QCOMPARE(r.items.size(), 2);
    const CfeItem& first = r.items.at(0);
    QCOMPARE(first.number, QStringLiteral("1"));
    QCOMPARE(first.code, QStringLiteral("0001"));
    QCOMPARE(first.description, QStringLiteral("Cafe torrado 500 g"));
    QCOMPARE(first.quantity, QStringLiteral("3.0000"));
    QCOMPARE(first.unit, QStringLiteral("un"));
    QCOMPARE(first.unitPrice, QStringLiteral("4.50"));
    QCOMPARE(first.productValue, QStringLiteral("13.50"));
    QCOMPARE(first.discount, QStringLiteral("1.00"));
    QCOMPARE(first.itemValue, QStringLiteral("12.50"));
    QCOMPARE(r.items.at(1).discount, QString());
    QCOMPARE(r.subtotalDiscount, QStringLiteral("0.50"));
    QCOMPARE(r.subtotalIncrease, QString());
    QCOMPARE(r.total, QStringLiteral("17.50"));
    QCOMPARE(r.consumerId, QStringLiteral("12345678909"));
    QVERIFY(!r.consumerIsCompany);
    QCOMPARE(r.payments.size(), 2);
    QCOMPARE(r.payments.at(0).method, QStringLiteral("01"));
    QCOMPARE(r.payments.at(1).method, QStringLiteral("03"));
    QCOMPARE(r.payments.at(1).amount, QStringLiteral("10.00"));
    QCOMPARE(r.change, QStringLiteral("2.50"));
    QVERIFY(qrCodeText(r).contains(QLatin1String("|17.50|12345678909|")));
}

void TestCfeReceipt::emulatorCancellation()
{
    IssuedReceipts device;
    QVERIFY(device.ready());
    const IssuedReceipts::Issued sale = device.sell(example("venda-dois-itens.xml"));
    const IssuedReceipts::Issued cancellation = device.cancelLast();
    QVERIFY(!cancellation.xml.isEmpty());
    const CfeParseResult parsed = parseCfeReceipt(cancellation.xml);
    QVERIFY2(parsed.ok, qPrintable(parsed.error));
    const CfeReceipt& r = parsed.receipt;
    QCOMPARE(r.kind, CfeReceipt::Kind::Cancellation);
    QCOMPARE(QStringLiteral("CFe") + r.cancelledKey, sale.fields.value(8));
    QCOMPARE(QStringLiteral("CFe") + r.key, cancellation.fields.value(8));
    QVERIFY(r.key != r.cancelledKey);
    QCOMPARE(r.cancelledDate + r.cancelledTime, sale.fields.value(7));
    QCOMPARE(r.date + r.time, cancellation.fields.value(7));
    QCOMPARE(r.total, QStringLiteral("17.50"));
    QCOMPARE(r.consumerId, QStringLiteral("12345678909"));
    QCOMPARE(r.qrCodeSignature, cancellation.fields.value(11));
    QCOMPARE(receiptFileName(r), QStringLiteral("CFeCanc") + r.key + QStringLiteral(".xml"));
}

// A cancellation is paired with its own sale only, by chCanc; what it carries of itself marks the sale.
void TestCfeReceipt::cancellationPairsWithItsSale()
{
    IssuedReceipts device;
    QVERIFY(device.ready());
    const CfeReceipt other = parseCfeReceipt(device.sell(example("venda.xml")).xml).receipt;
    const CfeReceipt sale = parseCfeReceipt(device.sell(example("venda-dois-itens.xml")).xml).receipt;
    const IssuedReceipts::Issued issued = device.cancelLast();
    const CfeReceipt cancellation = parseCfeReceipt(issued.xml).receipt;
    QVERIFY(isAccessKey(other.key) && isAccessKey(sale.key) && isAccessKey(cancellation.key));

    const std::optional<SaleCancellation> found = saleCancellation(sale, cancellation);
    QVERIFY(found);
    QCOMPARE(QStringLiteral("CFe") + found->key, issued.fields.value(8));
    QCOMPARE(found->date + found->time, issued.fields.value(7));

    CfeReceipt withoutChCanc = cancellation;
    withoutChCanc.cancelledKey.clear();
    const struct {
        const CfeReceipt& sale;
        const CfeReceipt& cancellation;
        const char* why;
    } refused[] = {{other, cancellation, "não da venda"},
                   {cancellation, cancellation, "é um cancelamento, não uma venda"},
                   {sale, other, "é uma venda, não um cancelamento"},
                   {sale, withoutChCanc, "falta chCanc"}};
    for (const auto& row : refused) {
        QString why;
        QVERIFY(!saleCancellation(row.sale, row.cancellation, &why));
        QVERIFY2(why.contains(QString::fromUtf8(row.why)), qPrintable(why));
    }
}

void TestCfeReceipt::emulatorEndToEndTest()
{
    IssuedReceipts device;
    QVERIFY(device.ready());
    const IssuedReceipts::Issued test = device.endToEnd(example("venda.xml"));
    const CfeParseResult parsed = parseCfeReceipt(test.xml);
    QVERIFY2(parsed.ok, qPrintable(parsed.error));
    QVERIFY(parsed.receipt.testEnvironment);
    QCOMPARE(QStringLiteral("CFe") + parsed.receipt.key, test.fields.value(8));
}

// Groups the emulator does not issue, in the tax authority's namespace.
void TestCfeReceipt::fullLayout()
{
    const CfeParseResult parsed = parseCfeReceipt(fixture("cfe-completo.xml"));
    QVERIFY2(parsed.ok, qPrintable(parsed.error));
    const CfeReceipt& r = parsed.receipt;
    QVERIFY(!r.testEnvironment);
    QCOMPARE(r.tradeName, QStringLiteral("PADARIA BOM DIA"));
    QCOMPARE(r.name, QStringLiteral("PADARIA & CONFEITARIA BOM DIA LTDA"));
    QCOMPARE(r.issuerDisplayName(), r.tradeName);
    QCOMPARE(r.address.street, QStringLiteral("RUA DAS ACACIAS"));
    QCOMPARE(r.address.number, QStringLiteral("1500"));
    QCOMPARE(r.address.complement, QStringLiteral("LOJA 2"));
    QCOMPARE(r.address.district, QStringLiteral("JARDIM PAULISTA"));
    QCOMPARE(r.address.city, QStringLiteral("SAO PAULO"));
    QCOMPARE(r.address.postalCode, QStringLiteral("01415002"));
    QCOMPARE(r.consumerId, QStringLiteral("11222333000181"));
    QVERIFY(r.consumerIsCompany);
    QCOMPARE(r.consumerName, QStringLiteral("EMPRESA COMPRADORA <FILIAL>"));
    QCOMPARE(r.items.at(0).unitPrice, QStringLiteral("39.900"));
    QCOMPARE(r.items.at(0).discountApportioned, QStringLiteral("0.49"));
    QCOMPARE(r.items.at(1).increase, QStringLiteral("1.00"));
    QCOMPARE(r.items.at(1).increaseApportioned, QStringLiteral("0.00"));
    QCOMPARE(r.productsTotal, QStringLiteral("61.26"));
    QCOMPARE(r.approximateTaxes, QStringLiteral("12.40"));
    QCOMPARE(r.notes, QStringLiteral("Volte sempre!\nPedido 4521 - mesa 7"));
    QCOMPARE(r.payments.value(0).method, QStringLiteral("07"));
    QCOMPARE(qrCodeText(r),
             QStringLiteral("35240444555666000181599000000010001231234566|20240401235959|1234567.38|11222333000181|"
                            "QUFBQUFBQUFBQUFB+/="));
}

void TestCfeReceipt::missingOptionalGroups()
{
    const CfeParseResult parsed = parseCfeReceipt(fixture("cfe-minimo.xml"));
    QVERIFY2(parsed.ok, qPrintable(parsed.error));
    const CfeReceipt& r = parsed.receipt;
    QCOMPARE(r.consumerId, QString());
    QCOMPARE(r.consumerName, QString());
    QVERIFY(r.payments.isEmpty());
    QCOMPARE(r.change, QString());
    QCOMPARE(r.notes, QString());
    QCOMPARE(r.tradeName, QString());
    QCOMPARE(r.issuerDisplayName(), QStringLiteral("CONTRIBUINTE"));
    QCOMPARE(r.address.street, QString());
    QCOMPARE(r.ie, QString());
    QCOMPARE(qrCodeText(r).count(u'|'), 4);
    QVERIFY(qrCodeText(r).contains(QLatin1String("|5.00||c2lnbmF0dXJl")));
}

void TestCfeReceipt::textAsCarried_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("name");
    const QByteArray head = "<CFe><infCFe Id=\"CFe35240444555666000181599000000010000070000017\"><emit><xNome>";
    const QByteArray tail = "</xNome></emit></infCFe></CFe>";
    QTest::newRow("blank between entities") << head + "&amp; &amp;" + tail << "& &";
    QTest::newRow("character references") << head + "P&#xE3;o &#233;" + tail << "Pão é";
    QTest::newRow("CDATA") << head + "<![CDATA[<b>A</b> & B]]>" + tail << "<b>A</b> & B";
    QTest::newRow("surrounding blanks kept") << head + " A " + tail << " A ";
    QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + head + "Pa\xC3\xA7oca" + tail << "Paçoca";
    QTest::newRow("declared ISO-8859-1") << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + head + "Pa\xE7oca"
            + tail << "Paçoca";
}

void TestCfeReceipt::textAsCarried()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, name);
    const CfeParseResult parsed = parseCfeReceipt(xml);
    QVERIFY2(parsed.ok, qPrintable(parsed.error));
    QCOMPARE(parsed.receipt.name, name);
}

void TestCfeReceipt::notACfe_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("message");
    const QByteArray issued = fixture("cfe-minimo.xml");
    QTest::newRow("empty") << QByteArray() << "vazio";
    QTest::newRow("blank") << QByteArray(" \n\t ") << "vazio";
    QTest::newRow("plain text") << QByteArray("numeroSessao|06000|0000|Emitido com sucesso") << "bem formado";
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe<\x01", 5) << "XML";
    QTest::newRow("another root") << QByteArray("<?xml version=\"1.0\"?><NFe><infNFe/></NFe>") << "<NFe>";
    QTest::newRow("CFe without infCFe") << QByteArray("<CFe><ide/></CFe>") << "infCFe";
    QTest::newRow("cancellation without infCFe") << QByteArray("<CFeCanc/>") << "infCFe";
    QTest::newRow("sale data not yet issued") << fixture("../../../examples/venda.xml") << "não tem chave";
    QTest::newRow("short key") << QByteArray("<CFe><infCFe Id=\"CFe3524\"/></CFe>") << "44 dígitos";
    QTest::newRow("key with letters") << QByteArray(
        "<CFe><infCFe Id=\"CFe3524034455566600018159900000001000002317062X\"/></CFe>")
                                      << "44 dígitos";
    QTest::newRow("truncated receipt") << issued.left(issued.size() / 2) << "incompleto";
    QTest::newRow("two roots") << QByteArray("<CFe/><CFe/>") << "bem formado";
    QTest::newRow("deep nesting") << QByteArray("<CFe>") + QByteArray("<a>").repeated(5000) << "aninhado";
    QTest::newRow("entity bomb") << QByteArray(
        "<?xml version=\"1.0\"?><!DOCTYPE CFe [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;"
        "&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;"
        "&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]><CFe>&e;&e;&e;</CFe>")
                                 << "XML";
}

void TestCfeReceipt::notACfe()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, message);
    const CfeParseResult parsed = parseCfeReceipt(input);
    QVERIFY(!parsed.ok);
    QVERIFY2(parsed.error.contains(message), qPrintable(parsed.error));
    QCOMPARE(parsed.receipt.key, QString());
}

void TestCfeReceipt::money_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("valid");
    QTest::newRow("two decimals") << "2.10"
                                  << "2,10" << true;
    QTest::newRow("one decimal") << "2.1"
                                 << "2,10" << true;
    QTest::newRow("integer") << "7"
                             << "7,00" << true;
    QTest::newRow("zero") << "0.00"
                          << "0,00" << true;
    QTest::newRow("bare zero") << "0"
                               << "0,00" << true;
    QTest::newRow("leading zeros") << "000012.30"
                                   << "12,30" << true;
    QTest::newRow("half rounds up") << "0.005"
                                    << "0,01" << true;
    QTest::newRow("below half rounds down") << "0.0049"
                                            << "0,00" << true;
    QTest::newRow("double would round 1.005 down") << "1.005"
                                                   << "1,01" << true;
    QTest::newRow("carry through every digit") << "999.995"
                                               << "1.000,00" << true;
    QTest::newRow("thousands") << "1234567.38"
                               << "1.234.567,38" << true;
    QTest::newRow("beyond a double's digits") << "12345678901234567890.99"
                                              << "12.345.678.901.234.567.890,99" << true;
    QTest::newRow("surrounding blanks") << " 3.50 "
                                        << "3,50" << true;
    QTest::newRow("negative kept as carried") << "-1.00"
                                              << "-1.00" << false;
    QTest::newRow("comma kept as carried") << "1,00"
                                           << "1,00" << false;
    QTest::newRow("two points") << "1.2.3"
                                << "1.2.3" << false;
    QTest::newRow("no integer part") << ".50"
                                     << ".50" << false;
    QTest::newRow("exponent") << "1e3"
                              << "1e3" << false;
    QTest::newRow("empty") << ""
                           << "" << false;
}

void TestCfeReceipt::money()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(bool, valid);
    bool ok = !valid;
    QCOMPARE(formatMoney(text, &ok), expected);
    QCOMPARE(ok, valid);
}

void TestCfeReceipt::identifiers_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("input2");
    QTest::addColumn<QString>("expected");
    QTest::newRow("CNPJ") << "cnpj"
                          << "44555666000181"
                          << ""
                          << "44.555.666/0001-81";
    QTest::newRow("CNPJ too short") << "cnpj"
                                    << "4455566600018"
                                    << ""
                                    << "4455566600018";
    QTest::newRow("CPF") << "cpf"
                         << "12345678909"
                         << ""
                         << "123.456.789-09";
    QTest::newRow("CPF with letters") << "cpf"
                                      << "1234567890A"
                                      << ""
                                      << "1234567890A";
    QTest::newRow("consumer CPF") << "consumer"
                                  << "12345678909"
                                  << ""
                                  << "123.456.789-09";
    QTest::newRow("consumer CNPJ") << "consumer"
                                   << "11222333000181"
                                   << ""
                                   << "11.222.333/0001-81";
    QTest::newRow("date and time") << "datetime"
                                   << "20240315"
                                   << "103000"
                                   << "15/03/2024 - 10:30:00";
    QTest::newRow("last second of a leap day") << "datetime"
                                               << "20240229"
                                               << "235959"
                                               << "29/02/2024 - 23:59:59";
    QTest::newRow("no such day") << "datetime"
                                 << "20230229"
                                 << "103000"
                                 << "20230229 103000";
    QTest::newRow("month 13") << "datetime"
                              << "20241301"
                              << "103000"
                              << "20241301 103000";
    QTest::newRow("hour 24") << "datetime"
                             << "20240315"
                             << "240000"
                             << "20240315 240000";
    QTest::newRow("time missing") << "datetime"
                                  << "20240315"
                                  << ""
                                  << "20240315";
    QTest::newRow("key") << "key"
                         << "35240344555666000181599000000010000023170624"
                         << ""
                         << "3524 0344 5556 6600 0181 5990 0000 0010 0000 2317 0624";
    QTest::newRow("key of 43 digits") << "key"
                                      << "3524034455566600018159900000001000002317062"
                                      << ""
                                      << "3524034455566600018159900000001000002317062";
    QTest::newRow("number padded") << "number"
                                   << "123"
                                   << ""
                                   << "000123";
    QTest::newRow("number as carried") << "number"
                                       << "000002"
                                       << ""
                                       << "000002";
    QTest::newRow("number not numeric") << "number"
                                        << "12a"
                                        << ""
                                        << "12a";
    QTest::newRow("serial") << "serial"
                            << "900000001"
                            << ""
                            << "900.000.001";
    QTest::newRow("serial too long") << "serial"
                                     << "9000000012"
                                     << ""
                                     << "9000000012";
    QTest::newRow("quantity keeps its decimals") << "quantity"
                                                 << "1.2345"
                                                 << ""
                                                 << "1,2345";
    QTest::newRow("quantity garbage") << "quantity"
                                      << "x"
                                      << ""
                                      << "x";
    QTest::newRow("unit price of three decimals") << "price"
                                                  << "39.900"
                                                  << ""
                                                  << "39,900";
    QTest::newRow("unit price of one decimal") << "price"
                                               << "4.5"
                                               << ""
                                               << "4,50";
    QTest::newRow("cash") << "payment"
                          << "01"
                          << ""
                          << "Dinheiro";
    QTest::newRow("credit card") << "payment"
                                 << "03"
                                 << ""
                                 << "Cartão de Crédito";
    QTest::newRow("debit card") << "payment"
                                << "04"
                                << ""
                                << "Cartão de Débito";
    QTest::newRow("store credit") << "payment"
                                  << "05"
                                  << ""
                                  << "Crédito Loja";
    QTest::newRow("meal voucher") << "payment"
                                  << "11"
                                  << ""
                                  << "Vale Refeição";
    QTest::newRow("fuel voucher") << "payment"
                                  << "13"
                                  << ""
                                  << "Vale Combustível";
    QTest::newRow("others") << "payment"
                            << "99"
                            << ""
                            << "Outros";
    QTest::newRow("unknown code") << "payment"
                                  << "07"
                                  << ""
                                  << "07";
    QTest::newRow("code without its zero") << "payment"
                                           << "1"
                                           << ""
                                           << "1";
}

void TestCfeReceipt::identifiers()
{
    QFETCH(QString, kind);
    QFETCH(QString, input);
    QFETCH(QString, input2);
    QFETCH(QString, expected);
    QString actual;
    if (kind == u"cnpj")
        actual = formatCnpj(input);
    else if (kind == u"cpf")
        actual = formatCpf(input);
    else if (kind == u"consumer")
        actual = formatConsumerId(input);
    else if (kind == u"datetime")
        actual = formatDateTime(input, input2);
    else if (kind == u"key")
        actual = formatKey(input);
    else if (kind == u"number")
        actual = formatExtractNumber(input);
    else if (kind == u"serial")
        actual = formatSerial(input);
    else if (kind == u"quantity")
        actual = formatQuantity(input);
    else if (kind == u"price")
        actual = formatUnitPrice(input);
    else if (kind == u"payment")
        actual = paymentMethodName(input);
    else
        QFAIL("unknown kind");
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestCfeReceipt)
#include "tst_cfereceipt.moc"
