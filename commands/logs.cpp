#include "app/commandstate.h"
#include "app/mainwindow.h"
#include "codec/answer.h"
#include "codec/base64.h"
#include "commands/activationcodestep.h"
#include "commands/report.h"
#include "forms/dialog.h"
#include "results/statuslogcapture.h"
#include "sat/dllsat.h"

void MainWindow::extractLogs(const QByteArray& activationCode)
{
    Com->clear();
    lastAnswer = ExtrairLogs(uniqueSessionNumber(0, 999999), activationCode.constData());
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    formattedReport(this, record, tr("Extrair Logs SAT"), QString::fromLatin1(formattedText(record)));

    // The log runs to the end of the answer; a "|" inside it is skipped by the decoder.
    const AnswerField log = answerTail(lastAnswer, 5);
    if (log.begin) {
        const std::size_t length = decodeBase64(log.begin);
        keepLog(this, tr("Extrair Logs SAT"), lastAnswer, decodeBuffer(), length);
        appendDecoded(length);
    }
}

void MainWindow::on_Logs_clicked()
{
    Dialog prompt;
    if (!runActivationCodeStep(prompt))
        return;
    extractLogs(prompt.activationCode());
}

void MainWindow::on_Logs_3_clicked()
{
    extractLogs(DefaultActivationCode);
}
