// The training walk-through of the README, clicked on the real window over the
// real emulator: each step must get the device's own answer. With SAT_CAPTURAS
// set to a folder, the window and each message box are saved there as PNG.

#include "app/commandstate.h"
#include "app/mainwindow.h"
#include "modalanswerer.h"

#include <QAbstractButton>
#include <QTabWidget>
#include <QTest>

#include <QDir>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>

class TestWalkthrough : public QObject {
    Q_OBJECT

private:
    QTemporaryDir stateDir;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ModalAnswerer> modal;
    QString captures;
    QString saleKey;
    int saleSession = -1;
    int shot = 0;

    template <typename T> T* widget(const char* name) const { return window->findChild<T*>(QLatin1String(name)); }

    void capture(QWidget* w, const QString& name)
    {
        if (!captures.isEmpty())
            w->grab().save(
                QDir(captures).filePath(QStringLiteral("%1-%2.png").arg(++shot, 2, 10, QLatin1Char('0')).arg(name)));
    }

    // Runs a step and returns the text of its one message box.
    QString step(const char* tab, const char* button, const QStringList& prompts = {})
    {
        auto* tabs = widget<QTabWidget>("tabWidget");
        tabs->setCurrentWidget(window->findChild<QWidget*>(QLatin1String(tab)));
        modal->clear();
        modal->beforeClosingBox
            = [this, button](QMessageBox* box) { capture(box, QStringLiteral("%1-caixa").arg(button)); };
        for (const QString& answer : prompts) {
            if (answer.startsWith(QLatin1Char('/')))
                modal->then(ModalAnswerer::chooseFile(answer));
            else
                modal->then(ModalAnswerer::typeAndAccept(answer));
        }
        window->findChild<QAbstractButton*>(QLatin1String(button))->click();
        capture(window.get(), QString::fromLatin1(button));
        if (modal->boxes.size() != 1 || !modal->unexpected.isEmpty() || modal->pendingActions() != 0)
            return QStringLiteral("<%1 boxes, unexpected %2>")
                .arg(modal->boxes.size())
                .arg(modal->unexpected.join(','));
        return modal->boxes.first().text;
    }

    QString com() const { return widget<QTextEdit>("Com")->toPlainText(); }

private slots:
    void initTestCase()
    {
        QVERIFY(stateDir.isValid());
        qputenv("SAT_EMULADOR_ESTADO", stateDir.filePath("estado.txt").toLocal8Bit());
        qunsetenv("SAT_EMULADOR_FALHA");
        qunsetenv("SAT_EMULADOR_AGORA");
        captures = qEnvironmentVariable("SAT_CAPTURAS");
        window = std::make_unique<MainWindow>();
        window->show();
        modal = std::make_unique<ModalAnswerer>();
    }

    void cleanupTestCase()
    {
        modal.reset();
        window.reset();
    }

    void factoryDeviceAnswersTheStateQuery() { QVERIFY(step("tab_7", "pushButton_2").startsWith("08000")); }

    void activate()
    {
        widget<QLineEdit>("cnpj")->setText("44555666000181");
        widget<QLineEdit>("CodAtivacao")->setText("treino123");
        widget<QLineEdit>("ConfCodigoAtivacao")->setText("treino123");
        const QString text = step("tab", "btAtivarSAT");
        QVERIFY2(text.startsWith("04000"), qPrintable(text));
        QCOMPARE(modal->boxes.first().title, QStringLiteral("Ativacao SAT"));
        QVERIFY(widget<QTextEdit>("textEdit_2")->toPlainText().startsWith("-----BEGIN CERTIFICATE REQUEST-----"));
    }

    void associateTheSignature()
    {
        widget<QLineEdit>("cnpjContribuinte")->setText("44555666000181");
        widget<QLineEdit>("cnpjSW")->setText("11222333000181");
        widget<QLineEdit>("assinaturaAC")->setText(QString(344, QLatin1Char('0')));
        const QString text = step("tab_2", "btAssociarAssinatura", {"treino123"});
        QVERIFY2(text.startsWith("13000"), qPrintable(text));
    }

    void endToEndTest()
    {
        const QString text = step("tab_6", "TesteFim_a_Fim", {"treino123"});
        QVERIFY2(text.startsWith("09000"), qPrintable(text));
    }

    void sellTheExample()
    {
        const QString text = step("tab_7", "Vende", {QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"), "treino123"});
        QVERIFY2(text.startsWith("06000") && text.endsWith("[0]"), qPrintable(text));
        const QRegularExpressionMatch key = QRegularExpression("Id=\"CFe(\\d{44})\"").match(com());
        QVERIFY2(key.hasMatch(), qPrintable(com().left(300)));
        saleKey = key.captured(1);
        saleSession = QByteArray(lastAnswer).split('|').value(0).toInt();
        QVERIFY(saleSession > 0);
    }

    void sessionQueryReturnsTheSaleAnswer()
    {
        const QString text = step("tab_7", "pushButton_4", {QString::number(saleSession), "treino123"});
        QVERIFY2(text.startsWith("11000"), qPrintable(text));
        QVERIFY2(com().startsWith(QStringLiteral("%1|06000|").arg(saleSession)), qPrintable(com().left(100)));
    }

    void cancelTheSale()
    {
        widget<QTextEdit>("Com")->setPlainText("antes");
        const QString text = step("tab_7", "cancelavenda",
                                  {stateDir.filePath("cancelamento-ultima-venda.xml"), "CFe" + saleKey, "treino123"});
        QVERIFY2(text.startsWith("07000"), qPrintable(text));
        QVERIFY(com().startsWith("antes\n"));
        QVERIFY(com().contains("<CFeCanc"));
        QVERIFY(com().contains(saleKey));
    }

    void operationalStatus()
    {
        const QString text = step("tab_7", "pushButton_3", {"treino123"});
        QVERIFY2(text.startsWith("10000"), qPrintable(text));
        QCOMPARE(com().count(QLatin1Char('|')), 27);
    }

    void blockedDeviceRefusesASale()
    {
        QVERIFY(step("tab_7", "Bloquear", {"treino123"}).contains("16000"));
        QVERIFY(
            step("tab_7", "Vende", {QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml"), "treino123"}).startsWith("06006"));
        QVERIFY(step("tab_7", "pushButton", {"treino123"}).startsWith("17000"));
    }

    void configureTheNetwork()
    {
        QVERIFY(step("tab_3", "btConfigurarInterfaceDeRede", {"treino123"}).startsWith("12000"));
    }

    void wrongCodeIsRefused() { QVERIFY(step("tab_7", "pushButton_3", {"errado123"}).startsWith("10001")); }

    void extractTheLog()
    {
        const QString text = step("tab_7", "Logs", {"treino123"});
        QVERIFY2(text.startsWith("15000"), qPrintable(text));
        QVERIFY(com().contains("|SAT|info|"));
    }

    void transportFaultReachesTheOperator()
    {
        qputenv("SAT_EMULADOR_FALHA", "8000");
        const QString text = step("tab_7", "pushButton_2");
        qunsetenv("SAT_EMULADOR_FALHA");
        QCOMPARE(modal->boxes.value(0).icon, QMessageBox::Critical);
        QVERIFY2(text.endsWith("[8000]"), qPrintable(text));
    }
};

QTEST_MAIN(TestWalkthrough)
#include "tst_walkthrough.moc"
