#include "resultwindow.h"

#include "cancellationrequest.h"
#include "cfeformat.h"
#include "devicetext.h"
#include "operationalstatus.h"
#include "resultfiles.h"
#include "resultlist.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QStyle>

#include <cmath>

namespace {

// The extract on screen is drawn at twice the screen's resolution: its small print reads well, and the Code 128's
// modules get two whole pixels, which a phone can read. With less room it is drawn smaller, down to the screen's
// own resolution, rather than cut.
constexpr double ScreenZoom = 2.0;

// Long enough for a dragged splitter to settle before the extract is drawn again.
constexpr int RefitDelayMs = 40;

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

QString resultTitle(const CommandResult& result, const AnswerOutcome& outcome)
{
    const QString title = QString::fromUtf8("Resultado — %1").arg(ResultList::commandLabel(result.command));
    switch (outcome.kind) {
    case AnswerOutcome::Kind::Refused:
        return QStringLiteral("%1 (recusado)").arg(title);
    case AnswerOutcome::Kind::NoAnswer:
        return QStringLiteral("%1 (sem resposta)").arg(title);
    case AnswerOutcome::Kind::Accepted:
        break;
    }
    return title;
}

} // namespace

ResultWindow::ResultWindow(ResultList* list)
    : QWidget(nullptr)
    , results(list)
    , folder(QDir::homePath())
    , chooseSaveFile(defaultSaveFile)
    , choosePrinter(defaultPrinter)
{
    setupUi(this);
    // Closing the main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    resultList->setModel(results);
    // Every column as wide as its text; the command takes what room is left over. (A stretched last section would
    // keep at least the header's default size and push the total out of sight.)
    resultList->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    resultList->horizontalHeader()->setSectionResizeMode(ResultList::CommandColumn, QHeaderView::Stretch);
    splitter->setStretchFactor(1, 1);
    connect(splitter, &QSplitter::splitterMoved, this, [this] { listWidthChosen = true; });
    connect(results, &QAbstractItemModel::rowsInserted, this, &ResultWindow::fitListWidth);
    fitListWidth();
    connect(resultList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& index) { showRow(index.row()); });

    const int iconSize = style()->pixelMetric(QStyle::PM_ToolBarIconSize, nullptr, this);
    refusalIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(iconSize, iconSize));
    saveNotice->hide();

    refit.setSingleShot(true);
    refit.setInterval(RefitDelayMs);
    connect(&refit, &QTimer::timeout, this, [this] {
        if (extract && extractDpi() != drawnDpi)
            drawExtract();
    });
    extractScroll->installEventFilter(this);

    connect(statusView, &StatusView::saved, this, &ResultWindow::rememberFolder);
    connect(logView, &LogView::saved, this, &ResultWindow::rememberFolder);
    rememberFolder(QString());
    showRow(-1);
}

ResultWindow::~ResultWindow() = default;

void ResultWindow::showLatest()
{
    // Shown first, so that the extract is drawn for the room the window really gives it.
    show();
    raise();
    activateWindow();
    fitListWidth();
    if (results->rowCount() > 0) {
        const QModelIndex newest = results->index(0, 0);
        if (resultList->currentIndex().row() == 0)
            showRow(0);
        else
            resultList->setCurrentIndex(newest);
        resultList->scrollTo(newest);
    }
}

int ResultWindow::paperWidthMm() const
{
    return paperWidth->currentIndex() == 1 ? satresults::kPaperWidth58 : satresults::kPaperWidth80;
}

bool ResultWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == extractScroll && event->type() == QEvent::Resize && extract)
        refit.start();
    return QWidget::eventFilter(watched, event);
}

// Wide enough for every column of the rows there are, unless the user has set the width.
void ResultWindow::fitListWidth()
{
    if (listWidthChosen)
        return;
    QHeaderView* header = resultList->horizontalHeader();
    int needed = 2 * resultList->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, resultList);
    const QAbstractItemView* view = resultList;
    for (int column = 0; column < header->count(); ++column)
        needed += qMax(header->sectionSizeHint(column), view->sizeHintForColumn(column));
    QList<int> sizes = splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (total <= 0) {
        // Not laid out yet: the splitter shares the window's default width.
        splitter->setSizes({needed, width() - needed});
        return;
    }
    if (sizes.value(0) < needed)
        splitter->setSizes({needed, total - needed});
}

void ResultWindow::showRow(int row)
{
    saveNotice->clear();
    saveNotice->hide();
    // Each result opens at its top, wherever the one before was scrolled to.
    extractScroll->verticalScrollBar()->setValue(0);
    extractScroll->horizontalScrollBar()->setValue(0);
    if (row < 0 || row >= results->rowCount()) {
        current.reset();
        parsed.reset();
        extract.reset();
        showOutcome(AnswerOutcome());
        showText(QStringLiteral("Resultados"), QStringLiteral("Nenhum resultado recebido ainda."), QString());
        updateActions();
        return;
    }
    current = results->at(row);
    parsed.reset();
    extract.reset();
    cancelledBy.reset();
    showResult(*current, results->outcomeAt(row));
}

void ResultWindow::showResult(const CommandResult& result, const AnswerOutcome& outcome)
{
    showOutcome(outcome);
    const QString label = ResultList::commandLabel(result.command);
    switch (result.kind) {
    case CommandResult::Kind::Sale:
    case CommandResult::Kind::Cancellation:
    case CommandResult::Kind::TestReceipt:
        parsed = satresults::parseCfeReceipt(result.document);
        if (parsed->ok)
            showExtract();
        else
            showText(QString::fromUtf8("Resultado — %1: documento não reconhecido").arg(label), parsed->error,
                     decodeDeviceText(result.document));
        break;
    case CommandResult::Kind::Status:
        setWindowTitle(resultTitle(result, outcome));
        // The bar above already gives a refusal's code and message.
        statusView->setFailureShown(!outcome.failed());
        statusView->setAnswer(result.answer, result.when);
        views->setCurrentWidget(statusPage);
        break;
    case CommandResult::Kind::Log:
        setWindowTitle(resultTitle(result, outcome));
        logView->setLog(result.document, lastSerial(result.when), result.when);
        views->setCurrentWidget(logPage);
        break;
    case CommandResult::Kind::Raw:
        showText(resultTitle(result, outcome), QString(), decodeDeviceText(result.answer));
        break;
    }
    updateActions();
}

void ResultWindow::showOutcome(const AnswerOutcome& outcome)
{
    refusalNote->setText(outcome.longText());
    refusalBar->setVisible(outcome.failed());
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

// The newest cancellation of the sale among the run's receipts.
std::optional<satresults::SaleCancellation> ResultWindow::cancellationInRun(const satresults::CfeReceipt& sale) const
{
    if (sale.kind != satresults::CfeReceipt::Kind::Sale)
        return std::nullopt;
    for (int row = 0; row < results->rowCount(); ++row) {
        const CommandResult& result = results->at(row);
        if (!isReceipt(result.kind) || result.document.isEmpty())
            continue;
        const satresults::CfeParseResult other = satresults::parseCfeReceipt(result.document);
        if (other.ok) {
            if (auto found = satresults::saleCancellation(sale, other.receipt))
                return found;
        }
    }
    return std::nullopt;
}

void ResultWindow::showExtract()
{
    const satresults::CfeReceipt& receipt = parsed->receipt;
    cancelledBy = cancellationInRun(receipt);
    QString title
        = QString::fromUtf8("Extrato do CF-e-SAT — %1 nº %2")
              .arg(ResultList::commandLabel(current->command), satresults::formatExtractNumber(receipt.number));
    QStringList notes;
    if (current->kind == CommandResult::Kind::TestReceipt) {
        title += QStringLiteral(" (teste)");
        notes << QString::fromUtf8("Recibo do Teste Fim-a-Fim: documento de teste, sem valor fiscal.");
    } else if (receipt.testEnvironment) {
        title += QStringLiteral(" (ambiente de teste)");
    }
    if (receipt.testEnvironment)
        notes << QString::fromUtf8("Emitido em ambiente de teste (tpAmb 2): não é um cupom fiscal válido.");
    if (cancelledBy) {
        title += QStringLiteral(" (cancelada)");
        notes << QString::fromUtf8("Venda cancelada nesta execução pelo CF-e-SAT de cancelamento %1, de %2.")
                     .arg(cancelledBy->key, satresults::formatDateTime(cancelledBy->date, cancelledBy->time));
    }
    setWindowTitle(title);
    extractNote->setText(notes.join(QLatin1Char(' ')));
    extractNote->setVisible(!notes.isEmpty());

    extract = std::make_unique<satresults::Extract>(receipt, paperWidthMm(), cancelledBy);
    // The extract's text, for screen readers and for copying it out.
    extractImage->setAccessibleDescription(extract->textLines().join(QLatin1Char('\n')));
    views->setCurrentWidget(extractPage);
    drawExtract();
}

// Physical dots per inch for the extract: twice the screen's, or less where that would not fit the room beside the
// list, but never below the screen's own. The room leaves out a vertical scroll bar whether or not one is shown, so
// that its coming and going does not change the fit.
int ResultWindow::extractDpi() const
{
    const double ratio = devicePixelRatioF();
    const double screenDpi = qMax(logicalDpiX(), 96) * ratio;
    const int room = extractScroll->width() - 2 * extractScroll->frameWidth()
        - extractScroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, extractScroll);
    const double fitting = std::floor(room * ratio * 25.4 / extract->sizeMm().width());
    return int(qMax(screenDpi, qMin(screenDpi * ScreenZoom, fitting)));
}

void ResultWindow::drawExtract()
{
    drawnDpi = extractDpi();
    QImage image = satresults::renderExtract(*extract, drawnDpi);
    image.setDevicePixelRatio(devicePixelRatioF());
    extractImage->setPixmap(QPixmap::fromImage(image));
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

// Only the actions of the view on show: the extract's paper, print and PDF; the XML of any document the device
// returned, even one that is no CF-e. The status and the log have their own "Salvar...".
void ResultWindow::updateActions()
{
    const bool onExtract = views->currentWidget() == extractPage && extract;
    const bool document = current && isReceipt(current->kind) && !current->document.isEmpty();
    for (QWidget* widget : {static_cast<QWidget*>(paperWidthLabel), static_cast<QWidget*>(paperWidth),
                            static_cast<QWidget*>(printButton), static_cast<QWidget*>(savePdfButton)}) {
        widget->setVisible(onExtract);
        widget->setEnabled(onExtract);
    }
    saveXmlButton->setVisible(document);
    saveXmlButton->setEnabled(document);
    // A sale's cancellation is written from its receipt, since a real device leaves none behind; on a row of its
    // own, so the pane stays as narrow as the extract's own buttons let it be. A sale already cancelled gets none.
    const bool sale = onExtract && !satresults::cancellationKey(parsed->receipt).isEmpty() && !cancelledBy;
    saleBar->setVisible(sale);
    for (QPushButton* button : {saveCancellationButton, copyKeyButton})
        button->setEnabled(sale);
    bool any = false;
    for (const QWidget* widget : actionBar->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        any = any || !widget->isHidden();
    actionBar->setVisible(any);
}

void ResultWindow::on_paperWidth_currentIndexChanged(int)
{
    if (parsed && parsed->ok)
        showExtract();
}

QString ResultWindow::askFileName(const QString& caption, const QString& fileName, const QString& filter)
{
    return chooseSaveFile(this, caption, QDir(folder).filePath(fileName), filter);
}

// One folder for the run: a file saved from any view makes its folder the one every save proposes next.
void ResultWindow::rememberFolder(const QString& savedPath)
{
    if (!savedPath.isEmpty())
        folder = QFileInfo(savedPath).absolutePath();
    statusView->setSaveFolder(folder);
    logView->setSaveFolder(folder);
}

void ResultWindow::reportFailure(const QString& title, const QString& text)
{
    QMessageBox::critical(this, title, text, QMessageBox::Ok);
}

void ResultWindow::notify(const QString& text)
{
    saveNotice->setText(text);
    saveNotice->show();
}

void ResultWindow::saveXmlDocument(const QString& title, const QString& fileName, const QByteArray& document,
                                   const QString& what)
{
    const QString name = askFileName(title, fileName, QStringLiteral("Documentos XML (*.xml)"));
    if (name.isEmpty())
        return;
    QString error;
    if (!ResultFiles::write(name, document, &error)) {
        reportFailure(title, error);
        return;
    }
    rememberFolder(name);
    notify(QStringLiteral("%1 salvo em %2").arg(what, QDir::toNativeSeparators(name)));
}

void ResultWindow::on_printButton_clicked()
{
    if (!parsed || !parsed->ok || !extract)
        return;
    QPrinter printer(QPrinter::HighResolution);
    // The dialog opens on the extract's own paper; printExtract sets it again on the printer the user picked.
    printer.setPageSize(QPageSize(extract->sizeMm(), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    printer.setFullPage(true);
    printer.setDocName(windowTitle());
    if (!choosePrinter(this, &printer))
        return;
    QString error;
    if (!satresults::printExtract(*extract, &printer, &error))
        reportFailure(QStringLiteral("Imprimir"),
                      QString::fromUtf8("Não foi possível imprimir o extrato: %1").arg(error));
}

void ResultWindow::on_savePdfButton_clicked()
{
    if (!parsed || !parsed->ok || !extract)
        return;
    const QString title = QStringLiteral("Salvar PDF");
    const QString name
        = askFileName(title, QStringLiteral("extrato-%1%2.pdf").arg(kindNoun(parsed->receipt), parsed->receipt.key),
                      QStringLiteral("Documentos PDF (*.pdf)"));
    if (name.isEmpty())
        return;
    QString error;
    if (!satresults::writeExtractPdf(*extract, name, &error)) {
        reportFailure(title, error);
        return;
    }
    rememberFolder(name);
    notify(QStringLiteral("PDF salvo em %1").arg(QDir::toNativeSeparators(name)));
}

void ResultWindow::on_saveCancellationButton_clicked()
{
    if (!parsed || !parsed->ok)
        return;
    const QString title = QStringLiteral("Salvar cancelamento");
    const satresults::CancellationRequest request = satresults::cancellationRequest(parsed->receipt);
    if (!request.ok()) {
        reportFailure(title, QStringLiteral("Não dá para escrever o cancelamento desta venda: %1").arg(request.error));
        return;
    }
    saveXmlDocument(title, satresults::cancellationFileName(parsed->receipt), request.document,
                    QStringLiteral("Cancelamento"));
}

void ResultWindow::on_copyKeyButton_clicked()
{
    if (!parsed || !parsed->ok)
        return;
    const QString key = satresults::cancellationKey(parsed->receipt);
    QGuiApplication::clipboard()->setText(key);
    notify(QStringLiteral("Chave copiada: %1").arg(key));
}

void ResultWindow::on_saveXmlButton_clicked()
{
    if (!current || current->document.isEmpty())
        return;
    const QString fileName
        = parsed && parsed->ok ? satresults::receiptFileName(parsed->receipt) : QStringLiteral("documento.xml");
    saveXmlDocument(QStringLiteral("Salvar XML"), fileName, current->document, QStringLiteral("XML"));
}
