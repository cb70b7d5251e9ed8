// The results window over the recording double: what the commands keep, the
// list, the views, and the three buttons that write or print.

#include "resultlist.h"
#include "resultwindow.h"
#include "runresults.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>

namespace {

QByteArray fixture(const char* name)
{
    QFile file(QStringLiteral(SAT_TEST_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return file.readAll();
}

QByteArray saleAnswer(const QByteArray& receipt)
{
    return "123|06000|0000|Emitido com sucesso|||" + receipt.toBase64() + "|20261209023453|CFe1";
}

QByteArray testAnswer(const QByteArray& receipt)
{
    return "124|09000|Emitido com sucesso|||" + receipt.toBase64() + "|20261209023453|000001|CFe1";
}

QString keyOf(const QByteArray& document)
{
    return QRegularExpression("Id=\"CFe(\\d{44})\"").match(QString::fromLatin1(document)).captured(1);
}

} // namespace

class TestResultWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;
    QString chosen; // what the save seam answers; empty cancels
    QStringList suggested; // what the window proposed each time

    void sell(const QByteArray& message, const QByteArray& answer)
    {
        SatDouble::script(0, message, answer);
        f->modal.then(ModalAnswerer::chooseFile(f->writeFile("venda.xml", "<CFe/>")));
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        f->click("Vende");
    }
    void sell(const QByteArray& receipt) { sell("06000 - Emitido com sucesso", saleAnswer(receipt)); }

    void cancel(const QByteArray& receipt)
    {
        SatDouble::script(0, "07000 - Cupom cancelado", saleAnswer(receipt));
        f->modal.then(ModalAnswerer::chooseFile(f->writeFile("canc.xml", "<CFeCanc/>")));
        f->modal.then(ModalAnswerer::typeAndAccept("CFe" + keyOf(receipt)));
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        f->click("cancelavenda");
    }

    void testEndToEnd(const QByteArray& answer)
    {
        SatDouble::script(0, "09000 - Emitido com sucesso", answer);
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        f->click("TesteFim_a_Fim");
    }

    bool detailsEnabled() const { return f->widget<QAbstractButton>("Detalhes")->isEnabled(); }
    RunResults* run() const { return f->window->findChild<RunResults*>(); }
    int kept() const { return run() ? run()->list()->rowCount() : 0; }

    // Opens the window with "Detalhes..." and puts the test's seams in.
    ResultWindow* details()
    {
        f->click("Detalhes");
        ResultWindow* window = run()->window();
        window->setSaveFileChooser([this](QWidget*, const QString&, const QString& proposal, const QString&) {
            suggested << proposal;
            return chosen;
        });
        return window;
    }

    template <typename T> static T* part(ResultWindow* window, const char* name)
    {
        T* found = window->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no %s in the results window", name);
        return found;
    }

    static void press(ResultWindow* window, const char* name) { part<QAbstractButton>(window, name)->click(); }
    static QString extractText(ResultWindow* window)
    {
        return part<QLabel>(window, "extractImage")->accessibleDescription();
    }
    static QString pageShown(ResultWindow* window)
    {
        return part<QStackedWidget>(window, "views")->currentWidget()->objectName();
    }

    // The extract writes the key in groups of four, over as many lines as the paper needs.
    static bool showsKey(const QString& extract, const QString& key)
    {
        QString digits = extract;
        digits.remove(QRegularExpression(QStringLiteral("\\s")));
        return key.size() == 44 && digits.contains(key);
    }

    QStringList filesInDir() const { return QDir(f->dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot); }

private slots:
    void init()
    {
        f = std::make_unique<WindowFixture>();
        QVERIFY(f->dir.isValid());
        chosen.clear();
        suggested.clear();
    }

    void cleanup()
    {
        QVERIFY2(f->modal.unexpected.isEmpty(), qPrintable(f->modal.unexpected.join(", ")));
        QCOMPARE(f->modal.pendingActions(), 0);
        f.reset();
    }

    // --- What the commands keep -----------------------------------------

    void nothingIsKeptWithoutAReceipt_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("answer");
        const QByteArray receipt = fixture("venda-cfe.xml");
        QTest::newRow("refused sale") << QByteArray("06001 - Codigo de ativacao invalido") << saleAnswer(receipt);
        QTest::newRow("no receipt field") << QByteArray("06000 - ok") << QByteArray("1|06000|0|ok||");
        QTest::newRow("empty receipt field") << QByteArray("06000 - ok") << QByteArray("1|06000|0|ok|||");
    }

    void nothingIsKeptWithoutAReceipt()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, answer);
        QVERIFY(!detailsEnabled());
        sell(message, answer);
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(kept(), 0);
        QVERIFY(!detailsEnabled());
    }

    void acceptedSaleEnablesDetailsWithoutChangingTheCommand()
    {
        const QByteArray receipt = fixture("venda-cfe.xml");
        sell(receipt);
        QVERIFY(detailsEnabled());
        QCOMPARE(kept(), 1);
        const CommandResult& result = run()->list()->at(0);
        QCOMPARE(result.kind, CommandResult::Kind::Sale);
        QCOMPARE(result.command, QStringLiteral("Venda"));
        QCOMPARE(result.document, receipt);
        QCOMPARE(result.answer, saleAnswer(receipt));
        // The sale itself is what it was: one call, one box, the receipt in Com.
        QCOMPARE(SatDouble::calls().size(), 1);
        QCOMPARE(f->modal.boxes.size(), 1);
        QVERIFY(f->widget<QTextEdit>("Com")->toPlainText().contains("Id=\"CFe" + keyOf(receipt) + '"'));
    }

    void endToEndReceiptIsKeptAsATest()
    {
        const QByteArray receipt = fixture("venda-dois-itens-cfe.xml");
        f->widget<QTextEdit>("Com")->setPlainText("antes");
        testEndToEnd(testAnswer(receipt));
        QCOMPARE(f->widget<QTextEdit>("Com")->toPlainText(), QStringLiteral("antes"));
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->modal.boxes.first().text, QStringLiteral("09000 - Emitido com sucesso"));
        QCOMPARE(kept(), 1);
        QCOMPARE(run()->list()->at(0).kind, CommandResult::Kind::TestReceipt);
        QCOMPARE(run()->list()->at(0).document, receipt);

        ResultWindow* window = details();
        QVERIFY2(window->windowTitle().contains(QStringLiteral("Teste Fim-a-Fim nº 000002 (teste)")),
                 qPrintable(window->windowTitle()));
        QVERIFY(part<QLabel>(window, "extractNote")->isVisibleTo(window));
        QVERIFY(part<QLabel>(window, "extractNote")->text().contains(QStringLiteral("sem valor fiscal")));
    }

    void refusedEndToEndTestKeepsNothing()
    {
        testEndToEnd("124|09001|Codigo de ativacao invalido|||");
        QCOMPARE(kept(), 0);
        QVERIFY(!detailsEnabled());
    }

    // --- The list and the views -----------------------------------------

    void listKeepsEveryResultNewestFirst()
    {
        const QByteArray sale = fixture("venda-cfe.xml");
        const QByteArray test = fixture("venda-dois-itens-cfe.xml");
        const QByteArray cancellation = fixture("cancelamento-cfe.xml");
        sell(sale);
        testEndToEnd(testAnswer(test));
        cancel(cancellation);

        ResultList* list = run()->list();
        QCOMPARE(list->rowCount(), 3);
        const auto cell = [list](int row, int column) { return list->index(row, column).data().toString(); };
        QCOMPARE(cell(0, ResultList::CommandColumn), QStringLiteral("Cancela Venda"));
        QCOMPARE(cell(1, ResultList::CommandColumn), QStringLiteral("Teste Fim-a-Fim"));
        QCOMPARE(cell(2, ResultList::CommandColumn), QStringLiteral("Venda"));
        QCOMPARE(cell(0, ResultList::NumberColumn), QStringLiteral("000003"));
        QCOMPARE(cell(2, ResultList::NumberColumn), QStringLiteral("000001"));
        QCOMPARE(cell(1, ResultList::TotalColumn), QStringLiteral("17,50"));
        QCOMPARE(cell(2, ResultList::TotalColumn), QStringLiteral("2,10"));
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(cell(2, ResultList::TimeColumn)).hasMatch());

        // Opened from "Detalhes...", the window shows the newest.
        ResultWindow* window = details();
        QVERIFY(window->isVisible());
        QCOMPARE(pageShown(window), QStringLiteral("extractPage"));
        QVERIFY2(window->windowTitle().startsWith(QString::fromUtf8("Extrato do CF-e-SAT — Cancela Venda nº 000003")),
                 qPrintable(window->windowTitle()));
        QVERIFY(showsKey(extractText(window), keyOf(cancellation)));

        // Selecting the oldest shows it again, whole.
        auto* view = part<QTableView>(window, "resultList");
        view->setCurrentIndex(list->index(2, 0));
        QVERIFY(window->windowTitle().contains(QString::fromUtf8("Venda nº 000001")));
        QVERIFY(showsKey(extractText(window), keyOf(sale)));
        QVERIFY(!showsKey(extractText(window), keyOf(cancellation)));

        // A later sale does not move what the user is looking at; "Detalhes..." brings the newest.
        sell(fixture("venda-dois-itens-cfe.xml"));
        QCOMPARE(list->rowCount(), 4);
        QCOMPARE(view->currentIndex().row(), 3);
        QVERIFY(window->windowTitle().contains(QString::fromUtf8("Venda nº 000001")));
        QCOMPARE(details(), window);
        QCOMPARE(view->currentIndex().row(), 0);
        QVERIFY(window->windowTitle().contains(QString::fromUtf8("Venda nº 000002")));
    }

    void windowIsItsOwnTopLevelAndGoesWithTheMainWindow()
    {
        sell(fixture("venda-cfe.xml"));
        f->window->show();
        QPointer<ResultWindow> window = details();
        QCOMPARE(window->objectName(), QStringLiteral("ResultWindow"));
        QVERIFY(window->isWindow());
        QVERIFY(!window->parentWidget());
        QVERIFY(!window->isModal());
        // The main window's gradient must not reach the extract.
        QVERIFY(!f->window->styleSheet().isEmpty());
        QVERIFY(window->styleSheet().isEmpty());
        // Closing the main window ends the run, even with the results still open.
        // Qt decides that on its event loop, so the test runs one.
        QVERIFY(window->isVisible());
        QTimer::singleShot(0, f->window.get(), [this] { f->window->close(); });
        QTimer giveUp;
        giveUp.setSingleShot(true);
        connect(&giveUp, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
        giveUp.start(5000);
        QCOMPARE(QApplication::exec(), 0);
        f->window.reset();
        QVERIFY(window.isNull());
    }

    void paperWidthRedrawsTheExtract()
    {
        sell(fixture("venda-cfe.xml"));
        ResultWindow* window = details();
        const int wide = part<QLabel>(window, "extractImage")->pixmap().width();
        part<QComboBox>(window, "paperWidth")->setCurrentIndex(1);
        QCOMPARE(window->paperWidthMm(), 58);
        const int narrow = part<QLabel>(window, "extractImage")->pixmap().width();
        QVERIFY(wide > 0);
        QCOMPARE(qRound(double(narrow) / wide * 80), 58);
    }

    void documentThatIsNotACfeShowsWhyAndCanStillBeSaved()
    {
        const QByteArray junk = "<html>n\xc3\xa3o sou um cupom</html>";
        sell(junk);
        QCOMPARE(kept(), 1);
        ResultWindow* window = details();
        QCOMPARE(pageShown(window), QStringLiteral("textPage"));
        QVERIFY(!part<QLabel>(window, "message")->text().isEmpty());
        QCOMPARE(part<QPlainTextEdit>(window, "plainText")->toPlainText(), QString::fromUtf8(junk));
        QVERIFY(!part<QAbstractButton>(window, "printButton")->isEnabled());
        QVERIFY(!part<QAbstractButton>(window, "savePdfButton")->isEnabled());
        QVERIFY(part<QAbstractButton>(window, "saveXmlButton")->isEnabled());

        chosen = f->dir.filePath("junk.xml");
        press(window, "saveXmlButton");
        QFile saved(chosen);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), junk);
    }

    // --- Saving and printing --------------------------------------------

    void xmlIsSavedByteForByte_data()
    {
        QTest::addColumn<bool>("cancellation");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("sale") << false << QStringLiteral("CFe");
        QTest::newRow("cancellation") << true << QStringLiteral("CFeCanc");
    }

    void xmlIsSavedByteForByte()
    {
        QFETCH(bool, cancellation);
        QFETCH(QString, prefix);
        const QByteArray receipt = fixture(cancellation ? "cancelamento-cfe.xml" : "venda-cfe.xml");
        cancellation ? cancel(receipt) : sell(receipt);
        ResultWindow* window = details();

        chosen = f->dir.filePath("salvo.xml");
        press(window, "saveXmlButton");
        QCOMPARE(suggested.size(), 1);
        QCOMPARE(QFileInfo(suggested.first()).fileName(), prefix + keyOf(receipt) + ".xml");
        QFile saved(chosen);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), run()->list()->at(0).document);
        QCOMPARE(run()->list()->at(0).document, receipt);
        QVERIFY(f->modal.boxes.size() == 1); // the command's own box, no other

        // The next proposal is in the folder the user picked.
        press(window, "saveXmlButton");
        QCOMPARE(QFileInfo(suggested.at(1)).absolutePath(), QFileInfo(chosen).absolutePath());
    }

    void pdfIsWrittenWhereTheUserChooses()
    {
        const QByteArray receipt = fixture("venda-cfe.xml");
        sell(receipt);
        ResultWindow* window = details();
        chosen = f->dir.filePath("extrato.pdf");
        press(window, "savePdfButton");
        QCOMPARE(QFileInfo(suggested.value(0)).fileName(), "extrato-CFe" + keyOf(receipt) + ".pdf");
        QFile pdf(chosen);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QCOMPARE(f->modal.boxes.size(), 1);
    }

    void failedSaveIsReportedAndLeavesNoFile_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QString>("title");
        QTest::newRow("xml") << QByteArray("saveXmlButton") << QStringLiteral("Salvar XML");
        QTest::newRow("pdf") << QByteArray("savePdfButton") << QStringLiteral("Salvar PDF");
    }

    void failedSaveIsReportedAndLeavesNoFile()
    {
        QFETCH(QByteArray, button);
        QFETCH(QString, title);
        sell(fixture("venda-cfe.xml"));
        ResultWindow* window = details();
        // A folder that cannot be written, even by root: its "parent" is a file.
        f->writeFile("arquivo", "x");
        chosen = f->dir.filePath("arquivo/saida");
        f->modal.clear();
        press(window, button.constData());
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->modal.boxes.first().icon, QMessageBox::Critical);
        QCOMPARE(f->modal.boxes.first().title, title);
        QVERIFY(!f->modal.boxes.first().text.isEmpty());
        QCOMPARE(f->modal.boxes.first().parent, window);
        QCOMPARE(filesInDir(), QStringList({"arquivo", "venda.xml"}));
    }

    void nothingIsWrittenWithoutTheUsersChoice()
    {
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(f->dir.path()));
        sell(fixture("venda-cfe.xml"));
        ResultWindow* window = details();
        bool asked = false;
        window->setPrinterChooser([&](QWidget*, QPrinter* printer) {
            asked = true;
            printer->setOutputFileName(f->dir.filePath("impresso.pdf"));
            return false;
        });
        chosen.clear(); // the user cancels each dialog
        press(window, "saveXmlButton");
        press(window, "savePdfButton");
        press(window, "printButton");
        QDir::setCurrent(before);
        QVERIFY(asked);
        QCOMPARE(suggested.size(), 2);
        QCOMPARE(filesInDir(), QStringList({"venda.xml"}));
        QCOMPARE(f->modal.boxes.size(), 1);
    }

    void printingUsesThePaperWidth_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("millimetres");
        QTest::newRow("80 mm") << 0 << 80;
        QTest::newRow("58 mm") << 1 << 58;
    }

    void printingUsesThePaperWidth()
    {
        QFETCH(int, index);
        QFETCH(int, millimetres);
        sell(fixture("venda-cfe.xml"));
        ResultWindow* window = details();
        part<QComboBox>(window, "paperWidth")->setCurrentIndex(index);
        const QString output = f->dir.filePath("impresso.pdf");
        double offered = 0;
        window->setPrinterChooser([&](QWidget*, QPrinter* printer) {
            offered = printer->pageLayout().fullRect(QPageLayout::Millimeter).width();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(output);
            return true;
        });
        press(window, "printButton");
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(qRound(offered), millimetres);

        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {output});
        QVERIFY(info.waitForFinished(10000));
        const QRegularExpressionMatch size
            = QRegularExpression("Page size:\\s+([\\d.]+) x").match(QString::fromLatin1(info.readAllStandardOutput()));
        QVERIFY2(size.hasMatch(), "pdfinfo found no page");
        QCOMPARE(qRound(size.captured(1).toDouble() * 25.4 / 72), millimetres);
    }

    // The user's dialogs are Qt's own, reached from the buttons.
    void buttonsReachTheFileAndPrintDialogs()
    {
        const QByteArray receipt = fixture("venda-cfe.xml");
        sell(receipt);
        f->click("Detalhes");
        ResultWindow* window = run()->window();
        QString proposal;
        f->modal.then(ModalAnswerer::inspect(
            [&](QWidget* dialog) {
                auto* files = qobject_cast<QFileDialog*>(dialog);
                QVERIFY(files);
                proposal = files->selectedFiles().value(0);
            },
            ModalAnswerer::cancelFileDialog()));
        press(window, "saveXmlButton");
        QCOMPARE(QFileInfo(proposal).fileName(), "CFe" + keyOf(receipt) + ".xml");

        bool printDialog = false;
        f->modal.then([&](QWidget* dialog) {
            printDialog = qobject_cast<QPrintDialog*>(dialog) != nullptr;
            if (auto* d = qobject_cast<QDialog*>(dialog))
                d->reject();
        });
        press(window, "printButton");
        QVERIFY(printDialog);
        QCOMPARE(filesInDir(), QStringList({"venda.xml"}));
    }
};

QTEST_MAIN(TestResultWindow)
#include "tst_resultwindow.moc"
