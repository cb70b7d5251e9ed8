// The yardstick for the tool's start-up: the least a Qt Widgets program does before its window is shown.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Janela vazia"));
    window.resize(708, 635);
    window.show();
    return application.exec();
}
