#include "satcall.h"

#include "dllsat.h"

#include <cstring>

namespace {

struct FunctionInfo {
    const char* name;
    const char* signature;
    bool changesDevice;
    bool alertCode;
};

const FunctionInfo functions[SatFunctionCount] = {
    {"AtivarSAT", "iissi", true, false},
    {"AssociarAssinatura", "isss", true, true},
    {"ConfigurarInterfaceDeRede", "iss", true, false},
    {"AtualizarSoftwareSAT", "is", true, false},
    {"TrocarCodigoDeAtivacao", "isiss", true, false},
    {"ComunicarCertificadoICPBRASIL", "iss", true, false},
    {"TesteFimAFim", "iss", false, false},
    {"BloquearSAT", "is", true, false},
    {"DesbloquearSAT", "is", true, false},
    {"ConsultarSAT", "i", false, false},
    {"ConsultarStatusOperacional", "is", false, false},
    {"ConsultarNumeroSessao", "isi", false, false},
    {"EnviarDadosVenda", "iss", true, true},
    {"CancelarUltimaVenda", "isss", true, true},
    {"ExtrairLogs", "is", false, false},
    {"ConsultarUltimaSessaoFiscal", "is", false, false},
};

const FunctionInfo& info(SatFunction function)
{
    return functions[static_cast<int>(function)];
}

using I = int;
using S = const char*;

} // namespace

const char* satFunctionName(SatFunction function)
{
    return info(function).name;
}

bool changesDevice(SatFunction function)
{
    return info(function).changesDevice;
}

bool carriesAlertCode(SatFunction function)
{
    return info(function).alertCode;
}

const char* satSignature(SatFunction function)
{
    return info(function).signature;
}

SatArgument SatArgument::of(int value)
{
    SatArgument argument;
    argument.number = value;
    return argument;
}

SatArgument SatArgument::of(const char* value)
{
    SatArgument argument;
    argument.isText = true;
    argument.text = value ? value : "";
    return argument;
}

int SatCall::session() const
{
    return arguments.empty() || arguments.front().isText ? 0 : arguments.front().number;
}

bool SatCall::isWellFormed() const
{
    if (static_cast<int>(function) >= SatFunctionCount)
        return false;
    const char* signature = satSignature(function);
    if (arguments.size() != std::strlen(signature))
        return false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i].isText != (signature[i] == 's'))
            return false;
    }
    return true;
}

const char* invokeSatFunction(void* symbol, const SatCall& call)
{
    const std::vector<SatArgument>& a = call.arguments;
    auto i = [&a](std::size_t n) { return I(a[n].number); };
    auto s = [&a](std::size_t n) { return S(a[n].text.c_str()); };
    const std::string signature = satSignature(call.function);
    if (signature == "i")
        return reinterpret_cast<const char*(DLLSAT_CALL*)(I)>(symbol)(i(0));
    if (signature == "is")
        return reinterpret_cast<const char*(DLLSAT_CALL*)(I, S)>(symbol)(i(0), s(1));
    if (signature == "iss")
        return reinterpret_cast<const char*(DLLSAT_CALL*)(I, S, S)>(symbol)(i(0), s(1), s(2));
    if (signature == "isi")
        return reinterpret_cast<const char*(DLLSAT_CALL*)(I, S, I)>(symbol)(i(0), s(1), i(2));
    if (signature == "isss")
        return reinterpret_cast<const char*(DLLSAT_CALL*)(I, S, S, S)>(symbol)(i(0), s(1), s(2), s(3));
    if (signature == "isiss")
        return reinterpret_cast<const char*(DLLSAT_CALL*)(I, S, I, S, S)>(symbol)(i(0), s(1), i(2), s(3), s(4));
    if (signature == "iissi")
        return reinterpret_cast<const char*(DLLSAT_CALL*)(I, I, S, S, I)>(symbol)(i(0), i(1), s(2), s(3), i(4));
    return nullptr;
}
