#pragma once

/*
 * The device library. Every exchange with the fiscal device goes through these
 * functions; the emulator in emulator/ provides them, and a vendor's library
 * with the same exports can take its place beside the executable.
 *
 * Text arguments are NUL-terminated 8-bit strings. Every function except
 * CodigoErro returns the library's own NUL-terminated, pipe-separated answer:
 * never null, owned by the library, valid until the next call.
 */

#include <stdint.h>

#if defined(_WIN32)
#define DLLSAT_CALL __stdcall
#if defined(DLLSAT_BUILD)
#define DLLSAT_API __declspec(dllexport)
#else
#define DLLSAT_API __declspec(dllimport)
#endif
#else
#define DLLSAT_CALL
#define DLLSAT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The error record: the transport outcome of the last call. */
typedef struct ErroSAT {
    int32_t codigo;
    char mensagem[300]; /* NUL-terminated text, though a library may fill it whole */
} ErroSAT;

#ifdef __cplusplus
static_assert(sizeof(ErroSAT) == 304, "the error record is 304 bytes");
#else
_Static_assert(sizeof(ErroSAT) == 304, "the error record is 304 bytes");
#endif

/* Transport codes that the tool names. */
enum { SAT_PORTA_NAO_CONECTADA = 1, SAT_COMANDO_NAO_RECONHECIDO = 4, SAT_TIMEOUT = 0x8000, SAT_SEM_CTS = 0x8001 };

DLLSAT_API const char* DLLSAT_CALL AtivarSAT(int numeroSessao, int subComando, const char* codigoDeAtivacao,
                                             const char* CNPJ, int cUF);
DLLSAT_API const char* DLLSAT_CALL AssociarAssinatura(int numeroSessao, const char* codigoDeAtivacao,
                                                      const char* CNPJvalue, const char* assinaturaCNPJs);
DLLSAT_API const char* DLLSAT_CALL ConfigurarInterfaceDeRede(int numeroSessao, const char* codigoDeAtivacao,
                                                             const char* dadosConfiguracao);
DLLSAT_API const char* DLLSAT_CALL AtualizarSoftwareSAT(int numeroSessao, const char* codigoDeAtivacao);
DLLSAT_API const char* DLLSAT_CALL TrocarCodigoDeAtivacao(int numeroSessao, const char* codigoDeAtivacao, int opcao,
                                                          const char* novoCodigo, const char* confNovoCodigo);
DLLSAT_API const char* DLLSAT_CALL ComunicarCertificadoICPBRASIL(int numeroSessao, const char* codigoDeAtivacao,
                                                                 const char* certificado);
DLLSAT_API const char* DLLSAT_CALL TesteFimAFim(int numeroSessao, const char* codigoDeAtivacao, const char* dadosVenda);
DLLSAT_API const char* DLLSAT_CALL BloquearSAT(int numeroSessao, const char* codigoDeAtivacao);
DLLSAT_API const char* DLLSAT_CALL DesbloquearSAT(int numeroSessao, const char* codigoDeAtivacao);
DLLSAT_API const char* DLLSAT_CALL ConsultarSAT(int numeroSessao);
DLLSAT_API const char* DLLSAT_CALL ConsultarStatusOperacional(int numeroSessao, const char* codigoDeAtivacao);
DLLSAT_API const char* DLLSAT_CALL ConsultarNumeroSessao(int numeroSessao, const char* codigoDeAtivacao,
                                                         int cNumeroDeSessao);
/* The answer of the last sale or cancellation (EnviarDadosVenda, CancelarUltimaVenda), whatever its outcome. */
DLLSAT_API const char* DLLSAT_CALL ConsultarUltimaSessaoFiscal(int numeroSessao, const char* codigoDeAtivacao);
DLLSAT_API const char* DLLSAT_CALL EnviarDadosVenda(int numeroSessao, const char* codigoDeAtivacao,
                                                    const char* dadosVenda);
DLLSAT_API const char* DLLSAT_CALL CancelarUltimaVenda(int numeroSessao, const char* codigoDeAtivacao,
                                                       const char* chave, const char* dadosCancelamento);
DLLSAT_API const char* DLLSAT_CALL ExtrairLogs(int numeroSessao, const char* codigoDeAtivacao);
DLLSAT_API ErroSAT DLLSAT_CALL CodigoErro(void);

#ifdef __cplusplus
}
#endif
