// Ordalia: one window, no command line.

#include "app/main_window.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ordalia::app::nameApplication();
    ordalia::app::MainWindow window;
    window.show();
    return app.exec();
}
