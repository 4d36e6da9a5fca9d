#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label("Velmorix I2C Comm: the register console is not built yet.");
    label.setWindowTitle("Velmorix I2C Comm");
    label.resize(420, 80);
    label.show();
    return app.exec();
}
