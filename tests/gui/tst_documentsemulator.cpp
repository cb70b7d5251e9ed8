// Around a sale on the real emulator, through the window: the last fiscal session with none yet, after a sale and
// after its cancellation; the cancellation written from the sale's receipt alone, the emulator's own ready-made one
// deleted first, sent with "Cancela"; a test sale from the form in each tax regime.
#include "cancellationrequest.h"
#include "cfereceipt.h"
#include "documentwindows.h"
#include "emulatorwindow.h"
#include "resultlist.h"
#include "resultwindow.h"
#include "runresults.h"
#include "testsalefill.h"

#include <QLabel>
#include <QStackedWidget>
#include <QTextEdit>

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

    // What the results window's "Salvar cancelamento..." and "Copiar chave" hand the technician.
    void cancellationWrittenFromTheReceiptAlone()
    {
        QVERIFY(isAccessKey(sale.key));
        const CancellationRequest request = cancellationRequest(sale);
        QVERIFY2(request.ok(), qPrintable(request.error));
        const QString path = files.filePath(cancellationFileName(sale));
        QFile written(path);
        QVERIFY(written.open(QIODevice::WriteOnly));
        QCOMPARE(written.write(request.document), request.document.size());
        written.close();
        QVERIFY(QFile::remove(stateDir.filePath("cancelamento-ultima-venda.xml")));

        const QString text = step("cancelavenda", {path, cancellationKey(sale), "treino123"});
        QVERIFY2(text.startsWith("07000"), qPrintable(text));
        QCOMPARE(newest().kind, CommandResult::Kind::Cancellation);
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
        form->close();
    }
};

QTEST_MAIN(TestDocumentsEmulator)
#include "tst_documentsemulator.moc"
