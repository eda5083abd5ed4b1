#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Untitled - Larkspur"));
    window.resize(800, 600);
    window.show();
    return application.exec();
}
