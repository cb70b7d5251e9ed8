#include "app/commandstate.h"
#include "app/mainwindow.h"
#include "commands/activationcodestep.h"
#include "commands/report.h"
#include "forms/dialog.h"
#include "sat/dllsat.h"

#include <QMessageBox>

#include <cstring>

namespace {

int checkDigit(const int* values, const int* weights, int count)
{
    int sum = 0;
    for (int i = 0; i < count; ++i)
        sum += values[i] * weights[i];
    const int r = sum % 11;
    return r <= 1 ? 0 : 11 - r;
}

// The device takes the two CNPJs as 28 digits, software house first.
QByteArray withoutPunctuation(QByteArray cnpj)
{
    return cnpj.replace(".", "").replace("-", "").replace("/", "");
}

// The tool's own limit: what it carries of a signature (the device takes one of 344 characters).
constexpr int MaxSignatureLength = 1023;

} // namespace

bool MainWindow::isValidCnpj(const char* text)
{
    if (!text)
        return false;
    const QByteArray bare = withoutPunctuation(QByteArray(text));
    if (bare.size() != 14)
        return false;

    int values[14];
    for (int i = 0; i < 14; ++i)
        values[i] = static_cast<unsigned char>(bare[i]) - '0';

    static const int firstWeights[12] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    static const int secondWeights[13] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    int expected[13];
    std::memcpy(expected, values, sizeof(int) * 12);
    expected[12] = checkDigit(values, firstWeights, 12);
    const int second = checkDigit(expected, secondWeights, 13);
    return values[12] == expected[12] && values[13] == second;
}

void MainWindow::on_btAtivarSAT_clicked()
{
    const QByteArray cnpjText = cnpj->text().toLatin1();
    if (!isValidCnpj(cnpjText.constData())) {
        QMessageBox::critical(this, tr("Ativar SAT"), QString::fromUtf8("CNPJ Inválido."), QMessageBox::Ok);
        return;
    }
    const QByteArray code = CodAtivacao->text().toLatin1();
    if (code.size() < 8) {
        QMessageBox::critical(this, tr("Ativar SAT"),
                              QString::fromUtf8("Código de ativação deve conter no mínimo 8 caracteres"),
                              QMessageBox::Ok);
        return;
    }
    if (code != ConfCodigoAtivacao->text().toLatin1()) {
        QMessageBox::critical(this, tr("Ativar SAT"),
                              QString::fromUtf8("Código de ativação e de confirmação não são idênticos"),
                              QMessageBox::Ok);
        return;
    }

    textEdit_2->clear();
    lastAnswer = AtivarSAT(uniqueSessionNumber(0, 999999), subcommand, code.constData(), cnpjText.constData(), cUF);
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    if (!fixedMessageReport(this, record, QString::fromUtf8("Ativação SAT"), QString::fromLatin1(recordMessage(record)),
                            QString::fromUtf8("Ativacao SAT")))
        return;

    // The certificate request comes as a PEM block: keep its five opening dashes.
    if (const char* begin = lastAnswer ? std::strstr(lastAnswer, "BEGIN") : nullptr) {
        const char* from = begin - lastAnswer < 5 ? lastAnswer : begin - 5;
        textEdit_2->append(QString::fromLatin1(from));
        textEdit_2->setVisible(true);
    }
}

void MainWindow::on_btAssociarAssinatura_clicked()
{
    Dialog prompt;
    const QByteArray taxpayer = cnpjContribuinte->text().toLatin1();
    const QByteArray softwareHouse = cnpjSW->text().toLatin1();
    if (!isValidCnpj(taxpayer.constData()) || !isValidCnpj(softwareHouse.constData())) {
        QMessageBox::critical(this, tr("Associar Assinatura"), QString::fromUtf8("CNPJ Inválido."), QMessageBox::Ok);
        return;
    }

    runActivationCodeStep(prompt); // a dismissed prompt goes on: the code check decides
    const QByteArray code = prompt.activationCode();
    if (code.size() < 8) {
        QMessageBox::critical(this, tr("Associar Assinatura"),
                              QString::fromUtf8("Códgio de ativação deve conter no mínimo 8 caracteres"),
                              QMessageBox::Ok);
        return;
    }

    const QByteArray joined = withoutPunctuation(softwareHouse) + withoutPunctuation(taxpayer);
    const QByteArray signature = assinaturaAC->text().toLatin1();
    if (signature.size() > MaxSignatureLength) {
        QMessageBox::critical(this, tr("Associar Assinatura"),
                              QString::fromUtf8("Assinatura muito longa: esta ferramenta envia no máximo %1 "
                                                "caracteres e a assinatura informada tem %2. A assinatura do "
                                                "aplicativo comercial tem 344 caracteres.")
                                  .arg(MaxSignatureLength)
                                  .arg(signature.size()),
                              QMessageBox::Ok);
        return;
    }

    lastAnswer = AssociarAssinatura(uniqueSessionNumber(0, 999999), code.constData(), joined.constData(),
                                    signature.constData());
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    formattedReport(this, record, tr("Associar Assinatura"), QString::fromUtf8(recordMessage(record)));
}
