// The tool's own dllsat: each function of dllsat.h made into a SatCall and handed to SatDevice, which runs it in
// the library chosen at run time. The executable links this where it once linked the library; the tests link the
// recording double or the emulator in its place, and the commands do not know the difference.

#include "dllsat.h"
#include "satdevice.h"

namespace {

template <typename... Arguments> const char* run(SatFunction function, Arguments... arguments)
{
    return SatDevice::instance().call(SatCall {function, {SatArgument::of(arguments)...}});
}

} // namespace

extern "C" {

const char* AtivarSAT(int numeroSessao, int subComando, const char* codigoDeAtivacao, const char* CNPJ, int cUF)
{
    return run(SatFunction::AtivarSAT, numeroSessao, subComando, codigoDeAtivacao, CNPJ, cUF);
}

const char* AssociarAssinatura(int numeroSessao, const char* codigoDeAtivacao, const char* CNPJvalue,
                               const char* assinaturaCNPJs)
{
    return run(SatFunction::AssociarAssinatura, numeroSessao, codigoDeAtivacao, CNPJvalue, assinaturaCNPJs);
}

const char* ConfigurarInterfaceDeRede(int numeroSessao, const char* codigoDeAtivacao, const char* dadosConfiguracao)
{
    return run(SatFunction::ConfigurarInterfaceDeRede, numeroSessao, codigoDeAtivacao, dadosConfiguracao);
}

const char* AtualizarSoftwareSAT(int numeroSessao, const char* codigoDeAtivacao)
{
    return run(SatFunction::AtualizarSoftwareSAT, numeroSessao, codigoDeAtivacao);
}

const char* TrocarCodigoDeAtivacao(int numeroSessao, const char* codigoDeAtivacao, int opcao, const char* novoCodigo,
                                   const char* confNovoCodigo)
{
    return run(SatFunction::TrocarCodigoDeAtivacao, numeroSessao, codigoDeAtivacao, opcao, novoCodigo,
               confNovoCodigo);
}

const char* ComunicarCertificadoICPBRASIL(int numeroSessao, const char* codigoDeAtivacao, const char* certificado)
{
    return run(SatFunction::ComunicarCertificadoICPBRASIL, numeroSessao, codigoDeAtivacao, certificado);
}

const char* TesteFimAFim(int numeroSessao, const char* codigoDeAtivacao, const char* dadosVenda)
{
    return run(SatFunction::TesteFimAFim, numeroSessao, codigoDeAtivacao, dadosVenda);
}

const char* BloquearSAT(int numeroSessao, const char* codigoDeAtivacao)
{
    return run(SatFunction::BloquearSAT, numeroSessao, codigoDeAtivacao);
}

const char* DesbloquearSAT(int numeroSessao, const char* codigoDeAtivacao)
{
    return run(SatFunction::DesbloquearSAT, numeroSessao, codigoDeAtivacao);
}

const char* ConsultarSAT(int numeroSessao)
{
    return run(SatFunction::ConsultarSAT, numeroSessao);
}

const char* ConsultarStatusOperacional(int numeroSessao, const char* codigoDeAtivacao)
{
    return run(SatFunction::ConsultarStatusOperacional, numeroSessao, codigoDeAtivacao);
}

const char* ConsultarNumeroSessao(int numeroSessao, const char* codigoDeAtivacao, int cNumeroDeSessao)
{
    return run(SatFunction::ConsultarNumeroSessao, numeroSessao, codigoDeAtivacao, cNumeroDeSessao);
}

const char* EnviarDadosVenda(int numeroSessao, const char* codigoDeAtivacao, const char* dadosVenda)
{
    return run(SatFunction::EnviarDadosVenda, numeroSessao, codigoDeAtivacao, dadosVenda);
}

const char* CancelarUltimaVenda(int numeroSessao, const char* codigoDeAtivacao, const char* chave,
                                const char* dadosCancelamento)
{
    return run(SatFunction::CancelarUltimaVenda, numeroSessao, codigoDeAtivacao, chave, dadosCancelamento);
}

const char* ExtrairLogs(int numeroSessao, const char* codigoDeAtivacao)
{
    return run(SatFunction::ExtrairLogs, numeroSessao, codigoDeAtivacao);
}

const char* ConsultarUltimaSessaoFiscal(int numeroSessao, const char* codigoDeAtivacao)
{
    return run(SatFunction::ConsultarUltimaSessaoFiscal, numeroSessao, codigoDeAtivacao);
}

ErroSAT CodigoErro(void)
{
    return SatDevice::instance().errorRecord();
}

} // extern "C"
