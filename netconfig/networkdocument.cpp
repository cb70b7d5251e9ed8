#include "netconfig/networkdocument.h"

#include <climits>
#include <cstdio>

#include <libxml/tree.h>

namespace {

const xmlChar* xml(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

// Out of memory, libxml2 still hands back a node whose name or text could not be
// copied; written out, it would say something other than the form, so it counts as not made.
bool made(xmlNodePtr node, const char* content)
{
    return node != nullptr && node->name != nullptr
        && (content == nullptr || (node->children != nullptr && node->children->content != nullptr));
}

bool addChild(xmlNodePtr root, const char* name, const char* content)
{
    return made(xmlNewTextChild(root, nullptr, xml(name), xml(content)), content);
}

bool addChild(xmlNodePtr root, const char* name, const QByteArray& content)
{
    return addChild(root, name, content.constData());
}

// glibc's sscanf stops an overflowing %ld at LONG_MAX or LONG_MIN; beyond int the octet is
// kept as the nearest int, so that printing it with %d stays defined. The device judges the value.
int clampedOctet(long value)
{
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// The free texts that go into the document: the DHCP credentials, and the proxy details unless there is no proxy.
bool textValuesCarry(const NetworkSettings& settings)
{
    if (settings.dhcp && !(carriesInXml(settings.user) && carriesInXml(settings.password)))
        return false;
    return settings.proxy == ProxyMode::None
        || (carriesInXml(settings.proxyPort) && carriesInXml(settings.proxyUser)
            && carriesInXml(settings.proxyPassword));
}

bool addAddresses(xmlNodePtr root, const NetworkSettings& settings)
{
    return addChild(root, "lanIP", normalisedAddress(settings.ip, OctetWidth::Three))
        && addChild(root, "lanMask", normalisedAddress(settings.mask, OctetWidth::Three))
        && addChild(root, "lanGW", normalisedAddress(settings.gateway, OctetWidth::Free))
        && addChild(root, "lanDNS1", normalisedAddress(settings.dns1, OctetWidth::Free))
        && addChild(root, "lanDNS2", normalisedAddress(settings.dns2, OctetWidth::Free));
}

bool addLan(xmlNodePtr root, const NetworkSettings& settings)
{
    if (settings.dhcp) {
        return addChild(root, "tipoLan", "DHCP") && addChild(root, "usuario", settings.user.toUtf8())
            && addChild(root, "senha", settings.password.toUtf8());
    }
    return addChild(root, "tipoLan", "IPFIX") && addAddresses(root, settings);
}

bool addProxy(xmlNodePtr root, const NetworkSettings& settings)
{
    if (settings.proxy == ProxyMode::None) {
        return addChild(root, "proxy", "0") && addChild(root, "proxy_ip", nullptr)
            && addChild(root, "proxy_porta", nullptr) && addChild(root, "proxy_user", nullptr)
            && addChild(root, "proxy_senha", nullptr);
    }
    // An empty masked field reads "..." and goes as empty text, not as 000.000.000.000.
    const QByteArray proxyIp = settings.proxyIp == QLatin1String("...")
        ? QByteArray("")
        : normalisedAddress(settings.proxyIp, OctetWidth::Three);
    return addChild(root, "proxy", settings.proxy == ProxyMode::Configured ? "1" : "2")
        && addChild(root, "proxy_ip", proxyIp) && addChild(root, "proxy_porta", settings.proxyPort.toUtf8())
        && addChild(root, "proxy_user", settings.proxyUser.toUtf8())
        && addChild(root, "proxy_senha", settings.proxyPassword.toUtf8());
}

QByteArray serialised(xmlDocPtr doc)
{
    xmlChar* dump = nullptr;
    int size = 0;
    xmlDocDumpMemory(doc, &dump, &size);
    xmlFreeDoc(doc);
    QByteArray text;
    if (dump != nullptr && size > 0)
        text = QByteArray(reinterpret_cast<const char*>(dump), size);
    xmlFree(dump);
    return text;
}

} // namespace

ProxyMode proxyModeFromIndex(int index)
{
    switch (index) {
    case 0:
        return ProxyMode::None;
    case 1:
        return ProxyMode::Configured;
    default:
        return ProxyMode::Transparent;
    }
}

QByteArray normalisedAddress(const QString& fieldText, OctetWidth width)
{
    // Fresh zeros for every field: sscanf leaves the octets a partial text does not supply untouched.
    long octets[4] = {0, 0, 0, 0};
    const QByteArray latin1 = fieldText.toLatin1();
    const char* pattern = width == OctetWidth::Three ? "%03ld.%03ld.%03ld.%03ld" : "%ld.%ld.%ld.%ld";
    std::sscanf(latin1.constData(), pattern, &octets[0], &octets[1], &octets[2], &octets[3]);

    // Four octets of at most "-2147483648" each, three dots and the NUL.
    char text[4 * 11 + 3 + 1];
    std::snprintf(text, sizeof text, "%03d.%03d.%03d.%03d", clampedOctet(octets[0]), clampedOctet(octets[1]),
                  clampedOctet(octets[2]), clampedOctet(octets[3]));
    return QByteArray(text);
}

XmlUnfitCharacter firstXmlUnfitCharacter(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            ++i;
            continue;
        }
        if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            return {XmlUnfit::ControlCharacter, c};
        if (QChar::isSurrogate(c))
            return {XmlUnfit::LoneSurrogate, c};
        if (c == 0xfffe || c == 0xffff)
            return {XmlUnfit::Noncharacter, c};
    }
    return {};
}

bool carriesInXml(const QString& text)
{
    return firstXmlUnfitCharacter(text).kind == XmlUnfit::None;
}

QByteArray buildNetworkDocument(const NetworkSettings& settings)
{
    // libxml2 would write such a value as empty text: the device must not get a value other than the one typed.
    if (!textValuesCarry(settings))
        return {};
    xmlDocPtr doc = xmlNewDoc(xml("1.0"));
    if (doc == nullptr)
        return {};
    // Attached first, so that freeing the document frees a root that came out nameless.
    xmlNodePtr root = xmlNewDocNode(doc, nullptr, xml("config"), nullptr);
    xmlDocSetRootElement(doc, root);
    if (!made(root, nullptr)) {
        xmlFreeDoc(doc);
        return {};
    }

    // A document missing an element must not reach the device: send nothing instead.
    if (!addChild(root, "tipoInter", "ETHE") || !addLan(root, settings) || !addProxy(root, settings)) {
        xmlFreeDoc(doc);
        return {};
    }
    return serialised(doc);
}
