// Ordalia: one window, no command line.

#include "app/main_window.h"
#include "common/path_text.h"
#include "common/program_folder.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ordalia::app::nameApplication();
    ordalia::app::WindowParts parts;
    parts.programFolder =
        ordalia::findProgramFolder(std::filesystem::path(app.applicationDirPath().toStdU16String()))
            .path;
    ordalia::app::MainWindow window(parts);
    // The title stays the program's own; where its files lie is told on hover.
    window.setToolTip(QStringLiteral("Program folder: ") +
                      QString::fromStdString(ordalia::pathForMessage(parts.programFolder)));
    window.show();
    return app.exec();
}
