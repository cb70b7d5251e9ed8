#include "logtablemodel.h"

LogTableModel::LogTableModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void LogTableModel::setLines(QList<LogLine> lines)
{
    beginResetModel();
    m_lines = std::move(lines);
    endResetModel();
}

int LogTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

int LogTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LogTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const LogLine& line = m_lines.at(index.row());
    switch (index.column()) {
    case When:
        return line.when;
    case Origin:
        return line.origin;
    case Level:
        return line.level;
    case Message:
        return line.message;
    }
    return {};
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    switch (section) {
    case When:
        return QStringLiteral("Data e hora");
    case Origin:
        return QStringLiteral("Origem");
    case Level:
        return QStringLiteral("Nível");
    case Message:
        return QStringLiteral("Mensagem");
    }
    return {};
}
