#include "app/commandstate.h"
#include "app/mainwindow.h"
#include "commands/activationcodestep.h"
#include "commands/report.h"
#include "commands/sampledocument.h"
#include "forms/dialog.h"
#include "forms/dialog2.h"
#include "results/runresults.h"
#include "results/statuslogcapture.h"
#include "sat/dllsat.h"

#include <QMessageBox>

void MainWindow::on_btnatualizar_clicked()
{
    const QString title = QString::fromUtf8("Atualização de software SAT");
    Dialog prompt;
    runActivationCodeStep(prompt); // a dismissed prompt still runs the update with what was typed
    const QByteArray code = prompt.activationCode();
    if (code.isEmpty()) {
        QMessageBox::critical(this, title, QString::fromUtf8("Código de ativação inválido"), QMessageBox::Ok);
        return;
    }

    lastAnswer = AtualizarSoftwareSAT(uniqueSessionNumber(0, 999999), code.constData());
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    fixedMessageReport(this, record, title, QString::fromUtf8(lastAnswer));
}

void MainWindow::on_TesteFim_a_Fim_clicked()
{
    Dialog prompt;
    if (!runActivationCodeStep(prompt))
        return;
    const QByteArray code = prompt.activationCode();

    lastAnswer = TesteFimAFim(uniqueSessionNumber(0, 999999), code.constData(), sampleSaleDocument().constData());
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    fixedMessageReport(this, record, QString::fromUtf8("Teste de comunicação Fim-a-Fim."),
                       QString::fromLatin1(recordMessage(record)));
    keepReceipt(this, CommandResult::Kind::TestReceipt, QStringLiteral("Teste Fim-a-Fim"), lastAnswer, 5);
}

void MainWindow::on_Bloquear_clicked()
{
    Dialog prompt;
    if (!runActivationCodeStep(prompt))
        return;
    const QByteArray code = prompt.activationCode();

    lastAnswer = BloquearSAT(uniqueSessionNumber(0, 999999), code.constData());
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    formattedReport(this, record, tr("Bloquear SAT"), QString::fromUtf8(lastAnswer));
}

void MainWindow::on_pushButton_clicked()
{
    Dialog prompt;
    if (!runActivationCodeStep(prompt))
        return;
    const QByteArray code = prompt.activationCode();

    lastAnswer = DesbloquearSAT(uniqueSessionNumber(0, 999999), code.constData());
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    formattedReport(this, record, tr("Desbloquear SAT"), QString::fromUtf8(formattedText(record)));
}

void MainWindow::on_pushButton_3_clicked()
{
    Dialog prompt;
    if (!runActivationCodeStep(prompt))
        return;
    Com->clear();
    const QByteArray code = prompt.activationCode();

    lastAnswer = ConsultarStatusOperacional(uniqueSessionNumber(0, 999999), code.constData());
    if (libraryCallFailed(this))
        return;
    keepStatus(this, tr("Status Operacional SAT"), lastAnswer);
    const ErroSAT record = CodigoErro();
    formattedReport(this, record, tr("Status Operacional SAT"), QString::fromUtf8(formattedText(record)));
    // The answer is shown even after a transport failure: it may say more.
    Com->append(QString::fromLatin1(lastAnswer));
}

void MainWindow::on_pushButton_4_clicked()
{
    Dialog2 sessionPrompt;
    Dialog prompt;
    if (!runActivationCodeStep(prompt, &sessionPrompt))
        return;
    Com->clear();
    const int queried = sessionPrompt.sessionNumber();
    const QByteArray code = prompt.activationCode();

    lastAnswer = ConsultarNumeroSessao(uniqueSessionNumber(0, 999999), code.constData(), queried);
    if (libraryCallFailed(this))
        return;
    keepSessionAnswer(this, tr("Numero Sessao"), lastAnswer);
    const ErroSAT record = CodigoErro();
    formattedReport(this, record, tr("Numero Sessao"), QString::fromUtf8(formattedText(record)));
    Com->append(QString::fromLatin1(lastAnswer));
}

void MainWindow::on_UltimaSessaoFiscal_clicked()
{
    const QString title = QString::fromUtf8("Última Sessão Fiscal");
    Dialog prompt;
    if (!runActivationCodeStep(prompt))
        return;
    Com->clear();
    const QByteArray code = prompt.activationCode();

    lastAnswer = ConsultarUltimaSessaoFiscal(uniqueSessionNumber(0, 999999), code.constData());
    if (libraryCallFailed(this))
        return;
    // The stored answer of the last sale or cancellation: its receipt goes to the results as an extract.
    keepSessionAnswer(this, title, lastAnswer);
    const ErroSAT record = CodigoErro();
    formattedReport(this, record, title, QString::fromUtf8(formattedText(record)));
    Com->append(QString::fromLatin1(lastAnswer));
}
