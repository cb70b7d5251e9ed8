#pragma once

#include "operationalstatus.h"
#include "savepathchooser.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

// The operational status as a table a technician reads at a glance: a summary line, one row per device field
// with problems marked by colour and by a word with an icon, the memory share as a bar, and "Salvar..." as text
// or CSV. An answer that is no status shows the device's code and message instead of the table. The value column
// gives way when room is short, so the situation's word is always seen whole.
class StatusView : public QWidget {
    Q_OBJECT

public:
    explicit StatusView(QWidget* parent = nullptr);

    // when is the moment of the query: the SAT's clock and the certificate are judged against it.
    void setAnswer(const QByteArray& answer, const QDateTime& when);
    const OperationalStatus& status() const { return m_status; }

    // Whether an answer that is no status says the device's code and message; off where the window above already
    // says it.
    void setFailureShown(bool shown);

    void setSavePathChooser(SavePathChooser chooser) { m_chooser = std::move(chooser); }
    // The folder the save proposes; the home folder until set.
    void setSaveFolder(const QString& folder) { m_folder = folder; }
    QString saveFolder() const { return m_folder; }
    // Asks for a path and writes the status there; false when nothing was written.
    bool save();

signals:
    void saved(const QString& path);

private:
    void fillTable();

    OperationalStatus m_status;
    QDateTime m_when;
    bool m_failureShown = true;
    SavePathChooser m_chooser;
    QString m_folder;
    QLabel* m_summary;
    QProgressBar* m_memory;
    QTableWidget* m_table;
    QPushButton* m_save;
    QLabel* m_saved;
};
