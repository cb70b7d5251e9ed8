#pragma once

// The real main window over the project's emulator, on a device state of its own: activated and associated with the
// example's taxpayer and software house, so a test goes straight to the commands it is about.

#include "app/mainwindow.h"
#include "modalanswerer.h"

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QSize>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class EmulatorWindow {
protected:
    QTemporaryDir stateDir;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ModalAnswerer> modal;

    template <typename T> T* widget(const char* name) const { return window->findChild<T*>(QLatin1String(name)); }

    // Runs a command and returns the text of its one message box; a prompt starting with '/' is a file to choose.
    QString step(const char* button, const QStringList& prompts = {})
    {
        modal->clear();
        for (const QString& answer : prompts) {
            if (answer.startsWith(QLatin1Char('/')))
                modal->then(ModalAnswerer::chooseFile(answer));
            else
                modal->then(ModalAnswerer::typeAndAccept(answer));
        }
        widget<QAbstractButton>(button)->click();
        if (modal->boxes.size() != 1 || !modal->unexpected.isEmpty() || modal->pendingActions() != 0)
            return QStringLiteral("<%1 boxes, unexpected %2>")
                .arg(modal->boxes.size())
                .arg(modal->unexpected.join(','));
        return modal->boxes.first().text;
    }

    // For initTestCase; a failed check fails it, so callers return on QTest::currentTestFailed().
    void openActivatedAndAssociated()
    {
        QVERIFY(stateDir.isValid());
        qputenv("SAT_EMULADOR_ESTADO", stateDir.filePath("estado.txt").toLocal8Bit());
        qunsetenv("SAT_EMULADOR_FALHA");
        qunsetenv("SAT_EMULADOR_AGORA");
        window = std::make_unique<MainWindow>();
        window->show();
        modal = std::make_unique<ModalAnswerer>();

        widget<QLineEdit>("cnpj")->setText("44555666000181");
        widget<QLineEdit>("CodAtivacao")->setText("treino123");
        widget<QLineEdit>("ConfCodigoAtivacao")->setText("treino123");
        QVERIFY(step("btAtivarSAT").startsWith("04000"));
        widget<QLineEdit>("cnpjContribuinte")->setText("44555666000181");
        widget<QLineEdit>("cnpjSW")->setText("11222333000181");
        widget<QLineEdit>("assinaturaAC")->setText(QString(344, QLatin1Char('0')));
        QVERIFY(step("btAssociarAssinatura", {"treino123"}).startsWith("13000"));
    }

    void close()
    {
        modal.reset();
        window.reset();
    }

    // With SAT_CAPTURAS naming a folder, saves shown there at size as name, for the README.
    static void capture(QWidget* shown, const QSize& size, const QString& name)
    {
        const QString folder = qEnvironmentVariable("SAT_CAPTURAS");
        if (folder.isEmpty())
            return;
        shown->resize(size);
        QTest::qWait(300);
        QVERIFY(shown->grab().save(QDir(folder).filePath(name)));
    }
};
