#pragma once

/*
 * The main window carries every device operation as a slot bound by object
 * name to a button of its form (forms/mainwindow.ui).
 *
 * A command runs whole inside its slot, on the GUI thread: it reads and checks
 * the form, asks for the activation code with a modal prompt (forms/dialog*),
 * draws a session number (commands/sessionnumber), makes one synchronous call
 * into dllsat (sat/dllsat.h), copies the error record and reports it
 * (commands/report), then does its own work with the answer: show it in `Com`,
 * decode a Base64 document from it (codec/base64), and so on. The slots of each
 * kind of command live in their own source under commands/ and netconfig/; the
 * "Detalhes..." slot in results/detailsbutton.cpp; the slots that open the
 * windows around a sale's documents in documents/documentbuttons.cpp.
 *
 * What a command keeps besides `Com` (a receipt, the status, the log) goes to
 * the run's results in results/ (runresults, statuslogcapture), which the
 * results window there shows. The documents themselves are read by plain code
 * with no window: the CF-e in cfe/, the status and the log in statuslog/.
 *
 * The dllsat the commands call is the tool's own (sat/dispatch.cpp): it hands
 * each call to SatDevice (sat/satdevice.h), which runs the library chosen at
 * run time in a host process (host/) and keeps its answer and error record.
 * A call with no usable answer (a missing function, a null answer, a library
 * that died) is reported by libraryCallFailed right after the call, and the
 * command ends there. main() adds the library's controls to the status bar
 * (library/). Tests link the recording double or the emulator in its place.
 *
 * The state the commands share is in app/commandstate.h. Since MainWindow's
 * members are defined across these folders, their window sources build into
 * one library, satcore, defined in app/CMakeLists.txt.
 */

#include "ui_mainwindow.h"

#include <QMainWindow>

#include <cstddef>

class QEvent;
class QTimer;

class MainWindow : public QMainWindow, private Ui::MainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // A number in low..high that is not among the last 100 it returned.
    static int uniqueSessionNumber(int low, int high);

    // True when the text, without ".", "-" and "/", is 14 characters whose last
    // two are the CNPJ check digits of the first twelve.
    static bool isValidCnpj(const char* text);

public slots:
    void TimerEvent();

protected:
    void changeEvent(QEvent* e) override;

private slots:
    void on_TipoCertificado_currentIndexChanged(int index);
    void on_UF_currentIndexChanged(int index);
    void on_radioButton_2_clicked(bool checked);
    void on_radioButton_2_toggled(bool checked);
    void on_radioButton_clicked(bool checked);
    void on_radioButton_toggled(bool checked);
    void on_TesteFim_a_Fim_clicked();
    void on_btAtivarSAT_clicked();
    void on_btConfigurarInterfaceDeRede_clicked();
    void on_ConfProxy_currentIndexChanged(int index);
    void on_btAssociarAssinatura_clicked();
    void on_btnatualizar_clicked();
    void on_btn_alterar_clicked();
    void on_Bloquear_clicked();
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_pushButton_3_clicked();
    void on_Logs_clicked();
    void on_pushButton_4_clicked();
    void on_Vende_clicked();
    void on_cancelavenda_clicked();
    void on_pushButton_5_clicked();
    void on_btConfigurarInterfaceDeRede_2_clicked();
    void on_Logs_3_clicked();
    void on_Detalhes_clicked();
    void on_UltimaSessaoFiscal_clicked();
    void on_VerificarXml_clicked();
    void on_VendaTeste_clicked();

private:
    // Network configuration, shared by its two buttons.
    void configureNetwork(const QByteArray& activationCode);
    // Sale and cancellation: the chosen file into the document buffer. False
    // when the file was refused and the command must send nothing.
    bool loadDocument(const QString& title);
    // The sale of a document, from the activation code on: the file "Venda" loaded, or the test sale's form.
    void sendSale(const char* document);
    // Decodes the receipt in the answer's seventh field into Com; the number of
    // bytes decoded into the decode buffer, 0 when the answer has no such field.
    std::size_t showReceipt();
    // Log extraction, shared by its two buttons.
    void extractLogs(const QByteArray& activationCode);
    // Appends decoded bytes to Com, up to their first NUL, as Latin-1.
    void appendDecoded(std::size_t length);
};
