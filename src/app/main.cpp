// Ordalia: one window, no command line.

#include "app/main_window.h"
#include "app/window_script.h"
#include "common/path_text.h"
#include "common/program_folder.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ordalia::app::nameApplication();
    ordalia::app::WindowParts parts;
    parts.programFolder =
        ordalia::findProgramFolder(std::filesystem::path(app.applicationDirPath().toStdU16String()))
            .path;
    // The end-to-end tests drive the shipped window through a script.
    std::unique_ptr<ordalia::app::WindowScript> script;
    if (const auto file = ordalia::app::WindowScript::fromEnvironment(); !file.empty()) {
        script = std::make_unique<ordalia::app::WindowScript>(file);
        parts.dialogs = &script->dialogs();
    }
    ordalia::app::MainWindow window(parts);
    // The title stays the program's own; where its files lie is told on hover.
    window.setToolTip(QStringLiteral("Program folder: ") +
                      QString::fromStdString(ordalia::pathForMessage(parts.programFolder)));
    window.show();
    if (script)
        script->start(window);
    return app.exec();
}
