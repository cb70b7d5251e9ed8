// A test sale composed from a form's values: for each tax regime it passes the check and the real emulator sells it
// and cancels it; a wrong field is refused with the check's own rule and rejection code, on that field alone.
#include "cancellationrequest.h"
#include "cfereceipt.h"
#include "documentfaults.h"
#include "issuedreceipts.h"
#include "saledraft.h"

#include <QtTest>

using namespace satresults;
using Field = DraftFault::Field;

Q_DECLARE_METATYPE(satresults::TaxRegime)

namespace {

// The emulator's device of IssuedReceipts: its taxpayer, software house and signature.
SaleDraft shopDraft(TaxRegime regime)
{
    SaleDraft draft;
    draft.taxpayerCnpj = QStringLiteral("44.555.666/0001-81");
    draft.stateRegistration = QStringLiteral("111.111.111.111");
    draft.regime = regime;
    draft.softwareHouseCnpj = QStringLiteral("11222333000181");
    draft.signature = QString(344, u'0');
    draft.checkoutNumber = QStringLiteral("7");
    SaleItemDraft item = defaultItem(regime);
    item.code = QStringLiteral("0001");
    item.description = QStringLiteral("Café torrado 500 g");
    item.quantity = QStringLiteral("2");
    item.unitPrice = QStringLiteral("12,90");
    draft.items = {item};
    draft.payments = {{QStringLiteral("01"), QStringLiteral("30,00")}};
    return draft;
}

// Goods, a service and a consumer, paid two ways.
SaleDraft fullDraft(TaxRegime regime)
{
    SaleDraft draft = shopDraft(regime);
    draft.municipalRegistration = QStringLiteral("123123");
    draft.consumer = QStringLiteral("123.456.789-09");
    SaleItemDraft service = defaultItem(regime);
    service.code = QStringLiteral("S1");
    service.description = QStringLiteral("Instalação & ajuste <rápido>");
    service.quantity = QStringLiteral("1,5");
    service.unit = QStringLiteral("H");
    service.unitPrice = QStringLiteral("40");
    service.cfop = QStringLiteral("5933");
    service.icms = kServiceTax;
    draft.items.append(service);
    draft.payments = {{QStringLiteral("03"), QStringLiteral("50")}, {QStringLiteral("01"), QStringLiteral("35,80")}};
    return draft;
}

QString faultLines(const QList<DraftFault>& faults)
{
    QStringList lines;
    for (const DraftFault& fault : faults)
        lines << fault.text();
    return lines.join(u'\n');
}

} // namespace

class TestSaleDraft : public QObject {
    Q_OBJECT

private:
    IssuedReceipts device;

private slots:
    void initTestCase() { QVERIFY(device.ready()); }

    void soldAndCancelledInEachRegime_data()
    {
        QTest::addColumn<TaxRegime>("regime");
        QTest::addColumn<bool>("full");
        for (const Choice& regime : taxRegimes()) {
            const TaxRegime value = TaxRegime(regime.code.toInt());
            QTest::addRow("%s, one item", qPrintable(regime.label)) << value << false;
            QTest::addRow("%s, goods, a service and a consumer", qPrintable(regime.label)) << value << true;
        }
    }

    void soldAndCancelledInEachRegime()
    {
        QFETCH(TaxRegime, regime);
        QFETCH(bool, full);
        const SaleDraft draft = full ? fullDraft(regime) : shopDraft(regime);
        const QList<DraftFault> faults = checkSaleDraft(draft);
        QVERIFY2(faults.isEmpty(), qPrintable(faultLines(faults)));

        const IssuedReceipts::Issued sold = device.sellDocument(composeSaleDocument(draft));
        QVERIFY2(sold.fields.value(1) == u"06000", qPrintable(sold.fields.join(u'|')));
        const CfeReceipt receipt = parseCfeReceipt(sold.xml).receipt;
        QCOMPARE(receipt.items.size(), draft.items.size());
        QCOMPARE(receipt.total, draftAmounts(draft).total);
        QCOMPARE(receipt.checkoutNumber, QStringLiteral("007"));
        QCOMPARE(receipt.consumerId, full ? QStringLiteral("12345678909") : QString());
        QCOMPARE(receipt.items.last().description, draft.items.last().description);

        const CancellationRequest cancellation = cancellationRequest(receipt);
        QVERIFY2(cancellation.ok(), qPrintable(cancellation.error));
        const IssuedReceipts::Issued cancelled
            = device.cancel(cancellationKey(receipt).toLatin1(), cancellation.document);
        QVERIFY2(cancelled.fields.value(1) == u"07000", qPrintable(cancelled.fields.join(u'|')));
    }

    void wrongFieldRefused_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("byTheLayout"); // the document's check names it, with its rejection code
        const auto row = [](const char* name, const char* change, Field field, int index, bool layout) {
            QTest::newRow(name) << QString::fromUtf8(change) << int(field) << index << layout;
        };
        row("taxpayer CNPJ check digit", "taxpayerCnpj=44555666000182", Field::TaxpayerCnpj, -1, false);
        row("taxpayer CNPJ of 13 digits", "taxpayerCnpj=4455566600018", Field::TaxpayerCnpj, -1, true);
        row("IE with letters", "ie=ISENTO", Field::StateRegistration, -1, true);
        row("software house CNPJ check digit", "softwareHouseCnpj=11.222.333/0001-80", Field::SoftwareHouseCnpj, -1,
            false);
        row("software house CNPJ empty", "softwareHouseCnpj=", Field::SoftwareHouseCnpj, -1, true);
        row("signature of 343 characters", "signature=short", Field::Signature, -1, false);
        row("signature not Base64", "signature=blank", Field::Signature, -1, false);
        row("signature longer than the layout", "signature=long", Field::Signature, -1, true);
        row("checkout number of four digits", "checkoutNumber=1234", Field::CheckoutNumber, -1, true);
        row("checkout number with a letter", "checkoutNumber=1a", Field::CheckoutNumber, -1, true);
        row("CPF check digit", "consumer=123.456.789-00", Field::Consumer, -1, true);
        row("consumer CNPJ check digit", "consumer=11222333000180", Field::Consumer, -1, true);
        row("consumer of 12 digits", "consumer=123456789012", Field::Consumer, -1, false);
        row("no items", "items=", Field::Items, -1, true);
        row("code empty", "code=", Field::ItemCode, 0, true);
        row("code with a control character",
            "code=00\x01"
            "1",
            Field::ItemCode, 0, false);
        row("IM with half a character", "im=half", Field::MunicipalRegistration, -1, false);
        row("description of 121 characters", "description=long", Field::ItemDescription, 0, true);
        row("quantity zero", "quantity=0", Field::ItemQuantity, 0, true);
        row("quantity with five decimals", "quantity=1,00001", Field::ItemQuantity, 0, true);
        row("quantity not a number", "quantity=dois", Field::ItemQuantity, 0, true);
        row("unit of seven characters", "unit=CAIXA12", Field::ItemUnit, 0, true);
        row("unit price with four decimals", "unitPrice=12,9001", Field::ItemUnitPrice, 0, true);
        row("unit price empty", "unitPrice=", Field::ItemUnitPrice, 0, true);
        row("CFOP of an entry", "cfop=1102", Field::ItemCfop, 0, true);
        row("CFOP of three digits", "cfop=510", Field::ItemCfop, 0, true);
        row("ICMS rate with three decimals", "icmsRate=18,005", Field::ItemIcmsRate, 0, true);
        row("CSOSN outside the Simples Nacional", "icms=102", Field::ItemIcms, 0, false);
        row("PIS rate with five decimals", "pisRate=0,01655", Field::ItemPisRate, 0, true);
        row("COFINS rate empty", "cofinsRate=", Field::ItemCofinsRate, 0, true);
        row("a service without IM", "icms=ISSQN", Field::MunicipalRegistration, -1, true);
        row("ISSQN rate of four digits", "im=123;icms=ISSQN;issRate=1000", Field::ItemIssRate, 0, true);
        row("no payments", "payments=", Field::Payments, -1, true);
        row("payments short of the total", "amount=25,79", Field::Payments, -1, true);
        row("payment amount with three decimals", "amount=30,001", Field::PaymentAmount, 0, true);
        row("payment method outside the table", "method=07", Field::PaymentMethod, 0, true);
    }

    // The normal regime's item has rates of every kind to get wrong.
    void wrongFieldRefused()
    {
        QFETCH(QString, change);
        QFETCH(int, field);
        QFETCH(int, index);
        QFETCH(bool, byTheLayout);
        SaleDraft draft = shopDraft(TaxRegime::Normal);
        SaleItemDraft& item = draft.items.first();
        const QHash<QString, QString*> texts {
            {"taxpayerCnpj", &draft.taxpayerCnpj},
            {"ie", &draft.stateRegistration},
            {"im", &draft.municipalRegistration},
            {"softwareHouseCnpj", &draft.softwareHouseCnpj},
            {"checkoutNumber", &draft.checkoutNumber},
            {"consumer", &draft.consumer},
            {"code", &item.code},
            {"description", &item.description},
            {"quantity", &item.quantity},
            {"unit", &item.unit},
            {"unitPrice", &item.unitPrice},
            {"cfop", &item.cfop},
            {"icmsRate", &item.icmsRate},
            {"icms", &item.icms},
            {"pisRate", &item.pisRate},
            {"cofinsRate", &item.cofinsRate},
            {"issRate", &item.issRate},
            {"amount", &draft.payments.first().amount},
            {"method", &draft.payments.first().method},
        };
        for (const QString& part : change.split(u';')) {
            const QString name = part.section(u'=', 0, 0);
            const QString value = part.section(u'=', 1);
            if (name == u"signature")
                draft.signature = value == u"short" ? QString(343, u'0')
                    : value == u"long"              ? QString(345, u'0')
                                                    : QString(172, u'0') + u' ' + QString(171, u'0');
            else if (name == u"items")
                draft.items.clear();
            else if (name == u"payments")
                draft.payments.clear();
            else if (name == u"description")
                item.description = QString(121, u'x');
            else if (value == u"half")
                *texts.value(name) = QStringLiteral("12") + QChar(0xd800);
            else
                *texts.value(name) = value;
        }

        const QList<DraftFault> faults = checkSaleDraft(draft);
        QVERIFY2(faults.size() == 1, qPrintable(faultLines(faults)));
        const DraftFault& fault = faults.first();
        QCOMPARE(int(fault.field), field);
        QCOMPARE(fault.index, index);
        QVERIFY(!fault.rule.isEmpty());
        QVERIFY2(fault.text().startsWith(fieldName(fault.field)) || fault.text().startsWith(QStringLiteral("Item 1, "))
                     || fault.text().startsWith(QStringLiteral("Pagamento 1, ")),
                 qPrintable(fault.text()));
        // The layout's faults are the check's own: the same rule and code the emulator gives for the document.
        const DocumentCheck check = checkDocument(composeSaleDocument(draft));
        if (byTheLayout) {
            QVERIFY2(!check.faults.isEmpty(), qPrintable(fault.text()));
            QCOMPARE(fault.rule, check.faults.first().rule);
            QCOMPARE(fault.code, check.faults.first().code);
        } else {
            QVERIFY(fault.code.isEmpty());
        }
    }

    void composedAsTheLayoutWrites_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("written");
        QTest::newRow("quantity with a comma") << "quantity=1,5"
                                               << "<qCom>1.5000</qCom>";
        QTest::newRow("whole unit price") << "unitPrice=3"
                                          << "<vUnCom>3.00</vUnCom>";
        QTest::newRow("unit price of three decimals") << "unitPrice=2,105"
                                                      << "<vUnCom>2.105</vUnCom>";
        QTest::newRow("checkout number of one digit") << "checkoutNumber=7"
                                                      << "<numeroCaixa>007</numeroCaixa>";
        QTest::newRow("punctuated taxpayer CNPJ") << "taxpayerCnpj=44.555.666/0001-81"
                                                  << "<CNPJ>44555666000181</CNPJ>";
        QTest::newRow("punctuated CPF") << "consumer=123.456.789-09"
                                        << "<dest>\n      <CPF>12345678909</CPF>";
        QTest::newRow("consumer CNPJ") << "consumer=11.222.333/0001-81"
                                       << "<dest>\n      <CNPJ>11222333000181</CNPJ>";
        QTest::newRow("no consumer") << "consumer="
                                     << "<dest/>";
        QTest::newRow("ICMS rate") << "icmsRate=7"
                                   << "<pICMS>7.00</pICMS>";
        QTest::newRow("text as text") << "description=A&B <1>"
                                      << "<xProd>A&amp;B &lt;1&gt;</xProd>";
        QTest::newRow("amount with a comma") << "amount=30,5"
                                             << "<vMP>30.50</vMP>";
        QTest::newRow("amount with thousands") << "amount=1.234,5"
                                               << "<vMP>1234.50</vMP>";
        QTest::newRow("points that are no thousands") << "amount=1.23,5"
                                                      << "<vMP>1.23,5</vMP>";
    }

    void composedAsTheLayoutWrites()
    {
        QFETCH(QString, change);
        QFETCH(QString, written);
        SaleDraft draft = shopDraft(TaxRegime::Normal);
        const QString value = change.section(u'=', 1);
        SaleItemDraft& item = draft.items.first();
        const QHash<QString, QString*> texts {
            {"quantity", &item.quantity},
            {"unitPrice", &item.unitPrice},
            {"checkoutNumber", &draft.checkoutNumber},
            {"taxpayerCnpj", &draft.taxpayerCnpj},
            {"consumer", &draft.consumer},
            {"icmsRate", &item.icmsRate},
            {"description", &item.description},
            {"amount", &draft.payments.first().amount},
        };
        *texts.value(change.section(u'=', 0, 0)) = value;
        const QString document = QString::fromUtf8(composeSaleDocument(draft));
        QVERIFY2(document.contains(written), qPrintable(document));
    }

    // The total shown while typing is the device's: quantity times price rounded to the cent, item by item.
    void totalAsTheDeviceComputesIt()
    {
        SaleDraft draft = shopDraft(TaxRegime::SimplesNacional);
        draft.items.first().quantity = QStringLiteral("3");
        draft.items.first().unitPrice = QStringLiteral("0,333");
        SaleItemDraft second = draft.items.first();
        second.quantity = QStringLiteral("0,0015");
        second.unitPrice = QStringLiteral("3,33");
        draft.items.append(second);
        draft.payments
            = {{QStringLiteral("01"), QStringLiteral("0,5")}, {QStringLiteral("04"), QStringLiteral("0,51")}};
        const DraftAmounts amounts = draftAmounts(draft);
        QVERIFY(amounts.known);
        QCOMPARE(amounts.paid, QStringLiteral("1.01"));
        QCOMPARE(amounts.change, QStringLiteral("0.00"));
        QVERIFY(amounts.missing.isEmpty());
        const IssuedReceipts::Issued sold = device.sellDocument(composeSaleDocument(draft));
        QVERIFY2(sold.fields.value(1) == u"06000", qPrintable(sold.fields.join(u'|')));
        QCOMPARE(amounts.total, parseCfeReceipt(sold.xml).receipt.total);

        draft.payments.last().amount = QStringLiteral("0,4");
        QCOMPARE(draftAmounts(draft).missing, QStringLiteral("0.11"));
        QVERIFY(draftAmounts(draft).change.isEmpty());
        draft.items.last().unitPrice = QStringLiteral("três");
        QVERIFY(!draftAmounts(draft).known);
        QVERIFY(draftAmounts(draft).missing.isEmpty());
    }

    void itemMovedToAnotherRegime_data()
    {
        QTest::addColumn<TaxRegime>("from");
        QTest::addColumn<TaxRegime>("to");
        QTest::addColumn<QString>("icms");
        QTest::addColumn<QString>("pisCofins");
        QTest::newRow("Simples Nacional to normal") << TaxRegime::SimplesNacional << TaxRegime::Normal << "00"
                                                    << "01";
        QTest::newRow("normal to Simples Nacional") << TaxRegime::Normal << TaxRegime::SimplesNacional << "102"
                                                    << "49";
        QTest::newRow("sublimit to normal") << TaxRegime::SublimitExceeded << TaxRegime::Normal << "00"
                                            << "01";
        QTest::newRow("normal to sublimit") << TaxRegime::Normal << TaxRegime::SublimitExceeded << "00"
                                            << "49";
    }

    // What fits the new regime is kept, what does not gets the regime's usual choice, and the draft passes.
    void itemMovedToAnotherRegime()
    {
        QFETCH(TaxRegime, from);
        QFETCH(TaxRegime, to);
        QFETCH(QString, icms);
        QFETCH(QString, pisCofins);
        SaleDraft draft = shopDraft(from);
        draft.items.first().icmsRate = QStringLiteral("12");
        draft.regime = to;
        draft.items.first() = itemForRegime(draft.items.first(), to);
        QCOMPARE(draft.items.first().icms, icms);
        QCOMPARE(draft.items.first().pisCofins, pisCofins);
        QVERIFY2(checkSaleDraft(draft).isEmpty(), qPrintable(faultLines(checkSaleDraft(draft))));

        SaleItemDraft service = defaultItem(from);
        service.icms = kServiceTax;
        QCOMPARE(itemForRegime(service, to).icms, kServiceTax);
    }
};

QTEST_GUILESS_MAIN(TestSaleDraft)
#include "tst_saledraft.moc"
