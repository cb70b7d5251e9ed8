#include "app/commandstate.h"
#include "app/mainwindow.h"
#include "commands/activationcodestep.h"
#include "commands/report.h"
#include "forms/dialog.h"
#include "netconfig/networkdocument.h"
#include "sat/dllsat.h"

#include <QMessageBox>
#include <QTimer>

namespace {

QString describe(const XmlUnfitCharacter& unfit)
{
    const QString code = QStringLiteral("U+%1").arg(unsigned(unfit.code), 4, 16, QLatin1Char('0')).toUpper();
    switch (unfit.kind) {
    case XmlUnfit::ControlCharacter:
        return QString::fromUtf8("um caractere de controle (%1)").arg(code);
    case XmlUnfit::Noncharacter:
        return QString::fromUtf8("um não caractere do Unicode (%1)").arg(code);
    case XmlUnfit::LoneSurrogate:
        return QString::fromUtf8("metade de um par substituto UTF-16 sem a outra metade (%1)").arg(code);
    case XmlUnfit::None:
        break;
    }
    return QString();
}

} // namespace

void MainWindow::on_btConfigurarInterfaceDeRede_clicked()
{
    Dialog prompt;
    runActivationCodeStep(prompt); // not consulted: the code's length decides
    QByteArray code = prompt.activationCode();
    if (code.size() <= 7)
        code = DefaultActivationCode;
    configureNetwork(code);
}

void MainWindow::on_btConfigurarInterfaceDeRede_2_clicked()
{
    configureNetwork(DefaultActivationCode);
}

void MainWindow::configureNetwork(const QByteArray& activationCode)
{
    NetworkSettings settings;
    settings.dhcp = radioButton->isChecked();
    if (settings.dhcp) {
        settings.user = UsuarioDHCP->text();
        settings.password = SenhaDHCP->text();
    } else {
        settings.ip = ipaddress->text();
        settings.mask = netmask->text();
        settings.gateway = gateway->text();
        settings.dns1 = dns1->text();
        settings.dns2 = dns2->text();
    }
    settings.proxy = proxyModeFromIndex(ConfProxy->currentIndex());
    if (settings.proxy != ProxyMode::None) {
        settings.proxyIp = ProxyIp->text();
        settings.proxyPort = PortProxy->text();
        settings.proxyUser = proxyuser->text();
        settings.proxyPassword = proxypasswd->text();
    }

    // Only pasted text can hold such characters; say which field, rather than send another value.
    const std::pair<const QString*, const char*> typed[] = {{&settings.user, "Usuário"},
                                                            {&settings.password, "Senha"},
                                                            {&settings.proxyPort, "Porta"},
                                                            {&settings.proxyUser, "Usuário do proxy"},
                                                            {&settings.proxyPassword, "Senha do proxy"}};
    for (const auto& [value, name] : typed) {
        const XmlUnfitCharacter unfit = firstXmlUnfitCharacter(*value);
        if (unfit.kind != XmlUnfit::None) {
            QMessageBox::critical(this, tr("Configurar Rede"),
                                  QString::fromUtf8("O campo \"%1\" contém %2, que não pode ir no documento de "
                                                    "configuração (XML). Nada foi enviado ao SAT.")
                                      .arg(QString::fromUtf8(name), describe(unfit)),
                                  QMessageBox::Ok);
            return;
        }
    }

    const QByteArray document = buildNetworkDocument(settings);
    if (document.isEmpty()) {
        QMessageBox::critical(nullptr, QStringLiteral("Configurar Rede"), QStringLiteral("XML NAO INICIADO"),
                              QMessageBox::Ok);
        return;
    }

    // The call blocks the event loop, so the timer only ticks if the library
    // lets events through; the bar is set to full when the call returns anyway.
    progressBar->setValue(0);
    progressBar->setMaximum(20);
    QTimer* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MainWindow::TimerEvent);
    timer->start(1000);

    lastAnswer
        = ConfigurarInterfaceDeRede(uniqueSessionNumber(0, 999999), activationCode.constData(), document.constData());

    progressBar->setValue(20);
    timer->stop();
    delete timer;
    if (libraryCallFailed(this)) {
        progressBar->setValue(0);
        return;
    }

    const ErroSAT record = CodigoErro();
    formattedReport(this, record, tr("Configurar Rede"), QString::fromUtf8(recordMessage(record)));
    progressBar->setValue(0);
}
