#include "commands/report.h"

#include "sat/callfailure.h"

#include <QMessageBox>

#include <cstdio>
#include <cstring>

QByteArray recordMessage(const ErroSAT& record)
{
    return QByteArray(record.mensagem, int(strnlen(record.mensagem, sizeof record.mensagem)));
}

QByteArray formattedText(const ErroSAT& record)
{
    char code[16];
    std::snprintf(code, sizeof code, " [%x]", static_cast<unsigned>(record.codigo));
    return recordMessage(record) + code;
}

bool isTransportFailure(int code)
{
    return code == SAT_PORTA_NAO_CONECTADA || code == SAT_TIMEOUT || code == SAT_SEM_CTS;
}

namespace {

const char* fixedMessage(int code)
{
    switch (code) {
    case SAT_PORTA_NAO_CONECTADA:
        return "Porta de comunicação não conectada.";
    case SAT_COMANDO_NAO_RECONHECIDO:
        return "Comando recebido do equipamento não reconhecido.";
    case SAT_TIMEOUT:
        return "TimeOut: Equipamento não está respondendo as mensagens.";
    case SAT_SEM_CTS:
        return "Sem Sinal CTS.";
    default:
        return nullptr;
    }
}

} // namespace

bool fixedMessageReport(QWidget* parent, const ErroSAT& record, const QString& title, const QString& information,
                        const QString& informationTitle)
{
    if (const char* message = fixedMessage(record.codigo)) {
        QMessageBox::critical(parent, title, QString::fromUtf8(message), QMessageBox::Ok);
        return false;
    }
    QMessageBox::information(parent, informationTitle.isEmpty() ? title : informationTitle, information,
                             QMessageBox::Ok);
    return true;
}

void formattedReport(QWidget* parent, const ErroSAT& record, const QString& title, const QString& information)
{
    if (isTransportFailure(record.codigo))
        QMessageBox::critical(parent, title, QString::fromUtf8(formattedText(record)), QMessageBox::Ok);
    else
        QMessageBox::information(parent, title, information, QMessageBox::Ok);
}

bool libraryCallFailed(QWidget* parent)
{
    const std::optional<CallFailure> failure = takeCallFailure();
    if (!failure)
        return false;
    QMessageBox::critical(parent, QStringLiteral("Falha na biblioteca do SAT"), failure->text(), QMessageBox::Ok);
    return true;
}
