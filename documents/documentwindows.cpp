#include "documentwindows.h"

#include "checkwindow.h"
#include "testsalewindow.h"

#include <QWidget>

DocumentWindows* DocumentWindows::of(QWidget* mainWindow)
{
    if (auto* found = mainWindow->findChild<DocumentWindows*>(QString(), Qt::FindDirectChildrenOnly))
        return found;
    return new DocumentWindows(mainWindow);
}

DocumentWindows::DocumentWindows(QWidget* mainWindow)
    : QObject(mainWindow)
{
}

DocumentWindows::~DocumentWindows() = default;

DocumentCheckWindow* DocumentWindows::checkWindow()
{
    if (!check)
        check = std::make_unique<DocumentCheckWindow>();
    return check.get();
}

TestSaleWindow* DocumentWindows::testSaleWindow()
{
    if (!testSale)
        testSale = std::make_unique<TestSaleWindow>();
    return testSale.get();
}
