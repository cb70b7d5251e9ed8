#include "resultlist.h"

#include "cfeformat.h"
#include "cfereceipt.h"

ResultList::ResultList(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void ResultList::add(CommandResult result)
{
    Row row {std::move(result), {}, {}};
    if (isReceipt(row.result.kind)) {
        const satresults::CfeParseResult parsed = satresults::parseCfeReceipt(row.result.document);
        if (parsed.ok) {
            row.number = satresults::formatExtractNumber(parsed.receipt.number);
            if (!parsed.receipt.total.isEmpty())
                row.total = satresults::formatMoney(parsed.receipt.total);
        }
    }
    beginInsertRows(QModelIndex(), 0, 0);
    rows.prepend(std::move(row));
    endInsertRows();
}

int ResultList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int ResultList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ResultList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size())
        return {};
    const Row& row = rows.at(index.row());
    if (role == Qt::ToolTipRole)
        return row.result.when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    if (role == Qt::TextAlignmentRole && index.column() == TotalColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case TimeColumn:
        return row.result.when.toString(QStringLiteral("HH:mm:ss"));
    case CommandColumn:
        return row.result.command;
    case NumberColumn:
        return row.number;
    case TotalColumn:
        return row.total;
    }
    return {};
}

QVariant ResultList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TimeColumn:
        return QStringLiteral("Hora");
    case CommandColumn:
        return QStringLiteral("Comando");
    case NumberColumn:
        return QString::fromUtf8("Número");
    case TotalColumn:
        return QStringLiteral("Total R$");
    }
    return {};
}
