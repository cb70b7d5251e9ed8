#include "resultlist.h"

#include "cfeformat.h"
#include "cfereceipt.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QStyle>

namespace {

const QColor FailureBackground(255, 221, 221);
const QColor FailureText(140, 0, 0);

} // namespace

ResultList::ResultList(QObject* parent)
    : QAbstractTableModel(parent)
{
}

QString ResultList::commandLabel(const QString& title)
{
    // The commands' report titles are fixed, and some were written without their accents.
    static const struct {
        const char* title;
        const char* label;
    } spellings[] = {
        {"Numero Sessao", "Número Sessão"},
    };
    for (const auto& spelling : spellings)
        if (title == QLatin1String(spelling.title))
            return QString::fromUtf8(spelling.label);
    return title;
}

void ResultList::add(CommandResult result)
{
    Row row {std::move(result), {}, {}, {}};
    row.outcome = AnswerOutcome::of(row.result.answer);
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
    const bool failed = row.outcome.failed();
    switch (role) {
    case Qt::ToolTipRole: {
        const QString when = row.result.when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
        return failed ? QStringLiteral("%1\n%2").arg(when, row.outcome.longText()) : when;
    }
    case Qt::TextAlignmentRole:
        return index.column() == TotalColumn ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    case Qt::BackgroundRole:
        return failed ? QVariant(QBrush(FailureBackground)) : QVariant();
    case Qt::ForegroundRole:
        return failed ? QVariant(QBrush(FailureText)) : QVariant();
    case Qt::DecorationRole:
        if (failed && index.column() == CommandColumn)
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
        return {};
    case Qt::DisplayRole:
        break;
    default:
        return {};
    }
    switch (index.column()) {
    case TimeColumn:
        return row.result.when.toString(QStringLiteral("HH:mm:ss"));
    case CommandColumn:
        return commandLabel(row.result.command);
    case NumberColumn:
        return failed ? row.outcome.shortText() : row.number;
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
