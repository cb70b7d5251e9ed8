// "Última Sessão Fiscal" on the recording double: it reports like "Número Sessão" and keeps what the device
// answered among the run's results, a receipt as the extract it is.
#include "results/resultlist.h"
#include "results/runresults.h"
#include "windowfixture.h"

#include <QTextEdit>

class TestLastSessionButton : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;

    QString com() const { return f->widget<QTextEdit>("Com")->toPlainText(); }
    ResultList* results() const { return RunResults::of(f->window.get())->list(); }

private slots:
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup()
    {
        QVERIFY2(f->modal.unexpected.isEmpty(), qPrintable(f->modal.unexpected.join(", ")));
        QCOMPARE(f->modal.pendingActions(), 0);
        f.reset();
    }

    void reportsTheStoredAnswer_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("critical");
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("document");

        const QByteArray sale = "<CFe><infCFe Id=\"CFe1\"/></CFe>";
        const QByteArray cancellation = "<CFeCanc><infCFe Id=\"CFe2\"/></CFeCanc>";
        QTest::newRow("the last sale, issued")
            << 0 << QByteArray("06000 - Emitido com sucesso")
            << QByteArray("4711|06000|0000|Emitido com sucesso|||" + sale.toBase64() + "|20240315103000|CFe1|2.10||x")
            << false << QString::fromUtf8("06000 - Emitido com sucesso [0]") << int(CommandResult::Kind::Sale) << sale;
        QTest::newRow("the last cancellation") << 0 << QByteArray("07000 - Cupom cancelado")
                                               << QByteArray("4712|07000|0000|Cupom cancelado|||"
                                                             + cancellation.toBase64() + "|20240315103500|CFe2|2.10||y")
                                               << false << QString::fromUtf8("07000 - Cupom cancelado [0]")
                                               << int(CommandResult::Kind::Cancellation) << cancellation;
        QTest::newRow("the last sale, refused")
            << 0 << QByteArray("06010 - Erro de validacao") << QByteArray("4713|06010|1051|Rejeicao: CFOP ausente||")
            << false << QString::fromUtf8("06010 - Erro de validacao [0]") << int(CommandResult::Kind::Raw)
            << QByteArray();
        QTest::newRow("none yet") << 0 << QByteArray("19003 - Nenhuma venda")
                                  << QByteArray("900|19003|Nenhuma venda ou cancelamento||") << false
                                  << QString::fromUtf8("19003 - Nenhuma venda [0]") << int(CommandResult::Kind::Raw)
                                  << QByteArray();
        QTest::newRow("time-out") << 0x8000 << QByteArray("M") << QByteArray("1|19000|resposta") << true
                                  << QStringLiteral("M [8000]") << int(CommandResult::Kind::Raw) << QByteArray();
        QTest::newRow("port not connected")
            << 1 << QByteArray("sem porta") << QByteArray("") << true << QStringLiteral("sem porta [1]")
            << int(CommandResult::Kind::Raw) << QByteArray();
    }

    void reportsTheStoredAnswer()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, answer);
        QFETCH(bool, critical);
        QFETCH(QString, boxText);
        QFETCH(int, kind);
        QFETCH(QByteArray, document);
        f->widget<QTextEdit>("Com")->setPlainText("antes");
        SatDouble::script(code, message, answer);
        f->modal.then(ModalAnswerer::typeAndAccept("treino123"));
        f->click("UltimaSessaoFiscal");

        QCOMPARE(f->modal.promptsSeen, QStringList {"Dialog"});
        const QList<SatDouble::Call> calls = SatDouble::calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().function, QByteArray("ConsultarUltimaSessaoFiscal"));
        QCOMPARE(calls.first().arguments.mid(1), QList<QByteArray> {"treino123"});
        QVERIFY(calls.first().session() >= 0 && calls.first().session() <= 999999);

        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->modal.boxes.first().icon, critical ? QMessageBox::Critical : QMessageBox::Information);
        QCOMPARE(f->modal.boxes.first().title, QString::fromUtf8("Última Sessão Fiscal"));
        QCOMPARE(f->modal.boxes.first().text, boxText);
        // Emptied first, then the whole answer, as "Número Sessão" shows it.
        QCOMPARE(com(), QString::fromLatin1(answer));

        QCOMPARE(results()->rowCount(), 1);
        QCOMPARE(int(results()->at(0).kind), kind);
        QCOMPARE(results()->at(0).document, document);
        QCOMPARE(results()->at(0).answer, answer);
        QCOMPARE(results()->at(0).command, QString::fromUtf8("Última Sessão Fiscal"));
        QVERIFY(f->widget<QAbstractButton>("Detalhes")->isEnabled());
    }

    void dismissedCodePromptAsksNothing()
    {
        f->widget<QTextEdit>("Com")->setPlainText("antes");
        f->modal.then(ModalAnswerer::typeAndEscape("treino123"));
        f->click("UltimaSessaoFiscal");
        QVERIFY(SatDouble::calls().isEmpty());
        QVERIFY(f->modal.boxes.isEmpty());
        QCOMPARE(com(), QStringLiteral("antes"));
        QVERIFY(!f->widget<QAbstractButton>("Detalhes")->isEnabled());
    }
};

QTEST_MAIN(TestLastSessionButton)
#include "tst_lastsessionbutton.moc"
