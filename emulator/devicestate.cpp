#include "devicestate.h"

#include "cnpj.h"

#include <cstdio>
#include <functional>
#include <map>

namespace satemu {

namespace {

    const char kHeader[] = "sat-emulador-estado ";
    const char kEnd[] = "fim";

    std::string escape(const std::string& value)
    {
        std::string out;
        out.reserve(value.size());
        for (unsigned char c : value) {
            if (c == '%' || c < 0x20 || c >= 0x7f) {
                char code[4];
                std::snprintf(code, sizeof code, "%%%02X", c);
                out += code;
            } else {
                out += static_cast<char>(c);
            }
        }
        return out;
    }

    int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    }

    bool unescape(const std::string& value, std::string& out)
    {
        out.clear();
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] != '%') {
                out += value[i];
                continue;
            }
            if (i + 2 >= value.size())
                return false;
            const int high = hexValue(value[i + 1]);
            const int low = hexValue(value[i + 2]);
            if (high < 0 || low < 0)
                return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        }
        return true;
    }

    bool readInt(const std::string& text, int minimum, int maximum, int& out)
    {
        if (!isDigits(text, 1, 9))
            return false;
        const int value = std::stoi(text);
        if (value < minimum || value > maximum)
            return false;
        out = value;
        return true;
    }

    bool readBool(const std::string& text, bool& out)
    {
        if (text != "0" && text != "1")
            return false;
        out = text == "1";
        return true;
    }

    bool readKb(const std::string& text, int64_t& out)
    {
        if (!isDigits(text, 1, 12))
            return false;
        out = std::stoll(text);
        return true;
    }

    bool isStampOrEmpty(const std::string& text)
    {
        DateTime ignored;
        return text.empty() || DateTime::parse(text, ignored);
    }

    bool isCnpjOrEmpty(const std::string& text)
    {
        return text.empty() || isDigits(text, 14, 14);
    }

    bool isKeyOrEmpty(const std::string& text)
    {
        return text.empty() || isDigits(text, 44, 44);
    }

} // namespace

std::string DeviceState::serialise() const
{
    std::string out = kHeader + std::to_string(kFormatVersion) + "\n";
    auto put = [&out](const char* key, const std::string& value) { out += key + ("=" + escape(value)) + "\n"; };
    put("ativado", activated ? "1" : "0");
    put("codigoAtivacao", activationCode);
    put("cnpjContribuinte", taxpayerCnpj);
    put("cUF", std::to_string(uf));
    put("tipoCertificado", std::to_string(certificateType));
    put("ativadoEm", activatedAt);
    put("certificadoIcpBrasil", icpCertificate ? "1" : "0");
    put("associado", associated ? "1" : "0");
    put("cnpjSoftwareHouse", softwareHouseCnpj);
    put("assinaturaAC", signature);
    put("bloqueado", blocked ? "1" : "0");
    put("bloqueioSefaz", std::to_string(taxAuthorityBlock));
    put("certificadoIcpPendente", icpRequestPending ? "1" : "0");
    put("certificadoEmissao", certificateIssuedAt);
    put("contribuinte.xNome", taxpayer.name);
    put("contribuinte.xFant", taxpayer.tradeName);
    put("contribuinte.xLgr", taxpayer.street);
    put("contribuinte.nro", taxpayer.number);
    put("contribuinte.xCpl", taxpayer.complement);
    put("contribuinte.xBairro", taxpayer.district);
    put("contribuinte.xMun", taxpayer.city);
    put("contribuinte.CEP", taxpayer.cep);
    put("contribuinte.cRegTrib", taxpayer.regime);
    put("tentativasCodigo", std::to_string(wrongCodeAttempts));
    put("bloqueioCodigoAte", lockedUntil);
    put("rede.tipoInter", network.interfaceType);
    put("rede.SSID", network.ssid);
    put("rede.seg", network.security);
    put("rede.codigo", network.wifiKey);
    put("rede.tipoLan", network.lanType);
    put("rede.lanIP", network.ip);
    put("rede.lanMask", network.mask);
    put("rede.lanGW", network.gateway);
    put("rede.lanDNS1", network.dns1);
    put("rede.lanDNS2", network.dns2);
    put("rede.usuario", network.user);
    put("rede.senha", network.password);
    put("rede.proxy", std::to_string(network.proxy));
    put("rede.proxy_ip", network.proxyIp);
    put("rede.proxy_porta", network.proxyPort);
    put("rede.proxy_user", network.proxyUser);
    put("rede.proxy_senha", network.proxyPassword);
    put("numeroCupom", std::to_string(receiptNumber));
    put("ultimaChave", lastKey);
    put("ultimaEmissao", lastIssuedAt);
    put("ultimaComunicacao", lastCommunication);
    put("ultimaTransmissao", lastTransmission);
    put("memoria.cupons", std::to_string(memoryCount));
    put("memoria.usadaKB", std::to_string(memoryUsedKb));
    put("memoria.totalKB", std::to_string(memoryTotalKb));
    put("memoria.primeira", memoryFirstKey);
    put("memoria.ultima", memoryLastKey);
    put("vendaPendente", hasLastSale ? "1" : "0");
    put("venda.chave", saleKey);
    put("venda.emissao", saleIssuedAt);
    put("venda.total", saleTotal);
    put("venda.cliente", saleCustomer);
    put("venda.caixa", saleCashRegister);
    put("venda.IE", saleIssuerIe);
    put("venda.IM", saleIssuerIm);
    put("ultimaSessaoFiscal", lastFiscalAnswer);
    if (!busyRequest.empty()) {
        put("ocupado.pedido", busyRequest);
        put("ocupado.restantes", std::to_string(busyRemaining));
    }
    for (const auto& entry : sessions.entries())
        out += "sessao=" + std::to_string(entry.first) + " " + escape(entry.second) + "\n";
    for (const std::string& line : log.lines())
        out += "log=" + escape(line) + "\n";
    return out + kEnd + "\n";
}

bool DeviceState::parse(const std::string& text, DeviceState& out, std::string& error)
{
    DeviceState state;
    using Reader = std::function<bool(const std::string&)>;
    // A text field is kept as read; the line is valid when its check, if any, holds.
    const auto textField = [](std::string& field, Reader valid = nullptr) -> Reader {
        return [&field, valid](const std::string& v) {
            field = v;
            return !valid || valid(v);
        };
    };
    const auto atMost
        = [](size_t length) -> Reader { return [length](const std::string& v) { return v.size() <= length; }; };
    std::map<std::string, Reader> fields = {
        {"ativado", [&](const std::string& v) { return readBool(v, state.activated); }},
        {"codigoAtivacao", textField(state.activationCode, atMost(32))},
        {"cnpjContribuinte", textField(state.taxpayerCnpj, isCnpjOrEmpty)},
        {"cUF", [&](const std::string& v) { return readInt(v, 0, 99, state.uf); }},
        {"tipoCertificado", [&](const std::string& v) { return readInt(v, 0, 3, state.certificateType); }},
        {"ativadoEm", textField(state.activatedAt, isStampOrEmpty)},
        {"certificadoIcpBrasil", [&](const std::string& v) { return readBool(v, state.icpCertificate); }},
        {"associado", [&](const std::string& v) { return readBool(v, state.associated); }},
        {"cnpjSoftwareHouse", textField(state.softwareHouseCnpj, isCnpjOrEmpty)},
        {"assinaturaAC", textField(state.signature, atMost(344))},
        {"bloqueado", [&](const std::string& v) { return readBool(v, state.blocked); }},
        {"bloqueioSefaz",
         [&](const std::string& v) {
             return (v == "0" || v == "1" || v == "4") && readInt(v, 0, 4, state.taxAuthorityBlock);
         }},
        {"certificadoIcpPendente", [&](const std::string& v) { return readBool(v, state.icpRequestPending); }},
        {"certificadoEmissao", textField(state.certificateIssuedAt, isStampOrEmpty)},
        {"contribuinte.xNome", textField(state.taxpayer.name)},
        {"contribuinte.xFant", textField(state.taxpayer.tradeName)},
        {"contribuinte.xLgr", textField(state.taxpayer.street)},
        {"contribuinte.nro", textField(state.taxpayer.number)},
        {"contribuinte.xCpl", textField(state.taxpayer.complement)},
        {"contribuinte.xBairro", textField(state.taxpayer.district)},
        {"contribuinte.xMun", textField(state.taxpayer.city)},
        {"contribuinte.CEP", textField(state.taxpayer.cep)},
        {"contribuinte.cRegTrib", textField(state.taxpayer.regime)},
        {"tentativasCodigo", [&](const std::string& v) { return readInt(v, 0, 99, state.wrongCodeAttempts); }},
        {"bloqueioCodigoAte", textField(state.lockedUntil, isStampOrEmpty)},
        {"rede.tipoInter", textField(state.network.interfaceType)},
        {"rede.SSID", textField(state.network.ssid)},
        {"rede.seg", textField(state.network.security)},
        {"rede.codigo", textField(state.network.wifiKey)},
        {"rede.tipoLan", textField(state.network.lanType)},
        {"rede.lanIP", textField(state.network.ip)},
        {"rede.lanMask", textField(state.network.mask)},
        {"rede.lanGW", textField(state.network.gateway)},
        {"rede.lanDNS1", textField(state.network.dns1)},
        {"rede.lanDNS2", textField(state.network.dns2)},
        {"rede.usuario", textField(state.network.user)},
        {"rede.senha", textField(state.network.password)},
        {"rede.proxy", [&](const std::string& v) { return readInt(v, 0, 2, state.network.proxy); }},
        {"rede.proxy_ip", textField(state.network.proxyIp)},
        {"rede.proxy_porta", textField(state.network.proxyPort)},
        {"rede.proxy_user", textField(state.network.proxyUser)},
        {"rede.proxy_senha", textField(state.network.proxyPassword)},
        {"numeroCupom", [&](const std::string& v) { return readInt(v, 0, 999999, state.receiptNumber); }},
        {"ultimaChave", textField(state.lastKey, isKeyOrEmpty)},
        {"ultimaEmissao", textField(state.lastIssuedAt, isStampOrEmpty)},
        {"ultimaComunicacao", textField(state.lastCommunication, isStampOrEmpty)},
        {"ultimaTransmissao", textField(state.lastTransmission, isStampOrEmpty)},
        {"memoria.cupons", [&](const std::string& v) { return readInt(v, 0, 999999999, state.memoryCount); }},
        {"memoria.usadaKB", [&](const std::string& v) { return readKb(v, state.memoryUsedKb); }},
        {"memoria.totalKB",
         [&](const std::string& v) { return readKb(v, state.memoryTotalKb) && state.memoryTotalKb > 0; }},
        {"memoria.primeira", textField(state.memoryFirstKey, isKeyOrEmpty)},
        {"memoria.ultima", textField(state.memoryLastKey, isKeyOrEmpty)},
        {"vendaPendente", [&](const std::string& v) { return readBool(v, state.hasLastSale); }},
        {"venda.chave", textField(state.saleKey, isKeyOrEmpty)},
        {"venda.emissao", textField(state.saleIssuedAt, isStampOrEmpty)},
        {"venda.total", textField(state.saleTotal, atMost(20))},
        {"venda.cliente", textField(state.saleCustomer, atMost(14))},
        {"venda.caixa", textField(state.saleCashRegister, atMost(3))},
        {"venda.IE", textField(state.saleIssuerIe, atMost(14))},
        {"venda.IM", textField(state.saleIssuerIm, atMost(15))},
        {"ultimaSessaoFiscal", textField(state.lastFiscalAnswer)},
        {"ocupado.pedido", textField(state.busyRequest, [](const std::string& v) { return isDigits(v, 1, 6); })},
        {"ocupado.restantes", [&](const std::string& v) { return readInt(v, 0, 999999, state.busyRemaining); }},
        {"sessao",
         [&](const std::string& v) {
             const size_t space = v.find(' ');
             int session = 0;
             if (space == std::string::npos || !readInt(v.substr(0, space), 0, 999999, session))
                 return false;
             state.sessions.put(session, v.substr(space + 1));
             return true;
         }},
        {"log",
         [&](const std::string& v) {
             state.log.restore(v);
             return true;
         }},
    };

    const std::string header = kHeader + std::to_string(kFormatVersion);
    size_t start = 0;
    size_t lineNumber = 0;
    bool ended = false;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            error = "ultima linha sem fim de linha";
            return false;
        }
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (ended) {
            error = "conteudo depois da marca de fim";
            return false;
        }
        if (lineNumber == 1) {
            if (line != header) {
                error = "cabecalho ou versao desconhecidos";
                return false;
            }
            continue;
        }
        if (line == kEnd) {
            ended = true;
            continue;
        }
        const size_t equals = line.find('=');
        const auto field = equals == std::string::npos ? fields.end() : fields.find(line.substr(0, equals));
        std::string value;
        if (field == fields.end() || !unescape(line.substr(equals + 1), value) || !field->second(value)) {
            error = "linha " + std::to_string(lineNumber) + " invalida";
            return false;
        }
    }
    if (!ended) {
        error = lineNumber == 0 ? "arquivo vazio" : "arquivo incompleto (sem marca de fim)";
        return false;
    }
    if (state.activated && (state.activationCode.size() < 8 || !isValidCnpj(state.taxpayerCnpj) || state.uf < 10)) {
        error = "ativacao incompleta";
        return false;
    }
    // A hand-edited profile must still give a valid emit.
    const std::string profileError = state.taxpayer.check();
    if (!profileError.empty()) {
        error = "perfil do contribuinte: " + profileError;
        return false;
    }
    if (state.hasLastSale && (state.saleKey.empty() || state.saleIssuedAt.empty())) {
        error = "ultima venda incompleta";
        return false;
    }
    out = state;
    return true;
}

} // namespace satemu
