// What the status, log and session commands keep for "Detalhes...", on the recording double: the same calls and
// the same text in Com as before, and a copy of exactly what the device sent.
#include "../gui/windowfixture.h"
#include "logview.h"
#include "resultlist.h"
#include "resultwindow.h"
#include "runresults.h"
#include "statusview.h"

#include <QStackedWidget>
#include <QTextEdit>

namespace {

QByteArray status(const QByteArray& code)
{
    return "5|" + code
        + "|Resposta com Sucesso|||900000001|DHCP|1.2.3.4|m|255.0.0.0|1.2.3.1|1.2.3.1|1.2.3.1|CONECTADO|ALTO|"
          "100 KB|1 KB|20240315103000|01|00|0|0|0|0|0|20240315|20990315|0";
}

QByteArray logAnswer(const QByteArray& log)
{
    return "6|15000|Transferencia completa|||" + log.toBase64();
}

} // namespace

class TestStatusLogCapture : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;

    QStringList functions() const
    {
        QStringList out;
        for (const SatDouble::Call& call : SatDouble::calls())
            out << QString::fromLatin1(call.function);
        return out;
    }

    ResultList* list() const { return RunResults::of(f->window.get())->list(); }

    QString page()
    {
        f->click("Detalhes");
        return RunResults::of(f->window.get())
            ->window()
            ->findChild<QStackedWidget*>("views")
            ->currentWidget()
            ->objectName();
    }

private slots:
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup() { f.reset(); }

    void statusKeptAsSent_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("summary");
        QTest::newRow("status") << 0 << status("10000") << "";
        QTest::newRow("refused") << 0 << QByteArray("5|10001|Codigo invalido|||")
                                 << "O SAT respondeu: 10001 - Codigo invalido";
        QTest::newRow("transport failure, empty answer") << 1 << QByteArray() << "O SAT não enviou resposta.";
    }

    void statusKeptAsSent()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, answer);
        QFETCH(QString, summary);
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        SatDouble::script(code, "M", answer);
        f->click("pushButton_3");
        QCOMPARE(functions(), QStringList({"ConsultarStatusOperacional"}));
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->widget<QTextEdit>("Com")->toPlainText(), QString::fromLatin1(answer));
        QCOMPARE(list()->rowCount(), 1);
        QCOMPARE(list()->at(0).kind, CommandResult::Kind::Status);
        QCOMPARE(list()->at(0).answer, answer);
        QCOMPARE(page(), QStringLiteral("statusPage"));
        const OperationalStatus& shown = RunResults::of(f->window.get())->window()->findChild<StatusView*>()->status();
        // A status is judged against the clock of its capture; only the failures have a fixed summary.
        QCOMPARE(shown.isValid(), summary.isEmpty());
        if (shown.isValid())
            QCOMPARE(shown.serial(), QStringLiteral("900000001"));
        else
            QCOMPARE(shown.summary(), summary);
    }

    // Com stops at the first NUL, as it always did; the kept log and its file have every byte.
    void logKeptWhole()
    {
        const QByteArray log("a|b|c|d\r\n\0depois do NUL\n", 24);
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        SatDouble::script(0, "15000 - ok", logAnswer(log));
        f->click("Logs");
        QCOMPARE(functions(), QStringList({"ExtrairLogs"}));
        QCOMPARE(f->widget<QTextEdit>("Com")->toPlainText(), QStringLiteral("a|b|c|d\n"));
        QCOMPARE(list()->at(0).kind, CommandResult::Kind::Log);
        QCOMPARE(list()->at(0).document, log);
        QCOMPARE(page(), QStringLiteral("logPage"));
        auto* view = RunResults::of(f->window.get())->window()->findChild<LogView*>();
        QCOMPARE(view->log(), log);
        QCOMPARE(view->totalRows(), 2);
    }

    void logWithoutItsFieldKeepsNothing()
    {
        SatDouble::script(0, "15001 - codigo", "6|15001|Codigo invalido||");
        f->click("Logs_3");
        QCOMPARE(list()->rowCount(), 0);
        QVERIFY(!f->widget<QAbstractButton>("Detalhes")->isEnabled());
    }

    void sessionAnswerAsItsKind_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("page");
        QTest::newRow("status") << status("10000") << int(CommandResult::Kind::Status) << "statusPage";
        QTest::newRow("status with too few fields")
            << QByteArray("5|10000|Resposta com Sucesso|||900000001") << int(CommandResult::Kind::Raw) << "textPage";
        QTest::newRow("sale") << QByteArray("7|06000|0000|Emitido|||" + QByteArray("<CFe/>").toBase64() + "|x|k|1|2|q")
                              << int(CommandResult::Kind::Sale) << "textPage"; // not a whole CF-e: shown with why
        QTest::newRow("cancellation") << QByteArray("7|07000|0000|Cancelado|||" + QByteArray("<CFeCanc/>").toBase64()
                                                    + "|x|k|1|2|q")
                                      << int(CommandResult::Kind::Cancellation) << "textPage";
        QTest::newRow("sale without its receipt")
            << QByteArray("7|06000|0000|Emitido||||x|k|1|2|q") << int(CommandResult::Kind::Raw) << "textPage";
        QTest::newRow("refused sale") << QByteArray("7|06001|0000|Codigo invalido||") << int(CommandResult::Kind::Raw)
                                      << "textPage";
        QTest::newRow("no such session") << QByteArray("8|11003|Sessao nao existe||") << int(CommandResult::Kind::Raw)
                                         << "textPage";
    }

    void sessionAnswerAsItsKind()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, kind);
        QFETCH(QString, page);
        f->modal.then(ModalAnswerer::typeAndAccept("7"));
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        SatDouble::script(0, "11000 - ok", answer);
        f->click("pushButton_4");
        QCOMPARE(functions(), QStringList({"ConsultarNumeroSessao"}));
        QCOMPARE(f->widget<QTextEdit>("Com")->toPlainText(), QString::fromLatin1(answer));
        QCOMPARE(list()->rowCount(), 1);
        QCOMPARE(int(list()->at(0).kind), kind);
        QCOMPARE(list()->at(0).answer, answer);
        QCOMPARE(this->page(), page);
    }
};

QTEST_MAIN(TestStatusLogCapture)
#include "tst_statuslogcapture.moc"
