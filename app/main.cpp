#include "app/mainwindow.h"
#include "app/qttranslations.h"
#include "app/standardwindows.h"
#include "library/librarystatus.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Before the window is built, so that its dialogs and menus come up in Portuguese; without the
    // catalogue they stay in English and the tool runs as before.
    installQtTranslations(application, qtTranslationsFolder());
    keepStandardWindowsNative(application);
    MainWindow window;
    installLibraryControls(&window);
    startLibraryOnceShown(&window);
    window.show();
    return application.exec();
}
