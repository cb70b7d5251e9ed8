#include "librarywindow.h"

#include "librarychoice.h"
#include "librarystatus.h"
#include "satdevice.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

LibraryWindow::LibraryWindow(QWidget* parent)
    : QDialog(parent)
    , inUse(new QLabel)
    , file(new QLineEdit)
    , verdict(new QLabel)
    , functions(new QTreeWidget)
    , use(new QPushButton(QStringLiteral("Usar esta biblioteca")))
{
    setObjectName(QStringLiteral("BibliotecaDoSAT"));
    setWindowTitle(QStringLiteral("Biblioteca do SAT"));

    inUse->setObjectName(QStringLiteral("emUso"));
    inUse->setWordWrap(true);
    inUse->setTextInteractionFlags(Qt::TextSelectableByMouse);
    file->setObjectName(QStringLiteral("arquivo"));
    file->setPlaceholderText(QStringLiteral("/caminho/da/biblioteca/do/fabricante.so"));
    auto* browse = new QPushButton(QStringLiteral("Escolher..."));
    browse->setObjectName(QStringLiteral("escolherArquivo"));
    verdict->setObjectName(QStringLiteral("verificacao"));
    verdict->setWordWrap(true);
    verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    functions->setObjectName(QStringLiteral("funcoes"));
    functions->setHeaderLabels({QStringLiteral("Função"), QStringLiteral("Na biblioteca")});
    functions->setRootIsDecorated(false);
    functions->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    use->setObjectName(QStringLiteral("usar"));
    use->setEnabled(false);
    auto* emulator = new QPushButton(QStringLiteral("Voltar ao emulador"));
    emulator->setObjectName(QStringLiteral("voltarAoEmulador"));
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("Fechar"), QDialogButtonBox::RejectRole);
    buttons->addButton(use, QDialogButtonBox::ActionRole);
    buttons->addButton(emulator, QDialogButtonBox::ActionRole);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("Arquivo:")));
    fileRow->addWidget(file, 1);
    fileRow->addWidget(browse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(inUse);
    if (!qEnvironmentVariableIsEmpty("SAT_BIBLIOTECA")) {
        auto* environment = new QLabel(QStringLiteral(
            "A variável SAT_BIBLIOTECA está definida: ao abrir, a ferramenta usa a biblioteca que ela indica, "
            "seja qual for a escolhida aqui."));
        environment->setWordWrap(true);
        layout->addWidget(environment);
    }
    layout->addLayout(fileRow);
    layout->addWidget(verdict);
    layout->addWidget(functions, 1);
    layout->addWidget(buttons);
    resize(620, 560);

    connect(browse, &QPushButton::clicked, this, &LibraryWindow::chooseFile);
    connect(file, &QLineEdit::returnPressed, this, [this] { checkFile(file->text()); });
    connect(use, &QPushButton::clicked, this, &LibraryWindow::useChecked);
    connect(emulator, &QPushButton::clicked, this, &LibraryWindow::useEmulator);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    showInUse();
}

void LibraryWindow::showInUse()
{
    const SatDevice& device = SatDevice::instance();
    inUse->setText(libraryStatusText(device.library(), device.loaded(), device.source(), device.startupNote()));
}

void LibraryWindow::chooseFile()
{
    const QString start = file->text().isEmpty() ? QString() : QFileInfo(file->text()).absolutePath();
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("Escolher a biblioteca do SAT"), start,
        QStringLiteral("Bibliotecas compartilhadas (*.so *.so.*);;Todos os arquivos (*)"));
    if (!chosen.isEmpty())
        checkFile(chosen);
}

void LibraryWindow::checkFile(const QString& path)
{
    file->setText(path);
    if (path.trimmed().isEmpty())
        return;
    BusyCursor busy;
    showReport(SatDevice::check(QFileInfo(path.trimmed()).absoluteFilePath()));
}

void LibraryWindow::showReport(const LibraryReport& report)
{
    checked = report;
    functions->clear();
    use->setEnabled(report.loaded);
    if (!report.loaded) {
        verdict->setText(QStringLiteral("<b>Não carrega:</b> %1.").arg(report.problem.toHtmlEscaped()));
        return;
    }
    QStringList missing;
    for (int n = 0; n < SatFunctionCount; ++n) {
        const auto function = static_cast<SatFunction>(n);
        const bool present = report.has(function);
        auto* row = new QTreeWidgetItem(functions, {QString::fromLatin1(satFunctionName(function)),
                                                    present ? QStringLiteral("sim") : QStringLiteral("não")});
        if (!present) {
            row->setForeground(1, QColor(Qt::red));
            missing.append(QString::fromLatin1(satFunctionName(function)));
        }
    }
    new QTreeWidgetItem(functions,
                        {QStringLiteral("CodigoErro (não é padrão)"),
                         report.hasErrorRecord ? QStringLiteral("sim") : QStringLiteral("não")});

    QString text = QStringLiteral("<b>Carrega:</b> biblioteca de %1 bits%2").arg(report.bits).arg(
        report.isEmulator ? QStringLiteral(", o emulador do sat-comandos") : QString());
    text += missing.isEmpty() ? QStringLiteral(", com todas as funções padrão.")
                              : QStringLiteral(". Faltam %1 (os comandos que as usam avisam e não enviam nada).")
                                    .arg(missing.join(QStringLiteral(", ")));
    if (!report.hasErrorRecord)
        text += QStringLiteral(" Sem CodigoErro: a ferramenta monta o registro de erro a partir de cada resposta.");
    verdict->setText(text);
}

void LibraryWindow::useChecked()
{
    BusyCursor busy;
    const LibraryReport report = SatDevice::instance().use(checked.path, LibraryChoice::Source::Remembered);
    if (!report.loaded) {
        QMessageBox::critical(this, QStringLiteral("Biblioteca do SAT"),
                              QStringLiteral("A biblioteca %1 não carregou: %2.\n\nA biblioteca anterior continua "
                                             "em uso.")
                                  .arg(report.path, report.problem),
                              QMessageBox::Ok);
        showReport(report);
        return;
    }
    rememberLibrary(report.path);
    showInUse();
}

void LibraryWindow::useEmulator()
{
    BusyCursor busy;
    const LibraryReport report = SatDevice::instance().use(bundledLibraryPath(), LibraryChoice::Source::Bundled);
    if (!report.loaded) {
        QMessageBox::critical(this, QStringLiteral("Biblioteca do SAT"),
                              QStringLiteral("A biblioteca que vem com a ferramenta, %1, não carregou: %2.\n\nA "
                                             "biblioteca anterior continua em uso.")
                                  .arg(report.path, report.problem),
                              QMessageBox::Ok);
        return;
    }
    forgetLibrary();
    file->setText(report.path);
    showReport(report);
    showInUse();
}
