// The C interface of the device library: a thin layer over Device that serialises the process's calls (Device locks
// the state file against other processes), injects the transport faults of SAT_EMULADOR_FALHA and keeps each answer
// and the error record until the next call.
#include "dllsat.h"

#include "device.h"
#include "transportfault.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace {

class Library {
public:
    template <typename Call> const char* run(int session, const char* family, Call call)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        const satemu::TransportFault fault = satemu::TransportFault::fromEnvironment();
        if (fault.active()) {
            // The device never saw the command: no state changes, an empty answer.
            m_answer.clear();
            setRecord(fault.code(), fault.message());
            return m_answer.c_str();
        }
        try {
            satemu::Device::Reply reply = call(m_device);
            m_answer = std::move(reply.answer);
            setRecord(0, reply.code + " - " + reply.message);
        } catch (...) {
            const std::string code = std::string(family) + "099";
            m_answer = std::to_string(session) + "|" + code + "|Erro desconhecido||";
            setRecord(0, code + " - Erro desconhecido");
        }
        return m_answer.c_str();
    }

    ErroSAT record()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_record;
    }

private:
    void setRecord(int32_t code, const std::string& message)
    {
        m_record = ErroSAT {};
        m_record.codigo = code;
        std::snprintf(m_record.mensagem, sizeof m_record.mensagem, "%s", message.c_str());
    }

    std::mutex m_mutex;
    satemu::Device m_device;
    std::string m_answer;
    ErroSAT m_record {};
};

Library& library()
{
    static Library instance;
    return instance;
}

using Device = satemu::Device;

} // namespace

extern "C" {

// Tells the tool, which looks for this name when it loads a library, that the library is this emulator: it says
// so in its status bar, so that nobody takes the emulator for the shop's device. A vendor's library has no such
// symbol.
DLLSAT_API extern const char SatComandosEmulador[];
const char SatComandosEmulador[] = "sat-comandos";

const char* DLLSAT_CALL AtivarSAT(int numeroSessao, int subComando, const char* codigoDeAtivacao, const char* CNPJ,
                                  int cUF)
{
    return library().run(numeroSessao, "04", [&](Device& device) {
        return device.activate(numeroSessao, subComando, codigoDeAtivacao, CNPJ, cUF);
    });
}

const char* DLLSAT_CALL AssociarAssinatura(int numeroSessao, const char* codigoDeAtivacao, const char* CNPJvalue,
                                           const char* assinaturaCNPJs)
{
    return library().run(numeroSessao, "13", [&](Device& device) {
        return device.associateSignature(numeroSessao, codigoDeAtivacao, CNPJvalue, assinaturaCNPJs);
    });
}

const char* DLLSAT_CALL ConfigurarInterfaceDeRede(int numeroSessao, const char* codigoDeAtivacao,
                                                  const char* dadosConfiguracao)
{
    return library().run(numeroSessao, "12", [&](Device& device) {
        return device.configureNetwork(numeroSessao, codigoDeAtivacao, dadosConfiguracao);
    });
}

const char* DLLSAT_CALL AtualizarSoftwareSAT(int numeroSessao, const char* codigoDeAtivacao)
{
    return library().run(numeroSessao, "14",
                         [&](Device& device) { return device.updateSoftware(numeroSessao, codigoDeAtivacao); });
}

const char* DLLSAT_CALL TrocarCodigoDeAtivacao(int numeroSessao, const char* codigoDeAtivacao, int opcao,
                                               const char* novoCodigo, const char* confNovoCodigo)
{
    return library().run(numeroSessao, "18", [&](Device& device) {
        return device.changeActivationCode(numeroSessao, codigoDeAtivacao, opcao, novoCodigo, confNovoCodigo);
    });
}

const char* DLLSAT_CALL ComunicarCertificadoICPBRASIL(int numeroSessao, const char* codigoDeAtivacao,
                                                      const char* certificado)
{
    return library().run(numeroSessao, "05", [&](Device& device) {
        return device.communicateCertificate(numeroSessao, codigoDeAtivacao, certificado);
    });
}

const char* DLLSAT_CALL TesteFimAFim(int numeroSessao, const char* codigoDeAtivacao, const char* dadosVenda)
{
    return library().run(numeroSessao, "09", [&](Device& device) {
        return device.endToEndTest(numeroSessao, codigoDeAtivacao, dadosVenda);
    });
}

const char* DLLSAT_CALL BloquearSAT(int numeroSessao, const char* codigoDeAtivacao)
{
    return library().run(numeroSessao, "16",
                         [&](Device& device) { return device.block(numeroSessao, codigoDeAtivacao); });
}

const char* DLLSAT_CALL DesbloquearSAT(int numeroSessao, const char* codigoDeAtivacao)
{
    return library().run(numeroSessao, "17",
                         [&](Device& device) { return device.unblock(numeroSessao, codigoDeAtivacao); });
}

const char* DLLSAT_CALL ConsultarSAT(int numeroSessao)
{
    return library().run(numeroSessao, "08", [&](Device& device) { return device.queryState(numeroSessao); });
}

const char* DLLSAT_CALL ConsultarStatusOperacional(int numeroSessao, const char* codigoDeAtivacao)
{
    return library().run(numeroSessao, "10",
                         [&](Device& device) { return device.queryOperationalStatus(numeroSessao, codigoDeAtivacao); });
}

const char* DLLSAT_CALL ConsultarNumeroSessao(int numeroSessao, const char* codigoDeAtivacao, int cNumeroDeSessao)
{
    return library().run(numeroSessao, "11", [&](Device& device) {
        return device.querySession(numeroSessao, codigoDeAtivacao, cNumeroDeSessao);
    });
}

const char* DLLSAT_CALL ConsultarUltimaSessaoFiscal(int numeroSessao, const char* codigoDeAtivacao)
{
    return library().run(numeroSessao, "19",
                         [&](Device& device) { return device.queryLastFiscalSession(numeroSessao, codigoDeAtivacao); });
}

const char* DLLSAT_CALL EnviarDadosVenda(int numeroSessao, const char* codigoDeAtivacao, const char* dadosVenda)
{
    return library().run(numeroSessao, "06",
                         [&](Device& device) { return device.sendSale(numeroSessao, codigoDeAtivacao, dadosVenda); });
}

const char* DLLSAT_CALL CancelarUltimaVenda(int numeroSessao, const char* codigoDeAtivacao, const char* chave,
                                            const char* dadosCancelamento)
{
    return library().run(numeroSessao, "07", [&](Device& device) {
        return device.cancelLastSale(numeroSessao, codigoDeAtivacao, chave, dadosCancelamento);
    });
}

const char* DLLSAT_CALL ExtrairLogs(int numeroSessao, const char* codigoDeAtivacao)
{
    return library().run(numeroSessao, "15",
                         [&](Device& device) { return device.extractLog(numeroSessao, codigoDeAtivacao); });
}

ErroSAT DLLSAT_CALL CodigoErro(void)
{
    return library().record();
}

} // extern "C"
