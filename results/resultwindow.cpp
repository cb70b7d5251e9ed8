#include "resultwindow.h"

#include "cfeformat.h"
#include "extract.h"
#include "operationalstatus.h"
#include "resultfiles.h"
#include "resultlist.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>

namespace {

// The extract on screen is drawn at twice the screen's resolution: its small print reads well, and the Code 128's
// modules get two whole pixels, which a phone can read.
constexpr double ScreenZoom = 2.0;

QString defaultSaveFile(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

bool defaultPrinter(QWidget* parent, QPrinter* printer)
{
    QPrintDialog dialog(printer, parent);
    dialog.setWindowTitle(QStringLiteral("Imprimir extrato"));
    return dialog.exec() == QDialog::Accepted;
}

QString kindNoun(const satresults::CfeReceipt& receipt)
{
    return receipt.kind == satresults::CfeReceipt::Kind::Cancellation ? QStringLiteral("CFeCanc")
                                                                      : QStringLiteral("CFe");
}

} // namespace

ResultWindow::ResultWindow(ResultList* list)
    : QWidget(nullptr)
    , results(list)
    , folder(QDir::currentPath())
    , chooseSaveFile(defaultSaveFile)
    , choosePrinter(defaultPrinter)
{
    setupUi(this);
    // Closing the main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    resultList->setModel(results);
    resultList->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Room for the four columns; the extract takes the rest.
    splitter->setSizes({340, width() - 340});
    splitter->setStretchFactor(1, 1);
    connect(resultList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& index) { showRow(index.row()); });
    showRow(-1);
}

ResultWindow::~ResultWindow() = default;

void ResultWindow::showLatest()
{
    if (results->rowCount() > 0) {
        const QModelIndex newest = results->index(0, 0);
        if (resultList->currentIndex().row() == 0)
            showRow(0);
        else
            resultList->setCurrentIndex(newest);
        resultList->scrollTo(newest);
    }
    show();
    raise();
    activateWindow();
}

int ResultWindow::paperWidthMm() const
{
    return paperWidth->currentIndex() == 1 ? satresults::kPaperWidth58 : satresults::kPaperWidth80;
}

void ResultWindow::showRow(int row)
{
    if (row < 0 || row >= results->rowCount()) {
        current.reset();
        parsed.reset();
        showText(QStringLiteral("Resultados"), QStringLiteral("Nenhum resultado recebido ainda."), QString());
        return;
    }
    current = results->at(row);
    parsed.reset();
    showResult(*current);
}

void ResultWindow::showResult(const CommandResult& result)
{
    switch (result.kind) {
    case CommandResult::Kind::Sale:
    case CommandResult::Kind::Cancellation:
    case CommandResult::Kind::TestReceipt:
        parsed = satresults::parseCfeReceipt(result.document);
        if (parsed->ok)
            showExtract();
        else
            showText(QString::fromUtf8("Resultado — %1: documento não reconhecido").arg(result.command), parsed->error,
                     QString::fromUtf8(result.document));
        break;
    case CommandResult::Kind::Status:
        setWindowTitle(QString::fromUtf8("Resultado — %1").arg(result.command));
        statusView->setAnswer(result.answer, result.when);
        views->setCurrentWidget(statusPage);
        break;
    case CommandResult::Kind::Log:
        setWindowTitle(QString::fromUtf8("Resultado — %1").arg(result.command));
        logView->setLog(result.document, lastSerial(result.when), result.when);
        views->setCurrentWidget(logPage);
        break;
    case CommandResult::Kind::Raw:
        showText(QString::fromUtf8("Resultado — %1").arg(result.command), QString(),
                 QString::fromLatin1(result.answer));
        break;
    }
    updateActions();
}

// The series of the newest status read up to that moment, to name the log's file; empty when there is none.
QString ResultWindow::lastSerial(const QDateTime& until) const
{
    for (int row = 0; row < results->rowCount(); ++row) {
        const CommandResult& result = results->at(row);
        if (result.kind != CommandResult::Kind::Status || result.when > until)
            continue;
        const OperationalStatus status = OperationalStatus::parse(result.answer, result.when);
        if (status.isValid())
            return status.serial();
    }
    return QString();
}

void ResultWindow::showExtract()
{
    const satresults::CfeReceipt& receipt = parsed->receipt;
    QString title = QString::fromUtf8("Extrato do CF-e-SAT — %1 nº %2")
                        .arg(current->command, satresults::formatExtractNumber(receipt.number));
    QStringList notes;
    if (current->kind == CommandResult::Kind::TestReceipt) {
        title += QStringLiteral(" (teste)");
        notes << QString::fromUtf8("Recibo do Teste Fim-a-Fim: documento de teste, sem valor fiscal.");
    } else if (receipt.testEnvironment) {
        title += QStringLiteral(" (ambiente de teste)");
    }
    if (receipt.testEnvironment)
        notes << QString::fromUtf8("Emitido em ambiente de teste (tpAmb 2): não é um cupom fiscal válido.");
    setWindowTitle(title);
    extractNote->setText(notes.join(QLatin1Char(' ')));
    extractNote->setVisible(!notes.isEmpty());

    const qreal ratio = devicePixelRatioF();
    const int dpi = qRound(qMax(logicalDpiX(), 96) * ScreenZoom * ratio);
    const satresults::Extract extract(receipt, paperWidthMm());
    QImage image = satresults::renderExtract(extract, dpi);
    image.setDevicePixelRatio(ratio);
    extractImage->setPixmap(QPixmap::fromImage(image));
    // The extract's text, for screen readers and for copying it out.
    extractImage->setAccessibleDescription(extract.textLines().join(QLatin1Char('\n')));
    views->setCurrentWidget(extractPage);
}

void ResultWindow::showText(const QString& title, const QString& text, const QString& body)
{
    setWindowTitle(title);
    message->setText(text);
    message->setVisible(!text.isEmpty());
    plainText->setPlainText(body);
    plainText->setVisible(!body.isEmpty());
    views->setCurrentWidget(textPage);
}

void ResultWindow::updateActions()
{
    const bool extract = parsed && parsed->ok;
    printButton->setEnabled(extract);
    savePdfButton->setEnabled(extract);
    paperWidth->setEnabled(extract);
    saveXmlButton->setEnabled(current && isReceipt(current->kind) && !current->document.isEmpty());
}

void ResultWindow::on_paperWidth_currentIndexChanged(int)
{
    if (parsed && parsed->ok)
        showExtract();
}

QString ResultWindow::suggestedPath(const QString& fileName) const
{
    return QDir(folder).filePath(fileName);
}

QString ResultWindow::askFileName(const QString& caption, const QString& fileName, const QString& filter)
{
    const QString chosen = chooseSaveFile(this, caption, suggestedPath(fileName), filter);
    if (!chosen.isEmpty())
        folder = QFileInfo(chosen).absolutePath();
    return chosen;
}

void ResultWindow::reportFailure(const QString& title, const QString& text)
{
    QMessageBox::critical(this, title, text, QMessageBox::Ok);
}

void ResultWindow::on_printButton_clicked()
{
    if (!parsed || !parsed->ok)
        return;
    const satresults::Extract extract(parsed->receipt, paperWidthMm());
    QPrinter printer(QPrinter::HighResolution);
    // The dialog opens on the extract's own paper; printExtract sets it again on the printer the user picked.
    printer.setPageSize(QPageSize(extract.sizeMm(), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    printer.setFullPage(true);
    printer.setDocName(windowTitle());
    if (!choosePrinter(this, &printer))
        return;
    QString error;
    if (!satresults::printExtract(parsed->receipt, paperWidthMm(), &printer, &error))
        reportFailure(QStringLiteral("Imprimir"),
                      QString::fromUtf8("Não foi possível imprimir o extrato: %1").arg(error));
}

void ResultWindow::on_savePdfButton_clicked()
{
    if (!parsed || !parsed->ok)
        return;
    const QString title = QStringLiteral("Salvar PDF");
    const QString name
        = askFileName(title, QStringLiteral("extrato-%1%2.pdf").arg(kindNoun(parsed->receipt), parsed->receipt.key),
                      QStringLiteral("Documentos PDF (*.pdf)"));
    if (name.isEmpty())
        return;
    QString error;
    if (!satresults::writeExtractPdf(parsed->receipt, paperWidthMm(), name, &error))
        reportFailure(title, error);
}

void ResultWindow::on_saveXmlButton_clicked()
{
    if (!current || current->document.isEmpty())
        return;
    const QString title = QStringLiteral("Salvar XML");
    const QString fileName
        = parsed && parsed->ok ? satresults::receiptFileName(parsed->receipt) : QStringLiteral("documento.xml");
    const QString name = askFileName(title, fileName, QStringLiteral("Documentos XML (*.xml)"));
    if (name.isEmpty())
        return;
    QString error;
    if (!ResultFiles::write(name, current->document, &error))
        reportFailure(title, error);
}
