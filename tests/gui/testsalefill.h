#pragma once

// Fills the test sale's form the way a technician would, with the shop the emulator's tests activate: taxpayer
// 44555666000181, software house 11222333000181, a signature of 344 zeros.

#include "testsalewindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>

namespace testsalefill {

template <typename T> T* field(TestSaleWindow* form, const char* name)
{
    T* found = form->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("the test sale's form has no %s", name);
    return found;
}

inline void type(TestSaleWindow* form, const char* name, const QString& text)
{
    field<QLineEdit>(form, name)->setText(text);
}

inline void choose(TestSaleWindow* form, const char* name, const QString& code)
{
    auto* box = field<QComboBox>(form, name);
    box->setCurrentIndex(box->findData(code));
}

inline QLineEdit* paymentAmount(TestSaleWindow* form, int row)
{
    return qobject_cast<QLineEdit*>(field<QTableWidget>(form, "pagamentos")->cellWidget(row, 1));
}

// One item of 2 x 12,90 and 30,00 in cash: a document the layout takes, in the chosen regime.
inline void fillShop(TestSaleWindow* form, const QString& regime = QStringLiteral("1"))
{
    type(form, "cnpjEmitente", QStringLiteral("44.555.666/0001-81"));
    type(form, "ie", QStringLiteral("111111111111"));
    choose(form, "regime", regime);
    type(form, "cnpjSoftwareHouse", QStringLiteral("11222333000181"));
    type(form, "assinatura", QString(344, QLatin1Char('0')));
    type(form, "numeroCaixa", QStringLiteral("1"));
    type(form, "codigo", QStringLiteral("0001"));
    type(form, "descricao", QString::fromUtf8("Café torrado 500 g"));
    type(form, "quantidade", QStringLiteral("2"));
    type(form, "unidade", QStringLiteral("UN"));
    type(form, "cfop", QStringLiteral("5102"));
    type(form, "valorUnitario", QStringLiteral("12,90"));
    paymentAmount(form, 0)->setText(QStringLiteral("30,00"));
}

} // namespace testsalefill
