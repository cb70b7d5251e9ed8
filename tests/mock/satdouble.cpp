#include "satdouble.h"

#include "sat/dllsat.h"

#include <QQueue>

#include <algorithm>
#include <cstring>

namespace {

struct Outcome {
    int code = 0;
    QByteArray message = "00000 - sem roteiro";
    QByteArray answer = "0|00000|sem roteiro||";
};

QList<SatDouble::Call> recorded;
QQueue<Outcome> scripted;
std::function<void()> hook;
QByteArray currentAnswer;
ErroSAT currentRecord;

QByteArray text(const char* value)
{
    return value ? QByteArray(value) : QByteArray("<null>");
}

const char* respond(SatDouble::Call call)
{
    recorded.append(call);
    const Outcome outcome = scripted.isEmpty() ? Outcome() : scripted.dequeue();
    currentAnswer = outcome.answer;
    std::memset(&currentRecord, 0, sizeof currentRecord);
    currentRecord.codigo = outcome.code;
    std::memcpy(currentRecord.mensagem, outcome.message.constData(),
                std::min<std::size_t>(outcome.message.size(), sizeof currentRecord.mensagem));
    if (hook)
        hook();
    return currentAnswer.constData();
}

} // namespace

namespace SatDouble {

void reset()
{
    recorded.clear();
    scripted.clear();
    hook = nullptr;
}

void script(int code, const QByteArray& message, const QByteArray& answer)
{
    scripted.enqueue(Outcome {code, message, answer});
}

void onCall(std::function<void()> callback)
{
    hook = std::move(callback);
}

QList<Call> calls()
{
    return recorded;
}

} // namespace SatDouble

using SatDouble::Call;

extern "C" {

const char* AtivarSAT(int session, int subcommand, const char* code, const char* cnpj, int cUF)
{
    return respond(Call {"AtivarSAT",
                         {QByteArray::number(session), QByteArray::number(subcommand), text(code), text(cnpj),
                          QByteArray::number(cUF)}});
}

const char* AssociarAssinatura(int session, const char* code, const char* cnpjs, const char* signature)
{
    return respond(
        Call {"AssociarAssinatura", {QByteArray::number(session), text(code), text(cnpjs), text(signature)}});
}

const char* ConfigurarInterfaceDeRede(int session, const char* code, const char* document)
{
    return respond(Call {"ConfigurarInterfaceDeRede", {QByteArray::number(session), text(code), text(document)}});
}

const char* AtualizarSoftwareSAT(int session, const char* code)
{
    return respond(Call {"AtualizarSoftwareSAT", {QByteArray::number(session), text(code)}});
}

const char* TrocarCodigoDeAtivacao(int session, const char* code, int option, const char* newCode,
                                   const char* confirmation)
{
    return respond(Call {
        "TrocarCodigoDeAtivacao",
        {QByteArray::number(session), text(code), QByteArray::number(option), text(newCode), text(confirmation)}});
}

const char* ComunicarCertificadoICPBRASIL(int session, const char* code, const char* certificate)
{
    return respond(
        Call {"ComunicarCertificadoICPBRASIL", {QByteArray::number(session), text(code), text(certificate)}});
}

const char* TesteFimAFim(int session, const char* code, const char* document)
{
    return respond(Call {"TesteFimAFim", {QByteArray::number(session), text(code), text(document)}});
}

const char* BloquearSAT(int session, const char* code)
{
    return respond(Call {"BloquearSAT", {QByteArray::number(session), text(code)}});
}

const char* DesbloquearSAT(int session, const char* code)
{
    return respond(Call {"DesbloquearSAT", {QByteArray::number(session), text(code)}});
}

const char* ConsultarSAT(int session)
{
    return respond(Call {"ConsultarSAT", {QByteArray::number(session)}});
}

const char* ConsultarStatusOperacional(int session, const char* code)
{
    return respond(Call {"ConsultarStatusOperacional", {QByteArray::number(session), text(code)}});
}

const char* ConsultarNumeroSessao(int session, const char* code, int queried)
{
    return respond(
        Call {"ConsultarNumeroSessao", {QByteArray::number(session), text(code), QByteArray::number(queried)}});
}

const char* EnviarDadosVenda(int session, const char* code, const char* document)
{
    return respond(Call {"EnviarDadosVenda", {QByteArray::number(session), text(code), text(document)}});
}

const char* CancelarUltimaVenda(int session, const char* code, const char* key, const char* document)
{
    return respond(Call {"CancelarUltimaVenda", {QByteArray::number(session), text(code), text(key), text(document)}});
}

const char* ExtrairLogs(int session, const char* code)
{
    return respond(Call {"ExtrairLogs", {QByteArray::number(session), text(code)}});
}

ErroSAT CodigoErro(void)
{
    return currentRecord;
}

const char* ConsultarUltimaSessaoFiscal(int session, const char* code)
{
    return respond(Call {"ConsultarUltimaSessaoFiscal", {QByteArray::number(session), text(code)}});
}

} // extern "C"
