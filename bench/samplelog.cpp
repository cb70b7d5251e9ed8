#include "samplelog.h"

#include <cstdio>

namespace {

const char* const Levels[] = {"INFO", "INFO", "INFO", "AVISO", "ERRO"};
const char* const Sources[] = {"COMUNICACAO", "SEFAZ", "CFE", "REDE", "CERTIFICADO", "FIRMWARE"};
const char* const Events[] = {
    "requisicao recebida da aplicacao comercial", "CF-e assinado e armazenado para transmissao",
    "lote transmitido, aguardando retorno",       "consulta de status operacional respondida",
    "interface de rede configurada, DHCP ativo",  "falha de comunicacao, nova tentativa agendada",
};

} // namespace

QByteArray sampleLog(qsizetype size)
{
    QByteArray log;
    log.reserve(size + 256);
    char line[256];
    for (unsigned i = 0; log.size() < size; ++i) {
        const unsigned seconds = i * 7;
        const int length = std::snprintf(
            line, sizeof line, "2024-05-%02u %02u:%02u:%02u.%03u | %-5s | %-11s | Sessao %06u: %s (%u bytes)\n",
            1 + (seconds / 86400) % 28, (seconds / 3600) % 24, (seconds / 60) % 60, seconds % 60, (i * 37) % 1000,
            Levels[i % 5], Sources[i % 6], (i * 7919) % 1000000, Events[(i / 3) % 6], 200 + (i * 131) % 4000);
        log.append(line, qMin<qsizetype>(length, qsizetype(sizeof line) - 1));
    }
    log.truncate(size);
    return log;
}

QByteArray sampleLogBase64(const QByteArray& log, bool wrapped)
{
    const QByteArray text = log.toBase64();
    if (!wrapped)
        return text;
    QByteArray lines;
    lines.reserve(text.size() + text.size() / 38 + 2);
    for (qsizetype at = 0; at < text.size(); at += 76) {
        lines.append(text.constData() + at, qMin<qsizetype>(76, text.size() - at));
        lines.append("\r\n");
    }
    return lines;
}
