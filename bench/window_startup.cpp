// ordalia-bench-window: builds the main window as the program does, shows it
// and lets it process its events, then prints how long that took and ends.
// Run on the offscreen platform by ordalia-bench-footprint, which also takes
// the peak memory of the process.

#include "app/main_window.h"

#include <QApplication>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char* argv[]) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ordalia"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ordalia"));
    ordalia::app::WindowParts parts;
    if (argc > 1)
        parts.programFolder = argv[1];
    ordalia::app::MainWindow window(parts);
    window.show();
    // Shown means exposed with its first paint done.
    const auto deadline = start + std::chrono::seconds(30);
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) &&
           Clock::now() < deadline) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    QApplication::processEvents();
    const bool shown = window.windowHandle() && window.windowHandle()->isExposed();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%s %.1f\n", shown ? "shown_ms" : "not_shown_ms", ms);
    return shown ? 0 : 1;
}
