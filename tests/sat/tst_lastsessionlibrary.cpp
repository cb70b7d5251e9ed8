// "Última Sessão Fiscal" with device libraries loaded at run time: one from before the function existed gets the
// missing-function box and the tool goes on; one that has it answers through it.
#include "app/mainwindow.h"
#include "callfailure.h"
#include "librarychoice.h"
#include "librarystatus.h"
#include "modalanswerer.h"
#include "satdevice.h"

#include <QAbstractButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

class TestLastSessionLibrary : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ModalAnswerer> modal;

    template <typename T> T* widget(const char* name) const { return window->findChild<T*>(QLatin1String(name)); }

private slots:
    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home->filePath(QStringLiteral("config")));
        qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(home->filePath(QStringLiteral("estado/estado.txt"))));
        qunsetenv("SAT_BIBLIOTECA");
        qunsetenv("SAT_EMULADOR_FALHA");
        modal = std::make_unique<ModalAnswerer>();
        window = std::make_unique<MainWindow>();
        installLibraryControls(window.get());
        SatDevice::instance().start();
        window->show();
        QTRY_VERIFY(SatDevice::instance().loaded());
    }

    void cleanup()
    {
        modal.reset();
        window.reset();
        takeCallFailure();
    }

    void withLibrariesOldAndNew_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<bool>("missing");
        QTest::newRow("a library from before the function") << QStringLiteral("libsat-antiga.so") << true;
        QTest::newRow("a library with it") << QStringLiteral("libsat-padrao.so") << false;
    }

    void withLibrariesOldAndNew()
    {
        QFETCH(QString, library);
        QFETCH(bool, missing);
        const QString path = QStringLiteral(SAT_TEST_LIBRARIES_DIR "/") + library;
        QVERIFY(SatDevice::instance().use(path, LibraryChoice::Source::Remembered).loaded);
        widget<QTextEdit>("Com")->setPlainText("antes");
        modal->then(ModalAnswerer::typeAndAccept("treino123"));
        widget<QAbstractButton>("UltimaSessaoFiscal")->click();

        QCOMPARE(modal->pendingActions(), 0);
        QCOMPARE(modal->boxes.size(), 1);
        const ModalAnswerer::Box box = modal->boxes.first();
        if (missing) {
            QCOMPARE(box.icon, QMessageBox::Critical);
            QVERIFY2(box.text.contains(QStringLiteral("ConsultarUltimaSessaoFiscal")), qPrintable(box.text));
            QVERIFY(box.text.contains(path));
            QCOMPARE(widget<QTextEdit>("Com")->toPlainText(), QString());
            QVERIFY(!widget<QAbstractButton>("Detalhes")->isEnabled());
        } else {
            // The emulator behind it is not activated: its refusal comes back as any answer does.
            QCOMPARE(box.icon, QMessageBox::Information);
            QVERIFY2(box.text.startsWith(QStringLiteral("19002")), qPrintable(box.text));
            QVERIFY(widget<QTextEdit>("Com")->toPlainText().contains(QStringLiteral("|19002|")));
        }
        // The tool goes on either way.
        modal->clear();
        widget<QAbstractButton>("pushButton_2")->click();
        QVERIFY(modal->boxes.value(0).text.startsWith(QStringLiteral("08000")));
    }
};

QTEST_MAIN(TestLastSessionLibrary)
#include "tst_lastsessionlibrary.moc"
