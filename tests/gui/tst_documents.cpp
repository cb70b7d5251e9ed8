#include "codec/base64.h"
#include "windowfixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextEdit>

using Call = SatDouble::Call;

class TestDocuments : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;
    std::unique_ptr<QTemporaryDir> dir;

    QString writeFile(const QString& name, const QByteArray& content)
    {
        const QString path = dir->filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QString com() const { return f->widget<QTextEdit>("Com")->toPlainText(); }
    void setCom(const QString& text) { f->widget<QTextEdit>("Com")->setPlainText(text); }

    static QByteArray saleAnswer(const QByteArray& receipt, const QByteArray& after = "|20261208120000|CFe1")
    {
        return "123|06000|0000|Emitido com sucesso|||" + receipt.toBase64() + after;
    }

    // Chooses the file, answers the activation-code prompt and sells.
    void sell(const QString& path, const QString& code = "12345678")
    {
        f->modal.then(path.isEmpty() ? ModalAnswerer::cancelFileDialog() : ModalAnswerer::chooseFile(path));
        f->modal.then(ModalAnswerer::typeAndAccept(code));
        f->click("Vende");
    }

    QList<Call> callsOf(const char* function) const
    {
        QList<Call> found;
        for (const Call& call : SatDouble::calls()) {
            if (call.function == function)
                found.append(call);
        }
        return found;
    }

private slots:
    void init()
    {
        f = std::make_unique<WindowFixture>();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void cleanup()
    {
        QVERIFY2(f->modal.unexpected.isEmpty(), qPrintable(f->modal.unexpected.join(", ")));
        QCOMPARE(f->modal.pendingActions(), 0);
        f.reset();
        dir.reset();
    }

    // --- Sale -----------------------------------------------------------

    void saleSendsTheFileAndShowsTheReceipt()
    {
        const QByteArray document = "<CFe><infCFe versaoDadosEnt=\"0.07\">\r\n\t<ide>ção</ide></infCFe></CFe>\n";
        const QString path = writeFile("venda.xml", document);
        setCom("antes");
        SatDouble::script(0, "06000 - Emitido com sucesso", saleAnswer("<CFe>recibo \xc3\xa9</CFe>"));
        sell(path);

        const QList<Call> calls = SatDouble::calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().function, QByteArray("EnviarDadosVenda"));
        QCOMPARE(calls.first().arguments.mid(1), QList<QByteArray>({"12345678", document}));
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->modal.boxes.first().icon, QMessageBox::Information);
        QCOMPARE(f->modal.boxes.first().title, QStringLiteral("Venda"));
        QCOMPARE(f->modal.boxes.first().text, QStringLiteral("06000 - Emitido com sucesso [0]"));
        // Emptied first; the receipt alone, not the fields after it, one character per byte.
        QCOMPARE(com(), QString::fromLatin1("<CFe>recibo \xc3\xa9</CFe>"));
    }

    void saleReceiptNeedsTheMarkerAndTheField_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("shown");
        const QByteArray receipt = "<CFe>ok</CFe>";
        QTest::newRow("marker, field last")
            << QByteArray("06000 - ok") << QByteArray("1|06000|0|ok|||" + receipt.toBase64())
            << QString::fromLatin1(receipt);
        QTest::newRow("marker anywhere") << QByteArray("codigo 6000") << saleAnswer(receipt)
                                         << QString::fromLatin1(receipt);
        QTest::newRow("no marker") << QByteArray("06001 - codigo errado") << saleAnswer(receipt) << QString();
        QTest::newRow("five separators") << QByteArray("06000 - ok")
                                         << QByteArray("1|06000|0|ok||" + receipt.toBase64()) << QString();
        QTest::newRow("no separator") << QByteArray("06000 - ok") << QByteArray("nada") << QString();
        QTest::newRow("empty field") << QByteArray("06000 - ok") << QByteArray("1|06000|0|ok|||") << QString();
    }

    void saleReceiptNeedsTheMarkerAndTheField()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, answer);
        QFETCH(QString, shown);
        setCom("antes");
        SatDouble::script(0, message, answer);
        sell(writeFile("venda.xml", "<CFe/>"));
        QCOMPARE(SatDouble::calls().size(), 1);
        QCOMPARE(com(), shown);
    }

    void saleReportsTransportCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("icon");
        QTest::newRow("4") << 4 << int(QMessageBox::Information);
        QTest::newRow("0x8001") << 0x8001 << int(QMessageBox::Critical);
        QTest::newRow("-1") << -1 << int(QMessageBox::Information);
    }

    void saleReportsTransportCodes()
    {
        QFETCH(int, code);
        QFETCH(int, icon);
        SatDouble::script(code, "M", "x");
        sell(writeFile("venda.xml", "<CFe/>"));
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(int(f->modal.boxes.first().icon), icon);
        QCOMPARE(f->modal.boxes.first().text, QStringLiteral("M [%1]").arg(uint(code), 0, 16));
    }

    void cancelledFileDialogSendsThePreviousDocument()
    {
        sell(writeFile("primeira.xml", "<CFe>primeira</CFe>"));
        sell(QString());
        const QList<Call> calls = callsOf("EnviarDadosVenda");
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls.at(1).arguments.value(2), QByteArray("<CFe>primeira</CFe>"));
    }

    void dismissedCodePromptSendsNothing()
    {
        setCom("antes");
        f->modal.then(ModalAnswerer::chooseFile(writeFile("venda.xml", "<CFe/>")));
        f->modal.then(ModalAnswerer::typeAndEscape("12345678"));
        f->click("Vende");
        QVERIFY(SatDouble::calls().isEmpty());
        QVERIFY(f->modal.boxes.isEmpty());
        QCOMPARE(com(), QStringLiteral("antes"));
    }

    void refusedFilesSendNothingAndKeepThePreviousDocument_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("removeBeforeReading");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("exactly 2 MiB") << QByteArray(2 * 1024 * 1024, 'a') << false << "2 MiB";
        QTest::newRow("3 MiB") << QByteArray(3 * 1024 * 1024, 'a') << false << "2 MiB";
        QTest::newRow("NUL inside") << QByteArray("<CFe>\0</CFe>", 12) << false << "nulos";
        QTest::newRow("gone before it was read")
            << QByteArray("<CFe/>") << true << QString::fromUtf8("Não foi possível ler");
    }

    void refusedFilesSendNothingAndKeepThePreviousDocument()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, removeBeforeReading);
        QFETCH(QString, mentions);
        sell(writeFile("boa.xml", "<CFe>boa</CFe>"));
        f->modal.clear();
        const QString path = writeFile("recusada.xml", content);
        f->modal.then([path, removeBeforeReading](QWidget* window) {
            ModalAnswerer::chooseFile(path)(window);
            if (removeBeforeReading)
                QFile::remove(path);
        });
        f->click("Vende");
        QCOMPARE(callsOf("EnviarDadosVenda").size(), 1);
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->modal.boxes.first().icon, QMessageBox::Critical);
        QCOMPARE(f->modal.boxes.first().title, QStringLiteral("Venda"));
        QVERIFY2(f->modal.boxes.first().text.contains(mentions), qPrintable(f->modal.boxes.first().text));

        sell(QString());
        QCOMPARE(callsOf("EnviarDadosVenda").value(1).arguments.value(2), QByteArray("<CFe>boa</CFe>"));
    }

    void largestDocumentGoesWhole()
    {
        const QByteArray document = "<CFe>" + QByteArray(2 * 1024 * 1024 - 1 - 11, 'x') + "</CFe>";
        QCOMPARE(document.size(), 2 * 1024 * 1024 - 1);
        sell(writeFile("grande.xml", document));
        QCOMPARE(callsOf("EnviarDadosVenda").value(0).arguments.value(2), document);
    }

    void aShortReceiptAfterALongOneShowsOnlyItself()
    {
        SatDouble::script(0, "06000 - ok", saleAnswer(QByteArray(5000, 'L')));
        sell(writeFile("venda.xml", "<CFe/>"));
        QCOMPARE(com().size(), 5000);
        SatDouble::script(0, "06000 - ok", saleAnswer("curto"));
        sell(QString());
        QCOMPARE(com(), QStringLiteral("curto"));
    }

    void aReceiptLargerThanTheDecodeBufferIsCut()
    {
        const QByteArray receipt(int(DecodeBufferSize) + 300, 'R');
        SatDouble::script(0, "06000 - ok", saleAnswer(receipt));
        sell(writeFile("venda.xml", "<CFe/>"));
        QCOMPARE(com().size(), int(DecodeBufferSize));
    }

    // --- Cancellation ----------------------------------------------------

    void cancellationAppendsBelowCom()
    {
        const QString path = writeFile("cancelamento.xml", "<CFeCanc/>");
        setCom("antes");
        f->modal.then(ModalAnswerer::chooseFile(path));
        f->modal.then(ModalAnswerer::typeAndAccept("CFe35"));
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        SatDouble::script(0, "07000 - Cupom cancelado", saleAnswer("<CFeCanc>ok</CFeCanc>"));
        f->click("cancelavenda");
        QCOMPARE(f->modal.promptsSeen, QStringList({"QFileDialog", "Dialog3", "Dialog"}));
        const QList<Call> calls = SatDouble::calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().function, QByteArray("CancelarUltimaVenda"));
        QCOMPARE(calls.first().arguments.mid(1), QList<QByteArray>({"12345678", "CFe35", "<CFeCanc/>"}));
        QCOMPARE(f->modal.boxes.value(0).title, QStringLiteral("Cancela Venda"));
        QCOMPARE(com(), QStringLiteral("antes\n<CFeCanc>ok</CFeCanc>"));
    }

    void cancellationNeedsItsOwnMarker()
    {
        setCom("antes");
        f->modal.then(ModalAnswerer::chooseFile(writeFile("c.xml", "<CFeCanc/>")));
        f->modal.then(ModalAnswerer::typeAndAccept("CFe35"));
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        SatDouble::script(0, "06000 - venda", saleAnswer("<CFeCanc>ok</CFeCanc>"));
        f->click("cancelavenda");
        QCOMPARE(com(), QStringLiteral("antes"));
    }

    void cancellationWithTheKeyPromptDismissed()
    {
        f->modal.then(ModalAnswerer::chooseFile(writeFile("c.xml", "<CFeCanc/>")));
        f->modal.then(ModalAnswerer::typeAndEscape("CFe3512"));
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        f->click("cancelavenda");
        QCOMPARE(callsOf("CancelarUltimaVenda").value(0).arguments.value(2), QByteArray("CFe3512"));
    }

    void cancellationWithTheCodePromptDismissed()
    {
        setCom("antes");
        f->modal.then(ModalAnswerer::chooseFile(writeFile("c.xml", "<CFeCanc/>")));
        f->modal.then(ModalAnswerer::typeAndAccept("CFe3512"));
        f->modal.then(ModalAnswerer::typeAndClose("12345678"));
        f->click("cancelavenda");
        QVERIFY(SatDouble::calls().isEmpty());
        QVERIFY(f->modal.boxes.isEmpty());
        QCOMPARE(com(), QStringLiteral("antes"));
    }

    // --- Logs --------------------------------------------------------------

    void logsDecodeTheSixthFieldToTheEnd_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("shown");
        const QByteArray first = "20261208120000|SAT|info|ativado.\n"; // 33 bytes: no padding
        const QByteArray second = "fim";
        QVERIFY(first.size() % 3 == 0);
        QTest::newRow("five separators") << QByteArray("1|15000|ok|||" + first.toBase64())
                                         << QString::fromLatin1(first);
        QTest::newRow("later separators skipped")
            << QByteArray("1|15000|ok|||" + first.toBase64() + "|" + second.toBase64())
            << QString::fromLatin1(first + second);
        QTest::newRow("four separators") << QByteArray("1|15000|ok||" + first.toBase64()) << QString();
        QTest::newRow("no Base64 in the field") << QByteArray("1|15000|ok|||===") << QString();
    }

    void logsDecodeTheSixthFieldToTheEnd()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, shown);
        setCom("antes");
        SatDouble::script(0, "15000 - Transferencia completa", answer);
        f->click("Logs_3");
        QCOMPARE(SatDouble::calls().value(0).arguments.value(1), QByteArray("31415926"));
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->modal.boxes.first().title, QStringLiteral("Extrair Logs SAT"));
        QCOMPARE(f->modal.boxes.first().text, QStringLiteral("15000 - Transferencia completa [0]"));
        QCOMPARE(com(), shown);
    }

    void logsReport_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("text");
        QTest::newRow("0, Latin-1") << 0 << int(QMessageBox::Information)
                                    << QString::fromUtf8("log \xc3\x83\xc2\xa9 [0]");
        QTest::newRow("4, Latin-1") << 4 << int(QMessageBox::Information)
                                    << QString::fromUtf8("log \xc3\x83\xc2\xa9 [4]");
        QTest::newRow("1, UTF-8") << 1 << int(QMessageBox::Critical) << QString::fromUtf8("log \xc3\xa9 [1]");
    }

    void logsReport()
    {
        QFETCH(int, code);
        QFETCH(int, icon);
        QFETCH(QString, text);
        f->modal.then(ModalAnswerer::typeAndAccept("codigo-ativo"));
        SatDouble::script(code, "log \xc3\xa9", "1|15000|x|||" + QByteArray("log").toBase64());
        f->click("Logs");
        QCOMPARE(SatDouble::calls().value(0).arguments.value(1), QByteArray("codigo-ativo"));
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(int(f->modal.boxes.first().icon), icon);
        QCOMPARE(f->modal.boxes.first().text, text);
        QCOMPARE(com(), QStringLiteral("log")); // shown whatever the record said
    }

    void logAfterALargerReceiptShowsOnlyItself()
    {
        SatDouble::script(0, "06000 - ok", saleAnswer(QByteArray(3 * 1024 * 1024, 'R')));
        sell(writeFile("venda.xml", "<CFe/>"));
        const QByteArray log(2 * 1024 * 1024 + 512 * 1024, 'L');
        SatDouble::script(0, "15000 - ok", "1|15000|ok|||" + log.toBase64());
        f->click("Logs_3");
        const QString shown = com();
        QCOMPARE(shown.size(), log.size());
        QVERIFY(!shown.contains(QLatin1Char('R')));
    }
};

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
