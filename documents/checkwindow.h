#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QTreeWidget;

// "Verificar XML": every fault of a sale or cancellation document, each with its field, the rule it breaks and the
// rejection code a device would give, or "Nenhum problema encontrado". The rules are the emulator's own, the ones
// its refusals come from. The window only reads: "Venda" and "Cancela" still send a file exactly as it is.
class DocumentCheckWindow : public QWidget {
    Q_OBJECT

public:
    explicit DocumentCheckWindow(QWidget* parent = nullptr);

    // Reads and checks the file, and shows what was found (or why the file could not be read).
    void checkFile(const QString& path);
    // Asks for a file, over `parent`, and checks it; false when the user gave up.
    bool chooseAndCheck(QWidget* parent);

    QString checkedFile() const { return path; }

private:
    void showFaults(const QByteArray& document);
    void showUnreadable(const QString& reason);

    QString path;
    QString folder; // where the last file came from, for the next choice
    QLabel* file;
    QLabel* summary;
    QTreeWidget* faults;
    QPushButton* again;
};
