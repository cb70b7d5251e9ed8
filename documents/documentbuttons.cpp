#include "app/mainwindow.h"
#include "checkwindow.h"
#include "documentwindows.h"

void MainWindow::on_VerificarXml_clicked()
{
    DocumentCheckWindow* shown = DocumentWindows::of(this)->checkWindow();
    if (!shown->chooseAndCheck(this))
        return;
    shown->show();
    shown->raise();
    shown->activateWindow();
}
