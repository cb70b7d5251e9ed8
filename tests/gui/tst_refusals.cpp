// The tool's own refusals, which stop a command before the device is called, must name their real cause: the
// operator cannot otherwise tell a limit of this tool from one of the device, or fix the file or the field.

#include "windowfixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

class TestRefusals : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;

    // The one critical box the command showed, with nothing sent to the device.
    QString onlyRefusal()
    {
        if (!SatDouble::calls().isEmpty())
            return QStringLiteral("the device was called");
        if (f->modal.boxes.size() != 1 || f->modal.boxes.first().icon != QMessageBox::Critical)
            return QStringLiteral("expected one critical box, got %1").arg(f->modal.boxes.size());
        return f->modal.boxes.first().text;
    }

private slots:
    void init()
    {
        f = std::make_unique<WindowFixture>();
        QVERIFY(f->dir.isValid());
    }

    void cleanup()
    {
        QVERIFY2(f->modal.unexpected.isEmpty(), qPrintable(f->modal.unexpected.join(", ")));
        QCOMPARE(f->modal.pendingActions(), 0);
        f.reset();
    }

    void refusedDocumentsSayWhy_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("replacedBy"); // what takes the file's place once it has been chosen
        QTest::addColumn<QStringList>("mentions");

        QByteArray utf16 = QByteArray::fromHex("fffe");
        for (char c : QByteArray("<CFe/>"))
            utf16 += QByteArray(1, c) + QByteArray(1, '\0');
        QTest::newRow("UTF-16") << utf16 << QString() << QStringList {"nulos", "UTF-16", "8 bits"};
        QTest::newRow("2 MiB") << QByteArray(2 * 1024 * 1024, 'a') << QString()
                               << QStringList {"2 MiB", "esta ferramenta", "2097151 bytes"};
        QTest::newRow("removed") << QByteArray("<CFe/>") << "nothing"
                                 << QStringList {QString::fromUtf8("Não foi possível ler"),
                                                 QString::fromUtf8("não existe")};
        // Root reads anything it may open, but not a folder.
        QTest::newRow("replaced by a folder")
            << QByteArray("<CFe/>") << "folder"
            << QStringList {QString::fromUtf8("Não foi possível ler"), QString::fromUtf8("é uma pasta")};
    }

    void refusedDocumentsSayWhy()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, replacedBy);
        QFETCH(QStringList, mentions);
        const QString path = f->dir.filePath("documento.xml");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        f->modal.then([path, replacedBy](QWidget* window) {
            ModalAnswerer::chooseFile(path)(window);
            if (!replacedBy.isEmpty())
                QFile::remove(path);
            if (replacedBy == "folder")
                QDir().mkdir(path);
        });
        f->click("Vende");

        const QString text = onlyRefusal();
        for (const QString& mention : mentions)
            QVERIFY2(text.contains(mention), qPrintable(text));
        // strerror's English must not reach the operator.
        for (const char* english : {"No such file", "Is a directory", "directory", "error"})
            QVERIFY2(!text.contains(QLatin1String(english), Qt::CaseInsensitive), qPrintable(text));
    }

    void aLongSignatureIsTheToolsLimit()
    {
        f->widget<QLineEdit>("cnpjContribuinte")->setText("44555666000181");
        f->widget<QLineEdit>("cnpjSW")->setText("11222333000181");
        auto* signature = f->widget<QLineEdit>("assinaturaAC");
        signature->setMaxLength(32767);
        signature->setText(QString(1024, QLatin1Char('A')));
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        f->click("btAssociarAssinatura");

        const QString text = onlyRefusal();
        for (const char* mention : {"esta ferramenta", "1023", "1024", "344"})
            QVERIFY2(text.contains(QLatin1String(mention)), qPrintable(text));
        QVERIFY2(!text.contains(QLatin1String("o SAT aceita")), qPrintable(text));
    }

    void networkValuesNameTheCharacterXmlCannotCarry_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("mentions");
        QTest::newRow("control character in the password")
            << QByteArray("SenhaDHCP") << QStringLiteral("a\x1bz")
            << QStringList {"\"Senha\"", "caractere de controle", "U+001B"};
        QTest::newRow("noncharacter in the user")
            << QByteArray("UsuarioDHCP") << QString(QChar(0xffff))
            << QStringList {QString::fromUtf8("\"Usuário\""), QString::fromUtf8("não caractere"), "U+FFFF"};
        QTest::newRow("lone surrogate in the proxy port") << QByteArray("PortProxy") << QString(QChar(0xd800)) + "80"
                                                          << QStringList {"\"Porta\"", "par substituto", "U+D800"};
        QTest::newRow("control character in the proxy password")
            << QByteArray("proxypasswd") << QStringLiteral("\x7fok\x01")
            << QStringList {"\"Senha do proxy\"", "caractere de controle", "U+0001"};
    }

    void networkValuesNameTheCharacterXmlCannotCarry()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, value);
        QFETCH(QStringList, mentions);
        f->widget<QComboBox>("ConfProxy")->setCurrentIndex(1);
        f->widget<QLineEdit>(field.constData())->setText(value);
        f->click("btConfigurarInterfaceDeRede_2");

        const QString text = onlyRefusal();
        for (const QString& mention : mentions)
            QVERIFY2(text.contains(mention), qPrintable(text));
    }

    void aValidSurrogatePairIsSent()
    {
        // U+1F600 as a pair: XML carries it, so the value goes to the device.
        f->widget<QLineEdit>("UsuarioDHCP")->setText(QString::fromUtf8("jo\xf0\x9f\x98\x80o"));
        f->click("btConfigurarInterfaceDeRede_2");
        QCOMPARE(SatDouble::calls().size(), 1);
        QVERIFY(f->modal.boxes.size() == 1 && f->modal.boxes.first().icon == QMessageBox::Information);
    }
};

QTEST_MAIN(TestRefusals)
#include "tst_refusals.moc"
