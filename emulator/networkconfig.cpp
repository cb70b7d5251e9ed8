#include "networkconfig.h"

#include "cnpj.h"
#include "xmltree.h"

#include <libxml/tree.h>

#include <cstdint>
#include <cstdio>
#include <map>

namespace satemu {

namespace {

    const char* const knownElements[]
        = {"tipoInter", "SSID",    "seg",   "codigo", "tipoLan",  "lanIP",       "lanMask",    "lanGW",      "lanDNS1",
           "lanDNS2",   "usuario", "senha", "proxy",  "proxy_ip", "proxy_porta", "proxy_user", "proxy_senha"};

    // Four groups of one to three digits, each at most 255.
    bool readAddress(const std::string& text, uint32_t& value)
    {
        value = 0;
        size_t start = 0;
        for (int group = 0; group < 4; ++group) {
            const size_t end = group < 3 ? text.find('.', start) : text.size();
            if (end == std::string::npos)
                return false;
            const std::string octet = text.substr(start, end - start);
            if (!isDigits(octet, 1, 3) || std::stoi(octet) > 255)
                return false;
            value = value << 8 | static_cast<uint32_t>(std::stoi(octet));
            start = end + 1;
        }
        return true;
    }

    std::string formatAddress(uint32_t value)
    {
        char text[20];
        std::snprintf(text, sizeof text, "%03u.%03u.%03u.%03u", value >> 24 & 255, value >> 16 & 255, value >> 8 & 255,
                      value & 255);
        return text;
    }

    bool isContiguousMask(uint32_t mask)
    {
        return mask != 0 && (~mask & (~mask + 1)) == 0;
    }

    bool fail(std::string& error, const std::string& reason)
    {
        error = reason;
        return false;
    }

    bool readFixedAddresses(const std::map<std::string, std::string>& values, NetworkConfig& config, std::string& error)
    {
        uint32_t ip = 0, mask = 0, gateway = 0, dns1 = 0, dns2 = 0;
        auto get = [&](const char* name) {
            const auto found = values.find(name);
            return found == values.end() ? std::string() : found->second;
        };
        if (!readAddress(get("lanIP"), ip) || ip == 0 || ip == 0xffffffffu)
            return fail(error, "lanIP ausente ou invalido");
        if (!readAddress(get("lanMask"), mask) || !isContiguousMask(mask) || mask == 0xffffffffu)
            return fail(error, "lanMask ausente ou invalida");
        if (!readAddress(get("lanGW"), gateway) || (gateway & mask) != (ip & mask) || gateway == ip)
            return fail(error, "lanGW ausente, invalido ou fora da rede de lanIP");
        if (!readAddress(get("lanDNS1"), dns1) || dns1 == 0)
            return fail(error, "lanDNS1 ausente ou invalido");
        if (values.count("lanDNS2") && !get("lanDNS2").empty() && !readAddress(get("lanDNS2"), dns2))
            return fail(error, "lanDNS2 invalido");
        config.ip = formatAddress(ip);
        config.mask = formatAddress(mask);
        config.gateway = formatAddress(gateway);
        config.dns1 = formatAddress(dns1);
        config.dns2 = formatAddress(dns2);
        return true;
    }

    bool readProxy(const std::map<std::string, std::string>& values, NetworkConfig& config, std::string& error)
    {
        auto get = [&](const char* name) {
            const auto found = values.find(name);
            return found == values.end() ? std::string() : found->second;
        };
        const std::string mode = values.count("proxy") ? get("proxy") : "0";
        if (mode != "0" && mode != "1" && mode != "2")
            return fail(error, "proxy deve ser 0, 1 ou 2");
        config.proxy = mode[0] - '0';
        if (config.proxy == 0)
            return true;
        const std::string ipText = get("proxy_ip");
        const std::string port = get("proxy_porta");
        // A transparent proxy may leave its address out; a configured one needs it.
        const bool required = config.proxy == 1;
        uint32_t ip = 0;
        if ((required || !ipText.empty()) && (!readAddress(ipText, ip) || ip == 0))
            return fail(error, "proxy_ip ausente ou invalido");
        if ((required || !port.empty()) && (!isDigits(port, 1, 5) || std::stoi(port) < 1 || std::stoi(port) > 65535))
            return fail(error, "proxy_porta ausente ou invalida");
        config.proxyIp = ipText.empty() ? std::string() : formatAddress(ip);
        config.proxyPort = port.empty() ? std::string() : std::to_string(std::stoi(port));
        config.proxyUser = get("proxy_user");
        config.proxyPassword = get("proxy_senha");
        return true;
    }

} // namespace

bool NetworkConfig::parse(const char* data, size_t size, NetworkConfig& out, std::string& error)
{
    if (size > kMaximumSize)
        return fail(error, "documento de configuracao maior que 64 KB");
    const XmlDocument doc = readXml(data, size, error);
    if (!doc)
        return false;
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!isElement(root, "config"))
        return fail(error, "elemento raiz deve ser config");

    std::map<std::string, std::string> values;
    for (const xmlNode* node : childElements(root)) {
        const std::string name = elementName(node);
        bool known = false;
        for (const char* candidate : knownElements)
            known = known || name == candidate;
        if (!known)
            return fail(error, "elemento desconhecido: " + name.substr(0, 40));
        if (hasChildElements(node))
            return fail(error, "elemento " + name + " nao pode ter elementos filhos");
        const std::string text = textOf(node);
        if (text.size() > 64)
            return fail(error, "conteudo de " + name + " maior que 64 caracteres");
        if (!values.emplace(name, text).second)
            return fail(error, "elemento repetido: " + name);
    }

    NetworkConfig config;
    auto get = [&](const char* name) {
        const auto found = values.find(name);
        return found == values.end() ? std::string() : found->second;
    };
    config.interfaceType = get("tipoInter");
    if (config.interfaceType != "ETHE" && config.interfaceType != "WIFI")
        return fail(error, "tipoInter deve ser ETHE ou WIFI");
    if (config.interfaceType == "WIFI") {
        config.ssid = get("SSID");
        config.security = values.count("seg") ? get("seg") : "NONE";
        config.wifiKey = get("codigo");
        if (config.ssid.empty() || config.ssid.size() > 32)
            return fail(error, "SSID ausente ou maior que 32 caracteres");
        if (config.security != "NONE" && config.security != "WEP" && config.security != "WPA-PERSONAL"
            && config.security != "WPA-ENTERPRISE")
            return fail(error, "seg deve ser NONE, WEP, WPA-PERSONAL ou WPA-ENTERPRISE");
        if (config.security != "NONE" && config.wifiKey.empty())
            return fail(error, "codigo da rede sem fio ausente");
    }
    config.lanType = get("tipoLan");
    config.user = get("usuario");
    config.password = get("senha");
    if (config.lanType == "IPFIX") {
        if (!readFixedAddresses(values, config, error))
            return false;
    } else if (config.lanType == "PPPoE") {
        if (config.user.empty() || config.password.empty())
            return fail(error, "PPPoE exige usuario e senha");
    } else if (config.lanType != "DHCP") {
        return fail(error, "tipoLan deve ser DHCP, PPPoE ou IPFIX");
    }
    if (!readProxy(values, config, error))
        return false;
    out = config;
    return true;
}

} // namespace satemu
