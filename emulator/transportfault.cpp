#include "transportfault.h"

#include <cstdlib>

namespace satemu {

TransportFault TransportFault::fromEnvironment()
{
    return fromText(std::getenv("SAT_EMULADOR_FALHA"));
}

TransportFault TransportFault::fromText(const char* text)
{
    TransportFault fault;
    if (!text)
        return fault;
    std::string value = text;
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.pop_back();
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.erase(0, 1);
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X'))
        value.erase(0, 2);
    if (value == "1")
        fault.m_code = 1;
    else if (value == "4")
        fault.m_code = 4;
    else if (value == "8000")
        fault.m_code = 0x8000;
    else if (value == "8001")
        fault.m_code = 0x8001;
    return fault;
}

std::string TransportFault::message() const
{
    switch (m_code) {
    case 1:
        return "Porta de comunicacao nao conectada (falha simulada pelo emulador)";
    case 4:
        return "Comando recebido do equipamento nao reconhecido (falha simulada pelo emulador)";
    case 0x8000:
        return "Tempo esgotado: o equipamento nao respondeu (falha simulada pelo emulador)";
    case 0x8001:
        return "Sem sinal CTS (falha simulada pelo emulador)";
    default:
        return {};
    }
}

} // namespace satemu
