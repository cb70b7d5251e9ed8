#pragma once

#include "ui_dialog2.h"

#include <QDialog>

class QEvent;

// Asks for the number of an earlier session.
class Dialog2 : public QDialog, private Ui::Dialog2 {
    Q_OBJECT

public:
    explicit Dialog2(QWidget* parent = nullptr);
    ~Dialog2() override;

    // The text read as atoi does: "12abc" is 12, letters alone are 0.
    int sessionNumber() const;

protected:
    void changeEvent(QEvent* e) override;
};
