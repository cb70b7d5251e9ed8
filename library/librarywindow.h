#pragma once

#include "devicebackend.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "Biblioteca do SAT": a library file picked and checked at once, in a host of its own (whether it loads and why
// not, which standard functions it has and lacks, whether it has CodigoErro, 32 or 64 bits); then used and
// remembered, or the emulator put back.
class LibraryWindow : public QDialog {
    Q_OBJECT

public:
    explicit LibraryWindow(QWidget* parent = nullptr);

    // Checks the file and shows what it has; what "Escolher..." does after the file dialog.
    void checkFile(const QString& path);

private:
    void chooseFile();
    void useChecked();
    void useEmulator();
    void showInUse();
    void showReport(const LibraryReport& report);

    QLabel* inUse;
    QLineEdit* file;
    QLabel* verdict;
    QTreeWidget* functions;
    QPushButton* use;
    LibraryReport checked;
};
