#pragma once

#include "answeroutcome.h"
#include "commandresult.h"

#include <QAbstractTableModel>
#include <QList>

// Every result of the run, newest first, as the rows of the results window's
// list. Kept in memory only. A command the device refused reads "Recusado" and
// its code where a receipt's number goes, in red with an icon.
class ResultList : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { TimeColumn, CommandColumn, NumberColumn, TotalColumn, ColumnCount };

    explicit ResultList(QObject* parent = nullptr);

    // The result becomes row 0.
    void add(CommandResult result);
    const CommandResult& at(int row) const { return rows.at(row).result; }
    const AnswerOutcome& outcomeAt(int row) const { return rows.at(row).outcome; }

    // A command's report title as its button spells it ("Numero Sessao" is shown "Número Sessão").
    static QString commandLabel(const QString& title);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        CommandResult result;
        AnswerOutcome outcome;
        // Read once from the document when the row is added; blank where it has none.
        QString number;
        QString total;
    };
    QList<Row> rows;
};
