#pragma once

#include <QDialog>

class QLabel;
class QTimer;
class WaitingCall;

// "Aguardando a resposta do SAT...": a call that has not returned, with its function, session number and the time
// waited. It closes by itself when the answer comes; only "Encerrar a biblioteca" ends the call, never Escape or
// the title bar, since a slow device (a large sale, a software update) is not a hung one.
class WaitingWindow : public QDialog {
    Q_OBJECT

public:
    WaitingWindow(WaitingCall& call, QWidget* parent = nullptr);

    void reject() override;

private:
    void showElapsed();

    WaitingCall& call;
    QLabel* elapsed;
    QTimer* ticker;
};
