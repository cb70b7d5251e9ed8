#pragma once

#include "ui_dialog.h"

#include <QByteArray>
#include <QDialog>

class QEvent;

// Asks for the activation code. Dismissing it (Escape or the window's close
// button; there is no Cancel button) sets dialogRejected.
class Dialog : public QDialog, private Ui::Dialog {
    Q_OBJECT

public:
    explicit Dialog(QWidget* parent = nullptr);
    ~Dialog() override;

    // The code as Latin-1 bytes; characters outside Latin-1 become "?".
    QByteArray activationCode() const;

protected:
    void changeEvent(QEvent* e) override;

private slots:
    void on_Dialog_rejected();
};
