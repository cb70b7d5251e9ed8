#pragma once

#include "savepathchooser.h"

#include <QDateTime>
#include <QWidget>

class LogFilterModel;
class LogTableModel;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;

// The device's log as a table with a filter box and the count of rows shown, and "Salvar..." writing the log
// exactly as the device sent it. While the filter hides lines, "Salvar..." offers the whole log or only the lines
// shown, which are written with the very bytes the device sent for them.
class LogView : public QWidget {
    Q_OBJECT

public:
    enum class Part { Whole, Shown };

    explicit LogView(QWidget* parent = nullptr);

    // bytes: the decoded log; serial (may be empty) and when name the saved file.
    void setLog(const QByteArray& bytes, const QString& serial, const QDateTime& when);
    QByteArray log() const { return m_bytes; }
    int totalRows() const;
    int shownRows() const;
    // The lines the filter lets through, as the device sent them.
    QByteArray shownBytes() const;

    void setSavePathChooser(SavePathChooser chooser) { m_chooser = std::move(chooser); }
    // The folder the save proposes; the home folder until set.
    void setSaveFolder(const QString& folder) { m_folder = folder; }
    QString saveFolder() const { return m_folder; }
    // Asks for a path and writes that part of the log there; false when nothing was written.
    bool save(Part part = Part::Whole);

signals:
    void saved(const QString& path);

private:
    void updateCount();

    QByteArray m_bytes;
    QString m_serial;
    QDateTime m_when;
    SavePathChooser m_chooser;
    QString m_folder;
    LogTableModel* m_model;
    LogFilterModel* m_filter;
    QLineEdit* m_filterBox;
    QLabel* m_count;
    QTableView* m_table;
    QPushButton* m_save;
    QMenu* m_saveMenu;
    QAction* m_saveWhole;
    QAction* m_saveShown;
    QLabel* m_saved;
};
