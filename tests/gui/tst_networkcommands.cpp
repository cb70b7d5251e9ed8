#include "windowfixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>

using Call = SatDouble::Call;

class TestNetworkCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;

    void type(const char* name, const QString& text)
    {
        auto* edit = f->widget<QLineEdit>(name);
        edit->setFocus();
        edit->setCursorPosition(0);
        QTest::keyClicks(edit, text);
    }

    QByteArray sentDocument() const { return SatDouble::calls().value(0).arguments.value(2); }

private slots:
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup()
    {
        QVERIFY2(f->modal.unexpected.isEmpty(), qPrintable(f->modal.unexpected.join(", ")));
        QCOMPARE(f->modal.pendingActions(), 0);
        f.reset();
    }

    void fixedAddressFromTheForm()
    {
        f->widget<QRadioButton>("radioButton_2")->click();
        type("ipaddress", "192.168.0.10");
        type("netmask", "255.255.255.0");
        type("gateway", "192.168.0.1");
        type("dns1", "192.168.0.2");
        type("dns2", "10.1.1.1");
        f->click("btConfigurarInterfaceDeRede_2");
        QCOMPARE(SatDouble::calls().size(), 1);
        QCOMPARE(SatDouble::calls().first().function, QByteArray("ConfigurarInterfaceDeRede"));
        QCOMPARE(SatDouble::calls().first().arguments.value(1), QByteArray("31415926"));
        QCOMPARE(sentDocument(),
                 QByteArray("<?xml version=\"1.0\"?>\n<config><tipoInter>ETHE</tipoInter><tipoLan>IPFIX</tipoLan>"
                            "<lanIP>192.168.000.010</lanIP><lanMask>255.255.255.000</lanMask>"
                            "<lanGW>192.168.000.001</lanGW><lanDNS1>192.168.000.002</lanDNS1>"
                            "<lanDNS2>010.001.001.001</lanDNS2><proxy>0</proxy><proxy_ip/><proxy_porta/>"
                            "<proxy_user/><proxy_senha/></config>\n"));
    }

    void dhcpWithAProxyFromTheForm()
    {
        f->widget<QLineEdit>("UsuarioDHCP")->setText(QString::fromUtf8("joão"));
        f->widget<QLineEdit>("SenhaDHCP")->setText("a&b");
        f->widget<QComboBox>("ConfProxy")->setCurrentIndex(1);
        type("ProxyIp", "10.0.0.1");
        f->widget<QLineEdit>("PortProxy")->setText("3128");
        f->widget<QLineEdit>("proxyuser")->setText("u");
        f->click("btConfigurarInterfaceDeRede_2");
        QCOMPARE(sentDocument(),
                 QByteArray("<?xml version=\"1.0\"?>\n<config><tipoInter>ETHE</tipoInter><tipoLan>DHCP</tipoLan>"
                            "<usuario>jo&#xE3;o</usuario><senha>a&amp;b</senha><proxy>1</proxy>"
                            "<proxy_ip>010.000.000.001</proxy_ip><proxy_porta>3128</proxy_porta>"
                            "<proxy_user>u</proxy_user><proxy_senha></proxy_senha></config>\n"));
    }

    void pastedControlCharactersAreRefused()
    {
        f->widget<QLineEdit>("SenhaDHCP")->setText(QStringLiteral("a\x03z"));
        f->click("btConfigurarInterfaceDeRede_2");
        QVERIFY(SatDouble::calls().isEmpty());
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->modal.boxes.first().icon, QMessageBox::Critical);
        QVERIFY2(f->modal.boxes.first().text.contains("\"Senha\""), qPrintable(f->modal.boxes.first().text));

        // With a fixed address the DHCP password is not sent, so it does not matter.
        f->modal.clear();
        f->widget<QRadioButton>("radioButton_2")->click();
        f->click("btConfigurarInterfaceDeRede_2");
        QCOMPARE(SatDouble::calls().size(), 1);
    }

    void activationCodeRule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("dismiss");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("7 characters") << "1234567" << false << QByteArray("31415926");
        QTest::newRow("empty") << "" << false << QByteArray("31415926");
        QTest::newRow("dismissed empty") << "" << true << QByteArray("31415926");
        QTest::newRow("8 characters") << "12345678" << false << QByteArray("12345678");
        QTest::newRow("8 characters, dismissed") << "12345678" << true << QByteArray("12345678");
    }

    void activationCodeRule()
    {
        QFETCH(QString, typed);
        QFETCH(bool, dismiss);
        QFETCH(QByteArray, sent);
        f->modal.then(dismiss ? ModalAnswerer::typeAndEscape(typed) : ModalAnswerer::typeAndAccept(typed));
        f->click("btConfigurarInterfaceDeRede");
        QCOMPARE(SatDouble::calls().size(), 1);
        QCOMPARE(SatDouble::calls().first().arguments.value(1), sent);
    }

    void report_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << int(QMessageBox::Information) << QString::fromUtf8("12000 - Rede é");
        QTest::newRow("4") << 4 << int(QMessageBox::Information) << QString::fromUtf8("12000 - Rede é");
        QTest::newRow("0x8000") << 0x8000 << int(QMessageBox::Critical) << QString::fromUtf8("12000 - Rede é [8000]");
    }

    void report()
    {
        QFETCH(int, code);
        QFETCH(int, icon);
        QFETCH(QString, text);
        SatDouble::script(code, "12000 - Rede \xc3\xa9", "1|12000|x||");
        f->click("btConfigurarInterfaceDeRede_2");
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(int(f->modal.boxes.first().icon), icon);
        QCOMPARE(f->modal.boxes.first().title, QStringLiteral("Configurar Rede"));
        QCOMPARE(f->modal.boxes.first().text, text);
        QCOMPARE(f->modal.boxes.first().parent, f->window.get());
    }

    void progressBarAroundTheCall()
    {
        auto* progress = f->widget<QProgressBar>("progressBar");
        progress->setValue(37);
        int valueDuringCall = -1;
        int maximumDuringCall = -1;
        SatDouble::onCall([&] {
            valueDuringCall = progress->value();
            maximumDuringCall = progress->maximum();
        });
        int valueWhileTheBoxWasOpen = -1;
        f->modal.beforeClosingBox = [&](QMessageBox*) { valueWhileTheBoxWasOpen = progress->value(); };
        f->click("btConfigurarInterfaceDeRede_2");
        QCOMPARE(valueDuringCall, 0);
        QCOMPARE(maximumDuringCall, 20);
        QCOMPARE(valueWhileTheBoxWasOpen, 20);
        QCOMPARE(progress->value(), 0);
        // The timer of the call is gone with it.
        QCOMPARE(f->window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly).size(), 0);
    }
};

QTEST_MAIN(TestNetworkCommands)
#include "tst_networkcommands.moc"
