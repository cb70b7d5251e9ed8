#pragma once

// Answers the modal windows a command opens while a test clicks its button:
// message boxes are recorded (icon, title, text, buttons) and closed with Ok;
// prompts and file dialogs get the actions the test queued, in order. A modal
// window with no action queued is recorded as unexpected and dismissed, so a
// test never hangs on it.

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class ModalAnswerer : public QObject {
    Q_OBJECT

public:
    struct Box {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QWidget* parent;
    };
    using Action = std::function<void(QWidget*)>;

    explicit ModalAnswerer(QObject* parent = nullptr);

    // The action for the next modal window that is not a message box.
    void then(Action action);

    // The action for modal windows when none is queued; without one, such a
    // window is recorded as unexpected and dismissed.
    void otherwise(Action action) { fallback = std::move(action); }

    // Forgets the boxes, the unexpected windows and the queued actions.
    void clear();

    QList<Box> boxes;
    // Runs while each message box is still open, before it is closed.
    std::function<void(QMessageBox*)> beforeClosingBox;
    QStringList unexpected; // object names of windows nobody answered
    QStringList promptsSeen; // object names of the prompts, in order
    int pendingActions() const { return static_cast<int>(actions.size()); }

    // Prompt actions: type into the prompt's line edit, then press Enter,
    // press Escape, or close the window with its title-bar button.
    static Action typeAndAccept(const QString& text);
    static Action typeAndEscape(const QString& text);
    static Action typeAndClose(const QString& text);
    // File dialog actions.
    static Action chooseFile(const QString& path);
    static Action cancelFileDialog();

    // A prompt action that also records what a test wants to inspect while
    // the prompt is open.
    static Action inspect(std::function<void(QWidget*)> look, Action then);

private:
    void poll();

    QTimer timer;
    QQueue<Action> actions;
    Action fallback;
    QPointer<QWidget> handled;
};
