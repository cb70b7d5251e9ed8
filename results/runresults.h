#pragma once

/*
 * The results of the run and the window that shows them.
 *
 * A command that receives a document keeps a copy of it at once (keepReceipt),
 * since the library's answer and the decoding buffer only last until the next
 * call. The copies go to the run's RunResults, a child object of the main
 * window, found or made on first use: the results live and die with the main
 * window and nothing is written to disk. The first result enables the main
 * window's "Detalhes..." button, which opens the one ResultWindow.
 *
 * The window is a top-level widget with no widget parent, so the main window's
 * style sheet does not cascade into the extract; RunResults owns it and deletes
 * it with the main window.
 */

#include "commandresult.h"

#include <QObject>

#include <cstddef>
#include <memory>

class QWidget;
class ResultList;
class ResultWindow;

class RunResults : public QObject {
    Q_OBJECT

public:
    // The results kept for this main window, made on first use.
    static RunResults* of(QWidget* mainWindow);
    ~RunResults() override;

    void add(CommandResult result);
    ResultList* list() const { return results; }

    // The window, made on first use; null until then.
    ResultWindow* window() const { return shown.get(); }
    // Opens (or raises) the window on the newest result.
    void showLatest();

private:
    explicit RunResults(QWidget* mainWindow);

    QWidget* mainWindow;
    ResultList* results;
    std::unique_ptr<ResultWindow> shown;
};

// Adds a result of the command, stamped with this computer's clock: the
// document it received (decoded) and a copy of the whole answer (null reads as
// empty).
void keepResult(QWidget* mainWindow, CommandResult::Kind kind, const QString& command, QByteArray document,
                const char* answer);

// Keeps the Base64 document in the answer's field after its n-th "|", decoded
// as the commands decode it, when the answer has that field and it is not
// empty; true when it was kept. Reads nothing but the answer, and shows nothing.
bool keepReceipt(QWidget* mainWindow, CommandResult::Kind kind, const QString& command, const char* answer, int field);

// The same for a receipt the command has already decoded: its bytes, kept when
// there are any, with the answer they came from.
bool keepDecodedReceipt(QWidget* mainWindow, CommandResult::Kind kind, const QString& command, const char* answer,
                        const char* decoded, std::size_t length);
