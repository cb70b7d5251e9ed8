#include "librarystatus.h"

#include "hostbackend.h"
#include "librarywindow.h"
#include "satdevice.h"
#include "waitingwindow.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolButton>

namespace {

class FirstPaint : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, parent(), [] { SatDevice::instance().start(); });
            deleteLater();
        }
        return false;
    }
};

} // namespace

QString libraryStatusText(const LibraryReport& library, bool loaded, LibraryChoice::Source source,
                          const QString& startupNote)
{
    QString text;
    if (!loaded && library.path.isEmpty())
        text = QStringLiteral("Biblioteca do SAT: carregando...");
    else if (!loaded)
        text = QStringLiteral("Biblioteca do SAT: carregando %1...").arg(library.path);
    else if (!library.loaded)
        text = QStringLiteral("Biblioteca do SAT: nenhuma. %1 não carregou: %2").arg(library.path, library.problem);
    else if (library.isEmulator)
        text = QStringLiteral("Biblioteca do SAT: o emulador do sat-comandos (%1)").arg(library.path);
    else
        text = QStringLiteral("Biblioteca do SAT: %1 (%2 bits)").arg(library.path).arg(library.bits);
    if (source == LibraryChoice::Source::Environment)
        text += QStringLiteral(", indicada em SAT_BIBLIOTECA");
    if (!startupNote.isEmpty())
        text += QStringLiteral(". ") + startupNote;
    return text;
}

void installLibraryControls(QMainWindow* window)
{
    auto* panel = new QWidget;
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* text = new QLabel;
    text->setObjectName(QStringLiteral("bibliotecaEmUso"));
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* choose = new QToolButton;
    choose->setObjectName(QStringLiteral("escolherBiblioteca"));
    choose->setText(QStringLiteral("Trocar..."));
    choose->setToolTip(QStringLiteral("Escolher a biblioteca do fabricante do SAT, ou voltar ao emulador"));
    layout->addWidget(text, 1);
    layout->addWidget(choose);
    window->statusBar()->addWidget(panel, 1);

    SatDevice& device = SatDevice::instance();
    auto update = [text, &device] {
        text->setText(libraryStatusText(device.library(), device.loaded(), device.source(), device.startupNote()));
    };
    update();
    QObject::connect(&device, &SatDevice::libraryChanged, text, update);
    QObject::connect(&device, &SatDevice::startupProblem, window, [window](const QString& message) {
        QMessageBox::warning(window, QStringLiteral("Biblioteca do SAT"), message, QMessageBox::Ok);
    });
    QObject::connect(choose, &QToolButton::clicked, window, [window] {
        LibraryWindow chooser(window);
        chooser.exec();
    });

    HostBackend::setWaitingHandler([](WaitingCall& call) {
        WaitingWindow waiting(call, QApplication::activeWindow());
        waiting.exec();
    });
}

void startLibraryOnceShown(QWidget* window)
{
    window->installEventFilter(new FirstPaint(window));
}
