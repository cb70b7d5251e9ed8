// "Venda de teste...": the form of a test sale on the recording double. Each field is checked as it is typed and says
// why it is wrong; a wrong field keeps the document from being saved or sold; a right one is saved where the user
// chooses and sold through the sale command's own steps.
#include "checkwindow.h"
#include "documentfaults.h"
#include "documentwindows.h"
#include "results/resultlist.h"
#include "results/runresults.h"
#include "saledraft.h"
#include "testsalefill.h"
#include "windowfixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

using namespace satresults;
using namespace testsalefill;

class TestTestSaleForm : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;

    TestSaleWindow* open()
    {
        f->click("VendaTeste");
        return DocumentWindows::of(f->window.get())->testSaleWindow();
    }

    static QString fault(QWidget* shown) { return shown->property("falha").toString(); }
    static QString message(TestSaleWindow* form) { return field<QLabel>(form, "mensagem")->text(); }

    // The fields of the form that are marked as wrong, by object name.
    static QStringList marked(TestSaleWindow* form)
    {
        QStringList names;
        for (QWidget* shown : form->findChildren<QWidget*>())
            if (!fault(shown).isEmpty())
                names << (shown->objectName().isEmpty() ? QStringLiteral("<sem nome>") : shown->objectName());
        names.sort();
        return names;
    }

    void click(TestSaleWindow* form, const char* button) { field<QAbstractButton>(form, button)->click(); }

private slots:
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup()
    {
        QVERIFY2(f->modal.unexpected.isEmpty(), qPrintable(f->modal.unexpected.join(", ")));
        QCOMPARE(f->modal.pendingActions(), 0);
        f.reset();
    }

    void prefilledFromTheAssociationTab()
    {
        f->widget<QLineEdit>("cnpjContribuinte")->setText("44555666000181");
        f->widget<QLineEdit>("cnpjSW")->setText("11222333000181");
        f->widget<QLineEdit>("assinaturaAC")->setText(QString(344, QLatin1Char('A')));
        TestSaleWindow* form = open();
        QVERIFY(form->isVisible());
        QCOMPARE(field<QLineEdit>(form, "cnpjEmitente")->text(), QStringLiteral("44555666000181"));
        QCOMPARE(field<QLineEdit>(form, "cnpjSoftwareHouse")->text(), QStringLiteral("11222333000181"));
        QCOMPARE(field<QLineEdit>(form, "assinatura")->text(), QString(344, QLatin1Char('A')));

        // What is typed in the form stays while the tab is the same...
        type(form, "cnpjEmitente", QStringLiteral("11222333000181"));
        form->close();
        QCOMPARE(open(), form);
        QCOMPARE(field<QLineEdit>(form, "cnpjEmitente")->text(), QStringLiteral("11222333000181"));
        // ...and gives way to what is typed there next; an emptied tab takes nothing away.
        f->widget<QLineEdit>("cnpjSW")->setText("44555666000181");
        f->widget<QLineEdit>("assinaturaAC")->clear();
        open();
        QCOMPARE(field<QLineEdit>(form, "cnpjSoftwareHouse")->text(), QStringLiteral("44555666000181"));
        QCOMPARE(field<QLineEdit>(form, "assinatura")->text(), QString(344, QLatin1Char('A')));
        QCOMPARE(field<QLineEdit>(form, "cnpjEmitente")->text(), QStringLiteral("11222333000181"));
    }

    void filledFormHasNothingMarked()
    {
        TestSaleWindow* form = open();
        QVERIFY(!marked(form).isEmpty()); // an empty form is not a sale
        fillShop(form);
        QCOMPARE(marked(form), QStringList());
        QVERIFY(form->faults().isEmpty());
        QVERIFY2(message(form).startsWith(QStringLiteral("Nenhum problema encontrado")), qPrintable(message(form)));
        QVERIFY(field<QLabel>(form, "valores")->text().contains(QStringLiteral("Troco: R$ 4,20")));
    }

    void wrongFieldRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("rule"); // what the field's mark must say
        QTest::newRow("taxpayer CNPJ check digit") << "cnpjEmitente"
                                                   << "44555666000182"
                                                   << "digito verificador";
        QTest::newRow("IE with letters") << "ie"
                                         << "ISENTO"
                                         << "de 2 a 14 digitos";
        QTest::newRow("signature cut short") << "assinatura"
                                             << "AAAA"
                                             << "344 caracteres";
        QTest::newRow("checkout number of four digits") << "numeroCaixa"
                                                        << "1234"
                                                        << "3 digitos";
        QTest::newRow("CPF check digit") << "consumidor"
                                         << "123.456.789-00"
                                         << "digito verificador";
        QTest::newRow("consumer of 12 digits") << "consumidor"
                                               << "123456789012"
                                               << "CPF, de 11";
        QTest::newRow("CFOP of an entry") << "cfop"
                                          << "1102"
                                          << "5, 6 ou 7";
        QTest::newRow("unit price of four decimals") << "valorUnitario"
                                                     << "12,9001"
                                                     << "casas decimais";
        QTest::newRow("quantity zero") << "quantidade"
                                       << "0"
                                       << "maior que zero";
        QTest::newRow("unit of seven characters") << "unidade"
                                                  << "CAIXA12"
                                                  << "de 1 a 6 caracteres";
        QTest::newRow("payment in letters") << "pagamento"
                                            << "trinta"
                                            << "casas decimais";
        QTest::newRow("payment short of the total") << "valores"
                                                    << "25,79"
                                                    << "menor que o total";
    }

    // Typed key by key: the field says why at once, the line under the form names the first fault, and neither
    // "Salvar..." nor "Venda" goes on.
    void wrongFieldRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(QString, rule);
        TestSaleWindow* form = open();
        fillShop(form);
        QLineEdit* edit = name == u"pagamento" || name == u"valores" ? paymentAmount(form, 0)
                                                                     : field<QLineEdit>(form, qPrintable(name));
        edit->clear();
        QTest::keyClicks(edit, typed);

        QWidget* shown = name == u"pagamento" ? edit : form->findChild<QWidget*>(name);
        QCOMPARE(form->faults().size(), 1);
        const QString text = form->faults().first().text();
        QVERIFY2(text.contains(rule), qPrintable(text));
        QCOMPARE(fault(shown), text);
        QCOMPARE(shown->toolTip(), text);
        QCOMPARE(message(form), QStringLiteral("1 problema. ") + text);
        QCOMPARE(form->faults().first().text(), checkSaleDraft(form->draft()).value(0).text());

        click(form, "salvar");
        click(form, "vender");
        QCOMPARE(f->modal.boxes.size(), 2);
        QCOMPARE(f->modal.boxes.at(0).title, QStringLiteral("Salvar venda de teste"));
        QCOMPARE(f->modal.boxes.at(1).title, QStringLiteral("Venda de teste"));
        for (const ModalAnswerer::Box& box : f->modal.boxes) {
            QCOMPARE(box.icon, QMessageBox::Critical);
            QVERIFY2(box.text.contains(text), qPrintable(box.text));
        }
        QVERIFY(f->modal.boxes.at(1).text.startsWith(QStringLiteral("Nada foi enviado ao SAT")));
        QVERIFY(SatDouble::calls().isEmpty());

        // Put right, the mark goes and the field's own help comes back.
        if (name == u"pagamento" || name == u"valores")
            edit->setText(QStringLiteral("30,00"));
        else if (name == u"consumidor")
            edit->clear();
        else
            fillShop(form);
        QCOMPARE(marked(form), QStringList());
        QVERIFY(!shown->toolTip().isEmpty());
    }

    void soldThroughTheSaleCommand()
    {
        TestSaleWindow* form = open();
        fillShop(form, QStringLiteral("3"));
        const QByteArray receipt = "<CFe><infCFe Id=\"CFe1\"/></CFe>";
        SatDouble::script(0, "06000 - Emitido com sucesso", "77|06000|0000|Emitido|||" + receipt.toBase64() + "|x");
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        click(form, "vender");

        QCOMPARE(f->modal.promptsSeen, QStringList {"Dialog"});
        const QList<SatDouble::Call> calls = SatDouble::calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().function, QByteArray("EnviarDadosVenda"));
        QCOMPARE(calls.first().arguments.mid(1), QList<QByteArray>({"12345678", composeSaleDocument(form->draft())}));
        QVERIFY(checkDocument(calls.first().arguments.value(2)).faults.isEmpty());
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->modal.boxes.first().title, QStringLiteral("Venda"));
        QCOMPARE(f->modal.boxes.first().text, QStringLiteral("06000 - Emitido com sucesso [0]"));
        QCOMPARE(f->widget<QTextEdit>("Com")->toPlainText(), QString::fromLatin1(receipt));
        const ResultList* results = RunResults::of(f->window.get())->list();
        QCOMPARE(results->rowCount(), 1);
        QCOMPARE(results->at(0).kind, CommandResult::Kind::Sale);
        QCOMPARE(results->at(0).command, QStringLiteral("Venda"));
    }

    void dismissedCodePromptSendsNothing()
    {
        TestSaleWindow* form = open();
        fillShop(form);
        f->modal.then(ModalAnswerer::typeAndEscape("12345678"));
        click(form, "vender");
        QVERIFY(SatDouble::calls().isEmpty());
        QVERIFY(f->modal.boxes.isEmpty());
    }

    void savedWhereTheUserChooses()
    {
        TestSaleWindow* form = open();
        fillShop(form, QStringLiteral("2"));
        const QString path = f->dir.filePath(QStringLiteral("minha-venda.xml"));
        f->modal.then(ModalAnswerer::chooseFile(path));
        click(form, "salvar");
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray content = saved.readAll();
        QCOMPARE(content, composeSaleDocument(form->draft()));
        QVERIFY(checkDocument(content).faults.isEmpty());
        QVERIFY(f->modal.boxes.isEmpty());
        QVERIFY(message(form).contains(QDir::toNativeSeparators(path)));

        // Given up in the dialog, nothing is written.
        QVERIFY(saved.remove());
        f->modal.then(ModalAnswerer::cancelFileDialog());
        click(form, "salvar");
        QVERIFY(!QFile::exists(path));
    }

    void taxesFollowTheRegimeAndTheService()
    {
        TestSaleWindow* form = open();
        fillShop(form, QStringLiteral("1"));
        QCOMPARE(field<QComboBox>(form, "tributacao")->currentData().toString(), QStringLiteral("102"));
        QCOMPARE(field<QComboBox>(form, "pisCofins")->currentData().toString(), QStringLiteral("49"));
        QVERIFY(!field<QLineEdit>(form, "aliquotaIcms")->isEnabled());

        choose(form, "regime", QStringLiteral("3"));
        QCOMPARE(field<QComboBox>(form, "tributacao")->currentData().toString(), QStringLiteral("00"));
        QCOMPARE(field<QLineEdit>(form, "aliquotaIcms")->text(), QStringLiteral("18.00"));
        QVERIFY(field<QLineEdit>(form, "aliquotaIcms")->isEnabled());
        QCOMPARE(field<QComboBox>(form, "pisCofins")->currentData().toString(), QStringLiteral("01"));
        QCOMPARE(field<QComboBox>(form, "tributacao")->findData(QStringLiteral("102")), -1);
        QCOMPARE(marked(form), QStringList());

        // A service: its CFOP, and the municipal registration it needs.
        choose(form, "tributacao", kServiceTax);
        QCOMPARE(field<QLineEdit>(form, "cfop")->text(), QStringLiteral("5933"));
        QVERIFY(field<QLineEdit>(form, "aliquotaIss")->isEnabled());
        QVERIFY(!field<QLineEdit>(form, "aliquotaIcms")->isEnabled());
        QCOMPARE(marked(form), QStringList {"im"});
        QVERIFY2(fault(field<QLineEdit>(form, "im")).contains(QStringLiteral("emit/IM")),
                 qPrintable(fault(field<QLineEdit>(form, "im"))));
        type(form, "im", QStringLiteral("123123"));
        QCOMPARE(marked(form), QStringList());
    }

    void itemsAndPayments()
    {
        TestSaleWindow* form = open();
        fillShop(form);
        auto* table = field<QTableWidget>(form, "itens");
        click(form, "adicionarItem");
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->currentRow(), 1);
        QCOMPARE(field<QLineEdit>(form, "codigo")->text(), QString());
        // The new item's empty fields are marked on the editor and on its row, not on the first item's.
        QVERIFY(marked(form).contains(QStringLiteral("codigo")));
        QVERIFY(table->item(0, 1)->toolTip().isEmpty());
        type(form, "codigo", QStringLiteral("0002"));
        type(form, "descricao", QStringLiteral("Pão"));
        type(form, "valorUnitario", QStringLiteral("4,20"));
        QCOMPARE(table->item(1, 6)->text(), QStringLiteral("4,20"));
        table->setCurrentCell(0, 0);
        QCOMPARE(field<QLineEdit>(form, "codigo")->text(), QStringLiteral("0001"));
        QCOMPARE(form->draft().items.size(), 2);
        QCOMPARE(form->draft().items.at(1).description, QStringLiteral("Pão"));

        // 20,00 in cash falls short of 30,00: one more payment comes with what is still missing.
        QVERIFY(form->faults().isEmpty());
        paymentAmount(form, 0)->setText(QStringLiteral("20"));
        QCOMPARE(form->faults().size(), 1);
        QCOMPARE(form->faults().first().field, DraftFault::Field::Payments);
        QVERIFY(field<QLabel>(form, "valores")->text().contains(QStringLiteral("Falta: R$ 10,00")));
        click(form, "adicionarPagamento");
        QCOMPARE(paymentAmount(form, 1)->text(), QStringLiteral("10,00"));
        QVERIFY(form->faults().isEmpty());

        click(form, "removerItem");
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(form->draft().items.first().description, QStringLiteral("Pão"));
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("1"));
        click(form, "removerItem");
        QVERIFY(form->draft().items.isEmpty());
        QVERIFY(!field<QWidget>(form, "codigo")->isEnabled());
        QCOMPARE(form->faults().first().field, DraftFault::Field::Items);
        QVERIFY(message(form).contains(QStringLiteral("Itens")));
    }

    // Kept for the run, with the main window; a new run starts empty.
    void rememberedForTheRunOnly()
    {
        TestSaleWindow* form = open();
        fillShop(form);
        form->close();
        QCOMPARE(field<QLineEdit>(open(), "cnpjEmitente")->text(), QStringLiteral("44.555.666/0001-81"));
        f = std::make_unique<WindowFixture>();
        QCOMPARE(field<QLineEdit>(open(), "cnpjEmitente")->text(), QString());
    }

    // The form and the check are no reason to keep the tool running once its main window is closed. Last: the
    // application's own event loop runs, and ends, here.
    void closingTheMainWindowEndsTheRun()
    {
        f->window->show();
        TestSaleWindow* form = open();
        f->modal.then(ModalAnswerer::chooseFile(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml")));
        f->click("VerificarXml");
        QVERIFY(form->isVisible());
        QVERIFY(DocumentWindows::of(f->window.get())->checkWindow()->isVisible());
        QTimer::singleShot(0, f->window.get(), [this] { f->window->close(); });
        QTimer::singleShot(3000, qApp, [] { QCoreApplication::exit(1); }); // still running: a window kept it
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(TestTestSaleForm)
#include "tst_testsaleform.moc"
