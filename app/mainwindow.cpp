#include "app/mainwindow.h"

#include "app/commandstate.h"
#include "commands/sessionnumber.h"

#include <QComboBox>
#include <QEvent>

#include <cstring>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    // The form fills its selectors before it binds the slots, so their slots do
    // not run at start-up: the state starts at the values of the first items.
    subcommand = 1;
    cUF = 35;
    setupUi(this);
    clearRecentSessions();
}

MainWindow::~MainWindow() = default;

void MainWindow::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::LanguageChange) {
        retranslateUi(this);
        // The selectors are refilled with their translated items and start
        // over on the first one, and the state that mirrors them follows.
        for (QComboBox* selector : {TipoCertificado, UF, ConfProxy, qcb_opcao})
            selector->setCurrentIndex(0);
    }
}

void MainWindow::on_TipoCertificado_currentIndexChanged(int index)
{
    subcommand = index + 1;
}

namespace {

struct StateCode {
    const char* name;
    int code;
};

// IBGE codes of the states, matched by the selector's whole item text.
const StateCode stateCodes[] = {
    {"Sao Paulo", 35},      {"Minas Gerais", 31},   {"Rio Grande do Sul", 43},
    {"Rio de Janeiro", 33}, {"Santa Catarina", 42}, {"Parana", 41},
    {"Espirito Santo", 32}, {"Rondonia", 11},       {"Acre", 12},
    {"Amazonas", 13},       {"Roraima", 14},        {"Para", 15},
    {"Amapa", 16},          {"Tocantins", 17},      {"Maranhao", 21},
    {"Piaui", 22},          {"Ceara", 23},          {"Rio Grande do Norte", 24},
    {"Paraiba", 25},        {"Pernambuco", 26},     {"Alagoas", 27},
    {"Sergipe", 28},        {"Bahia", 29},          {"Distrito Federal", 53},
    {"Goias", 52},          {"Mato Grosso", 51},    {"Mato Grosso do Sul", 50},
};

} // namespace

void MainWindow::on_UF_currentIndexChanged(int index)
{
    const QByteArray name = UF->itemText(index).toLatin1();
    for (const StateCode& state : stateCodes) {
        if (name == state.name) {
            cUF = state.code;
            return;
        }
    }
}

void MainWindow::on_radioButton_2_clicked(bool checked)
{
    label_8->setEnabled(checked);
    label_9->setEnabled(checked);
    label_10->setEnabled(checked);
}

void MainWindow::on_radioButton_2_toggled(bool checked)
{
    label_8->setEnabled(checked);
    label_9->setEnabled(checked);
    label_10->setEnabled(checked);
    ipaddress->setEnabled(checked);
    netmask->setEnabled(checked);
    gateway->setEnabled(checked);
    dns1->setEnabled(checked);
    DNS1->setEnabled(checked);
    dns2->setEnabled(checked);
    DNS2->setEnabled(checked);
}

void MainWindow::on_radioButton_clicked(bool checked)
{
    label_11->setEnabled(checked);
    SenhaDHCP->setEnabled(checked);
    label_17->setEnabled(checked);
    UsuarioDHCP->setEnabled(checked);
}

void MainWindow::on_radioButton_toggled(bool checked)
{
    on_radioButton_clicked(checked);
}

void MainWindow::TimerEvent()
{
    progressBar->setValue(progressBar->value() + 1);
    progressBar->setVisible(true);
}

void MainWindow::on_ConfProxy_currentIndexChanged(int)
{
    // The network commands read the selector's index themselves.
}
