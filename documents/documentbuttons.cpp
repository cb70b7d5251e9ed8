#include "app/mainwindow.h"
#include "checkwindow.h"
#include "documentwindows.h"
#include "testsalewindow.h"

void MainWindow::on_VerificarXml_clicked()
{
    DocumentCheckWindow* shown = DocumentWindows::of(this)->checkWindow();
    if (!shown->chooseAndCheck(this))
        return;
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void MainWindow::on_VendaTeste_clicked()
{
    TestSaleWindow* form = DocumentWindows::of(this)->testSaleWindow();
    form->offerAssociation(cnpjContribuinte->text(), cnpjSW->text(), assinaturaAC->text());
    // The form's "Venda" is the sale command's own, with the form's document in place of a file's.
    form->setSender([this](const QByteArray& document) { sendSale(document.constData()); });
    form->show();
    form->raise();
    form->activateWindow();
}
