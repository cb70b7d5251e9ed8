// The emulator's issued documents and device states, through the C functions of the shared library: the CF-e's
// groups, taxes and apportionment, every operation state and what each function answers in it, the activation code
// lockout, the ICP-Brasil activation, the status fields over sales and days, and the state folder and log hygiene.
#include "dllsat.h"

#include <QtTest>

namespace {

const char kCode[] = "codigo-estados";
const char kTaxpayer[] = "44555666000181";
const char kBoth[] = "1122233300018144555666000181";
const char kNow[] = "20240315103000";
const char kZeroKey[] = "00000000000000000000000000000000000000000000";
const char kCertificate[] = "-----BEGIN CERTIFICATE-----\nMIIBszCCAVmgAwIBAgIU\nAAAA\n-----END CERTIFICATE-----\n";

// Status fields after the five common ones.
enum Status {
    kStatusLan = 13,
    kBattery = 14,
    kMemoryTotal = 15,
    kMemoryUsed = 16,
    kLastKey = 20,
    kListFirst = 21,
    kListLast = 22,
    kLastTransmission = 23,
    kLastContact = 24,
    kCertificateIssued = 25,
    kCertificateExpiry = 26,
    kOperationState = 27,
};

QStringList fieldsOf(const char* answer)
{
    return QString::fromLatin1(answer).split(QLatin1Char('|'));
}

QString eeeee(const char* answer)
{
    return fieldsOf(answer).value(1);
}

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

QByteArray stampAfter(qint64 seconds)
{
    const QDateTime start = QDateTime::fromString(QString::fromLatin1(kNow), QStringLiteral("yyyyMMddHHmmss"));
    return start.addSecs(seconds).toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
}

// A parsed XML element: enough to walk an issued CF-e by path and to read its children's order.
struct Element {
    QString name;
    QString text;
    QMap<QString, QString> attributes;
    QList<Element> children;

    const Element* child(const QString& childName, int index = 0) const
    {
        for (const Element& e : children)
            if (e.name == childName && index-- == 0)
                return &e;
        return nullptr;
    }
    // "a/b/c"; an empty text for a missing element.
    QString at(const QString& path) const
    {
        const Element* node = this;
        for (const QString& part : path.split(QLatin1Char('/'))) {
            node = node ? node->child(part) : nullptr;
        }
        return node ? node->text : QStringLiteral("<ausente>");
    }
    int count(const QString& childName) const
    {
        int n = 0;
        for (const Element& e : children)
            n += e.name == childName;
        return n;
    }
    QStringList names() const
    {
        QStringList out;
        for (const Element& e : children)
            out << e.name;
        return out;
    }
};

Element parseXml(const QByteArray& text)
{
    QXmlStreamReader reader(text);
    Element root;
    QList<Element*> stack {&root};
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            Element e;
            e.name = reader.name().toString();
            for (const QXmlStreamAttribute& a : reader.attributes())
                e.attributes.insert(a.name().toString(), a.value().toString());
            stack.last()->children.append(e);
            stack.append(&stack.last()->children.last());
        } else if (reader.isEndElement()) {
            stack.removeLast();
        } else if (reader.isCharacters() && !reader.isWhitespace()) {
            stack.last()->text += reader.text().toString();
        }
    }
    return reader.hasError() || root.children.isEmpty() ? Element() : root.children.first();
}

QStringList sumOfCents(const QStringList& values, int& cents)
{
    cents = 0;
    for (const QString& v : values)
        cents += qRound(v.toDouble() * 100);
    return values;
}

} // namespace

class TestEmulatorStates : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void issuedSaleGroups();
    void declaredTaxTotalKept();
    void apportionment_data();
    void apportionment();
    void deviceFieldsReplaceTheApplications();
    void cancellationCarriesTheSale();
    void taxpayerProfile_data();
    void taxpayerProfile();
    void operationStates_data();
    void operationStates();
    void autonomousBlockLiftsItself();
    void taxAuthorityLiftsItsBlock();
    void wrongCodeLockout();
    void icpBrasilActivation();
    void certificateRenewal();
    void statusMovesWithTheDevice();
    void leftoverTemporaryFilesRemoved();
    void logLevelsAndNoHostPaths();

private:
    void usePath(const QString& name);
    void activate();
    void associate();
    QByteArray document(const QString& name) const;
    QStringList sell(const QByteArray& doc);
    QStringList sell() { return sell(document(QStringLiteral("venda-impostos.xml"))); }
    QStringList status();
    QByteArray logText();
    void editState(const QByteArray& from, const QByteArray& to);

    QTemporaryDir* m_dir = nullptr;
    QString m_statePath;
    int m_session = 2000;
};

void TestEmulatorStates::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    for (const char* name :
         {"SAT_EMULADOR_FALHA", "SAT_EMULADOR_SEFAZ", "SAT_EMULADOR_BLOQUEIO_SEFAZ", "SAT_EMULADOR_CONTRIBUINTE"})
        qunsetenv(name);
    qputenv("SAT_EMULADOR_AGORA", kNow);
    usePath(QStringLiteral("estado.txt"));
}

void TestEmulatorStates::cleanup()
{
    for (const char* name : {"SAT_EMULADOR_SEFAZ", "SAT_EMULADOR_BLOQUEIO_SEFAZ", "SAT_EMULADOR_CONTRIBUINTE"})
        qunsetenv(name);
    delete m_dir;
    m_dir = nullptr;
}

// A path not seen before is a new device: the engine loads the state when the path changes.
void TestEmulatorStates::usePath(const QString& name)
{
    m_statePath = m_dir->filePath(name);
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(m_statePath));
}

void TestEmulatorStates::activate()
{
    QCOMPARE(eeeee(AtivarSAT(++m_session, 1, kCode, kTaxpayer, 35)), QStringLiteral("04000"));
}

void TestEmulatorStates::associate()
{
    QCOMPARE(eeeee(AssociarAssinatura(++m_session, kCode, kBoth, QByteArray(344, '0').constData())),
             QStringLiteral("13000"));
}

QByteArray TestEmulatorStates::document(const QString& name) const
{
    const QByteArray text = readFile(QStringLiteral(SAT_TEST_DATA_DIR "/") + name);
    return text;
}

QStringList TestEmulatorStates::sell(const QByteArray& doc)
{
    return fieldsOf(EnviarDadosVenda(++m_session, kCode, doc.constData()));
}

QStringList TestEmulatorStates::status()
{
    const QStringList fields = fieldsOf(ConsultarStatusOperacional(++m_session, kCode));
    return fields.size() == 28 ? fields : QStringList();
}

QByteArray TestEmulatorStates::logText()
{
    return QByteArray::fromBase64(fieldsOf(ExtrairLogs(++m_session, kCode)).value(5).toLatin1());
}

// The state file as a trainer edits it, with the device switched off: the engine reads it again on a path change.
void TestEmulatorStates::editState(const QByteArray& from, const QByteArray& to)
{
    const QString path = m_statePath;
    usePath(QStringLiteral("outro-equipamento.txt"));
    ConsultarSAT(++m_session);
    QByteArray state = readFile(path);
    QVERIFY2(state.contains(from), from.constData());
    state.replace(from, to);
    QVERIFY(writeFile(path, state));
    m_statePath = path;
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(path));
}

void TestEmulatorStates::issuedSaleGroups()
{
    activate();
    associate();
    const QStringList fields = sell();
    QCOMPARE(fields.value(1), QStringLiteral("06000"));
    QCOMPARE(fields.value(9), QStringLiteral("20.71"));
    QVERIFY(!QByteArray::fromBase64(fields.value(6).toLatin1()).contains("<!--"));
    const Element cfe = parseXml(QByteArray::fromBase64(fields.value(6).toLatin1()));
    const Element* inf = cfe.child(QStringLiteral("infCFe"));
    QVERIFY(inf);
    QCOMPARE(inf->names(), QStringList({"ide", "emit", "dest", "det", "det", "det", "det", "det", "total", "pgto"}));

    const Element* issuer = inf->child(QStringLiteral("emit"));
    QCOMPARE(
        issuer->names(),
        QStringList({"CNPJ", "xNome", "xFant", "enderEmit", "IE", "IM", "cRegTrib", "cRegTribISSQN", "indRatISSQN"}));
    QCOMPARE(issuer->child(QStringLiteral("enderEmit"))->names(),
             QStringList({"xLgr", "nro", "xCpl", "xBairro", "xMun", "CEP"}));
    QCOMPARE(issuer->at(QStringLiteral("xNome")), QStringLiteral("CONTRIBUINTE DO EMULADOR SAT"));
    QCOMPARE(issuer->at(QStringLiteral("cRegTrib")), QStringLiteral("3"));

    const Element* first = inf->child(QStringLiteral("det"), 0);
    QCOMPARE(first->child(QStringLiteral("prod"))->names(),
             QStringList({"cProd", "xProd", "CFOP", "uCom", "qCom", "vUnCom", "vProd", "indRegra", "vDesc", "vItem",
                          "vRatDesc"}));
    QCOMPARE(first->child(QStringLiteral("imposto"))
                 ->child(QStringLiteral("ICMS"))
                 ->child(QStringLiteral("ICMS00"))
                 ->names(),
             QStringList({"Orig", "CST", "pICMS", "vICMS"}));

    // Per item: vItem, vRatDesc, then the tax values the device computes, on the value after the apportionment.
    const struct {
        int item;
        const char* path;
        const char* value;
    } expected[] = {
        {0, "prod/vProd", "9.99"},
        {0, "prod/vItem", "9.00"},
        {0, "prod/vRatDesc", "0.90"},
        {0, "imposto/ICMS/ICMS00/vICMS", "1.46"}, // 8.10 x 18%
        {0, "imposto/PIS/PISAliq/vPIS", "0.15"}, // 9.00 x 0.0165
        {0, "imposto/COFINS/COFINSAliq/vCOFINS", "0.68"},
        {1, "prod/vRatDesc", "0.20"},
        {1, "imposto/ICMS/ICMSSN900/vICMS", "0.13"}, // 1.80 x 7%
        {1, "imposto/PIS/PISQtde/vPIS", "0.20"}, // 2 x 0.10
        {1, "imposto/PISST/vPIS", "0.02"},
        {1, "imposto/COFINSST/vCOFINS", "0.05"},
        {2, "prod/vRatDesc", "1.00"},
        {2, "imposto/ISSQN/vBC", "8.00"}, // 10.00 - 1.00 apportioned - 1.00 deducted
        {2, "imposto/ISSQN/vISSQN", "0.40"},
        {2, "imposto/PIS/PISOutr/vPIS", "0.07"}, // 0.065 rounded half up
        {3, "prod/vRatDesc", "0.10"},
        {3, "imposto/COFINS/COFINSQtde/vCOFINS", "0.33"},
        {4, "prod/vRatDesc", "0.10"},
        {-1, "total/ICMSTot/vICMS", "1.59"},
        {-1, "total/ICMSTot/vProd", "24.00"},
        {-1, "total/ICMSTot/vDesc", "0.99"},
        {-1, "total/ICMSTot/vPIS", "0.35"},
        {-1, "total/ICMSTot/vCOFINS", "1.01"},
        {-1, "total/ICMSTot/vPISST", "0.02"},
        {-1, "total/ICMSTot/vCOFINSST", "0.05"},
        {-1, "total/ICMSTot/vOutro", "0.00"},
        {-1, "total/vCFe", "20.71"},
        {-1, "total/ISSQNtot/vBC", "8.00"},
        {-1, "total/ISSQNtot/vISS", "0.40"},
        {-1, "total/ISSQNtot/vPIS", "0.07"},
        {-1, "total/DescAcrEntr/vDescSubtot", "2.30"},
        {-1, "total/vCFeLei12741", "1.50"},
        {-1, "pgto/vTroco", "4.29"},
    };
    for (const auto& e : expected) {
        const Element* base = e.item < 0 ? inf : inf->child(QStringLiteral("det"), e.item);
        QVERIFY(base);
        QCOMPARE(base->at(QString::fromLatin1(e.path)) + " " + e.path, QString::fromLatin1(e.value) + " " + e.path);
    }
    // Groups that carry no value get none.
    QCOMPARE(inf->child(QStringLiteral("det"), 3)->at(QStringLiteral("imposto/ICMS/ICMS40/vICMS")),
             QStringLiteral("<ausente>"));
    QCOMPARE(inf->child(QStringLiteral("det"), 4)
                 ->child(QStringLiteral("imposto"))
                 ->child(QStringLiteral("PIS"))
                 ->child(QStringLiteral("PISNT"))
                 ->names(),
             QStringList({"CST"}));
    QCOMPARE(inf->child(QStringLiteral("total"))->names(),
             QStringList({"ICMSTot", "vCFe", "ISSQNtot", "DescAcrEntr", "vCFeLei12741"}));
}

// vCFeLei12741 is the application's own declaration: summed from the items only when it sends none.
void TestEmulatorStates::declaredTaxTotalKept()
{
    activate();
    associate();
    QByteArray doc = document(QStringLiteral("venda-impostos.xml"));
    QVERIFY(doc.contains("</DescAcrEntr>"));
    doc.replace("</DescAcrEntr>", "</DescAcrEntr><vCFeLei12741>3.00</vCFeLei12741>");
    const QStringList fields = sell(doc);
    QCOMPARE(fields.value(1), QStringLiteral("06000"));
    const Element cfe = parseXml(QByteArray::fromBase64(fields.value(6).toLatin1()));
    const Element* inf = cfe.child(QStringLiteral("infCFe"));
    QVERIFY(inf);
    const Element* total = inf->child(QStringLiteral("total"));
    QVERIFY(total);
    QCOMPARE(total->count(QStringLiteral("vCFeLei12741")), 1);
    QCOMPARE(total->at(QStringLiteral("vCFeLei12741")), QStringLiteral("3.00"));
    QCOMPARE(total->names(), QStringList({"ICMSTot", "vCFe", "ISSQNtot", "DescAcrEntr", "vCFeLei12741"}));
}

void TestEmulatorStates::apportionment_data()
{
    QTest::addColumn<QStringList>("prices");
    QTest::addColumn<QString>("adjustment"); // the DescAcrEntr element
    QTest::addColumn<QStringList>("shares");
    QTest::newRow("discount, equal thirds")
        << QStringList({"1.00", "1.00", "1.00"}) << "<vDescSubtot>1.00</vDescSubtot>"
        << QStringList({"0.34", "0.33", "0.33"});
    QTest::newRow("discount, two items") << QStringList({"13.50", "5.50"}) << "<vDescSubtot>0.50</vDescSubtot>"
                                         << QStringList({"0.36", "0.14"});
    QTest::newRow("increase, uneven") << QStringList({"0.01", "9.99", "3.33"}) << "<vAcresSubtot>1.00</vAcresSubtot>"
                                      << QStringList({"", "0.75", "0.25"});
    QTest::newRow("discount of the whole")
        << QStringList({"2.00", "3.00"}) << "<vDescSubtot>5.00</vDescSubtot>" << QStringList({"2.00", "3.00"});
    QTest::newRow("one cent over many") << QStringList({"1.00", "1.00", "1.00", "1.00"})
                                        << "<vDescSubtot>0.01</vDescSubtot>" << QStringList({"0.01", "", "", ""});
}

// A sale whose items are the given prices; the shares land on the items and add up to the cent.
void TestEmulatorStates::apportionment()
{
    QFETCH(QStringList, prices);
    QFETCH(QString, adjustment);
    QFETCH(QStringList, shares);
    activate();
    associate();
    const QByteArray sample = document(QStringLiteral("venda-impostos.xml"));
    const int from = sample.indexOf("<det ");
    const int to = sample.lastIndexOf("</det>") + 6;
    const QByteArray item = sample.mid(sample.indexOf("<det nItem=\"5\">"), to - sample.indexOf("<det nItem=\"5\">"));
    QByteArray items;
    for (int i = 0; i < prices.size(); ++i)
        items += QByteArray(item)
                     .replace("<det nItem=\"5\">", "<det nItem=\"" + QByteArray::number(i + 1) + "\">")
                     .replace("<vUnCom>1.01</vUnCom>", "<vUnCom>" + prices.at(i).toLatin1() + "</vUnCom>");
    QByteArray doc = sample.left(from) + items + sample.mid(to);
    doc.replace("<vDescSubtot>2.30</vDescSubtot>", adjustment.toLatin1());
    const QStringList fields = sell(doc);
    QCOMPARE(fields.value(1), QStringLiteral("06000"));
    const Element cfe = parseXml(QByteArray::fromBase64(fields.value(6).toLatin1()));
    const Element* inf = cfe.child(QStringLiteral("infCFe"));
    QVERIFY(inf);
    const QString name
        = adjustment.contains(QLatin1String("Desc")) ? QStringLiteral("prod/vRatDesc") : QStringLiteral("prod/vRatAcr");
    QStringList actual;
    for (int i = 0; i < prices.size(); ++i) {
        const QString share = inf->child(QStringLiteral("det"), i)->at(name);
        actual << (share == QLatin1String("<ausente>") ? QString() : share);
    }
    QCOMPARE(actual, shares);
    int cents = 0;
    sumOfCents(actual, cents);
    const QString amount = adjustment.section(QLatin1Char('>'), 1).section(QLatin1Char('<'), 0, 0);
    QCOMPARE(cents, qRound(amount.toDouble() * 100));
}

// The end-to-end test is lenient, so it shows what the builder does with fields only the device fills.
void TestEmulatorStates::deviceFieldsReplaceTheApplications()
{
    activate();
    QByteArray doc = document(QStringLiteral("venda-impostos.xml"));
    doc.replace("<CNPJ>11222333000181</CNPJ>", "<cUF>99</cUF><CNPJ>11222333000181</CNPJ><cUF>98</cUF>");
    doc.replace("<IE>111111111111</IE>", "<xNome>OUTRO</xNome><IE>111111111111</IE>");
    doc.replace("<indRegra>A</indRegra>\n        <vDesc>0.99</vDesc>",
                "<vProd>1.00</vProd><indRegra>A</indRegra><vDesc>0.99</vDesc><vItem>1.00</vItem>");
    doc.replace("<total>", "<total><vCFe>1.00</vCFe><ICMSTot><vICMS>9.99</vICMS></ICMSTot>");
    doc.replace("</MP>\n    </pgto>", "</MP><vTroco>1.00</vTroco></pgto>");
    const QStringList fields = fieldsOf(TesteFimAFim(++m_session, kCode, doc.constData()));
    QCOMPARE(fields.value(1), QStringLiteral("09000"));
    const Element cfe = parseXml(QByteArray::fromBase64(fields.value(5).toLatin1()));
    const Element* inf = cfe.child(QStringLiteral("infCFe"));
    QVERIFY(inf);
    const Element* ide = inf->child(QStringLiteral("ide"));
    QCOMPARE(ide->count(QStringLiteral("cUF")), 1);
    QCOMPARE(ide->at(QStringLiteral("cUF")), QStringLiteral("35"));
    QCOMPARE(ide->names().first(), QStringLiteral("cUF"));
    QCOMPARE(inf->child(QStringLiteral("emit"))->count(QStringLiteral("xNome")), 1);
    const Element* prod = inf->child(QStringLiteral("det"))->child(QStringLiteral("prod"));
    QCOMPARE(prod->count(QStringLiteral("vProd")), 1);
    QCOMPARE(prod->count(QStringLiteral("vItem")), 1);
    QCOMPARE(prod->at(QStringLiteral("vItem")), QStringLiteral("9.00"));
    const Element* total = inf->child(QStringLiteral("total"));
    QCOMPARE(total->count(QStringLiteral("vCFe")), 1);
    QCOMPARE(total->count(QStringLiteral("ICMSTot")), 1);
    QCOMPARE(total->at(QStringLiteral("vCFe")), QStringLiteral("20.71"));
    QCOMPARE(inf->child(QStringLiteral("pgto"))->count(QStringLiteral("vTroco")), 1);

    // The tool's built-in sample sends pgto before total; the issued test CF-e is in the layout's order.
    const QByteArray builtIn = readFile(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"));
    const QStringList test = fieldsOf(TesteFimAFim(++m_session, kCode, builtIn.constData()));
    QCOMPARE(test.value(1), QStringLiteral("09000"));
    const Element sampleCfe = parseXml(QByteArray::fromBase64(test.value(5).toLatin1()));
    const Element* sample = sampleCfe.child(QStringLiteral("infCFe"));
    QVERIFY(sample);
    QCOMPARE(sample->names(), QStringList({"ide", "emit", "dest", "det", "total", "pgto"}));
}

void TestEmulatorStates::cancellationCarriesTheSale()
{
    activate();
    associate();
    const QStringList sale = sell();
    QCOMPARE(sale.value(1), QStringLiteral("06000"));
    const QByteArray ready = readFile(m_dir->filePath(QStringLiteral("cancelamento-ultima-venda.xml")));
    const QStringList fields
        = fieldsOf(CancelarUltimaVenda(++m_session, kCode, sale.value(8).toLatin1().constData(), ready.constData()));
    QCOMPARE(fields.value(1), QStringLiteral("07000"));
    const Element cfe = parseXml(QByteArray::fromBase64(fields.value(6).toLatin1()));
    const Element* inf = cfe.child(QStringLiteral("infCFe"));
    QVERIFY(inf);
    QCOMPARE(inf->attributes.value(QStringLiteral("chCanc")), sale.value(8));
    QCOMPARE(inf->names(), QStringList({"dEmi", "hEmi", "ide", "emit", "dest", "total"}));
    const Element* issuer = inf->child(QStringLiteral("emit"));
    QCOMPARE(issuer->names(), QStringList({"CNPJ", "xNome", "xFant", "enderEmit", "IE", "IM"}));
    QCOMPARE(issuer->at(QStringLiteral("IE")), QStringLiteral("111111111111"));
    QCOMPARE(issuer->at(QStringLiteral("enderEmit/CEP")), QStringLiteral("01001000"));
    QCOMPARE(inf->at(QStringLiteral("dest/CPF")), QStringLiteral("12345678909"));
    QCOMPARE(inf->at(QStringLiteral("total/vCFe")), QStringLiteral("20.71"));
    QCOMPARE(inf->at(QStringLiteral("ide/numeroCaixa")), QStringLiteral("002"));
}

void TestEmulatorStates::taxpayerProfile_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cep");
    QTest::addColumn<QString>("regime");
    QTest::addColumn<bool>("refused");
    QTest::newRow("whole profile") << QByteArray("# loja\nxNome=PADARIA BOM PAO LTDA\nxFant=BOM PAO\nxLgr=AV "
                                                 "BRASIL\nnro=12\nxCpl=LOJA 2\nxBairro=JARDIM\nxMun=CAMPINAS\n"
                                                 "CEP=13010000\ncRegTrib=1\n")
                                   << "PADARIA BOM PAO LTDA"
                                   << "13010000"
                                   << "1" << false;
    QTest::newRow("some fields") << QByteArray("xNome=MERCADO TESTE\n\n") << "MERCADO TESTE"
                                 << "01001000"
                                 << "3" << false;
    // 60 characters, more bytes than that in UTF-8.
    const QString accented = QStringLiteral("PADARIA S\u00c3O JO\u00c3O ").repeated(4).left(60);
    QTest::newRow("accented name at its longest") << QByteArray("xNome=") + accented.toUtf8() + "\n"
                                                  << accented << "01001000"
                                                  << "3" << false;
    QTest::newRow("name not in UTF-8") << QByteArray("xNome=PADARIA S\xc3O JO\xc3O\n") << "CONTRIBUINTE DO EMULADOR SAT"
                                       << "01001000"
                                       << "3" << true;
    QTest::newRow("wrong CEP") << QByteArray("xNome=MERCADO TESTE\nCEP=1301-000\n") << "CONTRIBUINTE DO EMULADOR SAT"
                               << "01001000"
                               << "3" << true;
    QTest::newRow("unknown field") << QByteArray("xNomeFantasia=X\n") << "CONTRIBUINTE DO EMULADOR SAT"
                                   << "01001000"
                                   << "3" << true;
    QTest::newRow("regime 2") << QByteArray("cRegTrib=2\n") << "CONTRIBUINTE DO EMULADOR SAT"
                              << "01001000"
                              << "3" << true;
}

// The profile is read at activation and kept: changing the file afterwards changes nothing.
void TestEmulatorStates::taxpayerProfile()
{
    QFETCH(QByteArray, profile);
    QFETCH(QString, name);
    QFETCH(QString, cep);
    QFETCH(QString, regime);
    QFETCH(bool, refused);
    const QString path = m_dir->filePath(QStringLiteral("contribuinte.txt"));
    QVERIFY(writeFile(path, profile));
    qputenv("SAT_EMULADOR_CONTRIBUINTE", QFile::encodeName(path));
    activate();
    associate();
    QVERIFY(writeFile(path, "xNome=DEPOIS DA ATIVACAO\n"));
    usePath(QStringLiteral("outro.txt"));
    usePath(QStringLiteral("estado.txt"));
    const QStringList fields = sell();
    QCOMPARE(fields.value(1), QStringLiteral("06000"));
    const Element cfe = parseXml(QByteArray::fromBase64(fields.value(6).toLatin1()));
    const Element* inf = cfe.child(QStringLiteral("infCFe"));
    QVERIFY(inf);
    const Element* issuer = inf->child(QStringLiteral("emit"));
    QVERIFY(issuer);
    QCOMPARE(issuer->at(QStringLiteral("xNome")), name);
    QCOMPARE(issuer->at(QStringLiteral("enderEmit/CEP")), cep);
    QCOMPARE(issuer->at(QStringLiteral("cRegTrib")), regime);
    QCOMPARE(logText().contains("|SAT|alerta|Perfil do contribuinte recusado"), refused);
}

void TestEmulatorStates::operationStates_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("sale");
    QTest::addColumn<QString>("cancellation");
    QTest::addColumn<QString>("unblock");
    QTest::newRow("unblocked") << 0 << "0"
                               << "06000"
                               << "07000"
                               << "17005";
    QTest::newRow("by the tax authority") << 1 << "1"
                                          << "06007"
                                          << "07004"
                                          << "17002";
    QTest::newRow("by the taxpayer") << 2 << "2"
                                     << "06006"
                                     << "07003"
                                     << "17000";
    QTest::newRow("no contact for 11 days") << 3 << "3"
                                            << "06008"
                                            << "07005"
                                            << "17004";
    QTest::newRow("certificate expired") << 4 << "3"
                                         << "06008"
                                         << "07005"
                                         << "17004";
    QTest::newRow("working memory full") << 5 << "3"
                                         << "06008"
                                         << "07005"
                                         << "17004";
    QTest::newRow("for deactivation") << 6 << "4"
                                      << "06007"
                                      << "07004"
                                      << "17002";
}

// Each state reached as a trainer would, then honoured by a sale, a cancellation, the status and the unblock.
void TestEmulatorStates::operationStates()
{
    QFETCH(int, how);
    QFETCH(QString, state);
    QFETCH(QString, sale);
    QFETCH(QString, cancellation);
    QFETCH(QString, unblock);
    activate();
    associate();
    const QStringList first = sell();
    QCOMPARE(first.value(1), QStringLiteral("06000"));
    switch (how) {
    case 1:
        qputenv("SAT_EMULADOR_BLOQUEIO_SEFAZ", "1");
        break;
    case 2:
        QCOMPARE(eeeee(BloquearSAT(++m_session, kCode)), QStringLiteral("16000"));
        break;
    case 3:
        qputenv("SAT_EMULADOR_SEFAZ", "0");
        qputenv("SAT_EMULADOR_AGORA", stampAfter(11 * 86400));
        break;
    case 4:
        // Only an ICP-Brasil certificate runs out: the tax authority renews an AC-SAT one.
        QCOMPARE(eeeee(AtivarSAT(++m_session, 3, kCode, kTaxpayer, 35)), QStringLiteral("04006"));
        QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(++m_session, kCode, kCertificate)), QStringLiteral("05000"));
        qputenv("SAT_EMULADOR_AGORA", stampAfter((5 * 365 + 3) * 86400));
        break;
    case 5:
        qputenv("SAT_EMULADOR_SEFAZ", "0");
        editState("memoria.totalKB=4194304", "memoria.totalKB=12");
        for (int i = 0; i < 10 && sell().value(1) == QLatin1String("06000"); ++i) { }
        break;
    case 6:
        qputenv("SAT_EMULADOR_BLOQUEIO_SEFAZ", "4");
        break;
    default:
        break;
    }
    const QStringList refused = sell();
    QCOMPARE(refused.value(1), sale);
    if (sale != QLatin1String("06000"))
        QCOMPARE(refused.size(), 6);
    const QString key = sale == QLatin1String("06000") ? refused.value(8) : first.value(8);
    const QByteArray ready = readFile(m_dir->filePath(QStringLiteral("cancelamento-ultima-venda.xml")));
    const bool inTime = how != 3 && how != 4;
    const QString cancelled
        = eeeee(CancelarUltimaVenda(++m_session, kCode, key.toLatin1().constData(), ready.constData()));
    // Past the 30 minutes a cancellation is refused anyway; the block still answers first.
    QCOMPARE(cancelled, inTime || cancellation != QLatin1String("07000") ? cancellation : QStringLiteral("07002"));
    QCOMPARE(status().value(kOperationState), state);
    QCOMPARE(eeeee(DesbloquearSAT(++m_session, kCode)), unblock);
    QCOMPARE(status().value(kOperationState), unblock == QLatin1String("17000") ? QStringLiteral("0") : state);
    // The other functions keep working in every state.
    QCOMPARE(eeeee(ExtrairLogs(++m_session, kCode)), QStringLiteral("15000"));
    QCOMPARE(eeeee(ConsultarSAT(++m_session)), QStringLiteral("08000"));
}

void TestEmulatorStates::autonomousBlockLiftsItself()
{
    activate();
    associate();
    qputenv("SAT_EMULADOR_SEFAZ", "0");
    qputenv("SAT_EMULADOR_AGORA", stampAfter(10 * 86400));
    QCOMPARE(sell().value(1), QStringLiteral("06000"));
    qputenv("SAT_EMULADOR_AGORA", stampAfter(10 * 86400 + 1));
    const QStringList refused = sell();
    QCOMPARE(refused.value(1), QStringLiteral("06008"));
    QVERIFY(refused.value(3).contains(QLatin1String("sem comunicacao")));
    QCOMPARE(eeeee(BloquearSAT(++m_session, kCode)), QStringLiteral("16003"));
    qunsetenv("SAT_EMULADOR_SEFAZ");
    QCOMPARE(sell().value(1), QStringLiteral("06000"));
    QCOMPARE(status().value(kOperationState), QStringLiteral("0"));
}

void TestEmulatorStates::taxAuthorityLiftsItsBlock()
{
    activate();
    associate();
    qputenv("SAT_EMULADOR_BLOQUEIO_SEFAZ", "1");
    // Orders reach the device only over the link.
    qputenv("SAT_EMULADOR_SEFAZ", "0");
    QCOMPARE(status().value(kOperationState), QStringLiteral("0"));
    qunsetenv("SAT_EMULADOR_SEFAZ");
    QCOMPARE(status().value(kOperationState), QStringLiteral("1"));
    // The block is kept once ordered, across a power cycle.
    qunsetenv("SAT_EMULADOR_BLOQUEIO_SEFAZ");
    usePath(QStringLiteral("outro.txt"));
    usePath(QStringLiteral("estado.txt"));
    QCOMPARE(sell().value(1), QStringLiteral("06007"));
    QCOMPARE(eeeee(BloquearSAT(++m_session, kCode)), QStringLiteral("16002"));
    QCOMPARE(eeeee(TesteFimAFim(++m_session, kCode, document(QStringLiteral("venda-impostos.xml")).constData())),
             QStringLiteral("09099"));
    qputenv("SAT_EMULADOR_BLOQUEIO_SEFAZ", "0");
    QCOMPARE(sell().value(1), QStringLiteral("06000"));
}

void TestEmulatorStates::wrongCodeLockout()
{
    activate();
    associate();
    // A right code in between starts the count again.
    ConsultarStatusOperacional(++m_session, "errado-1");
    ConsultarStatusOperacional(++m_session, "errado-2");
    QCOMPARE(eeeee(ConsultarStatusOperacional(++m_session, kCode)), QStringLiteral("10000"));
    ConsultarStatusOperacional(++m_session, "errado-3");
    ConsultarStatusOperacional(++m_session, "errado-4");
    QCOMPARE(sell().value(1), QStringLiteral("06000"));

    EnviarDadosVenda(++m_session, "errado-5", "");
    ConsultarStatusOperacional(++m_session, "errado-6");
    QCOMPARE(eeeee(ExtrairLogs(++m_session, "errado-7")), QStringLiteral("15001"));
    // Locked now, the right code included.
    const QStringList locked = sell();
    QCOMPARE(locked.value(1), QStringLiteral("06009"));
    QCOMPARE(eeeee(CancelarUltimaVenda(++m_session, kCode, "CFe0", "<CFeCanc/>")), QStringLiteral("07006"));
    const QStringList statusRefused = fieldsOf(ConsultarStatusOperacional(++m_session, kCode));
    QCOMPARE(statusRefused.value(1), QStringLiteral("10001"));
    QVERIFY(statusRefused.value(2).contains(QLatin1String("tentativas")));
    QVERIFY(logText().isEmpty());
    qputenv("SAT_EMULADOR_AGORA", stampAfter(29 * 60 + 59));
    QCOMPARE(sell().value(1), QStringLiteral("06009"));
    qputenv("SAT_EMULADOR_AGORA", stampAfter(30 * 60));
    QCOMPARE(sell().value(1), QStringLiteral("06000"));
    QVERIFY(logText().contains("|SAT|alerta|SAT bloqueado ate " + stampAfter(0).left(8)));
}

void TestEmulatorStates::icpBrasilActivation()
{
    // A certificate nobody asked for is refused, on a new device and on one activated with AC-SAT.
    QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(++m_session, kCode, kCertificate)), QStringLiteral("05099"));
    QCOMPARE(eeeee(AtivarSAT(++m_session, 3, kCode, kTaxpayer, 35)), QStringLiteral("04099"));

    const QStringList request = fieldsOf(AtivarSAT(++m_session, 2, kCode, kTaxpayer, 35));
    QCOMPARE(request.value(1), QStringLiteral("04006"));
    QVERIFY(request.value(5).startsWith(QLatin1String("-----BEGIN CERTIFICATE REQUEST-----")));
    // Not working until the certificate comes back.
    QCOMPARE(sell().value(1), QStringLiteral("06002"));
    QCOMPARE(eeeee(AssociarAssinatura(++m_session, kCode, kBoth, QByteArray(344, '0').constData())),
             QStringLiteral("13099"));
    QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(++m_session, "outro-codigo", kCertificate)), QStringLiteral("05001"));
    QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(++m_session, kCode, "sem certificado")), QStringLiteral("05003"));
    qputenv("SAT_EMULADOR_AGORA", stampAfter(86400));
    QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(++m_session, kCode, kCertificate)), QStringLiteral("05000"));
    associate();
    QCOMPARE(sell().value(1), QStringLiteral("06000"));
    const QStringList fields = status();
    QCOMPARE(fields.value(kCertificateIssued), QString::fromLatin1(stampAfter(86400).left(8)));
    QCOMPARE(fields.value(kOperationState), QStringLiteral("0"));
    QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(++m_session, kCode, kCertificate)), QStringLiteral("05002"));
    QCOMPARE(eeeee(AtivarSAT(++m_session, 2, kCode, kTaxpayer, 35)), QStringLiteral("04003"));

    usePath(QStringLiteral("ac-sat.txt"));
    activate();
    QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(++m_session, kCode, kCertificate)), QStringLiteral("05002"));
}

// The tax authority renews an AC-SAT certificate over the link; an ICP-Brasil one needs the taxpayer's renewal,
// which starts an expired device again.
void TestEmulatorStates::certificateRenewal()
{
    activate();
    associate();
    const QByteArray nearEnd = stampAfter((5 * 365 - 31) * 86400);
    qputenv("SAT_EMULADOR_AGORA", nearEnd);
    QCOMPARE(status().value(kCertificateIssued), QStringLiteral("20240315"));
    const QByteArray renewal = stampAfter((5 * 365 - 29) * 86400);
    qputenv("SAT_EMULADOR_AGORA", renewal);
    QStringList fields = status();
    QCOMPARE(fields.value(kCertificateIssued), QString::fromLatin1(renewal.left(8)));
    QCOMPARE(fields.value(kOperationState), QStringLiteral("0"));

    QCOMPARE(eeeee(AtivarSAT(++m_session, 3, kCode, kTaxpayer, 35)), QStringLiteral("04006"));
    QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(++m_session, kCode, kCertificate)), QStringLiteral("05000"));
    const QByteArray expired = stampAfter((10 * 365 - 29 + 3) * 86400);
    qputenv("SAT_EMULADOR_AGORA", expired);
    QCOMPARE(status().value(kOperationState), QStringLiteral("3"));
    QVERIFY(sell().value(3).contains(QLatin1String("certificado digital vencido")));
    QCOMPARE(eeeee(AtivarSAT(++m_session, 3, "errado-1", kTaxpayer, 35)), QStringLiteral("04099"));
    QCOMPARE(eeeee(AtivarSAT(++m_session, 3, kCode, "11222333000181", 35)), QStringLiteral("04002"));
    QCOMPARE(eeeee(AtivarSAT(++m_session, 3, kCode, kTaxpayer, 35)), QStringLiteral("04006"));
    QCOMPARE(eeeee(ComunicarCertificadoICPBRASIL(++m_session, kCode, kCertificate)), QStringLiteral("05000"));
    fields = status();
    QCOMPARE(fields.value(kOperationState), QStringLiteral("0"));
    QCOMPARE(fields.value(kCertificateIssued), QString::fromLatin1(expired.left(8)));
    QCOMPARE(fields.value(kCertificateExpiry).left(4), QString::number(expired.left(4).toInt() + 5));
    QCOMPARE(sell().value(1), QStringLiteral("06000"));
}

void TestEmulatorStates::statusMovesWithTheDevice()
{
    QStringList fields = fieldsOf(ConsultarStatusOperacional(++m_session, "31415926"));
    QCOMPARE(fields.size(), 28);
    QCOMPARE(fields.value(kListFirst), QString::fromLatin1(kZeroKey));
    QCOMPARE(fields.value(kLastContact), QStringLiteral("00000000000000"));
    activate();
    associate();

    // Off the link the CF-e stay in the working memory.
    qputenv("SAT_EMULADOR_SEFAZ", "0");
    qputenv("SAT_EMULADOR_AGORA", stampAfter(60));
    const QString first = sell().value(8).mid(3);
    fields = status();
    QCOMPARE(fields.value(kStatusLan), QStringLiteral("NAO_CONECTADO"));
    const int usedAfterOne = fields.value(kMemoryUsed).section(QLatin1Char(' '), 0, 0).toInt();
    QVERIFY(usedAfterOne > 0);
    QCOMPARE(fields.value(kMemoryTotal), QStringLiteral("4194304 KB"));
    qputenv("SAT_EMULADOR_AGORA", stampAfter(120));
    const QString second = sell().value(8).mid(3);
    fields = status();
    QCOMPARE(fields.mid(kLastKey, 3), QStringList({second, first, second}));
    QVERIFY(fields.value(kMemoryUsed).section(QLatin1Char(' '), 0, 0).toInt() > usedAfterOne);
    QVERIFY(fields.value(kMemoryUsed).endsWith(QLatin1String(" KB")));
    QCOMPARE(fields.value(kLastTransmission), QStringLiteral("00000000000000"));
    QCOMPARE(fields.value(kLastContact), QString::fromLatin1(kNow));

    // Back on the link, the memory leaves for the tax authority.
    qunsetenv("SAT_EMULADOR_SEFAZ");
    qputenv("SAT_EMULADOR_AGORA", stampAfter(3600));
    fields = status();
    QCOMPARE(fields.value(kStatusLan), QStringLiteral("CONECTADO"));
    QCOMPARE(fields.mid(kLastKey, 3), QStringList({second, kZeroKey, kZeroKey}));
    QCOMPARE(fields.value(kMemoryUsed), QStringLiteral("0 KB"));
    QCOMPARE(fields.value(kLastTransmission), QString::fromLatin1(stampAfter(3600)));
    QCOMPARE(fields.value(kLastContact), QString::fromLatin1(stampAfter(3600)));
    QCOMPARE(fields.value(kBattery), QStringLiteral("ALTO"));

    qputenv("SAT_EMULADOR_AGORA", stampAfter(3 * 366 * 86400));
    QCOMPARE(status().value(kBattery), QStringLiteral("MEDIO"));
    qputenv("SAT_EMULADOR_AGORA", stampAfter(5 * 366 * 86400));
    QCOMPARE(status().value(kBattery), QStringLiteral("BAIXO"));
}

void TestEmulatorStates::leftoverTemporaryFilesRemoved()
{
    activate();
    const QString folder = m_dir->path();
    const QStringList dead = {"estado.txt.tmp-999999999", "cancelamento-ultima-venda.xml.tmp-999999998"};
    const QStringList kept = {"estado.txt.tmp-" + QString::number(QCoreApplication::applicationPid() == 1 ? 2 : 1),
                              "vizinho.txt.tmp-999999999", "estado.txt.tmp-abc"};
    for (const QString& name : dead + kept)
        QVERIFY(writeFile(folder + "/" + name, QByteArray(512 * 1024, 'x')));
    // The next start: the device reads its state again.
    usePath(QStringLiteral("outra-pasta/estado.txt"));
    ConsultarSAT(++m_session);
    usePath(QStringLiteral("estado.txt"));
    QCOMPARE(eeeee(ConsultarStatusOperacional(++m_session, kCode)), QStringLiteral("10000"));
    for (const QString& name : dead)
        QVERIFY2(!QFile::exists(folder + "/" + name), qPrintable(name));
    for (const QString& name : kept)
        QVERIFY2(QFile::exists(folder + "/" + name), qPrintable(name));
    QVERIFY(logText().contains("|SAT|alerta|2 arquivo(s) temporario(s)"));
}

void TestEmulatorStates::logLevelsAndNoHostPaths()
{
    QVERIFY(writeFile(m_statePath, "ilegivel\n"));
    activate();
    QCOMPARE(sell().value(1), QStringLiteral("06003"));
    associate();
    QCOMPARE(sell().value(1), QStringLiteral("06000"));
    ConsultarStatusOperacional(++m_session, "errado-1");
    const QByteArray log = logText(); // its own session is the last
    QVERIFY(log.contains("|SAT|erro|Arquivo de estado ilegivel"));
    QVERIFY(log.contains("|SAT|info|AtivarSAT sessao"));
    QVERIFY(log.contains("|SAT|alerta|EnviarDadosVenda sessao " + QByteArray::number(m_session - 4) + ": 06003"));
    QVERIFY(log.contains("|SAT|info|EnviarDadosVenda sessao " + QByteArray::number(m_session - 2) + ": 06000"));
    QVERIFY(
        log.contains("|SAT|alerta|ConsultarStatusOperacional sessao " + QByteArray::number(m_session - 1) + ": 10001"));
    QVERIFY(log.contains("estado.txt.ilegivel-"));
    QVERIFY2(!log.contains(QFile::encodeName(m_dir->path())), log.constData());
    QVERIFY(!log.contains(qgetenv("HOME") + "/"));
    const QRegularExpression shape(QStringLiteral("^\\d{14}\\|SAT\\|(info|alerta|erro)\\|[ -~]+$"));
    for (const QByteArray& line : log.split('\n'))
        if (!line.isEmpty())
            QVERIFY2(shape.match(QString::fromLatin1(line)).hasMatch(), line.constData());
}

QTEST_GUILESS_MAIN(TestEmulatorStates)
#include "tst_emulatorstates.moc"
