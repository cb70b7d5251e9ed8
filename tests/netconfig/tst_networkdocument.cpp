#include "netconfig/networkdocument.h"

#include <QtTest>

#include <cstdlib>
#include <cstring>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlmemory.h>

Q_DECLARE_METATYPE(NetworkSettings)
Q_DECLARE_METATYPE(OctetWidth)
Q_DECLARE_METATYPE(ProxyMode)

namespace {

QByteArray expectedDocument(const QByteArray& children)
{
    return "<?xml version=\"1.0\"?>\n<config>" + children + "</config>\n";
}

const QByteArray noProxy = "<proxy>0</proxy><proxy_ip/><proxy_porta/><proxy_user/><proxy_senha/>";

NetworkSettings dhcp(const QString& user, const QString& password)
{
    NetworkSettings settings;
    settings.user = user;
    settings.password = password;
    return settings;
}

NetworkSettings fixed(const QString& ip, const QString& mask, const QString& gateway, const QString& dns1,
                      const QString& dns2)
{
    NetworkSettings settings;
    settings.dhcp = false;
    settings.ip = ip;
    settings.mask = mask;
    settings.gateway = gateway;
    settings.dns1 = dns1;
    settings.dns2 = dns2;
    return settings;
}

NetworkSettings withProxy(NetworkSettings settings, ProxyMode mode, const QString& ip, const QString& port,
                          const QString& user, const QString& password)
{
    settings.proxy = mode;
    settings.proxyIp = ip;
    settings.proxyPort = port;
    settings.proxyUser = user;
    settings.proxyPassword = password;
    return settings;
}

// libxml2 allocator that refuses one request, the one that allocationsBeforeRefusal reaches zero on,
// and grants all others, so that libxml2 goes on after the refusal as far as it is able.
int allocationsBeforeRefusal = -1; // negative: refuse none

bool allocationAllowed()
{
    if (allocationsBeforeRefusal < 0)
        return true;
    return allocationsBeforeRefusal-- != 0;
}

void* refusingMalloc(size_t size)
{
    return allocationAllowed() ? std::malloc(size) : nullptr;
}

void* refusingRealloc(void* block, size_t size)
{
    return allocationAllowed() ? std::realloc(block, size) : nullptr;
}

char* refusingStrdup(const char* text)
{
    return allocationAllowed() ? strdup(text) : nullptr;
}

void refusingFree(void* block)
{
    std::free(block);
}

// libxml2 reports every refusal on stderr; the test expects them.
void quiet(void*, const char*, ...) { }

} // namespace

class TestNetworkDocument : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void workedExample();
    void document_data();
    void document();
    void textReachesLibxml2AsUtf8_data();
    void textReachesLibxml2AsUtf8();
    void normalisedAddress_data();
    void normalisedAddress();
    void valuesXmlCannotCarryRefuseTheDocument_data();
    void valuesXmlCannotCarryRefuseTheDocument();
    void proxyMode_data();
    void proxyMode();
    void allocationFailureSendsNothing_data();
    void allocationFailureSendsNothing();
};

void TestNetworkDocument::initTestCase()
{
    // libxml2 sets up its globals on first use; do it before any allocation is refused.
    QVERIFY(!buildNetworkDocument(NetworkSettings()).isEmpty());
}

void TestNetworkDocument::workedExample()
{
    const QByteArray expected = "<?xml version=\"1.0\"?>\n"
                                "<config><tipoInter>ETHE</tipoInter><tipoLan>IPFIX</tipoLan>"
                                "<lanIP>192.168.000.010</lanIP><lanMask>255.255.255.000</lanMask>"
                                "<lanGW>192.168.000.001</lanGW><lanDNS1>192.168.000.002</lanDNS1>"
                                "<lanDNS2>010.001.001.001</lanDNS2><proxy>0</proxy><proxy_ip/><proxy_porta/>"
                                "<proxy_user/><proxy_senha/></config>\n";
    QCOMPARE(buildNetworkDocument(fixed("192.168.0.10", "255.255.255.0", "192.168.0.1", "192.168.0.2", "10.1.1.1")),
             expected);
}

void TestNetworkDocument::document_data()
{
    QTest::addColumn<NetworkSettings>("settings");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray emptyDhcp = "<tipoInter>ETHE</tipoInter><tipoLan>DHCP</tipoLan><usuario></usuario><senha></senha>";

    QTest::newRow("DHCP, empty user and password") << dhcp("", "") << expectedDocument(emptyDhcp + noProxy);
    QTest::newRow("DHCP, user and password as typed, spaces kept")
        << dhcp(" tecnico ", "s3nh4 ")
        << expectedDocument("<tipoInter>ETHE</tipoInter><tipoLan>DHCP</tipoLan><usuario> tecnico </usuario>"
                            "<senha>s3nh4 </senha>"
                            + noProxy);
    // The form keeps both modes' fields filled; only the chosen mode's are sent.
    NetworkSettings everyField = fixed("10.0.0.1", "255.0.0.0", "10.0.0.254", "8.8.8.8", "8.8.4.4");
    everyField.user = "tecnico";
    everyField.password = "segredo";
    everyField.dhcp = true;
    QTest::newRow("DHCP leaves out the address fields")
        << everyField
        << expectedDocument("<tipoInter>ETHE</tipoInter><tipoLan>DHCP</tipoLan><usuario>tecnico</usuario>"
                            "<senha>segredo</senha>"
                            + noProxy);
    everyField.dhcp = false;
    QTest::newRow("fixed address leaves out user and password")
        << everyField
        << expectedDocument("<tipoInter>ETHE</tipoInter><tipoLan>IPFIX</tipoLan><lanIP>010.000.000.001</lanIP>"
                            "<lanMask>255.000.000.000</lanMask><lanGW>010.000.000.254</lanGW>"
                            "<lanDNS1>008.008.008.008</lanDNS1><lanDNS2>008.008.004.004</lanDNS2>"
                            + noProxy);
    QTest::newRow("no proxy leaves out the proxy fields")
        << withProxy(dhcp("", ""), ProxyMode::None, "10.0.0.9", "3128", "proxyuser", "proxypass")
        << expectedDocument(emptyDhcp + noProxy);

    QTest::newRow("configured proxy, empty address and details")
        << withProxy(dhcp("", ""), ProxyMode::Configured, "...", "", "", "")
        << expectedDocument(emptyDhcp
                            + "<proxy>1</proxy><proxy_ip></proxy_ip><proxy_porta></proxy_porta>"
                              "<proxy_user></proxy_user><proxy_senha></proxy_senha>");
    QTest::newRow("transparent proxy, empty address and details")
        << withProxy(dhcp("", ""), ProxyMode::Transparent, "...", "", "", "")
        << expectedDocument(emptyDhcp
                            + "<proxy>2</proxy><proxy_ip></proxy_ip><proxy_porta></proxy_porta>"
                              "<proxy_user></proxy_user><proxy_senha></proxy_senha>");
    QTest::newRow("configured proxy, all details")
        << withProxy(dhcp("", ""), ProxyMode::Configured, "10.0.0.9", "3128", "proxyuser", "proxypass")
        << expectedDocument(emptyDhcp
                            + "<proxy>1</proxy><proxy_ip>010.000.000.009</proxy_ip><proxy_porta>3128</proxy_porta>"
                              "<proxy_user>proxyuser</proxy_user><proxy_senha>proxypass</proxy_senha>");
    QTest::newRow("proxy address partly filled is normalised, not emptied")
        << withProxy(dhcp("", ""), ProxyMode::Transparent, "172.16..", "8080", "", "")
        << expectedDocument(emptyDhcp
                            + "<proxy>2</proxy><proxy_ip>172.016.000.000</proxy_ip><proxy_porta>8080</proxy_porta>"
                              "<proxy_user></proxy_user><proxy_senha></proxy_senha>");
    QTest::newRow("port goes as typed, unchecked")
        << withProxy(dhcp("", ""), ProxyMode::Configured, "...", "porta 99999", "", "")
        << expectedDocument(emptyDhcp
                            + "<proxy>1</proxy><proxy_ip></proxy_ip><proxy_porta>porta 99999</proxy_porta>"
                              "<proxy_user></proxy_user><proxy_senha></proxy_senha>");

    QTest::newRow("&, < and > become entity references in every free text")
        << withProxy(dhcp("a&b", "<x>"), ProxyMode::Configured, "...", "1&2", "u<v", "p>q\"'")
        << expectedDocument("<tipoInter>ETHE</tipoInter><tipoLan>DHCP</tipoLan><usuario>a&amp;b</usuario>"
                            "<senha>&lt;x&gt;</senha><proxy>1</proxy><proxy_ip></proxy_ip>"
                            "<proxy_porta>1&amp;2</proxy_porta><proxy_user>u&lt;v</proxy_user>"
                            "<proxy_senha>p&gt;q\"'</proxy_senha>");
    QTest::newRow("text that looks like markup stays text")
        << dhcp("</usuario><admin/>", "&amp;")
        << expectedDocument("<tipoInter>ETHE</tipoInter><tipoLan>DHCP</tipoLan>"
                            "<usuario>&lt;/usuario&gt;&lt;admin/&gt;</usuario><senha>&amp;amp;</senha>"
                            + noProxy);

    // Each address is read on its own: nothing an earlier field supplied shows up in a later one.
    QTest::newRow("partly filled addresses give zeros, nothing left over")
        << withProxy(fixed("10.1..", "...", "192.168.3.4", "...", "8.8.."), ProxyMode::Configured, "172...", "", "", "")
        << expectedDocument("<tipoInter>ETHE</tipoInter><tipoLan>IPFIX</tipoLan><lanIP>010.001.000.000</lanIP>"
                            "<lanMask>000.000.000.000</lanMask><lanGW>192.168.003.004</lanGW>"
                            "<lanDNS1>000.000.000.000</lanDNS1><lanDNS2>008.008.000.000</lanDNS2>"
                            "<proxy>1</proxy><proxy_ip>172.000.000.000</proxy_ip><proxy_porta></proxy_porta>"
                            "<proxy_user></proxy_user><proxy_senha></proxy_senha>");
    QTest::newRow("octets above 255 kept")
        << fixed("999.999.999.999", "256.0.0.0", "300.1.1.1", "0.0.0.0", "1.2.3.999")
        << expectedDocument("<tipoInter>ETHE</tipoInter><tipoLan>IPFIX</tipoLan><lanIP>999.999.999.999</lanIP>"
                            "<lanMask>256.000.000.000</lanMask><lanGW>300.001.001.001</lanGW>"
                            "<lanDNS1>000.000.000.000</lanDNS1><lanDNS2>001.002.003.999</lanDNS2>"
                            + noProxy);
    // Address, mask and proxy address take at most three characters per octet; the others take any number.
    QTest::newRow("unmasked text read with each field's width")
        << withProxy(fixed("1234.5.6.7", "1234.5.6.7", "1234.5.6.7", "1234.5.6.7", "1234.5.6.7"), ProxyMode::Configured,
                     "1234.5.6.7", "", "", "")
        << expectedDocument("<tipoInter>ETHE</tipoInter><tipoLan>IPFIX</tipoLan><lanIP>123.000.000.000</lanIP>"
                            "<lanMask>123.000.000.000</lanMask><lanGW>1234.005.006.007</lanGW>"
                            "<lanDNS1>1234.005.006.007</lanDNS1><lanDNS2>1234.005.006.007</lanDNS2>"
                            "<proxy>1</proxy><proxy_ip>123.000.000.000</proxy_ip><proxy_porta></proxy_porta>"
                            "<proxy_user></proxy_user><proxy_senha></proxy_senha>");
}

void TestNetworkDocument::document()
{
    QFETCH(NetworkSettings, settings);
    QFETCH(QByteArray, expected);

    QCOMPARE(buildNetworkDocument(settings), expected);
}

void TestNetworkDocument::textReachesLibxml2AsUtf8_data()
{
    QTest::addColumn<NetworkSettings>("settings");
    QTest::addColumn<QByteArray>("element");
    QTest::addColumn<QString>("value");

    const QString joao = QString::fromUtf8("João");
    const QString senha = QString::fromUtf8("senhaçã");
    const QString beyondLatin1 = QString::fromUtf8("€ñ日本");

    QTest::newRow("accented user") << dhcp(joao, "") << QByteArray("usuario") << joao;
    QTest::newRow("accented password") << dhcp("", senha) << QByteArray("senha") << senha;
    QTest::newRow("password beyond Latin-1") << dhcp("", beyondLatin1) << QByteArray("senha") << beyondLatin1;
    QTest::newRow("accented port") << withProxy(dhcp("", ""), ProxyMode::Configured, "...", senha, "", "")
                                   << QByteArray("proxy_porta") << senha;
    QTest::newRow("accented proxy user") << withProxy(dhcp("", ""), ProxyMode::Transparent, "...", "", joao, "")
                                         << QByteArray("proxy_user") << joao;
    QTest::newRow("proxy password beyond Latin-1")
        << withProxy(dhcp("", ""), ProxyMode::Configured, "...", "", "", beyondLatin1) << QByteArray("proxy_senha")
        << beyondLatin1;
}

void TestNetworkDocument::textReachesLibxml2AsUtf8()
{
    QFETCH(NetworkSettings, settings);
    QFETCH(QByteArray, element);
    QFETCH(QString, value);

    const QByteArray text = buildNetworkDocument(settings);
    xmlDocPtr doc = xmlReadMemory(text.constData(), static_cast<int>(text.size()), "network.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    QVERIFY2(doc != nullptr, text.constData());

    QString found;
    int matches = 0;
    for (xmlNodePtr child = xmlDocGetRootElement(doc)->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || element != reinterpret_cast<const char*>(child->name))
            continue;
        xmlChar* content = xmlNodeGetContent(child);
        found = QString::fromUtf8(reinterpret_cast<const char*>(content));
        xmlFree(content);
        ++matches;
    }
    xmlFreeDoc(doc);

    QCOMPARE(matches, 1);
    QCOMPARE(found, value);
}

void TestNetworkDocument::normalisedAddress_data()
{
    QTest::addColumn<QString>("fieldText");
    QTest::addColumn<OctetWidth>("width");
    QTest::addColumn<QByteArray>("expected");

    for (OctetWidth width : {OctetWidth::Three, OctetWidth::Free}) {
        const char* name = width == OctetWidth::Three ? "width three" : "free width";
        QTest::addRow("%s: short octets padded", name) << "10.0.0.1" << width << QByteArray("010.000.000.001");
        QTest::addRow("%s: full octets unchanged", name) << "192.168.100.254" << width << QByteArray("192.168.100.254");
        QTest::addRow("%s: 999 kept", name) << "999.999.0.999" << width << QByteArray("999.999.000.999");
        QTest::addRow("%s: empty field", name) << "..." << width << QByteArray("000.000.000.000");
        QTest::addRow("%s: no text at all", name) << "" << width << QByteArray("000.000.000.000");
        QTest::addRow("%s: two octets given", name) << "10.1.." << width << QByteArray("010.001.000.000");
        QTest::addRow("%s: gap in the middle", name) << "10..5.6" << width << QByteArray("010.000.000.000");
    }

    // Texts the input mask would never give show how the two readings differ.
    QTest::newRow("width three: long octet cut") << "1234.5.6.7" << OctetWidth::Three << QByteArray("123.000.000.000");
    QTest::newRow("free width: long octet whole") << "1234.5.6.7" << OctetWidth::Free << QByteArray("1234.005.006.007");
    QTest::newRow("width three: leading zeros count")
        << "0010.1.1.1" << OctetWidth::Three << QByteArray("001.000.000.000");
    QTest::newRow("free width: leading zeros skipped")
        << "0010.1.1.1" << OctetWidth::Free << QByteArray("010.001.001.001");
    QTest::newRow("free width: negative octet") << "-5.1.1.1" << OctetWidth::Free << QByteArray("-05.001.001.001");
    QTest::newRow("free width: above int kept as the largest int")
        << "99999999999.1.2.3" << OctetWidth::Free << QByteArray("2147483647.001.002.003");
    QTest::newRow("free width: below int kept as the smallest int")
        << "1.2.3.-99999999999999999999999" << OctetWidth::Free << QByteArray("001.002.003.-2147483648");
    QTest::newRow("free width: largest int itself")
        << "2147483647.2147483648.0.0" << OctetWidth::Free << QByteArray("2147483647.2147483647.000.000");
    QTest::newRow("Latin-1 letters stop the reading")
        << QString::fromUtf8("10.ã.1.1") << OctetWidth::Free << QByteArray("010.000.000.000");
}

void TestNetworkDocument::normalisedAddress()
{
    QFETCH(QString, fieldText);
    QFETCH(OctetWidth, width);
    QFETCH(QByteArray, expected);

    QCOMPARE(::normalisedAddress(fieldText, width), expected);
}

void TestNetworkDocument::valuesXmlCannotCarryRefuseTheDocument_data()
{
    QTest::addColumn<NetworkSettings>("settings");
    QTest::addColumn<bool>("built");

    const QString control = QStringLiteral("a\x03z");
    const QString loneSurrogate = QString(QChar(0xd800)) + QLatin1Char('x');
    QTest::newRow("control character in the password") << dhcp("", control) << false;
    QTest::newRow("lone surrogate in the user") << dhcp(loneSurrogate, "") << false;
    QTest::newRow("U+FFFE in the proxy user")
        << withProxy(dhcp("", ""), ProxyMode::Configured, "...", "", QString(QChar(0xfffe)), "") << false;
    QTest::newRow("tab, line feed and carriage return carry") << dhcp("a\tb", "c\r\nd") << true;
    QTest::newRow("pair of surrogates carries") << dhcp(QString::fromUtf8("\xf0\x9f\x98\x80"), "") << true;
    NetworkSettings unusedCredentials = dhcp(control, control);
    unusedCredentials.dhcp = false;
    QTest::newRow("credentials not sent with a fixed address") << unusedCredentials << true;
    QTest::newRow("proxy details not sent without a proxy")
        << withProxy(dhcp("", ""), ProxyMode::None, "...", control, control, control) << true;
}

void TestNetworkDocument::valuesXmlCannotCarryRefuseTheDocument()
{
    QFETCH(NetworkSettings, settings);
    QFETCH(bool, built);

    // libxml2 would write such a value as empty text; the device must get the typed value or nothing.
    QCOMPARE(!buildNetworkDocument(settings).isEmpty(), built);
}

void TestNetworkDocument::proxyMode_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<ProxyMode>("mode");

    QTest::newRow("Sem Proxy") << 0 << ProxyMode::None;
    QTest::newRow("Proxy com Configuracao") << 1 << ProxyMode::Configured;
    QTest::newRow("Proxy Transparente") << 2 << ProxyMode::Transparent;
    QTest::newRow("index past the items") << 3 << ProxyMode::Transparent;
    QTest::newRow("no current item") << -1 << ProxyMode::Transparent;
}

void TestNetworkDocument::proxyMode()
{
    QFETCH(int, index);
    QFETCH(ProxyMode, mode);

    QCOMPARE(proxyModeFromIndex(index), mode);
}

void TestNetworkDocument::allocationFailureSendsNothing_data()
{
    QTest::addColumn<NetworkSettings>("settings");

    QTest::newRow("DHCP, configured proxy")
        << withProxy(dhcp("tecnico", "segredo"), ProxyMode::Configured, "10.0.0.9", "3128", "proxyuser", "");
    QTest::newRow("fixed address, no proxy")
        << fixed("192.168.0.10", "255.255.255.0", "192.168.0.1", "192.168.0.2", "10.1.1.1");
}

// Refuses libxml2's first, second, ... allocation in turn, from creating the document to
// serialising it: each run gives either nothing or the whole document, never part of one.
// Should libxml2 do without one of its allocations, the whole document is fine too.
void TestNetworkDocument::allocationFailureSendsNothing()
{
    QFETCH(NetworkSettings, settings);

    const QByteArray complete = buildNetworkDocument(settings);
    QVERIFY(!complete.isEmpty());

    xmlFreeFunc savedFree = nullptr;
    xmlMallocFunc savedMalloc = nullptr;
    xmlReallocFunc savedRealloc = nullptr;
    xmlStrdupFunc savedStrdup = nullptr;
    QCOMPARE(xmlMemGet(&savedFree, &savedMalloc, &savedRealloc, &savedStrdup), 0);
    QCOMPARE(xmlMemSetup(refusingFree, refusingMalloc, refusingRealloc, refusingStrdup), 0);
    xmlSetGenericErrorFunc(nullptr, quiet);

    QList<int> partial;
    int refused = 0;
    QByteArray unrefused;
    for (int refusal = 0; refusal < 10000; ++refusal) {
        allocationsBeforeRefusal = refusal;
        const QByteArray text = buildNetworkDocument(settings);
        const bool refusalReached = allocationsBeforeRefusal < 0;
        allocationsBeforeRefusal = -1;
        if (!refusalReached) {
            unrefused = text;
            break;
        }
        if (text.isEmpty())
            ++refused;
        else if (text != complete)
            partial.append(refusal);
    }

    xmlSetGenericErrorFunc(nullptr, nullptr);
    xmlMemSetup(savedFree, savedMalloc, savedRealloc, savedStrdup);

    QVERIFY2(partial.isEmpty(),
             qPrintable(QString("partial document with allocation %1 refused").arg(partial.value(0))));
    QCOMPARE(unrefused, complete);
    // Document, its version, the root and every element need memory of their own.
    QVERIFY2(refused > 15, qPrintable(QString::number(refused)));
}

QTEST_GUILESS_MAIN(TestNetworkDocument)
#include "tst_networkdocument.moc"
