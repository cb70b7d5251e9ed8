// The results window over the recording double: what the commands keep, the
// list, the views and the actions each one shows, refusals, what fits at the
// default size and where each result opens, and the buttons that write or
// print.

#include "logview.h"
#include "resultlist.h"
#include "resultwindow.h"
#include "runresults.h"
#include "statusview.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
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

// A status with three problems, a low battery, a block and the device's clock years behind this computer's, which
// makes the longest value a status shows.
const QByteArray TroubledStatus = "7|10000|Resposta com Sucesso|||900000001|DHCP|192.168.000.150|02:53:41:54:00:01|"
                                  "255.255.255.000|192.168.000.001|192.168.000.001|008.008.008.008|CONECTADO|BAIXO|"
                                  "4194304 KB|3774873 KB|20200315103000|01.00.00|00.07|"
                                  "35240344555666000181599000000010000023170624|"
                                  "35240344555666000181599000000010000023170624|"
                                  "35240344555666000181599000000010000023170624|"
                                  "20240315102000|20240315102500|20240315|20290315|1";

QByteArray logOf(int lines)
{
    QByteArray log;
    for (int i = 0; i < lines; ++i)
        log += "20240315103000|SAT|info|Linha " + QByteArray::number(i) + "\r\n";
    return log;
}

// The texts of a table that are not seen whole: each header and cell, placed in its column as its alignment puts
// it, with the style's margins and the cell's icon, against the viewport's width.
QStringList cutTexts(QTableView* view)
{
    QStringList cut;
    const QAbstractItemModel* model = view->model();
    QHeaderView* header = view->horizontalHeader();
    QFont bold = header->font();
    bold.setBold(true); // the current row's column titles are drawn bold
    const QFontMetrics titles(bold);
    const QFontMetrics cells(view->font());
    const int titleMargin = view->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const int icon = view->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, view) + margin;
    const int width = view->viewport()->width();
    // Whether a text this wide, aligned so in the column from start to end, lies within the viewport.
    const auto seen = [width](int start, int end, int text, Qt::Alignment alignment) {
        int left = start;
        if (alignment & Qt::AlignRight)
            left = end - text;
        else if (alignment & Qt::AlignHCenter)
            left = start + (end - start - text) / 2;
        return left >= start && left >= 0 && left + text <= qMin(end, width);
    };
    for (int column = 0; column < model->columnCount(); ++column) {
        const int start = header->sectionViewportPosition(column);
        const int end = start + header->sectionSize(column);
        const QString title = model->headerData(column, Qt::Horizontal).toString();
        if (!seen(start + titleMargin, end - titleMargin, titles.horizontalAdvance(title), header->defaultAlignment()))
            cut << QStringLiteral("%1 (título)").arg(title);
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, column);
            const QString text = index.data().toString();
            if (text.isEmpty())
                continue;
            const bool decorated = !index.data(Qt::DecorationRole).value<QIcon>().isNull();
            const Qt::Alignment alignment(index.data(Qt::TextAlignmentRole).toInt());
            if (!seen(start + margin + (decorated ? icon : 0), end - margin, cells.horizontalAdvance(text), alignment))
                cut << text;
        }
    }
    return cut;
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

    void queryStatus(const QByteArray& message, const QByteArray& answer)
    {
        SatDouble::script(0, message, answer);
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        f->click("pushButton_3");
    }

    void extractLog(const QByteArray& log)
    {
        SatDouble::script(0, "15000 - Transferencia completa", "6|15000|Transferencia completa|||" + log.toBase64());
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        f->click("Logs");
    }

    // The session query keeps whatever answer the device stored, as the kind it is.
    void querySession(const QByteArray& answer)
    {
        SatDouble::script(0, "11000 - Sessao encontrada", answer);
        f->modal.then(ModalAnswerer::typeAndAccept("7"));
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        f->click("pushButton_4");
    }

    // One result of each kind the window shows, oldest first: a sale, a status, a log, a document that is no
    // CF-e, a refused status and a stored answer of no particular kind.
    void keepOneOfEach()
    {
        sell(fixture("venda-cfe.xml"));
        queryStatus("10000 - Resposta com Sucesso", TroubledStatus);
        extractLog(logOf(200));
        sell("<html>n\xc3\xa3o sou um cupom</html>");
        queryStatus("10001 - Codigo de ativacao invalido", "123|10001|Codigo de ativacao invalido||");
        querySession("8|04000|Ativado corretamente|||");
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

    template <typename T> static T* part(const QObject* window, const char* name)
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
    static void select(ResultWindow* window, int row)
    {
        auto* list = part<QTableView>(window, "resultList");
        list->setCurrentIndex(list->model()->index(row, 0));
    }
    // The scroll bar of what the page on show scrolls: the extract, the status table, the log table or the text.
    static QScrollBar* scrollBarShown(ResultWindow* window)
    {
        const QString page = pageShown(window);
        if (page == u"extractPage")
            return part<QScrollArea>(window, "extractScroll")->verticalScrollBar();
        if (page == u"statusPage")
            return part<StatusView>(window, "statusView")->findChild<QTableWidget*>("tabela")->verticalScrollBar();
        if (page == u"logPage")
            return part<LogView>(window, "logView")->findChild<QTableView*>("tabela")->verticalScrollBar();
        return part<QPlainTextEdit>(window, "plainText")->verticalScrollBar();
    }
    static int extractWidth(ResultWindow* window)
    {
        const QPixmap image = part<QLabel>(window, "extractImage")->pixmap();
        return qRound(image.width() / image.devicePixelRatio());
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

    // --- Each view with its own actions -----------------------------------

    void eachViewShowsOnlyItsActions_data()
    {
        QTest::addColumn<int>("row"); // in keepOneOfEach's list, newest first
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("actions"); // the window's own, above the view
        QTest::addColumn<QString>("viewSave"); // the view that has its own "Salvar...", if any
        const QStringList extract {"paperWidthLabel", "paperWidth", "printButton", "savePdfButton", "saveXmlButton"};
        QTest::newRow("receipt") << 5 << "extractPage" << extract << "";
        QTest::newRow("status") << 4 << "statusPage" << QStringList() << "statusView";
        QTest::newRow("log") << 3 << "logPage" << QStringList() << "logView";
        QTest::newRow("document that is no CF-e") << 2 << "textPage" << QStringList {"saveXmlButton"} << "";
        QTest::newRow("refused status") << 1 << "statusPage" << QStringList() << "statusView";
        QTest::newRow("stored answer") << 0 << "textPage" << QStringList() << "";
    }

    void eachViewShowsOnlyItsActions()
    {
        QFETCH(int, row);
        QFETCH(QString, page);
        QFETCH(QStringList, actions);
        QFETCH(QString, viewSave);
        keepOneOfEach();
        ResultWindow* window = details();
        // Shown after each other result, so that nothing is left over from the one before.
        for (int before = 0; before < run()->list()->rowCount(); ++before) {
            select(window, before);
            select(window, row);
            QCOMPARE(pageShown(window), page);
            QStringList shown;
            for (const char* name : {"paperWidthLabel", "paperWidth", "printButton", "savePdfButton", "saveXmlButton"})
                if (part<QWidget>(window, name)->isVisibleTo(window))
                    shown << QLatin1String(name);
            QCOMPARE(shown, actions);
            // No empty bar is left where no action applies.
            QCOMPARE(part<QWidget>(window, "actionBar")->isVisibleTo(window), !actions.isEmpty());
            for (const char* view : {"statusView", "logView"}) {
                auto* save = part<QWidget>(window, view)->findChild<QPushButton*>("salvar");
                QCOMPARE(save->isVisibleTo(window), viewSave == QLatin1String(view));
            }
        }
    }

    // --- Refusals ---------------------------------------------------------

    void refusalIsMarkedInTheListAndTheView_data()
    {
        QTest::addColumn<QByteArray>("answer"); // a stored answer, as the session query returns it
        QTest::addColumn<QString>("listed"); // the number column's words; empty for a success
        QTest::addColumn<QString>("message"); // the device's message the view opens with
        QTest::newRow("unknown session") << QByteArray("8|11003|Sessao nao existe|||") << "Recusado 11003"
                                         << "Sessao nao existe";
        QTest::newRow("refused sale: the message after the alert field")
            << QByteArray("7|06001|0000|Codigo de ativacao invalido||") << "Recusado 06001"
            << "Codigo de ativacao invalido";
        QTest::newRow("refused association: the same") << QByteArray("7|13004|0000|CNPJ invalido||") << "Recusado 13004"
                                                       << "CNPJ invalido";
        QTest::newRow("message in Windows-1252") << QByteArray("8|11001|C\xf3"
                                                               "digo inv\xe1"
                                                               "lido|||")
                                                 << "Recusado 11001" << QString::fromUtf8("Código inválido");
        QTest::newRow("no answer") << QByteArray("") << "Sem resposta"
                                   << "O SAT não enviou resposta.";
        QTest::newRow("success ending in 000") << QByteArray("8|04000|Ativado corretamente|||") << ""
                                               << "";
        QTest::newRow("an answer without a code is shown, not judged") << QByteArray("texto qualquer sem campos") << ""
                                                                       << "";
        QTest::newRow("a code of four digits is no code") << QByteArray("8|1999|Erro|||") << ""
                                                          << "";
    }

    void refusalIsMarkedInTheListAndTheView()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, listed);
        QFETCH(QString, message);
        sell(fixture("venda-cfe.xml"));
        querySession(answer);
        ResultList* list = run()->list();
        QCOMPARE(list->rowCount(), 2);
        const bool refused = !listed.isEmpty();
        const QModelIndex number = list->index(0, ResultList::NumberColumn);
        QCOMPARE(number.data().toString(), listed);
        // Told apart from the sale below it at a glance: an icon, and colours the sale's row does not have.
        const QModelIndex command = list->index(0, ResultList::CommandColumn);
        const QModelIndex saleCommand = list->index(1, ResultList::CommandColumn);
        QCOMPARE(!command.data(Qt::DecorationRole).value<QIcon>().isNull(), refused);
        QVERIFY(saleCommand.data(Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(command.data(Qt::BackgroundRole) != saleCommand.data(Qt::BackgroundRole), refused);
        QCOMPARE(command.data(Qt::ForegroundRole) != saleCommand.data(Qt::ForegroundRole), refused);
        if (refused)
            QVERIFY2(command.data(Qt::ToolTipRole).toString().contains(message),
                     qPrintable(command.data(Qt::ToolTipRole).toString()));

        ResultWindow* window = details();
        QCOMPARE(pageShown(window), QStringLiteral("textPage"));
        auto* bar = part<QWidget>(window, "refusalBar");
        QCOMPARE(bar->isVisibleTo(window), refused);
        QCOMPARE(window->windowTitle().contains(QStringLiteral("(recusado)")), listed.startsWith(u"Recusado"));
        if (refused) {
            const QString note = part<QLabel>(window, "refusalNote")->text();
            QVERIFY2(note.contains(message), qPrintable(note));
            if (listed.startsWith(u"Recusado"))
                QVERIFY2(note.contains(listed.mid(9)), qPrintable(note)); // the code
            // Above the rest of the view.
            QVERIFY(bar->geometry().bottom() < part<QWidget>(window, "views")->geometry().top());
        }
        // The sale, selected after it, shows no refusal.
        select(window, 1);
        QVERIFY(!bar->isVisibleTo(window));
    }

    // The status view's own line would only say it again under the bar.
    void refusedStatusOpensWithItsCodeOnce()
    {
        queryStatus("10001 - Codigo de ativacao invalido", "123|10001|Codigo de ativacao invalido||");
        ResultList* list = run()->list();
        QCOMPARE(list->index(0, ResultList::NumberColumn).data().toString(), QStringLiteral("Recusado 10001"));
        ResultWindow* window = details();
        QCOMPARE(pageShown(window), QStringLiteral("statusPage"));
        QVERIFY(window->windowTitle().endsWith(QStringLiteral("Status Operacional SAT (recusado)")));
        QVERIFY(part<QWidget>(window, "refusalBar")->isVisibleTo(window));
        QCOMPARE(part<QLabel>(window, "refusalNote")->text(),
                 QString::fromUtf8("Recusado pelo SAT: código 10001 — Codigo de ativacao invalido"));
        auto* view = part<StatusView>(window, "statusView");
        QVERIFY(!view->findChild<QLabel*>("resumo")->isVisibleTo(window));
        QVERIFY(!view->findChild<QTableWidget*>("tabela")->isVisibleTo(window));

        // A status that is read, after it, has its summary back and no bar.
        queryStatus("10000 - Resposta com Sucesso", TroubledStatus);
        details();
        QVERIFY(!part<QWidget>(window, "refusalBar")->isVisibleTo(window));
        QVERIFY(view->findChild<QLabel*>("resumo")->isVisibleTo(window));
        QVERIFY(view->findChild<QLabel*>("resumo")->text().contains(QString::fromUtf8("Bateria em nível baixo")));
    }

    // The report keeps its fixed title; the list and the window spell the command as its button.
    void commandsAreSpelledAsTheirButtons()
    {
        querySession("8|04000|Ativado corretamente|||");
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->modal.boxes.first().title, QStringLiteral("Numero Sessao"));
        QCOMPARE(run()->list()->at(0).command, QStringLiteral("Numero Sessao"));
        const QString button = f->widget<QAbstractButton>("pushButton_4")->text();
        QCOMPARE(button, QString::fromUtf8("Número Sessão"));
        QCOMPARE(run()->list()->index(0, ResultList::CommandColumn).data().toString(), button);
        ResultWindow* window = details();
        QVERIFY2(window->windowTitle().endsWith(button), qPrintable(window->windowTitle()));
    }

    // --- Nothing cut, each result from its top ----------------------------

    void nothingIsCutAtTheDefaultSize()
    {
        keepOneOfEach();
        querySession("8|11003|Sessao nao existe|||");
        ResultWindow* window = details();
        auto* list = part<QTableView>(window, "resultList");
        QTRY_VERIFY2(cutTexts(list).isEmpty(), qPrintable(cutTexts(list).join(QStringLiteral(", "))));
        select(window, 5); // the status with problems
        auto* table = part<StatusView>(window, "statusView")->findChild<QTableWidget*>("tabela");
        QVERIFY(table->isVisibleTo(window));
        QTRY_VERIFY2(cutTexts(table).isEmpty(), qPrintable(cutTexts(table).join(QStringLiteral(", "))));
        int problems = 0;
        for (int row = 0; row < table->rowCount(); ++row)
            problems += table->item(row, 2)->text() == u"PROBLEMA";
        QCOMPARE(problems, 3);
        // At the default size the extract has the room to be drawn at its full size.
        select(window, 6);
        const int full = qRound(80 / 25.4 * qMax(window->logicalDpiX(), 96) * 2);
        QTRY_VERIFY2(qAbs(extractWidth(window) - full) <= 1, qPrintable(QString::number(extractWidth(window))));
    }

    // A status too wide for its room gives way in its values, never in the word that says there is a problem.
    void narrowStatusKeepsTheSituationWhole()
    {
        queryStatus("10000 - Resposta com Sucesso", TroubledStatus);
        ResultWindow* window = details();
        auto* table = part<StatusView>(window, "statusView")->findChild<QTableWidget*>("tabela");
        window->resize(800, window->height());
        QStringList cut;
        QTRY_VERIFY((cut = cutTexts(table), !cut.isEmpty())); // narrow enough to cut some text
        for (const QString& text : cut)
            QVERIFY2(text != u"PROBLEMA" && text != u"OK" && !text.endsWith(QStringLiteral("(título)")),
                     qPrintable(cut.join(QStringLiteral(", "))));
    }

    void eachResultOpensAtItsTop_data()
    {
        // Rows of keepOneOfEach's list under a second sale (2), status (1) and log (0): its sale is 8, its status 7,
        // its log 6.
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("receipt after receipt") << QList<int> {8, 2};
        QTest::newRow("status after status") << QList<int> {7, 1};
        QTest::newRow("log after log") << QList<int> {6, 0};
        QTest::newRow("the same receipt after a status") << QList<int> {8, 7, 8};
        QTest::newRow("a log after a receipt") << QList<int> {8, 6};
    }

    void eachResultOpensAtItsTop()
    {
        QFETCH(QList<int>, rows);
        keepOneOfEach();
        sell(fixture("venda-dois-itens-cfe.xml"));
        queryStatus("10000 - Resposta com Sucesso", TroubledStatus);
        extractLog(logOf(300));
        ResultWindow* window = details();
        window->resize(window->width(), 420); // short enough for every view to scroll
        const QStringList pages {"logPage",  "statusPage", "extractPage", "textPage",   "statusPage",
                                 "textPage", "logPage",    "statusPage",  "extractPage"};
        for (int i = 0; i < rows.size(); ++i) {
            select(window, rows.at(i));
            QCOMPARE(pageShown(window), pages.at(rows.at(i)));
            QScrollBar* bar = scrollBarShown(window);
            QCOMPARE(bar->value(), 0);
            if (i + 1 < rows.size()) {
                // The user reads on, down to the end.
                QTRY_VERIFY(bar->maximum() > 0);
                bar->setValue(bar->maximum());
                QVERIFY(bar->value() > 0);
            }
        }
    }

    // Widening the list leaves the extract less room: it is drawn to fit, then full size again when there is room.
    void extractFitsTheRoomBesideTheList()
    {
        sell(fixture("venda-cfe.xml"));
        ResultWindow* window = details();
        auto* scroll = part<QScrollArea>(window, "extractScroll");
        auto* splitter = part<QSplitter>(window, "splitter");
        QTRY_VERIFY(extractWidth(window) > 0);
        const int full = extractWidth(window);
        const QList<int> before = splitter->sizes();
        splitter->setSizes({before.at(0) + before.at(1) - 200, 200}); // as far as the pane's buttons let it go
        QVERIFY(splitter->sizes().at(1) < full); // the room is narrower than the extract at full size
        QTRY_VERIFY2(extractWidth(window) <= scroll->viewport()->width(),
                     qPrintable(QStringLiteral("%1 > %2").arg(extractWidth(window)).arg(scroll->viewport()->width())));
        QVERIFY(extractWidth(window) > full / 2);
        QVERIFY(!scroll->horizontalScrollBar()->isVisible());
        // The extract's text is still all there.
        QVERIFY(showsKey(extractText(window), keyOf(fixture("venda-cfe.xml"))));

        splitter->setSizes(before);
        QTRY_COMPARE(extractWidth(window), full);
    }

    // --- Saving -------------------------------------------------------------

    void everySaveSaysWhere_data()
    {
        QTest::addColumn<int>("row"); // in keepOneOfEach's list
        QTest::addColumn<QByteArray>("button"); // the window's, or empty for the view's own "Salvar..."
        QTest::addColumn<QString>("said");
        QTest::newRow("PDF") << 5 << QByteArray("savePdfButton") << "PDF salvo em ";
        QTest::newRow("XML") << 5 << QByteArray("saveXmlButton") << "XML salvo em ";
        QTest::newRow("XML of a document that is no CF-e") << 2 << QByteArray("saveXmlButton") << "XML salvo em ";
        QTest::newRow("status") << 4 << QByteArray() << "Status salvo em ";
        QTest::newRow("log") << 3 << QByteArray() << "Log salvo em ";
    }

    void everySaveSaysWhere()
    {
        QFETCH(int, row);
        QFETCH(QByteArray, button);
        QFETCH(QString, said);
        keepOneOfEach();
        ResultWindow* window = details();
        const QString path = f->dir.filePath("salvo");
        auto* status = part<StatusView>(window, "statusView");
        auto* log = part<LogView>(window, "logView");
        const auto answer
            = [&](QWidget*, const QString&, const QString&, const QStringList&, QString*) { return chosen; };
        status->setSavePathChooser(answer);
        log->setSavePathChooser(answer);
        const auto saidShown = [window] {
            QStringList out;
            for (QLabel* label : window->findChildren<QLabel*>())
                if (label->isVisibleTo(window) && label->text().contains(QStringLiteral("salv")))
                    out << label->text();
            return out;
        };
        select(window, row);
        const auto save = [&] {
            if (button.isEmpty())
                part<QAbstractButton>(pageShown(window) == u"statusPage" ? static_cast<QWidget*>(status) : log,
                                      "salvar")
                    ->click();
            else
                press(window, button.constData());
        };

        chosen.clear(); // given up: nothing said
        save();
        QCOMPARE(saidShown(), QStringList());

        chosen = path;
        save();
        QVERIFY(QFile::exists(path));
        QCOMPARE(saidShown(), QStringList {said + QDir::toNativeSeparators(path)});

        // Another result, then this one again: the words went with the save.
        select(window, row == 0 ? 1 : 0);
        select(window, row);
        QCOMPARE(saidShown(), QStringList());
        QCOMPARE(f->modal.boxes.size(), 6); // the commands' own, no other
    }

    // The home folder first; then wherever the last file went, whichever view and kind saved it; a failed save
    // leaves the folder as it was.
    void oneFolderForTheRun()
    {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toLocal8Bit());
        const auto restore = qScopeGuard([&] { qputenv("HOME", oldHome); });
        keepOneOfEach();
        ResultWindow* window = details();
        QStringList viewSuggested;
        const auto viewChooser = [&](QWidget*, const QString&, const QString& proposal, const QStringList&, QString*) {
            viewSuggested << proposal;
            return chosen;
        };
        part<StatusView>(window, "statusView")->setSavePathChooser(viewChooser);
        part<LogView>(window, "logView")->setSavePathChooser(viewChooser);
        const auto folderOf = [](const QString& path) { return QFileInfo(path).absolutePath(); };
        for (const char* folder : {"a", "b", "c", "d"})
            QVERIFY(QDir(f->dir.path()).mkpath(QLatin1String(folder)));

        select(window, 5);
        chosen = f->dir.filePath("a/cupom.xml");
        press(window, "saveXmlButton");
        QCOMPARE(folderOf(suggested.last()), QFileInfo(home.path()).absoluteFilePath());
        QCOMPARE(window->saveFolder(), f->dir.filePath("a"));

        select(window, 4);
        chosen = f->dir.filePath("b/status.txt");
        part<QAbstractButton>(part<StatusView>(window, "statusView"), "salvar")->click();
        QCOMPARE(folderOf(viewSuggested.last()), f->dir.filePath("a"));

        select(window, 3);
        chosen = f->dir.filePath("c/log.txt");
        part<QAbstractButton>(part<LogView>(window, "logView"), "salvar")->click();
        QCOMPARE(folderOf(viewSuggested.last()), f->dir.filePath("b"));

        select(window, 5);
        chosen = f->dir.filePath("d/extrato.pdf");
        press(window, "savePdfButton");
        QCOMPARE(folderOf(suggested.last()), f->dir.filePath("c"));

        f->writeFile("arquivo", "x");
        chosen = f->dir.filePath("arquivo/extrato.pdf"); // cannot be written
        press(window, "savePdfButton");
        QCOMPARE(folderOf(suggested.last()), f->dir.filePath("d"));
        QCOMPARE(f->modal.boxes.last().icon, QMessageBox::Critical);

        select(window, 4);
        chosen.clear();
        part<QAbstractButton>(part<StatusView>(window, "statusView"), "salvar")->click();
        QCOMPARE(folderOf(viewSuggested.last()), f->dir.filePath("d"));
        QVERIFY(QDir(home.path()).isEmpty());
    }

    // --- Small things -------------------------------------------------------

    void windowCarriesTheToolsIcon()
    {
        sell(fixture("venda-cfe.xml"));
        ResultWindow* window = details();
        const QIcon tool = f->window->windowIcon();
        QVERIFY(!tool.isNull());
        QVERIFY(!window->windowIcon().isNull());
        QCOMPARE(window->windowIcon().pixmap(32).toImage(), tool.pixmap(32).toImage());
    }
};

QTEST_MAIN(TestResultWindow)
#include "tst_resultwindow.moc"
