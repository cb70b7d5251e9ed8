#pragma once

// The device library's functions as data: which there are, how each is called, and one call with its arguments.
// One piece of code can then call any of them, in the tool's process or in the library's host, and the frames
// between the two carry a call as plain values. Plain C++ with no Qt: the host, built for 32 and 64 bits, uses
// it too.

#include <cstdint>
#include <string>
#include <vector>

// In the order the library's table of functions is kept; new functions go at the end, since the host reports
// the ones a library has as bits in this order.
enum class SatFunction : std::uint8_t {
    AtivarSAT,
    AssociarAssinatura,
    ConfigurarInterfaceDeRede,
    AtualizarSoftwareSAT,
    TrocarCodigoDeAtivacao,
    ComunicarCertificadoICPBRASIL,
    TesteFimAFim,
    BloquearSAT,
    DesbloquearSAT,
    ConsultarSAT,
    ConsultarStatusOperacional,
    ConsultarNumeroSessao,
    EnviarDadosVenda,
    CancelarUltimaVenda,
    ExtrairLogs,
    ConsultarUltimaSessaoFiscal,
};
constexpr int SatFunctionCount = 16;

// The exported name, as the library has it.
const char* satFunctionName(SatFunction function);

// Whether a call may have changed the device, so that an answer lost on the way is worth looking up by its
// session number.
bool changesDevice(SatFunction function);

// Whether the answer carries the alert code CCCC after EEEEE.
bool carriesAlertCode(SatFunction function);

// The kinds of the arguments, in order: 'i' an int, 's' a NUL-terminated text.
const char* satSignature(SatFunction function);

struct SatArgument {
    bool isText = false;
    std::int32_t number = 0;
    std::string text;

    static SatArgument of(int value);
    static SatArgument of(const char* value); // null reads as empty, as the tool never sends null
};

struct SatCall {
    SatFunction function = SatFunction::ConsultarSAT;
    std::vector<SatArgument> arguments;

    // The session number: every function takes it first.
    int session() const;
    // Whether the arguments are the ones the function takes, in number and kind.
    bool isWellFormed() const;
};

// Calls the function at symbol, which must be the library's function of the call's kind, with the call's
// arguments, and returns its answer as the library returned it (which may be null). The call must be well formed.
const char* invokeSatFunction(void* symbol, const SatCall& call);
