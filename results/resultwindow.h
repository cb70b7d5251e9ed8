#pragma once

/*
 * The results window: the run's list of results beside one view per kind of
 * result, in a stack. A receipt (sale, cancellation, end-to-end test) shows
 * its extract; a document that is not a CF-e shows why, with its text; a
 * status and a log show their tables; any other kind shows the library's
 * answer. To add a kind: a page in resultwindow.ui and a case in showResult().
 *
 * Above the view, a bar says when the device refused the command (or sent no
 * answer); the action bar holds only the actions of the view on show. Every
 * save, whichever view it comes from, proposes the folder of the last one.
 * A sale whose cancellation the run holds shows, prints and saves as
 * cancelled, and offers no cancellation of its own.
 */

#include "answeroutcome.h"
#include "cfereceipt.h"
#include "commandresult.h"
#include "extract.h"
#include "ui_resultwindow.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QPrinter;
class ResultList;

class ResultWindow : public QWidget, private Ui::ResultWindow {
    Q_OBJECT

public:
    // No widget parent on purpose: see results/runresults.h.
    explicit ResultWindow(ResultList* results);
    ~ResultWindow() override;

    // Brings the window up and selects the newest result.
    void showLatest();

    // The paper width chosen in the window, in millimetres.
    int paperWidthMm() const;

    // Where the next save of any kind starts: the home folder, then the folder of the last file saved in this run.
    QString saveFolder() const { return folder; }

    // What the save and print buttons ask the user. Tests replace them; the
    // defaults are Qt's file and print dialogs.
    using SaveFileChooser = std::function<QString(QWidget* parent, const QString& caption, const QString& suggested,
                                                  const QString& filter)>;
    using PrinterChooser = std::function<bool(QWidget* parent, QPrinter* printer)>;
    void setSaveFileChooser(SaveFileChooser chooser) { chooseSaveFile = std::move(chooser); }
    void setPrinterChooser(PrinterChooser chooser) { choosePrinter = std::move(chooser); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void on_printButton_clicked();
    void on_savePdfButton_clicked();
    void on_saveXmlButton_clicked();
    void on_saveCancellationButton_clicked();
    void on_copyKeyButton_clicked();
    void on_paperWidth_currentIndexChanged(int index);

private:
    void showRow(int row);
    void showResult(const CommandResult& result, const AnswerOutcome& outcome);
    void showExtract();
    void drawExtract();
    int extractDpi() const;
    QString lastSerial(const QDateTime& until) const;
    std::optional<satresults::SaleCancellation> cancellationInRun(const satresults::CfeReceipt& sale) const;
    void showText(const QString& title, const QString& message, const QString& text);
    void showOutcome(const AnswerOutcome& outcome);
    void updateActions();
    void fitListWidth();
    QString askFileName(const QString& caption, const QString& fileName, const QString& filter);
    void rememberFolder(const QString& savedPath);
    void reportFailure(const QString& title, const QString& message);
    void notify(const QString& text);
    // Asks where, writes an XML document there, and says where it went: "<what> salvo em <path>".
    void saveXmlDocument(const QString& title, const QString& fileName, const QByteArray& document,
                         const QString& what);

    ResultList* results;
    // The result on show and, for a receipt, its parsed document and its extract laid out for the chosen paper.
    std::optional<CommandResult> current;
    std::optional<satresults::CfeParseResult> parsed;
    std::unique_ptr<satresults::Extract> extract;
    std::optional<satresults::SaleCancellation> cancelledBy; // the sale on show's cancellation, when the run holds it
    int drawnDpi = 0;
    // Redraws the extract for the room it has once a resize (a dragged splitter, say) has settled.
    QTimer refit;
    bool listWidthChosen = false; // the user dragged the splitter: the list keeps that width
    QString folder;
    SaveFileChooser chooseSaveFile;
    PrinterChooser choosePrinter;
};
