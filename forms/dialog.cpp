#include "forms/dialog.h"

#include "app/commandstate.h"

#include <QEvent>

Dialog::Dialog(QWidget* parent)
    : QDialog(parent)
{
    connect(this, &QDialog::rejected, this, &Dialog::on_Dialog_rejected);
    setupUi(this);
    // The button box comes first in the form and would take the focus: typing must reach the line edit, and
    // Enter still presses OK, the default button.
    Atvcode->setFocus();
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

Dialog::~Dialog() = default;

QByteArray Dialog::activationCode() const
{
    return Atvcode->text().toLatin1();
}

void Dialog::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::LanguageChange)
        retranslateUi(this);
}

void Dialog::on_Dialog_rejected()
{
    dialogRejected = true;
}
