// The full check of a document (AllFaults): every fault it can find, each naming its field, the first one the
// very refusal the device gives. Its rows are the device's own refusal rows (validationrows.h).
#include "device.h"
#include "documents.h"
#include "validationrows.h"

#include <QtTest>

using namespace satemu;
using namespace validationrows;

namespace {

const char kCode[] = "codigo-teste";

QString text(const std::string& value)
{
    return QString::fromStdString(value);
}

// "code field" for each fault, in the order listed.
QStringList summary(const std::vector<DocumentFault>& faults)
{
    QStringList lines;
    for (const DocumentFault& fault : faults)
        lines << text(fault.code + " " + fault.field);
    return lines;
}

} // namespace

class TestAllFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void saleRows_data();
    void saleRows();
    void cancellationRows_data();
    void cancellationRows();
    void validDocuments_data();
    void validDocuments();
    void severalFaults_data();
    void severalFaults();
    void firstFaultIsTheRefusal_data();
    void firstFaultIsTheRefusal();
    void kind_data();
    void kind();

private:
    // The first fault, checked against a row of the device's refusals.
    void compareWithRow(const std::vector<DocumentFault>& faults, const QString& code, const QString& message);

    QTemporaryDir m_dir;
    QByteArray m_key; // of the sale the written cancellation cancels
    QByteArray m_cancellation; // as the emulator wrote it
};

void TestAllFaults::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("SAT_EMULADOR_AGORA", "20240315103000");
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(m_dir.filePath(QStringLiteral("estado.txt"))));
    // The cancellation rows change the document the emulator writes for its last sale.
    Device device;
    QCOMPARE(device.activate(1, 1, kCode, "44555666000181", 35).code, std::string("04000"));
    QCOMPARE(device.associateSignature(2, kCode, "1122233300018144555666000181", QByteArray(344, '0').constData()).code,
             std::string("13000"));
    const Device::Reply sale
        = device.sendSale(3, kCode, readFile(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml")).constData());
    QCOMPARE(sale.code, std::string("06000"));
    m_key = QByteArray::fromStdString(sale.answer).split('|').value(8);
    QCOMPARE(m_key.size(), 47);
    m_cancellation = readFile(m_dir.filePath(QStringLiteral("cancelamento-ultima-venda.xml")));
    QVERIFY(!m_cancellation.isEmpty());
}

void TestAllFaults::cleanupTestCase()
{
    qunsetenv("SAT_EMULADOR_ESTADO");
    qunsetenv("SAT_EMULADOR_AGORA");
}

void TestAllFaults::compareWithRow(const std::vector<DocumentFault>& faults, const QString& code,
                                   const QString& message)
{
    QVERIFY(!faults.empty());
    const DocumentFault& first = faults.front();
    QCOMPARE(text(first.code), code);
    const QString reason = QStringLiteral("Rejeicao: ") + text(first.reason);
    if (message.endsWith(QLatin1Char('*')))
        QVERIFY2(reason.startsWith(message.chopped(1)), qPrintable(reason));
    else
        QCOMPARE(reason, message);
    // The field heads the reason and the rule follows it; only the document as a whole (its XML, its root) has none.
    QVERIFY(!first.rule.empty());
    QVERIFY2(first.reason == first.field + " " + first.rule || first.reason == first.field + ": " + first.rule
                 || (first.field.empty() && first.reason == first.rule),
             first.reason.c_str());
    if (first.field.empty())
        QVERIFY2(QStringList({"1003", "1006", "1133", "1136"}).contains(code), first.reason.c_str());
    else
        QVERIFY(first.field.find("infCFe") == 0 || first.field == "Signature");
}

void TestAllFaults::saleRows_data()
{
    addSaleRows();
}

void TestAllFaults::saleRows()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, code);
    QFETCH(QString, message);
    QByteArray document;
    QVERIFY(brokenSale(from, to, document));
    const AllFaults found = AllFaults::of(document.constData(), document.size());
    QCOMPARE(found.kind, AllFaults::Kind::Sale);
    compareWithRow(found.faults, code, message);
}

void TestAllFaults::cancellationRows_data()
{
    addCancellationRows();
}

// Through the cancellation's own check: the row "other root" sends a CFe as a cancellation, which the check of a
// file would take for a sale.
void TestAllFaults::cancellationRows()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, code);
    QFETCH(QString, message);
    QFETCH(bool, deviceState);
    QByteArray document;
    QVERIFY(brokenCancellation(m_cancellation, m_key, from, to, document));
    Faults faults(Faults::Mode::Every);
    CancellationDocument read;
    const bool valid = CancellationDocument::checkRequest(document.constData(), document.size(), read, faults);
    if (deviceState) {
        // Right by its layout: only the device knows the key it was given and the association.
        QVERIFY(valid);
        QVERIFY(faults.empty());
        return;
    }
    QVERIFY(!valid);
    compareWithRow(faults.list(), code, message);
}

void TestAllFaults::validDocuments_data()
{
    QTest::addColumn<QString>("path"); // empty: the cancellation the emulator wrote
    QTest::addColumn<AllFaults::Kind>("kind");
    QTest::newRow("venda.xml") << SAT_EXAMPLES_DIR "/venda.xml" << AllFaults::Kind::Sale;
    QTest::newRow("venda-dois-itens.xml") << SAT_EXAMPLES_DIR "/venda-dois-itens.xml" << AllFaults::Kind::Sale;
    QTest::newRow("venda-impostos.xml") << SAT_TEST_DATA_DIR "/venda-impostos.xml" << AllFaults::Kind::Sale;
    QTest::newRow("cancelamento-modelo.xml")
        << SAT_EXAMPLES_DIR "/cancelamento-modelo.xml" << AllFaults::Kind::Cancellation;
    QTest::newRow("cancelamento-ultima-venda.xml") << QString() << AllFaults::Kind::Cancellation;
}

void TestAllFaults::validDocuments()
{
    QFETCH(QString, path);
    QFETCH(AllFaults::Kind, kind);
    const QByteArray document = path.isEmpty() ? m_cancellation : readFile(path);
    QVERIFY(!document.isEmpty());
    const AllFaults found = AllFaults::of(document.constData(), document.size());
    QCOMPARE(found.kind, kind);
    QVERIFY2(found.faults.empty(), qPrintable(summary(found.faults).join(QLatin1String("; "))));
}

void TestAllFaults::severalFaults_data()
{
    QTest::addColumn<bool>("cancellation"); // else venda-dois-itens.xml
    QTest::addColumn<QByteArray>("from"); // changes as in the rows of validationrows.h
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QStringList>("expected"); // "code field", in the order the device checks
    const QByteArray xNome = "<IE>";
    const QByteArray withXNome = "<xNome>Loja</xNome><IE>";

    QTest::newRow("one in each of four groups")
        << false << xNome + "||<CFOP>5102</CFOP>||<vUnCom>2.75||<cMP>03" << withXNome + "||||<vUnCom>2.7500||<cMP>06"
        << QStringList {"1024 infCFe/emit/xNome", "1051 infCFe/det[1]/prod/CFOP", "1056 infCFe/det[2]/prod/vUnCom",
                        "1117 infCFe/pgto/MP[2]/cMP"};
    // The item numbers, the layout in document order, then the rules of a whole item: a device's order.
    QTest::newRow("in the order the device checks")
        << false << "<numeroCaixa>001||<det nItem=\"2\">||" + kIcms00 << QByteArray("<numeroCaixa>01||<det>||")
        << QStringList {"1051 infCFe/det[2]/@nItem", "1016 infCFe/ide/numeroCaixa", "1061 infCFe/det[1]/imposto/ICMS"};
    QTest::newRow("values still added up after a fault elsewhere")
        << false << xNome + "||<vMP>10.00" << withXNome + "||<vMP>7.00"
        << QStringList {"1024 infCFe/emit/xNome", "1118 infCFe/pgto"};
    // A total is not worked out from items whose values are wrong.
    QTest::newRow("the values of each item")
        << false << QByteArray("<vDesc>1.00||<indRegra>A</indRegra></prod>")
        << QByteArray("<vDesc>14.00||<indRegra>A</indRegra><vDesc>6.00</vDesc></prod>")
        << QStringList {"1058 infCFe/det[1]/prod/vDesc", "1058 infCFe/det[2]/prod/vDesc"};
    QTest::newRow("an element out of order, once")
        << false << QByteArray("<total>") << QByteArray("<pgto><MP><cMP>01</cMP><vMP>20.00</vMP></MP></pgto><total>")
        << QStringList {"1002 infCFe/total", "1005 infCFe/pgto"};
    QTest::newRow("twelve payments, one line")
        << false << QByteArray("</MP></pgto>")
        << "</MP>" + QByteArray("<MP><cMP>01</cMP><vMP>1.00</vMP></MP>").repeated(10) + "</pgto>"
        << QStringList {"1115 infCFe/pgto/MP"};
    QTest::newRow("the same unknown element twice, one line")
        << false << QByteArray("<IE>") << QByteArray("<xPais>BR</xPais><xPais>BR</xPais><IE>")
        << QStringList {"1023 infCFe/emit/xPais"};
    QTest::newRow("another root, nothing more")
        << false << "<CFe>||</CFe>||" + xNome << "<NFe>||</NFe>||" + withXNome << QStringList {"1003 "};
    QTest::newRow("a cancellation") << true << QByteArray("chCanc=\"CFe||<ide>||<emit />||<total />")
                                    << QByteArray("chCanc=\"||<ide><dEmi>20240315</dEmi>||"
                                                  "<emit><CNPJ>44555666000181</CNPJ></emit>||<total><x/></total>")
                                    << QStringList {"1136 infCFe/@chCanc", "1144 infCFe/ide/dEmi",
                                                    "1154 infCFe/emit/CNPJ", "1153 infCFe/total/x"};
}

void TestAllFaults::severalFaults()
{
    QFETCH(bool, cancellation);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QStringList, expected);
    QByteArray document;
    QVERIFY(cancellation ? brokenCancellation(m_cancellation, m_key, from, to, document)
                         : brokenSale(from, to, document));
    const AllFaults found = AllFaults::of(document.constData(), document.size());
    QCOMPARE(summary(found.faults), expected);
}

void TestAllFaults::firstFaultIsTheRefusal_data()
{
    QTest::addColumn<bool>("cancellation");
    QTest::newRow("sale") << false;
    QTest::newRow("cancellation") << true;
}

// Every cut of a valid document, from empty to whole less one byte: broken in a different place each time, often
// in several at once; the device's refusal heads the full check's list each time.
void TestAllFaults::firstFaultIsTheRefusal()
{
    QFETCH(bool, cancellation);
    const QByteArray whole
        = (cancellation ? m_cancellation : readFile(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"))).trimmed();
    QVERIFY(!whole.isEmpty());
    for (size_t size = 0; size < static_cast<size_t>(whole.size()); ++size) {
        // A cut before the root's name is not yet told from a sale: the cancellation's own check, as in its rows.
        Faults faults(Faults::Mode::Every);
        Rejection refusal;
        if (cancellation) {
            CancellationDocument read;
            QVERIFY(!CancellationDocument::checkRequest(whole.constData(), size, read, faults));
            QVERIFY(!CancellationDocument::parseRequest(whole.constData(), size, read, refusal));
        } else {
            QVERIFY(!SaleDocument::checkSale(whole.constData(), size, faults));
            QVERIFY(!SaleDocument::parseSale(whole.constData(), size, refusal));
        }
        QVERIFY2(!faults.empty(), qPrintable(QString::number(size)));
        QCOMPARE(text(faults.list().front().code), text(refusal.code));
        QCOMPARE("Rejeicao: " + text(faults.list().front().reason), text(refusal.reason));
    }
}

void TestAllFaults::kind_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<AllFaults::Kind>("kind");
    QTest::addColumn<QString>("code"); // of the first fault
    const AllFaults::Kind sale = AllFaults::Kind::Sale;
    const AllFaults::Kind cancellation = AllFaults::Kind::Cancellation;
    // Broken XML gets the code of its own kind: 1006 for a sale, 1136 for a cancellation.
    QTest::newRow("cancellation cut short") << QByteArray("<CFeCanc><infCFe") << cancellation << "1136";
    QTest::newRow("after declaration and comment")
        << QByteArray("<?xml version=\"1.0\"?>\n<!-- a > b -->\n<CFeCanc><infCFe") << cancellation << "1136";
    QTest::newRow("with a prefix") << QByteArray("<c:CFeCanc xmlns:c=\"urn:x\"><infCFe") << cancellation << "1136";
    QTest::newRow("after a byte order mark") << QByteArray("\xEF\xBB\xBF<CFeCanc/>") << cancellation << "1131";
    QTest::newRow("sale cut short") << QByteArray("<CFe><infCFe") << sale << "1006";
    QTest::newRow("a name that only starts alike") << QByteArray("<CFeCancelado/>") << sale << "1003";
    QTest::newRow("declaration never closed") << QByteArray("<?xml <CFeCanc>") << sale << "1006";
    QTest::newRow("not XML") << QByteArray("CFeCanc") << sale << "1006";
    QTest::newRow("empty") << QByteArray() << sale << "1006";
}

void TestAllFaults::kind()
{
    QFETCH(QByteArray, document);
    QFETCH(AllFaults::Kind, kind);
    QFETCH(QString, code);
    QCOMPARE(AllFaults::kindOf(document.constData(), document.size()), kind);
    const AllFaults found = AllFaults::of(document.constData(), document.size());
    QCOMPARE(found.kind, kind);
    QVERIFY(!found.faults.empty());
    QCOMPARE(text(found.faults.front().code), code);
}

QTEST_GUILESS_MAIN(TestAllFaults)
#include "tst_allfaults.moc"
