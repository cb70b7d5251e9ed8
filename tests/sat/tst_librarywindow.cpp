// The main window with libraries that are not the emulator, as a technician with a real device meets them: chosen
// in "Biblioteca do SAT" and remembered, the README's walk-through on a library with only the standard functions,
// every fault a message after which the tool goes on, and device text in UTF-8 or Windows-1252.

#include "app/mainwindow.h"
#include "app/standardwindows.h"
#include "callfailure.h"
#include "cfereceipt.h"
#include "devicetext.h"
#include "host32.h"
#include "librarychoice.h"
#include "librarystatus.h"
#include "librarywindow.h"
#include "logparser.h"
#include "modalanswerer.h"
#include "results/runresults.h"
#include "results/resultlist.h"
#include "satdevice.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

QString library(const char* name)
{
    return QStringLiteral(SAT_TEST_LIBRARIES_DIR "/") + QLatin1String(name);
}

const QString Sale = QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml");

// With SAT_CAPTURAS naming a folder, saves shown there as name, for the README.
void capture(QWidget* shown, const QString& name)
{
    const QString folder = qEnvironmentVariable("SAT_CAPTURAS");
    if (folder.isEmpty())
        return;
    QTest::qWait(200); // the layout settles around a text just set
    shown->grab().save(QDir(folder).filePath(name));
}

} // namespace

class TestLibraryWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ModalAnswerer> modal;
    QString chooserVerdict;
    QStringList chooserMissing;

    template <typename T> T* widget(const char* name) const { return window->findChild<T*>(QLatin1String(name)); }

    // As main() does: the window, the library controls, and the library chosen and loading.
    void openTool()
    {
        modal = std::make_unique<ModalAnswerer>();
        window = std::make_unique<MainWindow>();
        installLibraryControls(window.get());
        SatDevice::instance().start();
        window->show();
    }

    QString statusBar() const { return widget<QLabel>("bibliotecaEmUso")->text(); }
    QString com() const { return widget<QTextEdit>("Com")->toPlainText(); }

    // Runs a command; the texts of the boxes it showed, one per box.
    QStringList step(const char* button, const QStringList& prompts = {})
    {
        modal->clear();
        for (const QString& answer : prompts)
            modal->then(answer.startsWith(QLatin1Char('/')) ? ModalAnswerer::chooseFile(answer)
                                                            : ModalAnswerer::typeAndAccept(answer));
        widget<QAbstractButton>(button)->click();
        QStringList texts;
        for (const ModalAnswerer::Box& box : modal->boxes)
            texts.append(box.text);
        if (!modal->unexpected.isEmpty() || modal->pendingActions() != 0)
            texts.append(QStringLiteral("<unexpected %1, %2 pending>")
                             .arg(modal->unexpected.join(','))
                             .arg(modal->pendingActions()));
        return texts;
    }

    // "Trocar..." in the status bar, the file checked in "Biblioteca do SAT", then used if `use`.
    void chooseInWindow(const QString& path, bool use)
    {
        modal->clear();
        chooserVerdict.clear();
        chooserMissing.clear();
        modal->then([this, path, use](QWidget* shown) {
            auto* chooser = qobject_cast<LibraryWindow*>(shown);
            QVERIFY(chooser);
            QCOMPARE(chooser->windowTitle(), QStringLiteral("Biblioteca do SAT"));
            // What "Escolher..." does once the file dialog returns (fileDialogChecksTheChosenFile).
            chooser->checkFile(path);
            chooserVerdict = chooser->findChild<QLabel*>(QStringLiteral("verificacao"))->text();
            const auto* rows = chooser->findChild<QTreeWidget*>(QStringLiteral("funcoes"));
            for (int i = 0; i < rows->topLevelItemCount(); ++i) {
                if (rows->topLevelItem(i)->text(1) == QStringLiteral("não"))
                    chooserMissing.append(rows->topLevelItem(i)->text(0));
            }
            capture(chooser, QStringLiteral("biblioteca-do-sat.png"));
            auto* useButton = chooser->findChild<QAbstractButton*>(QStringLiteral("usar"));
            if (use) {
                QVERIFY(useButton->isEnabled());
                useButton->click();
            }
            chooser->reject();
        });
        widget<QToolButton>("escolherBiblioteca")->click();
        QCOMPARE(modal->pendingActions(), 0);
    }

    void useLibrary(const QString& path)
    {
        QVERIFY(SatDevice::instance().use(path, LibraryChoice::Source::Remembered).loaded);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void walkThroughOnTheStandardFunctionsOnly();
    void fileDialogChecksTheChosenFile();
    void choiceRememberedAcrossARestart();
    void environmentWinsOverTheChoice();
    void libraryThatDoesNotLoad_data();
    void libraryThatDoesNotLoad();
    void rememberedLibraryGone();
    void missingFunction();
    void nullAnswer();
    void crashDuringASale();
    void hungSaleEndedFromTheWindow();
    void thirtyTwoBitLibrary();
    void deviceText_data();
    void deviceText();
};

void TestLibraryWindow::initTestCase()
{
    keepStandardWindowsNative(*qApp);
}

void TestLibraryWindow::init()
{
    home = std::make_unique<QTemporaryDir>();
    QVERIFY(home->isValid());
    // Qt reads XDG_CONFIG_HOME once per process: each test gets a configuration folder of its own this way.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home->filePath(QStringLiteral("config")));
    qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(home->filePath(QStringLiteral("estado/estado.txt"))));
    qunsetenv("SAT_BIBLIOTECA");
    qunsetenv("SAT_EMULADOR_FALHA");
    qunsetenv("SAT_BIBLIOTECA_ESPERA_MS");
    // Under AddressSanitizer the host would report a library's own crash as an exit, not as the signal it is.
    if (!qgetenv("ASAN_OPTIONS").contains("handle_segv=0"))
        qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":handle_segv=0:handle_sigbus=0:handle_abort=0");
    openTool();
    QTRY_VERIFY(SatDevice::instance().loaded());
}

void TestLibraryWindow::cleanup()
{
    modal.reset();
    window.reset();
    takeCallFailure();
}

void TestLibraryWindow::walkThroughOnTheStandardFunctionsOnly()
{
    QVERIFY2(statusBar().contains(QStringLiteral("o emulador do sat-comandos")), qPrintable(statusBar()));
    const QString standard = library("libsat-padrao.so");
    chooseInWindow(standard, true);
    QVERIFY2(chooserVerdict.contains(QStringLiteral("Carrega")), qPrintable(chooserVerdict));
    QVERIFY(chooserVerdict.contains(QStringLiteral("Sem CodigoErro")));
    QCOMPARE(chooserMissing, QStringList {QStringLiteral("CodigoErro (não é padrão)")});
    QCOMPARE(statusBar(), QStringLiteral("Biblioteca do SAT: %1 (64 bits)").arg(standard));
    QCOMPARE(rememberedLibrary(), standard);

    widget<QLineEdit>("cnpj")->setText("44555666000181");
    widget<QLineEdit>("CodAtivacao")->setText("treino123");
    widget<QLineEdit>("ConfCodigoAtivacao")->setText("treino123");
    QCOMPARE(step("btAtivarSAT"), QStringList {QStringLiteral("04000 - Ativado corretamente")});
    QVERIFY(widget<QTextEdit>("textEdit_2")->toPlainText().startsWith("-----BEGIN CERTIFICATE REQUEST-----"));

    widget<QLineEdit>("cnpjContribuinte")->setText("44555666000181");
    widget<QLineEdit>("cnpjSW")->setText("11222333000181");
    widget<QLineEdit>("assinaturaAC")->setText(QString(344, QLatin1Char('0')));
    QCOMPARE(step("btAssociarAssinatura", {"treino123"}),
             QStringList {QStringLiteral("13000 - 0000 - Assinatura do AC Registrada")});
    QCOMPARE(step("TesteFim_a_Fim", {"treino123"}), QStringList {QStringLiteral("09000 - Emitido com sucesso")});

    const QStringList sold = step("Vende", {Sale, "treino123"});
    QCOMPARE(sold.size(), 1);
    QVERIFY2(sold.first().startsWith("06000 - 0000 - ") && sold.first().endsWith(" [0]"), qPrintable(sold.first()));
    const QRegularExpressionMatch key = QRegularExpression("Id=\"CFe(\\d{44})\"").match(com());
    QVERIFY2(key.hasMatch(), qPrintable(com().left(200)));
    ResultList* results = RunResults::of(window.get())->list();
    QCOMPARE(results->at(0).kind, CommandResult::Kind::Sale);
    QCOMPARE(satresults::parseCfeReceipt(results->at(0).document).receipt.key, key.captured(1));
    QVERIFY(widget<QAbstractButton>("Detalhes")->isEnabled());

    const QString cancellation = home->filePath(QStringLiteral("estado/cancelamento-ultima-venda.xml"));
    const QStringList cancelled = step("cancelavenda", {cancellation, "CFe" + key.captured(1), "treino123"});
    QVERIFY2(cancelled.value(0).startsWith("07000 - 0000 - "), qPrintable(cancelled.join('|')));
    QVERIFY(com().contains("<CFeCanc"));
    QCOMPARE(results->at(0).kind, CommandResult::Kind::Cancellation);

    QVERIFY(step("pushButton_3", {"treino123"}).value(0).startsWith("10000 - Resposta com Sucesso"));
    QCOMPARE(com().count(QLatin1Char('|')), 27);
    QVERIFY(step("Logs", {"treino123"}).value(0).startsWith("15000 - "));
    QVERIFY(com().contains("|SAT|info|"));
    QCOMPARE(results->at(0).kind, CommandResult::Kind::Log);
}

void TestLibraryWindow::fileDialogChecksTheChosenFile()
{
    LibraryWindow chooser(window.get());
    chooser.show();
    QString filter;
    modal->then(ModalAnswerer::inspect(
        [&filter](QWidget* dialog) { filter = qobject_cast<QFileDialog*>(dialog)->nameFilters().join(';'); },
        ModalAnswerer::chooseFile(library("libsat-antiga.so"))));
    chooser.findChild<QAbstractButton*>(QStringLiteral("escolherArquivo"))->click();
    QCOMPARE(modal->pendingActions(), 0);
    QVERIFY(filter.contains(QStringLiteral("*.so")));
    QCOMPARE(chooser.findChild<QLineEdit*>(QStringLiteral("arquivo"))->text(), library("libsat-antiga.so"));
    const QString verdict = chooser.findChild<QLabel*>(QStringLiteral("verificacao"))->text();
    QVERIFY2(verdict.contains(QStringLiteral("Faltam ComunicarCertificadoICPBRASIL, ExtrairLogs")), qPrintable(verdict));
    QVERIFY(chooser.findChild<QAbstractButton*>(QStringLiteral("usar"))->isEnabled());
}

void TestLibraryWindow::choiceRememberedAcrossARestart()
{
    const QString standard = library("libsat-padrao.so");
    chooseInWindow(standard, true);
    cleanup();
    openTool();
    QTRY_VERIFY(SatDevice::instance().loaded());
    QCOMPARE(SatDevice::instance().source(), LibraryChoice::Source::Remembered);
    QCOMPARE(statusBar(), QStringLiteral("Biblioteca do SAT: %1 (64 bits)").arg(standard));
    QVERIFY(step("pushButton_2").value(0).startsWith("08000 - "));

    // Back to the emulator, forgotten as well.
    modal->clear();
    modal->then([](QWidget* shown) {
        shown->findChild<QAbstractButton*>(QStringLiteral("voltarAoEmulador"))->click();
        qobject_cast<QDialog*>(shown)->reject();
    });
    widget<QToolButton>("escolherBiblioteca")->click();
    QVERIFY(statusBar().contains(QStringLiteral("o emulador do sat-comandos")));
    QVERIFY(rememberedLibrary().isEmpty());
}

void TestLibraryWindow::environmentWinsOverTheChoice()
{
    rememberLibrary(library("libsat-padrao.so"));
    qputenv("SAT_BIBLIOTECA", QFile::encodeName(library("libsat-1252.so")));
    cleanup();
    openTool();
    QTRY_VERIFY(SatDevice::instance().loaded());
    QCOMPARE(statusBar(), QStringLiteral("Biblioteca do SAT: %1 (64 bits), indicada em SAT_BIBLIOTECA")
                              .arg(library("libsat-1252.so")));
    QCOMPARE(step("pushButton_2").value(0), QString::fromUtf8("08000 - SAT em operação – pronto [0]"));
}

void TestLibraryWindow::libraryThatDoesNotLoad_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not a shared library") << library("nao-e-biblioteca.so")
                                          << QStringLiteral("não é uma biblioteca compartilhada");
    QTest::newRow("missing dependency") << library("libsat-dependente.so")
                                        << QStringLiteral("falta a biblioteca libsatdependencia.so");
}

// Checked in the window: the reason, and no way to use it; the library in use stays, and works.
void TestLibraryWindow::libraryThatDoesNotLoad()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    const QString before = statusBar();
    chooseInWindow(path, false);
    QVERIFY2(chooserVerdict.contains(QStringLiteral("Não carrega")) && chooserVerdict.contains(reason),
             qPrintable(chooserVerdict));
    const LibraryReport refused = SatDevice::instance().use(path, LibraryChoice::Source::Remembered);
    QVERIFY(!refused.loaded);
    QVERIFY(refused.problem.contains(reason));
    QCOMPARE(statusBar(), before);
    QVERIFY(rememberedLibrary().isEmpty());
    QVERIFY(step("pushButton_2").value(0).startsWith("08000 - "));
}

void TestLibraryWindow::rememberedLibraryGone()
{
    const QString copy = home->filePath(QStringLiteral("libsat-do-fabricante.so"));
    QVERIFY(QFile::copy(library("libsat-padrao.so"), copy));
    rememberLibrary(copy);
    QVERIFY(QFile::remove(copy));
    cleanup();
    openTool();
    QTRY_COMPARE(modal->boxes.size(), 1);
    const ModalAnswerer::Box box = modal->boxes.first();
    QCOMPARE(box.icon, QMessageBox::Warning);
    QVERIFY2(box.text.contains(copy) && box.text.contains(QStringLiteral("o arquivo não existe")),
             qPrintable(box.text));
    QVERIFY(box.text.contains(QStringLiteral("usa a biblioteca que vem com ela")));
    QTRY_VERIFY(statusBar().contains(QStringLiteral("o emulador do sat-comandos")));
    QVERIFY2(statusBar().contains(QStringLiteral("não carregou")), qPrintable(statusBar()));
    QVERIFY(step("pushButton_2").value(0).startsWith("08000 - "));
}

void TestLibraryWindow::missingFunction()
{
    useLibrary(library("libsat-antiga.so"));
    widget<QTextEdit>("Com")->setPlainText("antes");
    const QStringList logs = step("Logs", {"treino123"});
    QCOMPARE(modal->boxes.value(0).icon, QMessageBox::Critical);
    QCOMPARE(logs.size(), 1);
    QVERIFY(logs.first().contains(QStringLiteral("ExtrairLogs")));
    QVERIFY(logs.first().contains(library("libsat-antiga.so")));
    QVERIFY(logs.first().contains(QStringLiteral("Nada foi enviado ao SAT")));
    QCOMPARE(com(), QStringLiteral(""));
    // The rest of the tool works.
    QVERIFY(step("pushButton_2").value(0).startsWith("08000 - "));
}

void TestLibraryWindow::nullAnswer()
{
    useLibrary(library("libsat-nula.so"));
    widget<QTextEdit>("Com")->setPlainText("antes");
    const QStringList sold = step("Vende", {Sale, "treino123"});
    QCOMPARE(sold.size(), 1);
    QCOMPARE(modal->boxes.value(0).icon, QMessageBox::Critical);
    QVERIFY(sold.first().contains(QStringLiteral("EnviarDadosVenda")));
    QVERIFY(sold.first().contains(QStringLiteral("ponteiro nulo")));
    QVERIFY(sold.first().contains(library("libsat-nula.so")));
    QVERIFY(!widget<QAbstractButton>("Detalhes")->isEnabled());
    const QStringList status = step("pushButton_3", {"treino123"});
    QVERIFY(status.value(0).contains(QStringLiteral("ConsultarStatusOperacional")));
    QCOMPARE(com(), QStringLiteral("")); // the sale had cleared it, as it always does, and nothing came after
    QVERIFY(!widget<QAbstractButton>("Detalhes")->isEnabled());
    QVERIFY(step("Bloquear", {"treino123"}).value(0).contains(QStringLiteral("vazia")));
}

void TestLibraryWindow::crashDuringASale()
{
    useLibrary(library("libsat-falha-venda.so"));
    QVERIFY(step("pushButton_3", {"31415926"}).value(0).startsWith("10000 - "));
    QCOMPARE(RunResults::of(window.get())->list()->rowCount(), 1);

    const QStringList sold = step("Vende", {Sale, "treino123"});
    QCOMPARE(sold.size(), 1);
    QCOMPARE(modal->boxes.value(0).icon, QMessageBox::Critical);
    QVERIFY2(sold.first().contains(QStringLiteral("EnviarDadosVenda"))
                 && sold.first().contains(library("libsat-falha-venda.so"))
                 && sold.first().contains(QStringLiteral("falha de segmentação (sinal 11)")),
             qPrintable(sold.first()));
    QVERIFY2(sold.first().contains(QRegularExpression(QStringLiteral("\"Número Sessão\" com o número de sessão \\d+"))),
             qPrintable(sold.first()));

    // The tool goes on, with a fresh host, and the run's results are all there.
    QVERIFY(step("pushButton_2").value(0).startsWith("08000 - "));
    QCOMPARE(RunResults::of(window.get())->list()->rowCount(), 1);
    QVERIFY(widget<QAbstractButton>("Detalhes")->isEnabled());
}

void TestLibraryWindow::hungSaleEndedFromTheWindow()
{
    qputenv("SAT_BIBLIOTECA_ESPERA_MS", "300");
    useLibrary(library("libsat-trava-venda.so"));
    modal->clear();
    modal->then(ModalAnswerer::chooseFile(Sale));
    modal->then(ModalAnswerer::typeAndAccept("treino123"));
    QString waitingTitle;
    QString waitingCall;
    modal->then([&](QWidget* shown) {
        waitingTitle = shown->windowTitle();
        waitingCall = shown->findChild<QLabel*>(QStringLiteral("chamadaAguardada"))->text();
        capture(shown, QStringLiteral("aguardando-o-sat.png"));
        // Escape does not end it: only the button does.
        QTest::keyClick(shown, Qt::Key_Escape);
        QVERIFY(shown->isVisible());
        shown->findChild<QAbstractButton*>(QStringLiteral("encerrarBiblioteca"))->click();
    });
    widget<QAbstractButton>("Vende")->click();
    qunsetenv("SAT_BIBLIOTECA_ESPERA_MS");

    QCOMPARE(waitingTitle, QStringLiteral("Aguardando a resposta do SAT..."));
    QVERIFY2(waitingCall.contains(QStringLiteral("EnviarDadosVenda (sessão ")), qPrintable(waitingCall));
    QCOMPARE(modal->boxes.size(), 1);
    QCOMPARE(modal->boxes.first().icon, QMessageBox::Critical);
    QVERIFY2(modal->boxes.first().text.contains(QStringLiteral("você encerrou a biblioteca")),
             qPrintable(modal->boxes.first().text));
    QVERIFY(modal->boxes.first().text.contains(QStringLiteral("\"Número Sessão\"")));
}

void TestLibraryWindow::thirtyTwoBitLibrary()
{
    const QString cannot = prepare32BitHost();
    if (!cannot.isEmpty())
        QSKIP(qPrintable(cannot));
    const QString path = library("libsat-1252-32.so");
    chooseInWindow(path, true);
    QVERIFY2(chooserVerdict.contains(QStringLiteral("biblioteca de 32 bits")), qPrintable(chooserVerdict));
    QCOMPARE(statusBar(), QStringLiteral("Biblioteca do SAT: %1 (32 bits)").arg(path));
    QCOMPARE(step("pushButton_2"), QStringList {QString::fromUtf8("08000 - SAT em operação – pronto [0]")});
    QCOMPARE(step("pushButton_3", {"treino123"}), QStringList {QStringLiteral("10000 - Resposta com Sucesso [0]")});
    ResultList* results = RunResults::of(window.get())->list();
    QCOMPARE(results->at(0).kind, CommandResult::Kind::Status);
}

void TestLibraryWindow::deviceText_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("UTF-8") << library("libsat-utf8.so");
    QTest::newRow("Windows-1252") << library("libsat-1252.so");
}

// Whichever the vendor sends, the record the tool builds and the results window read the same words.
void TestLibraryWindow::deviceText()
{
    QFETCH(QString, path);
    useLibrary(path);
    QCOMPARE(step("pushButton_2"), QStringList {QString::fromUtf8("08000 - SAT em operação – pronto [0]")});
    QCOMPARE(step("Vende", {Sale, "treino123"}),
             QStringList {QString::fromUtf8("06000 - 0000 - Emitido com sucesso – conteúdo conferido [0]")});
    ResultList* results = RunResults::of(window.get())->list();
    const satresults::CfeParseResult sale = satresults::parseCfeReceipt(results->at(0).document);
    QVERIFY2(sale.ok, qPrintable(sale.error));
    QCOMPARE(sale.receipt.name, QString::fromUtf8("PADARIA SÃO JOÃO"));
    QCOMPARE(sale.receipt.items.value(0).description, QString::fromUtf8("PÃO DE QUEIJO – UN"));

    // The log's report reads the record as Latin-1, as it always has; the record the tool builds is UTF-8.
    QCOMPARE(step("Logs", {"treino123"}),
             QStringList {QString::fromLatin1(QString::fromUtf8("15000 - Transferência completa [0]").toUtf8())});
    const QList<LogLine> lines = parseDeviceLog(decodeDeviceText(results->at(0).document));
    QCOMPARE(lines.value(0).message, QString::fromUtf8("Operação concluída"));
    QCOMPARE(lines.value(1).message, QString::fromUtf8("Venda nº 7 – emitida"));
}

QTEST_MAIN(TestLibraryWindow)
#include "tst_librarywindow.moc"
