// Entry point: builds the application's shared objects once and runs the event loop.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvenda"));
    QApplication::setOrganizationName(QStringLiteral("Morvenda"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Morvenda"));
    window.resize(1200, 800);
    window.show();
    return app.exec();
}
