// "Detalhes..." on the real emulator: after the end-to-end test, a sale of the
// project's example and its cancellation, the results window shows the extract
// of each document the device returned, and the sale's as cancelled. With
// SAT_CAPTURAS set to a folder, the window with the sale's extract is saved
// there as extrato.png, and with the cancelled sale as extrato-cancelado.png.

#include "app/commandstate.h"
#include "emulatorwindow.h"
#include "modalanswerer.h"
#include "resultlist.h"
#include "resultwindow.h"
#include "runresults.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

class TestResultEmulator : public QObject, private EmulatorWindow {
    Q_OBJECT

private:
    QString saleKey;

    // Opens the window from "Detalhes..." and returns the text of the extract on show.
    QString details(ResultWindow** shown = nullptr)
    {
        widget<QAbstractButton>("Detalhes")->click();
        ResultWindow* results = window->findChild<RunResults*>()->window();
        if (shown)
            *shown = results;
        if (results->findChild<QStackedWidget*>("views")->currentWidget()->objectName() != "extractPage")
            return QStringLiteral("<no extract: %1>").arg(results->windowTitle());
        return results->findChild<QLabel*>("extractImage")->accessibleDescription();
    }

    // The extract writes the key in groups of four, over as many lines as the paper needs.
    static bool showsKey(const QString& extract, const QString& key)
    {
        QString digits = extract;
        digits.remove(QRegularExpression(QStringLiteral("\\s")));
        return key.size() == 44 && digits.contains(key);
    }

    QString keyInCom() const
    {
        return QRegularExpression("Id=\"CFe(\\d{44})\"").match(widget<QTextEdit>("Com")->toPlainText()).captured(1);
    }

private slots:
    void initTestCase()
    {
        openActivatedAndAssociated();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!widget<QAbstractButton>("Detalhes")->isEnabled());
    }

    void cleanupTestCase() { close(); }

    void endToEndTestShowsTheTestReceipt()
    {
        const QString text = step("TesteFim_a_Fim", {"treino123"});
        QVERIFY2(text.startsWith("09000"), qPrintable(text));
        QVERIFY(widget<QAbstractButton>("Detalhes")->isEnabled());
        const QString testKey = QString::fromLatin1(lastAnswer).section('|', 8, 8).mid(3);
        QCOMPARE(testKey.size(), 44);

        ResultWindow* results = nullptr;
        const QString extract = details(&results);
        QVERIFY2(showsKey(extract, testKey), qPrintable(extract));
        QVERIFY2(results->windowTitle().contains(QStringLiteral("Teste Fim-a-Fim")),
                 qPrintable(results->windowTitle()));
        QVERIFY(results->windowTitle().contains(QStringLiteral("(teste)")));
        QVERIFY(results->findChild<QLabel*>("extractNote")->isVisibleTo(results));
    }

    void saleShowsItsExtract()
    {
        const QString text = step("Vende", {QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"), "treino123"});
        QVERIFY2(text.startsWith("06000"), qPrintable(text));
        saleKey = keyInCom();
        QCOMPARE(saleKey.size(), 44);
        ResultWindow* results = nullptr;
        const QString extract = details(&results);
        QVERIFY2(showsKey(extract, saleKey), qPrintable(extract));
        QVERIFY(extract.contains(QStringLiteral("Extrato No.")));
        QVERIFY2(results->windowTitle().contains(QString::fromUtf8("Venda nº ")), qPrintable(results->windowTitle()));
        capture(results, QSize(1010, 1160), QStringLiteral("extrato.png"));
    }

    void cancellationShowsItsOwnExtract()
    {
        QVERIFY(!saleKey.isEmpty());
        const QString text
            = step("cancelavenda", {stateDir.filePath("cancelamento-ultima-venda.xml"), "CFe" + saleKey, "treino123"});
        QVERIFY2(text.startsWith("07000"), qPrintable(text));
        const CommandResult& kept = window->findChild<RunResults*>()->list()->at(0);
        QCOMPARE(kept.kind, CommandResult::Kind::Cancellation);
        const QString cancellationKey
            = QRegularExpression("Id=\"CFe(\\d{44})\"").match(QString::fromLatin1(kept.document)).captured(1);
        QCOMPARE(cancellationKey.size(), 44);
        QVERIFY(cancellationKey != saleKey);

        ResultWindow* results = nullptr;
        const QString extract = details(&results);
        QVERIFY2(showsKey(extract, cancellationKey), qPrintable(extract));
        QVERIFY(showsKey(extract, saleKey)); // the cancelled sale's data comes first
        QVERIFY(extract.contains(QStringLiteral("CANCELAMENTO")));
        QVERIFY2(results->windowTitle().contains(QString::fromUtf8("Cancela Venda nº ")),
                 qPrintable(results->windowTitle()));
        QCOMPARE(window->findChild<RunResults*>()->list()->rowCount(), 3);
    }

    // The sale, selected again once its cancellation is in the run: marked on screen and in its PDF, and no
    // cancellation offered for it.
    void cancelledSaleShowsAsCancelled()
    {
        const CommandResult& cancellation = window->findChild<RunResults*>()->list()->at(0);
        QCOMPARE(cancellation.kind, CommandResult::Kind::Cancellation);
        const QString cancellationKey
            = QRegularExpression("Id=\"CFe(\\d{44})\"").match(QString::fromLatin1(cancellation.document)).captured(1);
        ResultWindow* results = nullptr;
        details(&results);
        auto* list = results->findChild<QTableView*>("resultList");
        list->setCurrentIndex(list->model()->index(1, 0));
        const QString extract = results->findChild<QLabel*>("extractImage")->accessibleDescription();
        QVERIFY2(showsKey(extract, saleKey), qPrintable(extract));
        QCOMPARE(extract.count(QStringLiteral("*** CANCELADO ***")), 2);
        QVERIFY(showsKey(extract, cancellationKey));
        QVERIFY2(results->windowTitle().endsWith(QStringLiteral("(cancelada)")), qPrintable(results->windowTitle()));
        QVERIFY(results->findChild<QLabel*>("extractNote")->text().contains(cancellationKey));
        QVERIFY(!results->findChild<QWidget*>("saleBar")->isVisibleTo(results));
        QVERIFY(!results->findChild<QAbstractButton*>("saveCancellationButton")->isEnabled());

        capture(results, QSize(1010, 1160), QStringLiteral("extrato-cancelado.png"));

        QTemporaryDir files;
        const QString pdf = files.filePath(QStringLiteral("extrato.pdf"));
        results->setSaveFileChooser([&](QWidget*, const QString&, const QString&, const QString&) { return pdf; });
        results->findChild<QAbstractButton*>("savePdfButton")->click();
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        if (!text.waitForFinished(60000))
            QSKIP("pdftotext missing (package poppler-utils)");
        const QString written = QString::fromUtf8(text.readAllStandardOutput());
        QCOMPARE(written.count(QStringLiteral("*** CANCELADO ***")), 2);
        QVERIFY2(showsKey(written, cancellationKey), qPrintable(written));
    }
};

QTEST_MAIN(TestResultEmulator)
#include "tst_resultemulator.moc"
