#pragma once

#include "ui_dialog3.h"

#include <QByteArray>
#include <QDialog>

class QEvent;

// Asks for the key of the sale to cancel.
class Dialog3 : public QDialog, private Ui::Dialog3 {
    Q_OBJECT

public:
    explicit Dialog3(QWidget* parent = nullptr);
    ~Dialog3() override;

    // The key as Latin-1 bytes; characters outside Latin-1 become "?".
    QByteArray key() const;

protected:
    void changeEvent(QEvent* e) override;
};
