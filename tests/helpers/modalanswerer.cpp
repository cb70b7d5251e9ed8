#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

ModalAnswerer::ModalAnswerer(QObject* parent)
    : QObject(parent)
{
    connect(&timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer.start(5);
}

void ModalAnswerer::then(Action action)
{
    actions.enqueue(std::move(action));
}

void ModalAnswerer::clear()
{
    boxes.clear();
    unexpected.clear();
    promptsSeen.clear();
    actions.clear();
    fallback = nullptr;
}

void ModalAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == handled)
        return;
    handled = modal;

    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        boxes.append(Box {box->icon(), box->windowTitle(), box->text(), box->standardButtons(), box->parentWidget()});
        if (beforeClosingBox)
            beforeClosingBox(box);
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->done(0);
        return;
    }
    promptsSeen.append(modal->objectName());
    if (actions.isEmpty() && fallback) {
        fallback(modal);
        return;
    }
    if (actions.isEmpty()) {
        unexpected.append(modal->objectName());
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    actions.dequeue()(modal);
}

namespace {

QLineEdit* lineEdit(QWidget* prompt)
{
    return prompt->findChild<QLineEdit*>();
}

void type(QWidget* prompt, const QString& text)
{
    QLineEdit* edit = lineEdit(prompt);
    if (!edit)
        return;
    edit->setFocus();
    // QTest types ASCII only; other characters go in as a paste would.
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 128;
    if (ascii)
        QTest::keyClicks(edit, text);
    else
        edit->insert(text);
}

} // namespace

ModalAnswerer::Action ModalAnswerer::typeAndAccept(const QString& text)
{
    return [text](QWidget* prompt) {
        type(prompt, text);
        QTest::keyClick(lineEdit(prompt) ? static_cast<QWidget*>(lineEdit(prompt)) : prompt, Qt::Key_Return);
    };
}

ModalAnswerer::Action ModalAnswerer::typeAndEscape(const QString& text)
{
    return [text](QWidget* prompt) {
        type(prompt, text);
        QTest::keyClick(lineEdit(prompt) ? static_cast<QWidget*>(lineEdit(prompt)) : prompt, Qt::Key_Escape);
    };
}

ModalAnswerer::Action ModalAnswerer::typeAndClose(const QString& text)
{
    return [text](QWidget* prompt) {
        type(prompt, text);
        prompt->close(); // what the title-bar button does
    };
}

ModalAnswerer::Action ModalAnswerer::chooseFile(const QString& path)
{
    return [path](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        QVERIFY2(dialog, "expected the file dialog");
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    };
}

ModalAnswerer::Action ModalAnswerer::cancelFileDialog()
{
    return [](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        QVERIFY2(dialog, "expected the file dialog");
        dialog->reject();
    };
}

ModalAnswerer::Action ModalAnswerer::inspect(std::function<void(QWidget*)> look, Action then)
{
    return [look, then](QWidget* window) {
        look(window);
        then(window);
    };
}
