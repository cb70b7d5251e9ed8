#pragma once

/*
 * The results window: the run's list of results beside one view per kind of
 * result, in a stack. A receipt (sale, cancellation, end-to-end test) shows
 * its extract; a document that is not a CF-e shows why, with its text; a
 * status and a log show their tables; any other kind shows the library's
 * answer. To add a kind: a page in resultwindow.ui and a case in showResult().
 */

#include "cfereceipt.h"
#include "commandresult.h"
#include "ui_resultwindow.h"

#include <QWidget>

#include <functional>
#include <optional>

class QPrinter;
class ResultList;

class ResultWindow : public QWidget, private Ui::ResultWindow {
    Q_OBJECT

public:
    // No widget parent on purpose: see results/runresults.h.
    explicit ResultWindow(ResultList* results);
    ~ResultWindow() override;

    // Selects the newest result and brings the window up.
    void showLatest();

    // The paper width chosen in the window, in millimetres.
    int paperWidthMm() const;

    // What the save and print buttons ask the user. Tests replace them; the
    // defaults are Qt's file and print dialogs.
    using SaveFileChooser = std::function<QString(QWidget* parent, const QString& caption, const QString& suggested,
                                                  const QString& filter)>;
    using PrinterChooser = std::function<bool(QWidget* parent, QPrinter* printer)>;
    void setSaveFileChooser(SaveFileChooser chooser) { chooseSaveFile = std::move(chooser); }
    void setPrinterChooser(PrinterChooser chooser) { choosePrinter = std::move(chooser); }

private slots:
    void on_printButton_clicked();
    void on_savePdfButton_clicked();
    void on_saveXmlButton_clicked();
    void on_paperWidth_currentIndexChanged(int index);

private:
    void showRow(int row);
    void showResult(const CommandResult& result);
    void showExtract();
    QString lastSerial(const QDateTime& until) const;
    void showText(const QString& title, const QString& message, const QString& text);
    void updateActions();
    QString suggestedPath(const QString& fileName) const;
    QString askFileName(const QString& caption, const QString& fileName, const QString& filter);
    void reportFailure(const QString& title, const QString& message);

    ResultList* results;
    // The result on show and, for a receipt, its parsed document.
    std::optional<CommandResult> current;
    std::optional<satresults::CfeParseResult> parsed;
    QString folder; // where the last file was saved in this run
    SaveFileChooser chooseSaveFile;
    PrinterChooser choosePrinter;
};
