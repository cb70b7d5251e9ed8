#include "commands/report.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>

#include <cstring>

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;

    QStringList items(const char* combo) const
    {
        QStringList texts;
        auto* box = f->widget<QComboBox>(combo);
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    }

private slots:
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup() { f.reset(); }

    void objectsHaveTheirNamesAndClasses_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        const char* objects[][2] = {
            {"centralWidget", "QWidget"},
            {"tabWidget", "QTabWidget"},
            {"menuBar", "QMenuBar"},
            {"mainToolBar", "QToolBar"},
            {"statusBar", "QStatusBar"},
            {"toolBar", "QToolBar"},
            {"cnpj", "QLineEdit"},
            {"label_2", "QLabel"},
            {"CodAtivacao", "QLineEdit"},
            {"label_3", "QLabel"},
            {"ConfCodigoAtivacao", "QLineEdit"},
            {"label_4", "QLabel"},
            {"btAtivarSAT", "QPushButton"},
            {"TipoCertificado", "QComboBox"},
            {"label_15", "QLabel"},
            {"label_16", "QLabel"},
            {"UF", "QComboBox"},
            {"textEdit_2", "QTextEdit"},
            {"pushButton_5", "QPushButton"},
            {"textEdit_3", "QTextEdit"},
            {"TesteFim_a_Fim", "QPushButton"},
            {"cnpjContribuinte", "QLineEdit"},
            {"label_5", "QLabel"},
            {"label_6", "QLabel"},
            {"cnpjSW", "QLineEdit"},
            {"label_7", "QLabel"},
            {"assinaturaAC", "QLineEdit"},
            {"btAssociarAssinatura", "QPushButton"},
            {"groupBox", "QGroupBox"},
            {"label_8", "QLabel"},
            {"ipaddress", "QLineEdit"},
            {"label_9", "QLabel"},
            {"netmask", "QLineEdit"},
            {"label_10", "QLabel"},
            {"gateway", "QLineEdit"},
            {"DNS1", "QLabel"},
            {"dns1", "QLineEdit"},
            {"DNS2", "QLabel"},
            {"dns2", "QLineEdit"},
            {"groupBox_2", "QGroupBox"},
            {"label_11", "QLabel"},
            {"SenhaDHCP", "QLineEdit"},
            {"label_17", "QLabel"},
            {"UsuarioDHCP", "QLineEdit"},
            {"groupBox_3", "QGroupBox"},
            {"lProxyIP", "QLabel"},
            {"lProxyUser", "QLabel"},
            {"lSenha", "QLabel"},
            {"proxyuser", "QLineEdit"},
            {"proxypasswd", "QLineEdit"},
            {"ConfProxy", "QComboBox"},
            {"PortProxy", "QLineEdit"},
            {"lPortProxy", "QLabel"},
            {"ProxyIp", "QLineEdit"},
            {"radioButton", "QRadioButton"},
            {"radioButton_2", "QRadioButton"},
            {"btConfigurarInterfaceDeRede", "QPushButton"},
            {"progressBar", "QProgressBar"},
            {"btConfigurarInterfaceDeRede_2", "QPushButton"},
            {"Bloq", "QGroupBox"},
            {"Bloquear", "QPushButton"},
            {"pushButton", "QPushButton"},
            {"Consultas", "QGroupBox"},
            {"pushButton_2", "QPushButton"},
            {"pushButton_3", "QPushButton"},
            {"pushButton_4", "QPushButton"},
            {"Com", "QTextEdit"},
            {"Logs", "QPushButton"},
            {"Venda", "QGroupBox"},
            {"Vende", "QPushButton"},
            {"cancelavenda", "QPushButton"},
            {"Logs_3", "QPushButton"},
            {"groupBox_5", "QGroupBox"},
            {"btnatualizar", "QPushButton"},
            {"textEdit", "QTextEdit"},
            {"groupBox_6", "QGroupBox"},
            {"lne_codnovo", "QLineEdit"},
            {"label_12", "QLabel"},
            {"lne_codconf", "QLineEdit"},
            {"label_13", "QLabel"},
            {"label_14", "QLabel"},
            {"qcb_opcao", "QComboBox"},
            {"btn_alterar", "QPushButton"},
            {"label_20", "QLabel"},
            {"codatual", "QLineEdit"},
            {"actionSerial", "QAction"},
            {"actionSerial_2", "QAction"},
        };
        for (const auto& object : objects)
            QTest::newRow(object[0]) << QString::fromLatin1(object[0]) << QString::fromLatin1(object[1]);
    }

    void objectsHaveTheirNamesAndClasses()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QObject* object = f->window->findChild<QObject*>(name);
        QVERIFY2(object, qPrintable(name));
        QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);
    }

    void windowAndTabs()
    {
        QCOMPARE(f->window->size(), QSize(708, 635));
        QCOMPARE(f->window->windowTitle(), QString::fromUtf8("Tovira Comandos Ativação S@T-CFe Versão 01.01.00"));
        QVERIFY(!f->window->windowIcon().isNull());
        auto* tabs = f->widget<QTabWidget>("tabWidget");
        QCOMPARE(tabs->currentIndex(), 0);
        const QStringList pages = {"tab", "tab_4", "tab_6", "tab_2", "tab_3", "tab_7", "tab_5"};
        const QStringList titles
            = {"Ativar SAT", "Comunicar Certificado ICP",    "TesteFimAFim", "Associar Assinatura", "Configurar Rede",
               "Gerais",     QString::fromUtf8("Miscelânea")};
        QCOMPARE(tabs->count(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(tabs->widget(i)->objectName(), pages.at(i));
            QCOMPARE(tabs->tabText(i), titles.at(i));
        }
    }

    void selectorItems()
    {
        QCOMPARE(items("TipoCertificado"),
                 QStringList({"AC-SAT", "ICP-BRASIL", "RENOVACAO DO CERTIFICADO ICP-BRASIL"}));
        QCOMPARE(items("ConfProxy"), QStringList({"Sem Proxy", "Proxy com Configuracao", "Proxy Transparente"}));
        QCOMPARE(items("qcb_opcao"),
                 QStringList(
                     {QString::fromUtf8("Código de Ativação"), QString::fromUtf8("Código de Ativação de Emergência")}));
        const QStringList states = {"Sao Paulo",
                                    "Acre",
                                    "Amazonas",
                                    "Amapa",
                                    "Alagoas",
                                    "Bahia",
                                    "Ceara",
                                    "Distrito Federal",
                                    "Espirito Santo",
                                    "Goias",
                                    "Maranhao",
                                    "Mato Grosso",
                                    "Mato Grosso do Sul",
                                    "Minas Gerais",
                                    "Paraiba",
                                    "Parana",
                                    "Para",
                                    "Pernambuco",
                                    "Piaui",
                                    "Rio de Janeiro",
                                    "Rio Grande do Sul",
                                    "Rio Grande do Norte",
                                    "Rondonia",
                                    "Roraima",
                                    "Santa Catarina",
                                    "Sao Paulo",
                                    "Sergipe",
                                    "Tocantins"};
        QCOMPARE(items("UF"), states);
    }

    void initialStates()
    {
        QVERIFY(f->widget<QRadioButton>("radioButton")->isChecked());
        QVERIFY(!f->widget<QRadioButton>("radioButton_2")->isChecked());
        for (const char* name : {"label_8", "ipaddress", "label_9", "netmask", "label_10", "gateway", "DNS1", "dns1",
                                 "DNS2", "dns2", "progressBar"})
            QVERIFY2(!f->widget<QWidget>(name)->isEnabled(), name);
        for (const char* name : {"label_11", "SenhaDHCP", "label_17", "UsuarioDHCP", "ProxyIp", "PortProxy"})
            QVERIFY2(f->widget<QWidget>(name)->isEnabled(), name);
        auto* progress = f->widget<QProgressBar>("progressBar");
        QCOMPARE(progress->value(), 0);
        QCOMPARE(progress->maximum(), 100);

        for (const char* name : {"CodAtivacao", "ConfCodigoAtivacao", "codatual", "lne_codnovo", "lne_codconf"}) {
            auto* edit = f->widget<QLineEdit>(name);
            QCOMPARE(edit->maxLength(), 32);
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
        }
        for (const char* name : {"SenhaDHCP", "proxypasswd"})
            QCOMPARE(f->widget<QLineEdit>(name)->echoMode(), QLineEdit::Password);
        for (const char* name : {"ipaddress", "netmask", "gateway", "dns1", "dns2", "ProxyIp"}) {
            QCOMPARE(f->widget<QLineEdit>(name)->inputMask(), QStringLiteral("000.000.000.000;_"));
            QCOMPARE(f->widget<QLineEdit>(name)->text(), QStringLiteral("..."));
        }
        QVERIFY(f->widget<QLineEdit>("PortProxy")->inputMask().isEmpty());
        QVERIFY(f->widget<QTextEdit>("textEdit")->toPlainText().startsWith(QString::fromUtf8("Atenção:")));
        QVERIFY(f->widget<QTextEdit>("Com")->toPlainText().isEmpty());
    }

    void addressFieldsReadAsTheirGroups()
    {
        f->widget<QRadioButton>("radioButton_2")->click();
        auto* address = f->widget<QLineEdit>("ipaddress");
        address->setFocus();
        address->setCursorPosition(0);
        QTest::keyClicks(address, "192.168.0.1");
        QCOMPARE(address->text(), QStringLiteral("192.168.0.1"));
    }

    void certificateTypeSetsTheSubcommand()
    {
        auto* type = f->widget<QComboBox>("TipoCertificado");
        QCOMPARE(subcommand, 1);
        type->setCurrentIndex(1);
        QCOMPARE(subcommand, 2);
        type->setCurrentIndex(2);
        QCOMPARE(subcommand, 3);
        type->setCurrentIndex(0);
        QCOMPARE(subcommand, 1);
    }

    void stateSelectorSetsTheStateCode_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("code");
        QTest::newRow("Bahia") << ""
                               << "Bahia" << 29;
        QTest::newRow("Paraiba") << ""
                                 << "Paraiba" << 25;
        QTest::newRow("Para") << ""
                              << "Para" << 15;
        QTest::newRow("Parana") << ""
                                << "Parana" << 41;
        QTest::newRow("Rio Grande do Norte") << ""
                                             << "Rio Grande do Norte" << 24;
        QTest::newRow("Distrito Federal") << "Bahia"
                                          << "Distrito Federal" << 53;
        QTest::newRow("Goias after Bahia") << "Bahia"
                                           << "Goias" << 52;
        QTest::newRow("Mato Grosso") << "Bahia"
                                     << "Mato Grosso" << 51;
        QTest::newRow("Mato Grosso do Sul") << "Bahia"
                                            << "Mato Grosso do Sul" << 50;
    }

    void stateSelectorSetsTheStateCode()
    {
        QFETCH(QString, before);
        QFETCH(QString, state);
        QFETCH(int, code);
        auto* uf = f->widget<QComboBox>("UF");
        QCOMPARE(cUF, 35);
        if (!before.isEmpty())
            uf->setCurrentIndex(uf->findText(before));
        uf->setCurrentIndex(uf->findText(state));
        QCOMPARE(cUF, code);
    }

    void bothSaoPauloItemsGiveTheSameCode()
    {
        auto* uf = f->widget<QComboBox>("UF");
        uf->setCurrentIndex(uf->findText("Bahia"));
        uf->setCurrentIndex(25); // the second "Sao Paulo"
        QCOMPARE(uf->currentText(), QStringLiteral("Sao Paulo"));
        QCOMPARE(cUF, 35);
        uf->setCurrentIndex(uf->findText("Bahia"));
        uf->setCurrentIndex(0);
        QCOMPARE(cUF, 35);
    }

    void addressModeSwitchesTheFields()
    {
        const char* fixed[]
            = {"label_8", "label_9", "label_10", "ipaddress", "netmask", "gateway", "dns1", "DNS1", "dns2", "DNS2"};
        const char* automatic[] = {"label_11", "SenhaDHCP", "label_17", "UsuarioDHCP"};

        f->widget<QRadioButton>("radioButton_2")->click();
        for (const char* name : fixed)
            QVERIFY2(f->widget<QWidget>(name)->isEnabled(), name);
        for (const char* name : automatic)
            QVERIFY2(!f->widget<QWidget>(name)->isEnabled(), name);

        f->widget<QRadioButton>("radioButton")->click();
        for (const char* name : fixed)
            QVERIFY2(!f->widget<QWidget>(name)->isEnabled(), name);
        for (const char* name : automatic)
            QVERIFY2(f->widget<QWidget>(name)->isEnabled(), name);
    }

    void timerEventAdvancesAndShowsTheBar()
    {
        auto* progress = f->widget<QProgressBar>("progressBar");
        progress->setMaximum(20);
        progress->setValue(5);
        progress->setVisible(false);
        QMetaObject::invokeMethod(f->window.get(), "TimerEvent");
        QCOMPARE(progress->value(), 6);
        QVERIFY(!progress->isHidden());
    }

    void languageChangePutsTheFormBack()
    {
        f->widget<QLineEdit>("cnpj")->setText("11222333000181");
        f->widget<QComboBox>("UF")->setCurrentIndex(5);
        f->widget<QComboBox>("TipoCertificado")->setCurrentIndex(2);
        QCOMPARE(cUF, 29);
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(f->window.get(), &change);
        QVERIFY(f->widget<QLineEdit>("cnpj")->text().isEmpty());
        QCOMPARE(f->widget<QComboBox>("UF")->currentIndex(), 0);
        QCOMPARE(f->widget<QComboBox>("TipoCertificado")->currentIndex(), 0);
        QCOMPARE(cUF, 35);
        QCOMPARE(subcommand, 1);
    }

    void fixedMessageReport_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("critical");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << false << "information";
        QTest::newRow("1") << 1 << true << QString::fromUtf8("Porta de comunicação não conectada.");
        QTest::newRow("2") << 2 << false << "information";
        QTest::newRow("4") << 4 << true << QString::fromUtf8("Comando recebido do equipamento não reconhecido.");
        QTest::newRow("0x8000") << 0x8000 << true
                                << QString::fromUtf8("TimeOut: Equipamento não está respondendo as mensagens.");
        QTest::newRow("0x8001") << 0x8001 << true << "Sem Sinal CTS.";
        QTest::newRow("-1") << -1 << false << "information";
    }

    void fixedMessageReport()
    {
        QFETCH(int, code);
        QFETCH(bool, critical);
        QFETCH(QString, text);
        ErroSAT record {code, "M"};
        const bool goOn = ::fixedMessageReport(f->window.get(), record, "Titulo", "information");
        QCOMPARE(goOn, !critical);
        QCOMPARE(f->modal.boxes.size(), 1);
        const ModalAnswerer::Box box = f->modal.boxes.first();
        QCOMPARE(box.icon, critical ? QMessageBox::Critical : QMessageBox::Information);
        QCOMPARE(box.title, QStringLiteral("Titulo"));
        QCOMPARE(box.text, text);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box.parent, f->window.get());
    }

    void formattedReport_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("critical");
        QTest::addColumn<QString>("formatted");
        QTest::newRow("0") << 0 << false << "M [0]";
        QTest::newRow("1") << 1 << true << "M [1]";
        QTest::newRow("2") << 2 << false << "M [2]";
        QTest::newRow("4") << 4 << false << "M [4]";
        QTest::newRow("0x8000") << 0x8000 << true << "M [8000]";
        QTest::newRow("0x8001") << 0x8001 << true << "M [8001]";
        QTest::newRow("-1") << -1 << false << "M [ffffffff]";
    }

    void formattedReport()
    {
        QFETCH(int, code);
        QFETCH(bool, critical);
        QFETCH(QString, formatted);
        ErroSAT record {code, "M"};
        QCOMPARE(QString::fromUtf8(formattedText(record)), formatted);
        ::formattedReport(f->window.get(), record, "Titulo", "information");
        QCOMPARE(f->modal.boxes.size(), 1);
        const ModalAnswerer::Box box = f->modal.boxes.first();
        QCOMPARE(box.icon, critical ? QMessageBox::Critical : QMessageBox::Information);
        QCOMPARE(box.title, QStringLiteral("Titulo"));
        QCOMPARE(box.text, critical ? formatted : QStringLiteral("information"));
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void recordMessageStopsAtItsField()
    {
        // A library that fills the whole field leaves no NUL: the text stops at 300 bytes.
        ErroSAT record;
        record.codigo = 0;
        std::memset(record.mensagem, 'x', sizeof record.mensagem);
        QCOMPARE(recordMessage(record), QByteArray(300, 'x'));
        QCOMPARE(formattedText(record), QByteArray(300, 'x') + " [0]");
    }

    void stateQueryReportsTheRecord_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("critical");
        QTest::addColumn<QString>("text");
        QTest::newRow("in operation") << 0 << false << QString::fromUtf8("08000 - SAT em operação [0]");
        QTest::newRow("time-out") << 0x8000 << true << QString::fromUtf8("08000 - SAT em operação [8000]");
        QTest::newRow("not recognised") << 4 << false << QString::fromUtf8("08000 - SAT em operação [4]");
    }

    void stateQueryReportsTheRecord()
    {
        QFETCH(int, code);
        QFETCH(bool, critical);
        QFETCH(QString, text);
        SatDouble::script(code, "08000 - SAT em operação", "123|08000|SAT em operacao||");
        f->widget<QTextEdit>("Com")->setPlainText("antes");
        f->click("pushButton_2");

        const QList<SatDouble::Call> calls = SatDouble::calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().function, QByteArray("ConsultarSAT"));
        QCOMPARE(calls.first().arguments.size(), 1);
        QVERIFY(calls.first().session() >= 0 && calls.first().session() <= 999999);
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->modal.boxes.first().icon, critical ? QMessageBox::Critical : QMessageBox::Information);
        QCOMPARE(f->modal.boxes.first().title, QStringLiteral("ConsultarSAT"));
        QCOMPARE(f->modal.boxes.first().text, text);
        // The answer is shown nowhere.
        QCOMPARE(f->widget<QTextEdit>("Com")->toPlainText(), QStringLiteral("antes"));
    }

    void eachButtonRunsItsOwnCommand_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("function");
        QTest::newRow("btAtivarSAT") << "btAtivarSAT" << QByteArray("AtivarSAT");
        QTest::newRow("btAssociarAssinatura") << "btAssociarAssinatura" << QByteArray("AssociarAssinatura");
        QTest::newRow("btn_alterar") << "btn_alterar" << QByteArray("TrocarCodigoDeAtivacao");
        QTest::newRow("pushButton_5") << "pushButton_5" << QByteArray("ComunicarCertificadoICPBRASIL");
        QTest::newRow("pushButton_2") << "pushButton_2" << QByteArray("ConsultarSAT");
        QTest::newRow("pushButton_3") << "pushButton_3" << QByteArray("ConsultarStatusOperacional");
        QTest::newRow("pushButton_4") << "pushButton_4" << QByteArray("ConsultarNumeroSessao");
        QTest::newRow("Bloquear") << "Bloquear" << QByteArray("BloquearSAT");
        QTest::newRow("pushButton") << "pushButton" << QByteArray("DesbloquearSAT");
        QTest::newRow("btnatualizar") << "btnatualizar" << QByteArray("AtualizarSoftwareSAT");
        QTest::newRow("TesteFim_a_Fim") << "TesteFim_a_Fim" << QByteArray("TesteFimAFim");
        QTest::newRow("Vende") << "Vende" << QByteArray("EnviarDadosVenda");
        QTest::newRow("cancelavenda") << "cancelavenda" << QByteArray("CancelarUltimaVenda");
        QTest::newRow("Logs") << "Logs" << QByteArray("ExtrairLogs");
        QTest::newRow("Logs_3") << "Logs_3" << QByteArray("ExtrairLogs");
        QTest::newRow("btConfigurarInterfaceDeRede")
            << "btConfigurarInterfaceDeRede" << QByteArray("ConfigurarInterfaceDeRede");
        QTest::newRow("btConfigurarInterfaceDeRede_2")
            << "btConfigurarInterfaceDeRede_2" << QByteArray("ConfigurarInterfaceDeRede");
    }

    void eachButtonRunsItsOwnCommand()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, function);
        for (const char* name : {"cnpj", "cnpjContribuinte", "cnpjSW"})
            f->widget<QLineEdit>(name)->setText("11222333000181");
        for (const char* name : {"CodAtivacao", "ConfCodigoAtivacao", "codatual", "lne_codnovo", "lne_codconf"})
            f->widget<QLineEdit>(name)->setText("12345678");
        // File dialogs are cancelled (an empty document goes); prompts get a code.
        f->modal.otherwise([](QWidget* window) {
            if (window->inherits("QFileDialog"))
                ModalAnswerer::cancelFileDialog()(window);
            else
                ModalAnswerer::typeAndAccept("12345678")(window);
        });
        f->click(button.toLatin1().constData());
        const QList<SatDouble::Call> calls = SatDouble::calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().function, function);
        QVERIFY(f->modal.unexpected.isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
