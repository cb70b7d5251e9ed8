#include "logfiltermodel.h"

#include "logtablemodel.h"

LogFilterModel::LogFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

void LogFilterModel::setLogModel(LogTableModel* model)
{
    m_log = model;
    setSourceModel(model);
}

void LogFilterModel::setFilterText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    invalidateRowsFilter();
}

QString LogFilterModel::countText() const
{
    const int total = m_log ? m_log->rowCount() : 0;
    return QStringLiteral("%1 de %2 linhas").arg(rowCount()).arg(total);
}

// Reads the parsed lines directly: going through data() and QVariant for every row would cost a keystroke
// several times more on a long log.
bool LogFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (m_text.isEmpty() || !m_log || sourceParent.isValid())
        return true;
    const LogLine& line = m_log->lines().at(sourceRow);
    return line.message.contains(m_text, Qt::CaseInsensitive) || line.level.contains(m_text, Qt::CaseInsensitive);
}
