#include "app/commandstate.h"
#include "app/mainwindow.h"
#include "commands/report.h"
#include "sat/dllsat.h"

void MainWindow::on_pushButton_2_clicked()
{
    lastAnswer = ConsultarSAT(uniqueSessionNumber(0, 999999));
    if (libraryCallFailed(this))
        return;
    const ErroSAT record = CodigoErro();
    formattedReport(this, record, tr("ConsultarSAT"), QString::fromUtf8(formattedText(record)));
}
