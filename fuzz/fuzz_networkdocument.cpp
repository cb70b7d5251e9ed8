// The network document from arbitrary form contents: whatever the operator typed, a document that is built must
// be well-formed XML with root config, hold its elements in the expected order, and carry each typed value to
// whoever parses it unchanged; a value that XML cannot hold refuses the whole document rather than go altered.
#include "netconfig/networkdocument.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Text from a line edit can hold any UTF-16, unpaired surrogates included; the flags pick how the bytes become it.
QString fieldText(const QByteArray& bytes, int encoding)
{
    switch (encoding) {
    case 0:
        return QString::fromUtf8(bytes);
    case 1:
        return QString::fromLatin1(bytes);
    default: {
        std::vector<char16_t> units;
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
            units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) << 8
                                                  | static_cast<unsigned char>(bytes[i + 1])));
        return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
    }
    }
}

// Whether every character of the text is one that XML 1.0 can carry; unpaired surrogates are not characters.
bool isXmlText(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        const bool allowed
            = u == 0x9 || u == 0xa || u == 0xd || (u >= 0x20 && u <= 0xd7ff) || (u >= 0xe000 && u <= 0xfffd);
        if (!allowed)
            return false;
    }
    return true;
}

// A typed value reaches the device unchanged.
void checkValue(const QByteArray& sent, const QString& typed)
{
    check(sent == typed.toUtf8());
}

// Whether every free text that goes into the document can be carried by XML.
bool valuesCarry(const NetworkSettings& settings)
{
    if (settings.dhcp && !(isXmlText(settings.user) && isXmlText(settings.password)))
        return false;
    return settings.proxy == ProxyMode::None
        || (isXmlText(settings.proxyPort) && isXmlText(settings.proxyUser) && isXmlText(settings.proxyPassword));
}

QByteArray contentOf(xmlNodePtr node)
{
    xmlChar* content = xmlNodeGetContent(node);
    const QByteArray text(content ? reinterpret_cast<const char*>(content) : "");
    xmlFree(content);
    return text;
}

void checkDocument(const QByteArray& text, const NetworkSettings& settings)
{
    xmlDocPtr doc = xmlReadMemory(text.constData(), static_cast<int>(text.size()), nullptr, nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    check(doc != nullptr);
    xmlNodePtr root = xmlDocGetRootElement(doc);
    check(root != nullptr && std::strcmp(reinterpret_cast<const char*>(root->name), "config") == 0);

    std::vector<xmlNodePtr> elements;
    for (xmlNodePtr node = root->children; node; node = node->next) {
        check(node->type == XML_ELEMENT_NODE);
        elements.push_back(node);
    }
    const std::vector<const char*> names = settings.dhcp
        ? std::vector<const char*> {"tipoInter", "tipoLan",     "usuario",    "senha",      "proxy",
                                    "proxy_ip",  "proxy_porta", "proxy_user", "proxy_senha"}
        : std::vector<const char*> {"tipoInter", "tipoLan", "lanIP",    "lanMask",     "lanGW",      "lanDNS1",
                                    "lanDNS2",   "proxy",   "proxy_ip", "proxy_porta", "proxy_user", "proxy_senha"};
    check(elements.size() == names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        check(std::strcmp(reinterpret_cast<const char*>(elements[i]->name), names[i]) == 0);

    const auto value = [&](const char* name) {
        for (xmlNodePtr node : elements)
            if (std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0)
                return contentOf(node);
        return QByteArray();
    };
    check(value("tipoLan") == (settings.dhcp ? "DHCP" : "IPFIX"));
    if (settings.dhcp) {
        checkValue(value("usuario"), settings.user);
        checkValue(value("senha"), settings.password);
    }
    if (settings.proxy == ProxyMode::None) {
        check(value("proxy") == "0");
        for (const char* name : {"proxy_ip", "proxy_porta", "proxy_user", "proxy_senha"})
            check(value(name).isEmpty());
    } else {
        check(value("proxy") == (settings.proxy == ProxyMode::Configured ? "1" : "2"));
        checkValue(value("proxy_porta"), settings.proxyPort);
        checkValue(value("proxy_user"), settings.proxyUser);
        checkValue(value("proxy_senha"), settings.proxyPassword);
    }
    xmlFreeDoc(doc);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // First byte: bit 0 DHCP, bits 1-2 the ConfProxy index, bits 3-4 the text encoding. Then the eleven field
    // texts, separated by NUL bytes; missing ones are empty.
    const int flags = data[0];
    const QList<QByteArray> fields
        = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1))
              .split('\0');
    const int encoding = flags >> 3 & 3;
    const auto field = [&](qsizetype i) { return i < fields.size() ? fieldText(fields[i], encoding) : QString(); };

    NetworkSettings settings;
    settings.dhcp = flags & 1;
    settings.proxy = proxyModeFromIndex(flags >> 1 & 3);
    settings.user = field(0);
    settings.password = field(1);
    settings.ip = field(2);
    settings.mask = field(3);
    settings.gateway = field(4);
    settings.dns1 = field(5);
    settings.dns2 = field(6);
    settings.proxyIp = field(7);
    settings.proxyPort = field(8);
    settings.proxyUser = field(9);
    settings.proxyPassword = field(10);

    const QByteArray document = buildNetworkDocument(settings);
    check(document.isEmpty() == !valuesCarry(settings));
    if (!document.isEmpty())
        checkDocument(document, settings);
    return 0;
}
