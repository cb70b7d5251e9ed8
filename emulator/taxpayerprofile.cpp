#include "taxpayerprofile.h"

#include "cnpj.h"
#include "layoutcheck.h"

#include <libxml/xmlstring.h>

#include <cstdio>
#include <cstdlib>

namespace satemu {

namespace {

    bool isPrintable(const std::string& text)
    {
        for (unsigned char c : text)
            if (c < 0x20 || c == 0x7f)
                return false;
        return true;
    }

    std::string trimmed(const std::string& text)
    {
        const size_t first = text.find_first_not_of(" \t\r");
        if (first == std::string::npos)
            return {};
        return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
    }

    std::string lengthRule(const char* name, const std::string& value, size_t minimum, size_t maximum)
    {
        // A file saved in another encoding would put bytes into the CF-e that are not UTF-8.
        const size_t characters = static_cast<size_t>(characterCount(value));
        if (characters < minimum || characters > maximum || !isPrintable(value)
            || !xmlCheckUTF8(reinterpret_cast<const xmlChar*>(value.c_str())))
            return std::string(name) + " deve ter de " + std::to_string(minimum) + " a " + std::to_string(maximum)
                + " caracteres";
        return {};
    }

} // namespace

std::string TaxpayerProfile::check() const
{
    const struct {
        const char* name;
        const std::string& value;
        size_t minimum;
    } texts[] = {
        {"xNome", name, 2},      {"xFant", tradeName, 1},  {"xLgr", street, 2}, {"nro", number, 1},
        {"xCpl", complement, 1}, {"xBairro", district, 1}, {"xMun", city, 2},
    };
    for (const auto& t : texts) {
        const std::string reason = lengthRule(t.name, t.value, t.minimum, 60);
        if (!reason.empty())
            return reason;
    }
    if (!isDigits(cep, 8, 8))
        return "CEP deve ter 8 digitos";
    if (regime != "1" && regime != "3")
        return "cRegTrib deve ser 1 ou 3";
    return {};
}

bool TaxpayerProfile::parse(const std::string& text, TaxpayerProfile& out, std::string& error)
{
    TaxpayerProfile read;
    const std::pair<const char*, std::string*> names[] = {
        {"xNome", &read.name}, {"xFant", &read.tradeName}, {"xLgr", &read.street},
        {"nro", &read.number}, {"xCpl", &read.complement}, {"xBairro", &read.district},
        {"xMun", &read.city},  {"CEP", &read.cep},         {"cRegTrib", &read.regime},
    };
    size_t start = 0;
    int lineNumber = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#')
            continue;
        const size_t equals = line.find('=');
        std::string* target = nullptr;
        for (const auto& entry : names)
            if (equals != std::string::npos && line.compare(0, equals, entry.first) == 0
                && equals == std::string(entry.first).size())
                target = entry.second;
        if (!target) {
            error = "linha " + std::to_string(lineNumber) + ": campo desconhecido";
            return false;
        }
        *target = trimmed(line.substr(equals + 1));
    }
    error = read.check();
    if (!error.empty())
        return false;
    out = read;
    return true;
}

bool TaxpayerProfile::fromEnvironment(TaxpayerProfile& out, std::string& error)
{
    out = TaxpayerProfile();
    const char* path = std::getenv("SAT_EMULADOR_CONTRIBUINTE");
    if (!path || !*path)
        return true;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        error = "arquivo do perfil do contribuinte ilegivel";
        return false;
    }
    std::string text;
    char buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() < 64 * 1024)
        text.append(buffer, count);
    std::fclose(file);
    if (text.size() >= 64 * 1024) {
        error = "arquivo do perfil do contribuinte grande demais";
        return false;
    }
    return parse(text, out, error);
}

} // namespace satemu
