// Prints the first session numbers of a fresh run, so a test can compare runs.
#include "app/mainwindow.h"
#include "commands/sessionnumber.h"

#include <cstdio>

int main()
{
    clearRecentSessions();
    for (int i = 0; i < 5; ++i)
        std::printf("%d\n", MainWindow::uniqueSessionNumber(0, 999999));
    return 0;
}
