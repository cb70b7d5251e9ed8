#pragma once

#include "logparser.h"

#include <QAbstractTableModel>

// The parsed log lines as a table: data e hora, origem, nível, mensagem.
class LogTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { When, Origin, Level, Message, ColumnCount };

    explicit LogTableModel(QObject* parent = nullptr);

    void setLines(QList<LogLine> lines);
    const QList<LogLine>& lines() const { return m_lines; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<LogLine> m_lines;
};
