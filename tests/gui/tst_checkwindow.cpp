// "Verificar XML...": the window lists every fault of the chosen document with its field, rule and rejection code,
// by the emulator's own rules. Its rows are the device's own refusal rows (validationrows.h), shared with the
// emulator's tests. Nothing reaches the device.
#include "checkwindow.h"
#include "documentwindows.h"
#include "validationrows.h"
#include "windowfixture.h"

#include <QLabel>
#include <QTreeWidget>

using namespace validationrows;

class TestCheckWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;

    DocumentCheckWindow* shown() const { return DocumentWindows::of(f->window.get())->checkWindow(); }
    QString summary() const { return shown()->findChild<QLabel*>("resumo")->text(); }
    QString fileLine() const { return shown()->findChild<QLabel*>("arquivo")->text(); }
    QTreeWidget* faults() const { return shown()->findChild<QTreeWidget*>("falhas"); }

    // The first fault shown, as the device words its refusal.
    QString firstAsRefusal() const
    {
        const QTreeWidgetItem* first = faults()->topLevelItem(0);
        if (!first)
            return QString();
        const QString field = first->text(0) == u"documento" ? QString() : first->text(0);
        return QStringLiteral("Rejeicao: ") + field + (field.isEmpty() ? QString() : QStringLiteral(" "))
            + first->text(1);
    }

    void compareWithRow(const QString& code, const QString& message)
    {
        QVERIFY2(faults()->topLevelItemCount() > 0, qPrintable(summary()));
        QCOMPARE(faults()->topLevelItem(0)->text(2), code);
        // Rules of values follow their field after ": " in the device's wording.
        const QString shownText = firstAsRefusal();
        const QString alternative = QString(shownText).replace(
            faults()->topLevelItem(0)->text(0) + u' ', faults()->topLevelItem(0)->text(0) + QStringLiteral(": "));
        if (message.endsWith(u'*'))
            QVERIFY2(shownText.startsWith(message.chopped(1)), qPrintable(shownText));
        else
            QVERIFY2(shownText == message || alternative == message, qPrintable(shownText + " / " + message));
        const int count = faults()->topLevelItemCount();
        QVERIFY2(summary().startsWith(count == 1 ? QStringLiteral("1 problema encontrado")
                                                 : QStringLiteral("%1 problemas encontrados").arg(count)),
                 qPrintable(summary()));
        QVERIFY(summary().contains(code));
    }

private slots:
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup()
    {
        QVERIFY2(f->modal.unexpected.isEmpty(), qPrintable(f->modal.unexpected.join(", ")));
        QCOMPARE(f->modal.pendingActions(), 0);
        QVERIFY(SatDouble::calls().isEmpty());
        f.reset();
    }

    void fromTheButton_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("first"); // code and field of the first fault; empty for none
        QTest::newRow("valid sale") << "venda.xml"
                                    << "Venda"
                                    << "";
        QTest::newRow("valid sale of two items") << "venda-dois-itens.xml"
                                                 << "Venda"
                                                 << "";
        QTest::newRow("valid cancellation") << "cancelamento-modelo.xml"
                                            << "Cancelamento"
                                            << "";
        QTest::newRow("sale without CFOP") << "sem-cfop.xml"
                                           << "Venda"
                                           << "1051 infCFe/det[1]/prod/CFOP";
        QTest::newRow("cancellation with emit filled") << "cancelamento-emit.xml"
                                                       << "Cancelamento"
                                                       << "1154 infCFe/emit/CNPJ";
    }

    void fromTheButton()
    {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        QFETCH(QString, first);
        QString path = QStringLiteral(SAT_EXAMPLES_DIR "/") + file;
        if (file == u"sem-cfop.xml")
            path = f->writeFile(file, example("venda.xml").replace("<CFOP>5000</CFOP>", ""));
        else if (file == u"cancelamento-emit.xml")
            path = f->writeFile(
                file,
                example("cancelamento-modelo.xml").replace("<emit />", "<emit><CNPJ>44555666000181</CNPJ></emit>"));
        f->modal.then(ModalAnswerer::chooseFile(path));
        f->click("VerificarXml");

        QVERIFY(shown()->isVisible());
        QCOMPARE(shown()->checkedFile(), path);
        QCOMPARE(fileLine(), kind + QStringLiteral(": ") + QDir::toNativeSeparators(path));
        if (first.isEmpty()) {
            QCOMPARE(summary(), QStringLiteral("Nenhum problema encontrado"));
            QCOMPARE(faults()->topLevelItemCount(), 0);
            QVERIFY(!faults()->isVisibleTo(shown()));
            return;
        }
        QVERIFY(faults()->isVisibleTo(shown()));
        const QTreeWidgetItem* row = faults()->topLevelItem(0);
        QVERIFY(row);
        QCOMPARE(row->text(2) + u' ' + row->text(0), first);
        QVERIFY(!row->text(1).isEmpty());
    }

    void cancelledChoiceShowsNothing()
    {
        f->modal.then(ModalAnswerer::cancelFileDialog());
        f->click("VerificarXml");
        QVERIFY(!shown()->isVisible());
    }

    void saleRows_data() { addSaleRows(); }

    void saleRows()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, code);
        QFETCH(QString, message);
        QByteArray document;
        QVERIFY(brokenSale(from, to, document));
        shown()->checkFile(f->writeFile(QStringLiteral("venda.xml"), document));
        QVERIFY(fileLine().startsWith(QStringLiteral("Venda: ")));
        compareWithRow(code, message);
    }

    void cancellationRows_data() { addCancellationRows(); }

    // On the model cancellation: the rows that compare it with what only the device holds find nothing here.
    void cancellationRows()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, code);
        QFETCH(QString, message);
        QFETCH(bool, deviceState);
        QByteArray document;
        const QByteArray key = "CFe" + QByteArray(44, '0');
        if (!brokenCancellation(example("cancelamento-modelo.xml"), key, from, to, document)) {
            QVERIFY2(deviceState, "the row should apply to the model cancellation");
            return;
        }
        shown()->checkFile(f->writeFile(QStringLiteral("cancelamento.xml"), document));
        if (!document.contains("<CFeCanc>")) {
            // A file is checked as what its root says: this one as a sale, and a broken one.
            QVERIFY(fileLine().startsWith(QStringLiteral("Venda: ")));
            QVERIFY(faults()->topLevelItemCount() > 0);
            return;
        }
        if (deviceState) {
            QCOMPARE(summary(), QStringLiteral("Nenhum problema encontrado"));
            return;
        }
        compareWithRow(code, message);
    }

    void everyFaultListed()
    {
        QByteArray document = example("venda-dois-itens.xml");
        QVERIFY(applyChanges(document, "<CFOP>5102</CFOP>||<cMP>03</cMP>", "<CFOP>1102</CFOP>||<cMP>07</cMP>"));
        shown()->checkFile(f->writeFile(QStringLiteral("duas.xml"), document));
        QStringList listed;
        for (int i = 0; i < faults()->topLevelItemCount(); ++i)
            listed << faults()->topLevelItem(i)->text(2) + u' ' + faults()->topLevelItem(i)->text(0);
        QCOMPARE(listed, QStringList({"1057 infCFe/det[1]/prod/CFOP", "1117 infCFe/pgto/MP[2]/cMP"}));
        QVERIFY(summary().startsWith(QStringLiteral("2 problemas encontrados")));
    }

    void unreadableFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "nao-existe.xml" << QString::fromUtf8("não existe");
        QTest::newRow("a folder") << "" << QStringLiteral("pasta");
    }

    void unreadableFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        shown()->checkFile(f->writeFile(QStringLiteral("antes.xml"), "<CFe/>"));
        QVERIFY(faults()->topLevelItemCount() > 0);
        shown()->checkFile(f->dir.filePath(name));
        QVERIFY2(summary().startsWith(QString::fromUtf8("Não foi possível ler o arquivo")), qPrintable(summary()));
        QVERIFY2(summary().contains(reason), qPrintable(summary()));
        QCOMPARE(faults()->topLevelItemCount(), 0);
    }

    // Corrected in an editor, the same file checked again.
    void checkedAgainAfterAFix()
    {
        const QString path = f->writeFile(QStringLiteral("venda.xml"), example("venda.xml").replace("<uCom>", "<uC>"));
        shown()->checkFile(path);
        QVERIFY(faults()->topLevelItemCount() > 0);
        f->writeFile(QStringLiteral("venda.xml"), example("venda.xml"));
        shown()->findChild<QAbstractButton*>("verificarDeNovo")->click();
        QCOMPARE(summary(), QStringLiteral("Nenhum problema encontrado"));
    }

    // Read no further than the device would take: a larger file is that much too large, not a long wait.
    void largerThanADeviceTakes()
    {
        QByteArray document = example("venda.xml");
        document.insert(document.indexOf("<CFe"), "<!--" + QByteArray(1600 * 1024, 'x') + "-->");
        shown()->checkFile(f->writeFile(QStringLiteral("grande.xml"), document));
        QCOMPARE(faults()->topLevelItemCount(), 1);
        QCOMPARE(faults()->topLevelItem(0)->text(0), QStringLiteral("documento"));
        QVERIFY(faults()->topLevelItem(0)->text(1).contains(QStringLiteral("1500 KB")));
    }
};

QTEST_MAIN(TestCheckWindow)
#include "tst_checkwindow.moc"
