#include "app/commandstate.h"
#include "app/mainwindow.h"
#include "codec/answer.h"
#include "codec/base64.h"
#include "commands/activationcodestep.h"
#include "commands/report.h"
#include "forms/dialog.h"
#include "forms/dialog3.h"
#include "results/runresults.h"
#include "sat/dllsat.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t DocumentBufferSize = 2 * 1024 * 1024;

// The document last loaded from disk. It outlives the command on purpose: a
// command whose file choice is cancelled sends the previous document again.
char documentBuffer[DocumentBufferSize];

// The reason in Portuguese: strerror follows the C locale and would show English.
QString systemReason(int error)
{
    switch (error) {
    case ENOENT:
        return QString::fromUtf8("o arquivo não existe (foi removido ou renomeado?)");
    case EACCES:
    case EPERM:
        return QString::fromUtf8("sem permissão de leitura");
    case EISDIR:
        return QString::fromUtf8("é uma pasta, não um arquivo");
    case ENOTDIR:
        return QString::fromUtf8("uma parte do caminho não é uma pasta");
    case ENAMETOOLONG:
        return QString::fromUtf8("o nome do arquivo é longo demais");
    case ELOOP:
        return QString::fromUtf8("o caminho tem links simbólicos demais");
    case EMFILE:
    case ENFILE:
        return QString::fromUtf8("há arquivos abertos demais no sistema");
    case ENOMEM:
        return QString::fromUtf8("falta memória");
    case EIO:
        return QString::fromUtf8("erro de entrada e saída no disco");
    default:
        return QString::fromUtf8("erro %1 do sistema").arg(error);
    }
}

QString fileError(const QString& name, int error)
{
    return QString::fromUtf8("Não foi possível ler o arquivo %1: %2. Nada foi enviado ao SAT.")
        .arg(QDir::toNativeSeparators(name), systemReason(error));
}

} // namespace

bool MainWindow::loadDocument(const QString& title)
{
    const QString name
        = QFileDialog::getOpenFileName(this, tr("Open XML File"), QDir::currentPath(), tr("XML Files (*.xml)"));
    if (name.isEmpty())
        return true;

    // The whole file is checked before the buffer is touched, so a refused file
    // never leaves a document cut short or an empty one behind.
    std::FILE* file = std::fopen(QFile::encodeName(name).constData(), "rb");
    if (!file) {
        QMessageBox::critical(this, title, fileError(name, errno), QMessageBox::Ok);
        return false;
    }
    QByteArray content(DocumentBufferSize, Qt::Uninitialized);
    errno = 0;
    const std::size_t length = std::fread(content.data(), 1, DocumentBufferSize, file);
    const int readError = std::ferror(file) ? (errno ? errno : EIO) : 0;
    std::fclose(file);

    if (readError) {
        QMessageBox::critical(this, title, fileError(name, readError), QMessageBox::Ok);
        return false;
    }
    // The document goes as NUL-terminated text, so the terminator must fit too.
    if (length >= DocumentBufferSize) {
        QMessageBox::critical(this, title,
                              QString::fromUtf8("O arquivo %1 tem 2 MiB ou mais; esta ferramenta envia documentos "
                                                "de até %2 bytes. Nada foi enviado ao SAT.")
                                  .arg(QDir::toNativeSeparators(name))
                                  .arg(DocumentBufferSize - 1),
                              QMessageBox::Ok);
        return false;
    }
    if (std::memchr(content.constData(), '\0', length)) {
        QMessageBox::critical(this, title,
                              QString::fromUtf8("O arquivo %1 contém bytes nulos: talvez esteja gravado em UTF-16, "
                                                "e o SAT recebe documentos em texto de 8 bits (UTF-8). Salve-o em "
                                                "UTF-8. Nada foi enviado ao SAT.")
                                  .arg(QDir::toNativeSeparators(name)),
                              QMessageBox::Ok);
        return false;
    }
    std::memset(documentBuffer, 0, sizeof documentBuffer);
    std::memcpy(documentBuffer, content.constData(), length);
    return true;
}

void MainWindow::appendDecoded(std::size_t length)
{
    const char* decoded = decodeBuffer();
    Com->append(QString::fromLatin1(decoded, int(strnlen(decoded, length))));
    Com->setVisible(true);
}

std::size_t MainWindow::showReceipt()
{
    const AnswerField receipt = answerField(lastAnswer, 6);
    if (!receipt.begin)
        return 0;
    // The field ends at the next "|": decode it alone, not the fields after it.
    const QByteArray field(receipt.begin, int(receipt.length));
    const std::size_t length = decodeBase64(field.constData());
    appendDecoded(length);
    return length;
}

void MainWindow::on_Vende_clicked()
{
    if (!loadDocument(tr("Venda")))
        return;
    sendSale(documentBuffer);
}

void MainWindow::sendSale(const char* document)
{
    const QString title = tr("Venda");
    Dialog prompt;
    if (!runActivationCodeStep(prompt))
        return;
    Com->clear();
    const QByteArray code = prompt.activationCode();

    lastAnswer = EnviarDadosVenda(uniqueSessionNumber(0, 999999), code.constData(), document);
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    formattedReport(this, record, title, QString::fromUtf8(formattedText(record)));
    if (recordMessage(record).contains("6000")) {
        const std::size_t length = showReceipt();
        keepDecodedReceipt(this, CommandResult::Kind::Sale, title, lastAnswer, decodeBuffer(), length);
    }
}

void MainWindow::on_cancelavenda_clicked()
{
    const QString title = tr("Cancela Venda");
    if (!loadDocument(title))
        return;
    Dialog3 keyPrompt;
    Dialog prompt;
    if (!runActivationCodeStep(prompt, &keyPrompt))
        return;
    const QByteArray code = prompt.activationCode();
    const QByteArray key = keyPrompt.key();

    lastAnswer = CancelarUltimaVenda(uniqueSessionNumber(0, 999999), code.constData(), key.constData(), documentBuffer);
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    formattedReport(this, record, title, QString::fromUtf8(formattedText(record)));
    if (recordMessage(record).contains("7000")) {
        const std::size_t length = showReceipt();
        keepDecodedReceipt(this, CommandResult::Kind::Cancellation, title, lastAnswer, decodeBuffer(), length);
    }
}
