#pragma once

#include "savepathchooser.h"

#include <QDateTime>
#include <QWidget>

class LogFilterModel;
class LogTableModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The device's log as a table with a filter box and the count of rows shown, and "Salvar..." writing the log
// exactly as the device sent it.
class LogView : public QWidget {
    Q_OBJECT

public:
    explicit LogView(QWidget* parent = nullptr);

    // bytes: the decoded log; serial (may be empty) and when name the saved file.
    void setLog(const QByteArray& bytes, const QString& serial, const QDateTime& when);
    QByteArray log() const { return m_bytes; }
    int totalRows() const;
    int shownRows() const;

    void setSavePathChooser(SavePathChooser chooser) { m_chooser = std::move(chooser); }
    bool save();

private:
    void updateCount();

    QByteArray m_bytes;
    QString m_serial;
    QDateTime m_when;
    SavePathChooser m_chooser;
    LogTableModel* m_model;
    LogFilterModel* m_filter;
    QLineEdit* m_filterBox;
    QLabel* m_count;
    QTableView* m_table;
    QPushButton* m_save;
    QLabel* m_saved;
};
