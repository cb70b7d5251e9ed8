#pragma once

// A fresh main window on the recording double for each test, with the modal
// answerer ready and the program-wide state back at its start values.

#include "app/commandstate.h"
#include "app/mainwindow.h"
#include "modalanswerer.h"
#include "satdouble.h"

#include <QAbstractButton>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class WindowFixture {
public:
    WindowFixture()
    {
        SatDouble::reset();
        dialogRejected = false;
        lastAnswer = nullptr;
        window = std::make_unique<MainWindow>();
    }

    template <typename T> T* widget(const char* name) const
    {
        T* found = window->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

    // Clicks a command button and returns once its slot has finished, with
    // every modal window it opened answered.
    void click(const char* button) { widget<QAbstractButton>(button)->click(); }

    // A file of the test's own, in a folder removed with the fixture.
    QString writeFile(const QString& name, const QByteArray& content)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    std::unique_ptr<MainWindow> window;
    ModalAnswerer modal;
    QTemporaryDir dir;
};
