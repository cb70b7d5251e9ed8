#include "app/mainwindow.h"
#include "results/runresults.h"

void MainWindow::on_Detalhes_clicked()
{
    RunResults::of(this)->showLatest();
}
