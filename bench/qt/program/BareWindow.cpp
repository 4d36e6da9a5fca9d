// The yardstick of the start-up benchmark: a bare Qt window with a given title and size and
// nothing else, started as the program is.
#include <QApplication>
#include <QWidget>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        return 2;
    }
    QWidget window;
    window.setWindowTitle(QString::fromLocal8Bit(argv[1]));
    window.resize(std::atoi(argv[2]), std::atoi(argv[3]));
    window.show();
    return QApplication::exec();
}
