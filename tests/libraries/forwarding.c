/*
 * A vendor's library as the tool meets one in the field, built in several forms from this one source: the
 * standard functions and nothing else (no CodigoErro), each forwarded to the project's emulator so that its
 * answers are real. Like many vendors' builds, it prints a trace line to standard output on every call.
 *
 *   SEM_FUNCOES_NOVAS      an older library: no ExtrairLogs, ComunicarCertificadoICPBRASIL, ConsultarUltimaSessaoFiscal
 *   VENDA_FALHA            the sale crashes (a segmentation fault, as from a missing dependency's null pointer)
 *   VENDA_TRAVA            the sale never returns, as on hardware that stopped answering
 *   VENDA_LENTA            the sale answers after VENDA_LENTA milliseconds, as a slow device does
 *
 * EMULADOR is the emulator's path, given by the build.
 */
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

static void* emulator(const char* name)
{
    static void* handle;
    if (!handle)
        handle = dlopen(EMULADOR, RTLD_NOW | RTLD_LOCAL);
    return handle ? dlsym(handle, name) : NULL;
}

static void trace(const char* name)
{
    printf("biblioteca de teste: %s\n", name);
    fflush(stdout);
}

#define FORWARD(name, params, args)                                                                                  \
    EXPORT const char* name params                                                                                   \
    {                                                                                                                \
        const char*(*target) params = (const char*(*)params)emulator(#name);                                       \
        trace(#name);                                                                                                \
        return target ? target args : NULL;                                                                         \
    }

FORWARD(AtivarSAT, (int s, int sub, const char* code, const char* cnpj, int uf), (s, sub, code, cnpj, uf))
FORWARD(AssociarAssinatura, (int s, const char* code, const char* cnpjs, const char* sig), (s, code, cnpjs, sig))
FORWARD(ConfigurarInterfaceDeRede, (int s, const char* code, const char* doc), (s, code, doc))
FORWARD(AtualizarSoftwareSAT, (int s, const char* code), (s, code))
FORWARD(TrocarCodigoDeAtivacao, (int s, const char* code, int opt, const char* a, const char* b), (s, code, opt, a, b))
FORWARD(TesteFimAFim, (int s, const char* code, const char* doc), (s, code, doc))
FORWARD(BloquearSAT, (int s, const char* code), (s, code))
FORWARD(DesbloquearSAT, (int s, const char* code), (s, code))
FORWARD(ConsultarSAT, (int s), (s))
FORWARD(ConsultarStatusOperacional, (int s, const char* code), (s, code))
FORWARD(ConsultarNumeroSessao, (int s, const char* code, int queried), (s, code, queried))
FORWARD(CancelarUltimaVenda, (int s, const char* code, const char* key, const char* doc), (s, code, key, doc))

#ifndef SEM_FUNCOES_NOVAS
FORWARD(ComunicarCertificadoICPBRASIL, (int s, const char* code, const char* cert), (s, code, cert))
FORWARD(ExtrairLogs, (int s, const char* code), (s, code))
FORWARD(ConsultarUltimaSessaoFiscal, (int s, const char* code), (s, code))
#endif

#if defined(VENDA_FALHA)
EXPORT const char* EnviarDadosVenda(int s, const char* code, const char* doc)
{
    (void)s, (void)code, (void)doc;
    trace("EnviarDadosVenda");
    raise(SIGSEGV);
    return NULL;
}
#elif defined(VENDA_TRAVA)
EXPORT const char* EnviarDadosVenda(int s, const char* code, const char* doc)
{
    (void)s, (void)code, (void)doc;
    trace("EnviarDadosVenda");
    for (;;)
        pause();
}
#elif defined(VENDA_LENTA)
EXPORT const char* EnviarDadosVenda(int s, const char* code, const char* doc)
{
    const char* (*target)(int, const char*, const char*)
        = (const char* (*)(int, const char*, const char*))emulator("EnviarDadosVenda");
    trace("EnviarDadosVenda");
    usleep(VENDA_LENTA * 1000);
    return target ? target(s, code, doc) : NULL;
}
#else
FORWARD(EnviarDadosVenda, (int s, const char* code, const char* doc), (s, code, doc))
#endif
