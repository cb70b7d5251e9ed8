#include "waitingwindow.h"

#include "hostbackend.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

WaitingWindow::WaitingWindow(WaitingCall& waited, QWidget* parent)
    : QDialog(parent)
    , call(waited)
    , elapsed(new QLabel)
    , ticker(new QTimer(this))
{
    setObjectName(QStringLiteral("AguardandoSAT"));
    setWindowTitle(QStringLiteral("Aguardando a resposta do SAT..."));
    setWindowModality(Qt::ApplicationModal);

    auto* what = new QLabel(call.session > 0
                                ? QStringLiteral("A função %1 (sessão %2) ainda não respondeu.").arg(call.function).arg(call.session)
                                : QStringLiteral("A biblioteca do SAT ainda não respondeu (%1).").arg(call.function));
    what->setObjectName(QStringLiteral("chamadaAguardada"));
    elapsed->setObjectName(QStringLiteral("tempoAguardado"));
    auto* advice = new QLabel(QStringLiteral(
        "Um SAT pode demorar numa venda grande ou numa atualização de software. Se a biblioteca travou, "
        "encerre-a: a resposta desta chamada se perde, e o SAT pode tê-la executado mesmo assim."));
    advice->setWordWrap(true);
    auto* end = new QPushButton(QStringLiteral("Encerrar a biblioteca"));
    end->setObjectName(QStringLiteral("encerrarBiblioteca"));
    end->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(what);
    layout->addWidget(elapsed);
    layout->addWidget(advice);
    layout->addWidget(end, 0, Qt::AlignRight);

    connect(end, &QPushButton::clicked, this, [this] { call.endLibrary(); });
    connect(&call, &WaitingCall::finished, this, &QDialog::accept);
    connect(ticker, &QTimer::timeout, this, &WaitingWindow::showElapsed);
    ticker->start(1000);
    showElapsed();
}

void WaitingWindow::reject()
{
    // The call goes on: only the button ends it.
}

void WaitingWindow::showElapsed()
{
    elapsed->setText(QStringLiteral("Aguardando há %1 s.").arg(call.elapsedSeconds()));
}
