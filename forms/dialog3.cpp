#include "forms/dialog3.h"

#include <QEvent>

Dialog3::Dialog3(QWidget* parent)
    : QDialog(parent)
{
    setupUi(this);
    // The button box comes first in the form and would take the focus: typing must reach the line edit, and
    // Enter still presses OK, the default button.
    chave->setFocus();
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

Dialog3::~Dialog3() = default;

QByteArray Dialog3::key() const
{
    return chave->text().toLatin1();
}

void Dialog3::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::LanguageChange)
        retranslateUi(this);
}
