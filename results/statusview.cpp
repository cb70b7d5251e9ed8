#include "statusview.h"

#include "resultfiles.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QColor ProblemBackground(255, 221, 221);
const QColor ProblemText(140, 0, 0);

const QString TextFilter = QStringLiteral("Texto (*.txt)");
const QString CsvFilter = QStringLiteral("CSV (*.csv)");

} // namespace

StatusView::StatusView(QWidget* parent)
    : QWidget(parent)
    , m_chooser(dialogSavePathChooser())
    , m_folder(QDir::homePath())
    , m_summary(new QLabel(this))
    , m_memory(new QProgressBar(this))
    , m_table(new QTableWidget(this))
    , m_save(new QPushButton(QStringLiteral("Salvar..."), this))
    , m_saved(new QLabel(this))
{
    m_summary->setObjectName(QStringLiteral("resumo"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_memory->setObjectName(QStringLiteral("memoria"));
    m_memory->setRange(0, 1000);
    m_memory->setFormat(QStringLiteral("Memória usada: %p%"));
    m_table->setObjectName(QStringLiteral("tabela"));
    m_table->setColumnCount(3);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Campo"), QStringLiteral("Valor"), QStringLiteral("Situação")});
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    // The field and its situation are always whole; the value takes the room between them and, only when there is
    // too little, ends in "..." (the raw field is in its tooltip). A problem's reason is in the summary line and
    // the row's tooltip.
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_save->setObjectName(QStringLiteral("salvar"));
    m_saved->setObjectName(QStringLiteral("aviso"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_saved, 1);
    bottom->addWidget(m_save);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_memory);
    layout->addWidget(m_table, 1);
    // Keeps "Salvar..." at the bottom when an answer that is no status hides the table.
    layout->addStretch();
    layout->addLayout(bottom);

    connect(m_save, &QPushButton::clicked, this, &StatusView::save);
    setAnswer(QByteArray(), QDateTime::currentDateTime());
}

void StatusView::setAnswer(const QByteArray& answer, const QDateTime& when)
{
    m_when = when;
    m_status = OperationalStatus::parse(answer, when);
    m_saved->clear();
    const bool normal = m_status.isValid() && m_status.problems().isEmpty();
    QFont font = m_summary->font();
    font.setBold(true);
    m_summary->setFont(font);
    m_summary->setText(m_status.summary());
    m_summary->setVisible(m_status.isValid() || m_failureShown);
    m_summary->setStyleSheet(normal ? QStringLiteral("color: #106010;") : QStringLiteral("color: #8c0000;"));
    const double share = m_status.memoryShare();
    m_memory->setVisible(m_status.isValid() && share >= 0);
    m_memory->setValue(int(std::floor(qBound(0.0, share, 1.0) * 1000))); // cut as the percentage is
    m_table->setVisible(m_status.isValid());
    fillTable();
    m_table->scrollToTop();
}

void StatusView::setFailureShown(bool shown)
{
    m_failureShown = shown;
    m_summary->setVisible(m_status.isValid() || m_failureShown);
}

void StatusView::fillTable()
{
    const QList<OperationalStatus::Row> rows = m_status.rows();
    m_table->clearContents();
    m_table->setRowCount(int(rows.size()));
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (int i = 0; i < rows.size(); ++i) {
        const OperationalStatus::Row& row = rows.at(i);
        auto* label = new QTableWidgetItem(row.label);
        auto* value = new QTableWidgetItem(row.value);
        value->setToolTip(row.raw);
        auto* situation = new QTableWidgetItem(row.problem ? QStringLiteral("PROBLEMA") : QStringLiteral("OK"));
        if (row.problem) {
            situation->setIcon(warning);
            for (QTableWidgetItem* item : {label, situation})
                item->setToolTip(row.reason);
            for (QTableWidgetItem* item : {label, value, situation}) {
                item->setBackground(ProblemBackground);
                item->setForeground(ProblemText);
            }
        }
        m_table->setItem(i, 0, label);
        m_table->setItem(i, 1, value);
        m_table->setItem(i, 2, situation);
    }
}

bool StatusView::save()
{
    const QString title = QStringLiteral("Salvar status operacional");
    const QString suggested
        = QDir(m_folder).filePath(ResultFiles::statusFileName(m_status.serial(), m_when, QStringLiteral(".txt")));
    QString filter = TextFilter;
    const QString path = m_chooser(this, title, suggested, {TextFilter, CsvFilter}, &filter);
    if (path.isEmpty())
        return false;
    const bool csv = QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0
        || (QFileInfo(path).suffix().isEmpty() && filter == CsvFilter);
    QString error;
    if (!ResultFiles::write(path, csv ? ResultFiles::statusAsCsv(m_status) : ResultFiles::statusAsText(m_status),
                            &error)) {
        QMessageBox::critical(this, title, error, QMessageBox::Ok);
        return false;
    }
    m_saved->setText(QStringLiteral("Status salvo em %1").arg(QDir::toNativeSeparators(path)));
    m_folder = QFileInfo(path).absolutePath();
    emit saved(path);
    return true;
}
