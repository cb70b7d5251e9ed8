// Around a sale on the real emulator, through the window: the last fiscal session with none yet, after a sale and
// after its cancellation; the cancellation written from the sale's receipt alone, the emulator's own ready-made one
// deleted first, sent with "Cancela"; a test sale from the form in each tax regime; a broken document checked
// before it is sent. With SAT_CAPTURAS set to a folder, the form and the check are saved there for the README.
#include "cancellationrequest.h"
#include "cfereceipt.h"
#include "checkwindow.h"
#include "documentwindows.h"
#include "emulatorwindow.h"
#include "resultlist.h"
#include "resultwindow.h"
#include "runresults.h"
#include "testsalefill.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTreeWidget>

using namespace satresults;

class TestDocumentsEmulator : public QObject, private EmulatorWindow {
    Q_OBJECT

private:
    QTemporaryDir files;
    CfeReceipt sale;

    const CommandResult& newest() const { return window->findChild<RunResults*>()->list()->at(0); }

    // The extract "Detalhes..." shows for the newest result, as text.
    QString shownExtract()
    {
        widget<QAbstractButton>("Detalhes")->click();
        ResultWindow* results = window->findChild<RunResults*>()->window();
        if (results->findChild<QStackedWidget*>("views")->currentWidget()->objectName() != "extractPage")
            return QStringLiteral("<no extract: %1>").arg(results->windowTitle());
        const QString text = results->findChild<QLabel*>("extractImage")->accessibleDescription();
        results->close();
        return text;
    }

    static QString digitsOf(QString text) { return text.remove(QRegularExpression(QStringLiteral("\\D"))); }

private slots:
    void initTestCase()
    {
        QVERIFY(files.isValid());
        openActivatedAndAssociated();
    }

    void cleanupTestCase() { close(); }

    void lastSessionWithNoneYet()
    {
        const QString text = step("UltimaSessaoFiscal", {"treino123"});
        QVERIFY2(text.startsWith("19003"), qPrintable(text));
        QVERIFY(widget<QTextEdit>("Com")->toPlainText().contains(QStringLiteral("|19003|")));
        QCOMPARE(newest().kind, CommandResult::Kind::Raw);
    }

    void lastSessionAfterASale()
    {
        QVERIFY(step("Vende", {QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"), "treino123"}).startsWith("06000"));
        const QByteArray receipt = newest().document;
        const CfeParseResult parsed = parseCfeReceipt(receipt);
        QVERIFY2(parsed.ok, qPrintable(parsed.error));
        sale = parsed.receipt;

        // The box gives the query's own outcome; the answer is the sale's, as it was given.
        const QString text = step("UltimaSessaoFiscal", {"treino123"});
        QVERIFY2(text.startsWith("19000"), qPrintable(text));
        QCOMPARE(newest().kind, CommandResult::Kind::Sale);
        QCOMPARE(newest().document, receipt);
        QVERIFY(widget<QTextEdit>("Com")->toPlainText().contains(QStringLiteral("|06000|")));
        const QString extract = shownExtract();
        QVERIFY2(digitsOf(extract).contains(sale.key), qPrintable(extract));
    }

    // With the emulator's own ready-made cancellation deleted, as on a real device: the sale's extract in the
    // results window, "Salvar cancelamento...", "Copiar chave", then "Cancela" with that file and that key.
    void cancellationWrittenFromTheReceiptAlone()
    {
        QVERIFY(isAccessKey(sale.key));
        QVERIFY(QFile::remove(stateDir.filePath("cancelamento-ultima-venda.xml")));
        widget<QAbstractButton>("Detalhes")->click();
        ResultWindow* results = window->findChild<RunResults*>()->window();
        QString suggested;
        results->setSaveFileChooser([&](QWidget*, const QString&, const QString& name, const QString&) {
            suggested = name;
            return files.filePath(QFileInfo(name).fileName());
        });
        auto* save = results->findChild<QAbstractButton*>("saveCancellationButton");
        auto* copy = results->findChild<QAbstractButton*>("copyKeyButton");
        QVERIFY(save->isVisible() && copy->isVisible());
        save->click();
        QCOMPARE(QFileInfo(suggested).fileName(), cancellationFileName(sale));
        const QString path = files.filePath(cancellationFileName(sale));
        QVERIFY(QFile::exists(path));
        QVERIFY(results->findChild<QLabel*>("saveNotice")->text().contains(path));
        QGuiApplication::clipboard()->clear();
        copy->click();
        const QString key = QGuiApplication::clipboard()->text();
        QCOMPARE(key, QStringLiteral("CFe") + sale.key);
        results->close();

        const QString text = step("cancelavenda", {path, key, "treino123"});
        QVERIFY2(text.startsWith("07000"), qPrintable(text));
        QCOMPARE(newest().kind, CommandResult::Kind::Cancellation);

        // A cancellation's extract offers no cancellation of its own.
        widget<QAbstractButton>("Detalhes")->click();
        QVERIFY(!save->isVisible() && !copy->isVisible());
        results->close();
    }

    void lastSessionAfterTheCancellation()
    {
        const QByteArray cancellation = newest().document;
        const QString text = step("UltimaSessaoFiscal", {"treino123"});
        QVERIFY2(text.startsWith("19000"), qPrintable(text));
        QVERIFY(widget<QTextEdit>("Com")->toPlainText().contains(QStringLiteral("|07000|")));
        QCOMPARE(newest().kind, CommandResult::Kind::Cancellation);
        QCOMPARE(newest().document, cancellation);
        QCOMPARE(parseCfeReceipt(cancellation).receipt.cancelledKey, sale.key);
        QVERIFY(shownExtract().contains(QStringLiteral("CANCELAMENTO")));
    }

    void testSaleFromTheForm_data()
    {
        QTest::addColumn<QString>("regime");
        for (const satresults::Choice& regime : taxRegimes())
            QTest::newRow(qPrintable(regime.label)) << regime.code;
    }

    // Composed, checked and sold: the emulator takes it, and the receipt comes back as any sale's does.
    void testSaleFromTheForm()
    {
        QFETCH(QString, regime);
        widget<QAbstractButton>("VendaTeste")->click();
        TestSaleWindow* form = DocumentWindows::of(window.get())->testSaleWindow();
        // The association tab of openActivatedAndAssociated() already gave the form its CNPJs and signature.
        QCOMPARE(form->draft().signature, QString(344, QLatin1Char('0')));
        testsalefill::fillShop(form, regime);
        QVERIFY(form->faults().isEmpty());

        modal->clear();
        modal->then(ModalAnswerer::typeAndAccept("treino123"));
        testsalefill::field<QAbstractButton>(form, "vender")->click();
        QCOMPARE(modal->boxes.size(), 1);
        QVERIFY2(modal->boxes.first().text.startsWith("06000"), qPrintable(modal->boxes.first().text));
        QCOMPARE(newest().kind, CommandResult::Kind::Sale);
        const CfeReceipt receipt = parseCfeReceipt(newest().document).receipt;
        QCOMPARE(receipt.total, QStringLiteral("25.80"));
        QCOMPARE(receipt.checkoutNumber, QStringLiteral("001"));
        QVERIFY(widget<QTextEdit>("Com")->toPlainText().contains(QStringLiteral("Id=\"CFe") + receipt.key));
        if (regime == u"3")
            capture(form, QSize(980, 800), QStringLiteral("venda-de-teste.png"));
        form->close();
    }

    // The document that would be refused, checked first: every fault, and nothing reaches the device.
    void checkedBeforeSending()
    {
        QFile example(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"));
        QVERIFY(example.open(QIODevice::ReadOnly));
        QByteArray document = example.readAll();
        document.replace("<CFOP>5000</CFOP>", "<CFOP>1000</CFOP>").replace("<vMP>33.00</vMP>", "<vMP>1.0</vMP>");
        const QString path = files.filePath(QStringLiteral("venda-errada.xml"));
        QFile broken(path);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(document);
        broken.close();
        const int results = window->findChild<RunResults*>()->list()->rowCount();

        modal->clear();
        modal->then(ModalAnswerer::chooseFile(path));
        widget<QAbstractButton>("VerificarXml")->click();
        QCOMPARE(modal->pendingActions(), 0);
        DocumentCheckWindow* shown = DocumentWindows::of(window.get())->checkWindow();
        QVERIFY(shown->isVisible());
        auto* faults = shown->findChild<QTreeWidget*>("falhas");
        QStringList listed;
        for (int i = 0; i < faults->topLevelItemCount(); ++i)
            listed << faults->topLevelItem(i)->text(2) + u' ' + faults->topLevelItem(i)->text(0);
        QCOMPARE(listed,
                 QStringList({"1057 infCFe/det[1]/prod/CFOP", "1116 infCFe/pgto/MP[1]/vMP", "1118 infCFe/pgto"}));
        capture(shown, QSize(860, 300), QStringLiteral("verificar-xml.png"));
        shown->close();
        QCOMPARE(window->findChild<RunResults*>()->list()->rowCount(), results);
    }
};

QTEST_MAIN(TestDocumentsEmulator)
#include "tst_documentsemulator.moc"
