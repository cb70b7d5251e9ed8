// "Detalhes..." on the real emulator after the walk-through's status query and log extraction, a status query
// with a wrong code, and the session query's stored answers opened as the kind they are. With SAT_CAPTURAS set to
// a folder, the views are saved there as PNG for the README.

#include "app/commandstate.h"
#include "emulatorwindow.h"
#include "logview.h"
#include "modalanswerer.h"
#include "resultlist.h"
#include "resultwindow.h"
#include "runresults.h"
#include "statusview.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

class TestStatusLogWindow : public QObject, private EmulatorWindow {
    Q_OBJECT

private:
    int statusSession = -1;
    int saleSession = -1;

    // Opens the window from "Detalhes..." and returns the name of the page on show.
    QString details()
    {
        widget<QAbstractButton>("Detalhes")->click();
        return results()->findChild<QStackedWidget*>("views")->currentWidget()->objectName();
    }

    ResultWindow* results() const { return window->findChild<RunResults*>()->window(); }

    QString com() const { return widget<QTextEdit>("Com")->toPlainText(); }

private slots:
    void initTestCase()
    {
        openActivatedAndAssociated();
        if (QTest::currentTestFailed())
            return;
        const QString sale = step("Vende", {QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"), "treino123"});
        QVERIFY2(sale.startsWith("06000"), qPrintable(sale));
        saleSession = QByteArray(lastAnswer).split('|').value(0).toInt();
    }

    void cleanupTestCase() { close(); }

    void statusShowsTheDevicesTable()
    {
        const QString text = step("pushButton_3", {"treino123"});
        QVERIFY2(text.startsWith("10000"), qPrintable(text));
        // The command shows what it always showed.
        QCOMPARE(com(), QString::fromLatin1(lastAnswer));
        statusSession = QByteArray(lastAnswer).split('|').value(0).toInt();

        QCOMPARE(details(), QStringLiteral("statusPage"));
        auto* view = results()->findChild<StatusView*>("statusView");
        QVERIFY(view);
        QVERIFY(view->status().isValid());
        QCOMPARE(view->status().serial(), QStringLiteral("900000001"));
        auto* table = view->findChild<QTableWidget*>("tabela");
        QCOMPARE(table->rowCount(), 23);
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("900000001"));
        QCOMPARE(view->status().summary(), QStringLiteral("SAT em operação normal"));
        QVERIFY(results()->windowTitle().contains(QStringLiteral("Status Operacional")));
    }

    // The device's own refusal, listed as one and opened under its code and message.
    void refusedStatusIsMarked()
    {
        const QString text = step("pushButton_3", {"errado123"});
        QVERIFY2(text.startsWith("10001"), qPrintable(text));
        const ResultList* list = window->findChild<RunResults*>()->list();
        QCOMPARE(list->index(0, ResultList::NumberColumn).data().toString(), QStringLiteral("Recusado 10001"));
        QCOMPARE(details(), QStringLiteral("statusPage"));
        QVERIFY(results()->findChild<QWidget*>("refusalBar")->isVisibleTo(results()));
        const QString note = results()->findChild<QLabel*>("refusalNote")->text();
        QVERIFY2(note.startsWith(QString::fromUtf8("Recusado pelo SAT: código 10001 — ")), qPrintable(note));
        capture(results(), results()->size(), QStringLiteral("detalhes-recusado.png"));
    }

    void blockedStatusIsMarked()
    {
        QVERIFY(step("Bloquear", {"treino123"}).contains("16000"));
        QVERIFY(step("pushButton_3", {"treino123"}).startsWith("10000"));
        QCOMPARE(details(), QStringLiteral("statusPage"));
        auto* view = results()->findChild<StatusView*>("statusView");
        QCOMPARE(view->status().problems(), QStringList {QStringLiteral("SAT bloqueado pelo contribuinte")});
        capture(results(), results()->size(), QStringLiteral("detalhes-status.png"));
        QVERIFY(step("pushButton", {"treino123"}).startsWith("17000"));
    }

    void logShowsOneRowPerLine()
    {
        const QString text = step("Logs", {"treino123"});
        QVERIFY2(text.startsWith("15000"), qPrintable(text));
        // Decoded here with Qt's own decoder, apart from the tool's.
        const QByteArray log = QByteArray::fromBase64(QByteArray(lastAnswer).split('|').value(5));
        QVERIFY(log.count('\n') > 5);
        QVERIFY(com().contains(QString::fromLatin1(log.left(log.indexOf('\n')))));

        QCOMPARE(details(), QStringLiteral("logPage"));
        auto* view = results()->findChild<LogView*>("logView");
        QVERIFY(view);
        QCOMPARE(view->log(), log);
        QCOMPARE(view->totalRows(), int(log.count('\n')));
        QCOMPARE(view->findChild<QTableView*>("tabela")->model()->rowCount(), int(log.count('\n')));

        capture(results(), results()->size(), QStringLiteral("detalhes-log.png"));

        // The series of the last status names the file.
        QString suggested;
        view->setSavePathChooser(
            [&suggested](QWidget*, const QString&, const QString& path, const QStringList&, QString*) {
                suggested = path;
                return QString();
            });
        QVERIFY(!view->save());
        QVERIFY2(QFileInfo(suggested).fileName().startsWith(QStringLiteral("sat-log-900000001-")),
                 qPrintable(suggested));
        int blockLines = 0;
        for (const QByteArray& line : log.split('\n'))
            blockLines += line.toLower().contains("bloque") ? 1 : 0;
        QVERIFY(blockLines >= 2); // the block and the unblock above
        QTest::keyClicks(view->findChild<QLineEdit*>("filtro"), QStringLiteral("BLOQUE"));
        QCOMPARE(view->shownRows(), blockLines);
        view->findChild<QLineEdit*>("filtro")->clear();
    }

    void sessionQueryOpensTheKindItHolds_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("kind");
        QTest::newRow("status") << 0 << "statusPage" << int(CommandResult::Kind::Status);
        QTest::newRow("sale") << 1 << "extractPage" << int(CommandResult::Kind::Sale);
        QTest::newRow("unknown session") << 2 << "textPage" << int(CommandResult::Kind::Raw);
    }

    void sessionQueryOpensTheKindItHolds()
    {
        QFETCH(int, which);
        QFETCH(QString, page);
        QFETCH(int, kind);
        const int session = which == 0 ? statusSession : which == 1 ? saleSession : 999998;
        QVERIFY(session >= 0);
        const QString text = step("pushButton_4", {QString::number(session), "treino123"});
        QVERIFY2(text.startsWith(which == 2 ? "11003" : "11000"), qPrintable(text));
        QCOMPARE(com(), QString::fromLatin1(lastAnswer));
        const CommandResult& kept = window->findChild<RunResults*>()->list()->at(0);
        QCOMPARE(int(kept.kind), kind);
        QCOMPARE(kept.answer, QByteArray(lastAnswer));
        QCOMPARE(details(), page);
        if (which == 0)
            QCOMPARE(results()->findChild<StatusView*>("statusView")->status().serial(), QStringLiteral("900000001"));
    }
};

QTEST_MAIN(TestStatusLogWindow)
#include "tst_statuslogwindow.moc"
