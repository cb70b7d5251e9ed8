// The cancellation written from a sale's receipt, against the real emulator: each example sale, once sold, is
// cancelled with it alone, the emulator's own ready-made cancellation deleted first.
#include "cancellationdocument.h"
#include "cancellationrequest.h"
#include "cfereceipt.h"
#include "documentfaults.h"
#include "issuedreceipts.h"

#include <QtTest>

using namespace satresults;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the emulator reads from a cancellation document, to compare two of them field by field.
QStringList readBack(const QByteArray& document)
{
    satemu::CancellationDocument read;
    std::string error;
    if (!satemu::CancellationDocument::parse(document.constData(), size_t(document.size()), read, error))
        return {QStringLiteral("ilegível: ") + QString::fromStdString(error)};
    return {QString::fromStdString(read.cancelledKey), QString::fromStdString(read.softwareHouseCnpj),
            QString::fromStdString(read.signature), QString::fromStdString(read.cashRegister)};
}

} // namespace

class TestCancellationRequest : public QObject {
    Q_OBJECT

private:
    IssuedReceipts device;
    QByteArray saleXml;

    CfeReceipt sale() const { return parseCfeReceipt(saleXml).receipt; }

private slots:
    void initTestCase()
    {
        QVERIFY(device.ready());
        saleXml = device.sell(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml")).xml;
        QVERIFY(parseCfeReceipt(saleXml).ok);
    }

    void acceptedAsItsSalesCancellation_data()
    {
        QTest::addColumn<QString>("example");
        // Every sale among the examples, so that a new one is covered as soon as it is added.
        int sales = 0;
        for (const QString& name : QDir(QStringLiteral(SAT_EXAMPLES_DIR)).entryList({QStringLiteral("*.xml")})) {
            const QString path = QStringLiteral(SAT_EXAMPLES_DIR "/") + name;
            if (checkDocument(readFile(path)).kind == DocumentCheck::Kind::Sale) {
                QTest::newRow(qPrintable(name)) << path;
                ++sales;
            }
        }
        if (sales < 2)
            qFatal("the examples hold %d sales; venda.xml and venda-dois-itens.xml at least were expected", sales);
    }

    void acceptedAsItsSalesCancellation()
    {
        QFETCH(QString, example);
        const IssuedReceipts::Issued sold = device.sell(example);
        QCOMPARE(sold.fields.value(1), QStringLiteral("06000"));
        const CfeParseResult parsed = parseCfeReceipt(sold.xml);
        QVERIFY2(parsed.ok, qPrintable(parsed.error));
        const CfeReceipt& r = parsed.receipt;

        const CancellationRequest request = cancellationRequest(r);
        QVERIFY2(request.ok(), qPrintable(request.error));
        QCOMPARE(cancellationKey(r), sold.fields.value(8));
        QCOMPARE(cancellationFileName(r), QStringLiteral("cancelamento-%1.xml").arg(sold.fields.value(8)));

        // The same cancellation the emulator wrote for itself, which a real device never does: then it is gone.
        QFile ready(QDir(device.stateFolder()).filePath(QStringLiteral("cancelamento-ultima-venda.xml")));
        QVERIFY(ready.open(QIODevice::ReadOnly));
        QCOMPARE(readBack(request.document), readBack(ready.readAll()));
        ready.close();
        QVERIFY(ready.remove());

        const IssuedReceipts::Issued cancelled = device.cancel(cancellationKey(r).toLatin1(), request.document);
        QVERIFY2(cancelled.fields.value(1) == u"07000", qPrintable(cancelled.fields.join(u'|')));
        QCOMPARE(parseCfeReceipt(cancelled.xml).receipt.cancelledKey, r.key);
    }

    void refusedWithItsReason_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("reason");
        QTest::newRow("checkout number of one digit") << "numeroCaixa=1"
                                                      << "infCFe/ide/numeroCaixa";
        QTest::newRow("no signature") << "signAC="
                                      << "infCFe/ide/signAC";
        QTest::newRow("signature too long") << "signAC=long"
                                            << "infCFe/ide/signAC";
        QTest::newRow("punctuated CNPJ") << "CNPJ=11.222.333/0001-81"
                                         << "infCFe/ide/CNPJ";
        QTest::newRow("no key") << "key="
                                << "chave de acesso";
        QTest::newRow("key of 43 digits") << "key=short"
                                          << "chave de acesso";
        QTest::newRow("a cancellation") << "kind=cancellation" << QString::fromUtf8("já é um cancelamento");
    }

    void refusedWithItsReason()
    {
        QFETCH(QString, change);
        QFETCH(QString, reason);
        CfeReceipt r = sale();
        const QString field = change.section(u'=', 0, 0);
        const QString value = change.section(u'=', 1);
        if (field == u"numeroCaixa")
            r.checkoutNumber = value;
        else if (field == u"signAC")
            r.acSignature = value == u"long" ? QString(345, u'A') : value;
        else if (field == u"CNPJ")
            r.softwareHouseCnpj = value;
        else if (field == u"key")
            r.key = value == u"short" ? r.key.left(43) : value;
        else
            r.kind = CfeReceipt::Kind::Cancellation;

        const CancellationRequest request = cancellationRequest(r);
        QVERIFY(!request.ok());
        QVERIFY(request.document.isEmpty());
        QVERIFY2(request.error.contains(reason), qPrintable(request.error));
        if (field == u"key" || field == u"kind") {
            QVERIFY(cancellationKey(r).isEmpty());
            QVERIFY(cancellationFileName(r).isEmpty());
        }
    }

    // The document is XML whatever the receipt carries: a signature with markup reads back as the same text.
    void signatureWithMarkupReadsBack()
    {
        CfeReceipt r = sale();
        r.acSignature = QStringLiteral("<signAC>&amp;\"'</signAC>");
        const CancellationRequest request = cancellationRequest(r);
        QVERIFY2(request.ok(), qPrintable(request.error));
        QCOMPARE(readBack(request.document).value(2), r.acSignature);
    }

    // The receipt keeps the point of sale's part of ide as the sale sent it.
    void receiptReadsThePointOfSalesPart()
    {
        const CfeReceipt r = sale();
        QCOMPARE(r.softwareHouseCnpj, QStringLiteral("11222333000181"));
        QCOMPARE(r.acSignature, QString(344, u'0'));
        QCOMPARE(r.checkoutNumber, QStringLiteral("115"));
    }
};

QTEST_GUILESS_MAIN(TestCancellationRequest)
#include "tst_cancellationrequest.moc"
