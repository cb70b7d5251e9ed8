// Placeholder: answers every call as a device in operation.
#include "dllsat.h"
#include <cstdio>
#include <cstring>
namespace {
char answer[256];
ErroSAT record;
const char *reply(int session, const char *code, const char *message)
{
    std::snprintf(answer, sizeof answer, "%06d|%s|%s||", session, code, message);
    record.codigo = 0;
    std::snprintf(record.mensagem, sizeof record.mensagem, "%s - %s", code, message);
    return answer;
}
}
extern "C" {
const char *AtivarSAT(int s, int, const char *, const char *, int) { return reply(s, "04000", "Ativado corretamente"); }
const char *AssociarAssinatura(int s, const char *, const char *, const char *) { return reply(s, "13000", "Assinatura do AC Registrada"); }
const char *ConfigurarInterfaceDeRede(int s, const char *, const char *) { return reply(s, "12000", "Rede Configurada"); }
const char *AtualizarSoftwareSAT(int s, const char *) { return reply(s, "14000", "Software Atualizado com Sucesso"); }
const char *TrocarCodigoDeAtivacao(int s, const char *, int, const char *, const char *) { return reply(s, "18000", "Codigo de ativacao alterado com sucesso"); }
const char *ComunicarCertificadoICPBRASIL(int s, const char *, const char *) { return reply(s, "05000", "Certificado transmitido com sucesso"); }
const char *TesteFimAFim(int s, const char *, const char *) { return reply(s, "09000", "Emitido com sucesso"); }
const char *BloquearSAT(int s, const char *) { return reply(s, "16000", "Equipamento SAT bloqueado com sucesso"); }
const char *DesbloquearSAT(int s, const char *) { return reply(s, "17000", "Equipamento SAT desbloqueado com sucesso"); }
const char *ConsultarSAT(int s) { return reply(s, "08000", "SAT em operacao"); }
const char *ConsultarStatusOperacional(int s, const char *) { return reply(s, "10000", "Resposta com Sucesso"); }
const char *ConsultarNumeroSessao(int s, const char *, int) { return reply(s, "11003", "Sessao nao existe"); }
const char *EnviarDadosVenda(int s, const char *, const char *) { return reply(s, "06000", "Emitido com sucesso"); }
const char *CancelarUltimaVenda(int s, const char *, const char *, const char *) { return reply(s, "07000", "Cupom cancelado com sucesso"); }
const char *ExtrairLogs(int s, const char *) { return reply(s, "15000", "Transferencia completa"); }
ErroSAT CodigoErro(void) { return record; }
}
