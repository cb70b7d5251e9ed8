#pragma once

#include <QSortFilterProxyModel>

class LogTableModel;

// Keeps the log lines whose message or level contains the filter text, case-insensitively.
class LogFilterModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit LogFilterModel(QObject* parent = nullptr);

    void setLogModel(LogTableModel* model);
    void setFilterText(const QString& text);
    QString filterText() const { return m_text; }
    // "N de M linhas"
    QString countText() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    LogTableModel* m_log = nullptr;
    QString m_text;
};
