// The reference for the start-up benchmark: the least a Qt Widgets program does to put a
// window of Tandrel's size on the screen.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.resize(420, 800);
    window.show();
    return QApplication::exec();
}
