// Renders every page of the window to PNG, for the documentation:
//   ordalia-screenshots OUTPUT_FOLDER [PROGRAM_FOLDER [HOST...]]
// With hosts (network printers, virtual ones), also "Many Printers…" after
// the example profile ran on them, and the report it wrote.
// Run it on the offscreen platform (QT_QPA_PLATFORM=offscreen); set
// QT_SCALE_FACTOR=2 for the pages at 200 %.

#include "app/fleet_dialog.h"
#include "app/main_window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTextDocument>
#include <cstdio>

namespace {

// "Many Printers…" once the example profile has run on `hosts`, then the
// report it wrote, drawn as a browser would lay it out.
bool shootFleet(ordalia::app::MainWindow& window, const QString& hosts, const QString& out) {
    window.findChild<QPushButton*>(QStringLiteral("ManyPrinters"))->click();
    auto* fleet = window.findChild<ordalia::app::FleetDialog*>(QStringLiteral("FleetDialog"));
    fleet->findChild<QLineEdit*>(QStringLiteral("FleetHosts"))->setText(hosts);
    fleet->findChild<QPushButton*>(QStringLiteral("FleetStart"))->click();
    QElapsedTimer waited;
    waited.start();
    while (fleet->reportPage().empty() && waited.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();
    if (fleet->reportPage().empty() ||
        !fleet->grab().save(QStringLiteral("%1/fleet-dialog.png").arg(out)))
        return false;
    QFile page(QString::fromStdString(fleet->reportPage().string()));
    if (!page.open(QIODevice::ReadOnly))
        return false;
    QTextDocument report;
    report.setHtml(QString::fromUtf8(page.readAll()));
    report.setTextWidth(900);
    QImage image(report.size().toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    report.drawContents(&painter);
    painter.end();
    return image.save(QStringLiteral("%1/fleet-report.png").arg(out));
}

} // namespace

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
    QStringList hosts;
    for (int i = 3; i < argc; ++i)
        hosts << QString::fromLocal8Bit(argv[i]);
    if (!hosts.isEmpty() && !shootFleet(window, hosts.join(QLatin1Char(' ')), out)) {
        std::fprintf(stderr, "the fleet did not run on %s\n", qPrintable(hosts.join(' ')));
        return 1;
    }
    return 0;
}
