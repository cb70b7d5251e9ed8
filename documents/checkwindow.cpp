#include "checkwindow.h"

#include "documentfaults.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The largest sale a device takes, and one byte more: enough for the check to say a larger file is too large.
constexpr qint64 kReadLimit = 1500 * 1024 + 1;

// Why the file cannot be read, in Portuguese; empty when it was read.
QString readFile(const QString& path, QByteArray& content)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("o arquivo não existe (foi removido ou renomeado?)");
    if (info.isDir())
        return QStringLiteral("é uma pasta, não um arquivo");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return info.isReadable() ? file.errorString() : QStringLiteral("sem permissão de leitura");
    content = file.read(kReadLimit);
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    // An empty file is a document too: the check says how the device takes it.
    return QString();
}

} // namespace

DocumentCheckWindow::DocumentCheckWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , file(new QLabel(this))
    , summary(new QLabel(this))
    , faults(new QTreeWidget(this))
    , again(new QPushButton(QStringLiteral("Verificar de novo"), this))
{
    setObjectName(QStringLiteral("verificarXml"));
    setWindowTitle(QStringLiteral("Verificar XML"));
    // Closing the main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    file->setObjectName(QStringLiteral("arquivo"));
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    file->setWordWrap(true);
    summary->setObjectName(QStringLiteral("resumo"));
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    faults->setObjectName(QStringLiteral("falhas"));
    faults->setColumnCount(3);
    faults->setHeaderLabels({QStringLiteral("Campo"), QStringLiteral("Regra"), QStringLiteral("Rejeição")});
    faults->setRootIsDecorated(false);
    faults->setWordWrap(true);
    faults->header()->setStretchLastSection(false);
    faults->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    faults->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    faults->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);

    auto* buttons = new QDialogButtonBox(this);
    auto* open = buttons->addButton(QStringLiteral("Abrir..."), QDialogButtonBox::ActionRole);
    open->setObjectName(QStringLiteral("abrir"));
    again->setObjectName(QStringLiteral("verificarDeNovo"));
    again->setToolTip(QStringLiteral("Lê o arquivo outra vez: para conferir depois de corrigi-lo"));
    again->setEnabled(false);
    buttons->addButton(again, QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setText(QStringLiteral("Fechar"));
    connect(open, &QPushButton::clicked, this, [this] { chooseAndCheck(this); });
    connect(again, &QPushButton::clicked, this, [this] { checkFile(path); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(file);
    layout->addWidget(summary);
    layout->addWidget(faults, 1);
    layout->addWidget(buttons);
    resize(860, 420);
}

bool DocumentCheckWindow::chooseAndCheck(QWidget* parent)
{
    const QString chosen
        = QFileDialog::getOpenFileName(parent, QStringLiteral("Verificar documento de venda ou de cancelamento"),
                                       folder.isEmpty() ? QDir::currentPath() : folder,
                                       QStringLiteral("Documentos XML (*.xml);;Todos os arquivos (*)"));
    if (chosen.isEmpty())
        return false;
    checkFile(chosen);
    return true;
}

void DocumentCheckWindow::checkFile(const QString& chosen)
{
    path = chosen;
    folder = QFileInfo(chosen).absolutePath();
    again->setEnabled(true);
    QByteArray content;
    const QString reason = readFile(chosen, content);
    if (!reason.isEmpty()) {
        file->setText(QDir::toNativeSeparators(chosen));
        showUnreadable(reason);
        return;
    }
    // A document near the largest size takes a moment.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    showFaults(content);
    QApplication::restoreOverrideCursor();
}

void DocumentCheckWindow::showFaults(const QByteArray& document)
{
    const satresults::DocumentCheck check = satresults::checkDocument(document);
    const bool sale = check.kind == satresults::DocumentCheck::Kind::Sale;
    file->setText(QStringLiteral("%1: %2").arg(sale ? QStringLiteral("Venda") : QStringLiteral("Cancelamento"),
                                               QDir::toNativeSeparators(path)));
    faults->clear();
    for (const satresults::DocumentFault& fault : check.faults) {
        auto* row = new QTreeWidgetItem(faults);
        row->setText(0, satresults::faultPlace(fault));
        row->setText(1, fault.rule);
        row->setText(2, fault.code);
        row->setToolTip(1, fault.rule);
    }
    faults->setVisible(!check.faults.isEmpty());
    summary->setStyleSheet(check.faults.isEmpty() ? QString() : QStringLiteral("color: #a00000;"));
    if (check.faults.isEmpty())
        summary->setText(QStringLiteral("Nenhum problema encontrado"));
    else
        summary->setText(QStringLiteral("%1. O SAT recusaria o documento pelo primeiro (rejeição %2). O arquivo não "
                                        "é alterado: \"Venda\" e \"Cancela\" o enviam como está.")
                             .arg(check.faults.size() == 1
                                      ? QStringLiteral("1 problema encontrado")
                                      : QStringLiteral("%1 problemas encontrados").arg(check.faults.size()),
                                  check.faults.first().code));
}

void DocumentCheckWindow::showUnreadable(const QString& reason)
{
    faults->clear();
    faults->setVisible(false);
    summary->setStyleSheet(QStringLiteral("color: #a00000;"));
    summary->setText(QStringLiteral("Não foi possível ler o arquivo: %1.").arg(reason));
}
