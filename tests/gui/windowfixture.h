#pragma once

// A fresh main window on the recording double for each test, with the modal
// answerer ready and the program-wide state back at its start values.

#include "app/commandstate.h"
#include "app/mainwindow.h"
#include "modalanswerer.h"
#include "satdouble.h"

#include <QAbstractButton>
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

    std::unique_ptr<MainWindow> window;
    ModalAnswerer modal;
};
