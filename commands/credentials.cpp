#include "app/commandstate.h"
#include "app/mainwindow.h"
#include "commands/activationcodestep.h"
#include "commands/report.h"
#include "forms/dialog.h"
#include "sat/dllsat.h"

#include <QMessageBox>

void MainWindow::on_btn_alterar_clicked()
{
    const QString title = QString::fromUtf8("Alterar código de ativação");
    const char* failure = nullptr;
    if (lne_codnovo->text().size() < 8)
        failure = "Código de ativação deve conter no mínimo 8 caracteres";
    else if (lne_codconf->text() != lne_codnovo->text())
        failure = "Novo Código de Ativação e de confirmação não são idênticos.";
    else if (codatual->text().isEmpty())
        failure = "É necessário entrar com o código de ativação atual.";
    if (failure) {
        QMessageBox::critical(this, title, QString::fromUtf8(failure), QMessageBox::Ok);
        return;
    }

    const QByteArray confirmation = lne_codconf->text().toLatin1();
    const QByteArray newCode = lne_codnovo->text().toLatin1();
    const QByteArray currentCode = codatual->text().toLatin1();
    const int option = qcb_opcao->currentIndex() + 1;

    lastAnswer = TrocarCodigoDeAtivacao(uniqueSessionNumber(0, 999999), currentCode.constData(), option,
                                        newCode.constData(), confirmation.constData());
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    fixedMessageReport(this, record, title, QString::fromUtf8(recordMessage(record)));
}

void MainWindow::on_pushButton_5_clicked()
{
    Dialog prompt;
    if (!runActivationCodeStep(prompt))
        return;
    const QByteArray certificate = textEdit_3->document()->toPlainText().toLatin1();
    const QByteArray code = prompt.activationCode();

    lastAnswer
        = ComunicarCertificadoICPBRASIL(uniqueSessionNumber(0, 999999), code.constData(), certificate.constData());
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    formattedReport(this, record, tr("Comunicar Certificado"), QString::fromUtf8(formattedText(record)));
}
