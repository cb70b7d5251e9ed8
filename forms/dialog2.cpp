#include "forms/dialog2.h"

#include <QEvent>

#include <climits>
#include <cstdlib>

Dialog2::Dialog2(QWidget* parent)
    : QDialog(parent)
{
    setupUi(this);
    // The button box comes first in the form and would take the focus: typing must reach the line edit, and
    // Enter still presses OK, the default button.
    nsessao->setFocus();
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

Dialog2::~Dialog2() = default;

int Dialog2::sessionNumber() const
{
    // atoi's reading, without its undefined behaviour on numbers that do not fit an int.
    const QByteArray text = nsessao->text().toLatin1();
    const long value = std::strtol(text.constData(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return int(value);
}

void Dialog2::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::LanguageChange)
        retranslateUi(this);
}
