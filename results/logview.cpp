#include "logview.h"

#include "devicetext.h"
#include "logfiltermodel.h"
#include "logtablemodel.h"
#include "resultfiles.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

LogView::LogView(QWidget* parent)
    : QWidget(parent)
    , m_chooser(dialogSavePathChooser())
    , m_model(new LogTableModel(this))
    , m_filter(new LogFilterModel(this))
    , m_filterBox(new QLineEdit(this))
    , m_count(new QLabel(this))
    , m_table(new QTableView(this))
    , m_save(new QPushButton(QStringLiteral("Salvar..."), this))
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
    connect(m_save, &QPushButton::clicked, this, &LogView::save);
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
}

int LogView::totalRows() const
{
    return m_model->rowCount();
}

int LogView::shownRows() const
{
    return m_filter->rowCount();
}

void LogView::updateCount()
{
    m_count->setText(m_filter->countText());
}

bool LogView::save()
{
    const QString title = QStringLiteral("Salvar log do SAT");
    const QString suggested = QDir::home().filePath(ResultFiles::logFileName(m_serial, m_when));
    QString filter;
    const QString path = m_chooser(this, title, suggested, {QStringLiteral("Texto (*.txt)")}, &filter);
    if (path.isEmpty())
        return false;
    QString error;
    if (!ResultFiles::write(path, m_bytes, &error)) {
        QMessageBox::critical(this, title, error, QMessageBox::Ok);
        return false;
    }
    m_saved->setText(QStringLiteral("Log salvo em %1").arg(QDir::toNativeSeparators(path)));
    return true;
}
