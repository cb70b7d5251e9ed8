#include "logview.h"

#include "devicetext.h"
#include "logfiltermodel.h"
#include "logparser.h"
#include "logtablemodel.h"
#include "resultfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

LogView::LogView(QWidget* parent)
    : QWidget(parent)
    , m_chooser(dialogSavePathChooser())
    , m_folder(QDir::homePath())
    , m_model(new LogTableModel(this))
    , m_filter(new LogFilterModel(this))
    , m_filterBox(new QLineEdit(this))
    , m_count(new QLabel(this))
    , m_table(new QTableView(this))
    , m_save(new QPushButton(QStringLiteral("Salvar..."), this))
    , m_saveMenu(new QMenu(this))
    , m_saveWhole(m_saveMenu->addAction(QString()))
    , m_saveShown(m_saveMenu->addAction(QString()))
    , m_saved(new QLabel(this))
{
    m_filter->setLogModel(m_model);
    m_filterBox->setObjectName(QStringLiteral("filtro"));
    m_filterBox->setPlaceholderText(QStringLiteral("Filtrar por mensagem ou nível"));
    m_filterBox->setClearButtonEnabled(true);
    m_count->setObjectName(QStringLiteral("contagem"));
    m_table->setObjectName(QStringLiteral("tabela"));
    m_table->setModel(m_filter);
    m_table->setWordWrap(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    // Fixed row heights and column widths: measuring 18,000 rows would take longer than the whole parse.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    m_table->setColumnWidth(LogTableModel::When, digit * 21);
    m_table->setColumnWidth(LogTableModel::Origin, digit * 12);
    m_table->setColumnWidth(LogTableModel::Level, digit * 8);
    m_save->setObjectName(QStringLiteral("salvar"));
    m_saved->setObjectName(QStringLiteral("aviso"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Filtro:"), this));
    top->addWidget(m_filterBox, 1);
    top->addWidget(m_count);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_saved, 1);
    bottom->addWidget(m_save);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);

    connect(m_filterBox, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_filter->setFilterText(text);
        updateCount();
    });
    // With a menu the button only opens it; a click done in code still emits clicked, which must not save as well.
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (!m_save->menu())
            save(Part::Whole);
    });
    connect(m_saveWhole, &QAction::triggered, this, [this] { save(Part::Whole); });
    connect(m_saveShown, &QAction::triggered, this, [this] { save(Part::Shown); });
    updateCount();
}

void LogView::setLog(const QByteArray& bytes, const QString& serial, const QDateTime& when)
{
    m_bytes = bytes;
    m_serial = serial;
    m_when = when;
    m_saved->clear();
    m_model->setLines(parseDeviceLog(decodeDeviceText(bytes)));
    updateCount();
    m_table->scrollToTop();
}

int LogView::totalRows() const
{
    return m_model->rowCount();
}

int LogView::shownRows() const
{
    return m_filter->rowCount();
}

QByteArray LogView::shownBytes() const
{
    const QList<QByteArray> lines = deviceLogLineBytes(m_bytes);
    QByteArray out;
    for (int row = 0; row < m_filter->rowCount(); ++row)
        out += lines.value(m_filter->mapToSource(m_filter->index(row, 0)).row());
    return out;
}

void LogView::updateCount()
{
    m_count->setText(m_filter->countText());
    const int shown = shownRows();
    const int total = totalRows();
    m_saveWhole->setText(total == 1 ? QStringLiteral("Log inteiro, como o SAT enviou (1 linha)...")
                                    : QStringLiteral("Log inteiro, como o SAT enviou (%1 linhas)...").arg(total));
    m_saveShown->setText(QStringLiteral("Só as linhas mostradas (%1 de %2)...").arg(shown).arg(total));
    m_saveShown->setEnabled(shown > 0);
    // Without a filter at work the button saves the log at once, as it always did.
    m_save->setMenu(shown == total ? nullptr : m_saveMenu);
}

bool LogView::save(Part part)
{
    const bool whole = part == Part::Whole;
    const QString title = whole ? QStringLiteral("Salvar log do SAT") : QStringLiteral("Salvar linhas do log");
    QString name = ResultFiles::logFileName(m_serial, m_when);
    if (!whole)
        name.insert(name.lastIndexOf(QLatin1Char('.')), QStringLiteral("-filtrado"));
    QString filter;
    const QString path
        = m_chooser(this, title, QDir(m_folder).filePath(name), {QStringLiteral("Texto (*.txt)")}, &filter);
    if (path.isEmpty())
        return false;
    QString error;
    if (!ResultFiles::write(path, whole ? m_bytes : shownBytes(), &error)) {
        QMessageBox::critical(this, title, error, QMessageBox::Ok);
        return false;
    }
    const QString where = QDir::toNativeSeparators(path);
    if (!whole)
        m_saved->setText(
            QStringLiteral("Linhas mostradas (%1 de %2) salvas em %3").arg(shownRows()).arg(totalRows()).arg(where));
    else if (shownRows() != totalRows())
        m_saved->setText(QStringLiteral("Log inteiro salvo em %1").arg(where));
    else
        m_saved->setText(QStringLiteral("Log salvo em %1").arg(where));
    m_folder = QFileInfo(path).absolutePath();
    emit saved(path);
    return true;
}
