// Renders every page of the window to PNG, for the documentation:
//   ordalia-screenshots OUTPUT_FOLDER [PROGRAM_FOLDER]
// Run it on the offscreen platform (QT_QPA_PLATFORM=offscreen); set
// QT_SCALE_FACTOR=2 for the pages at 200 %.

#include "app/main_window.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Ordalia"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: ordalia-screenshots OUTPUT_FOLDER [PROGRAM_FOLDER]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    ordalia::app::WindowParts parts;
    if (argc > 2)
        parts.programFolder = std::filesystem::path(argv[2]);
    ordalia::app::MainWindow window(parts);
    window.show();
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    const char* names[] = {"settings", "test-print", "logos", "font", "firmware"};
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        const QString file = QStringLiteral("%1/page-%2.png").arg(out, QLatin1String(names[i]));
        if (!window.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    // The compound word tab of the font page.
    tabs->setCurrentIndex(3);
    if (auto* font = window.findChild<QTabWidget*>(QStringLiteral("SSTab3"))) {
        font->setCurrentIndex(1);
        QApplication::processEvents();
        window.grab().save(QStringLiteral("%1/page-compound.png").arg(out));
    }
    return 0;
}
