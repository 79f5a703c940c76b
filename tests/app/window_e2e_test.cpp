// The window against the virtual printer over a real pseudo-terminal: a click
// puts exactly the test file's bytes on the printer's line.

#include "app/main_window.h"
#include "link/port_names.h"
#include "support/harness.h"
#include "virtual_printer.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <fstream>

using namespace ordalia;
using namespace ordalia::testing;
using namespace std::chrono_literals;

namespace {

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

class WindowE2ETest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void receiptOneReachesThePrinterByteForByte() {
        TempFolder program;
        const auto rec1 = readFile(std::filesystem::path(ORDALIA_SHIPPED_TESTPAGES) / "rec1.p");
        QVERIFY(rec1.size() > 100);
        program.write("testpage/rec1.p", rec1);

        vprinter::VirtualPrinterOptions options;
        options.printer.nvFolder = program.path() / "nv";
        options.captureFile = program.path() / "capture.bin";
        vprinter::VirtualPrinter printer(options);
        printer.start();
        QVERIFY(setMappedPortDevice(1, printer.slavePath(), program.path() / "ports"));

        RecordingDialogs dialogs;
        app::WindowParts parts;
        parts.programFolder = program.path();
        parts.dialogs = &dialogs;
        app::MainWindow window(parts);
        window.show();
        QCOMPARE(window.findChild<QComboBox*>("SPort")->toolTip(),
                 QString::fromStdString(printer.slavePath()));

        QTest::mouseClick(window.findChild<QPushButton*>("test_rec1"), Qt::LeftButton);
        QVERIFY(printer.waitForBytes(rec1.size(), 10s));
        QVERIFY(printer.waitForQuiet(100ms, 2s));
        QCOMPARE(printer.received(), rec1);
        QCOMPARE(program.read("capture.bin"), rec1);
        QVERIFY(dialogs.messages.empty());
    }

    void unopenablePortNamesTheDeviceAndTheReason() {
        TempFolder program;
        program.write("testpage/rec1.p", "text\n");
        program.write("ports", "COM 2=/dev/ordalia-no-such-port\n");
        RecordingDialogs dialogs;
        app::WindowParts parts;
        parts.programFolder = program.path();
        parts.dialogs = &dialogs;
        app::MainWindow window(parts);
        window.findChild<QComboBox*>("SPort")->setCurrentIndex(2);
        QTest::mouseClick(window.findChild<QPushButton*>("test_rec1"), Qt::LeftButton);
        QCOMPARE(dialogs.messages.size(), std::size_t{1});
        const QString text = QString::fromStdString(dialogs.messages[0].text);
        QVERIFY2(text.contains("COM 2") && text.contains("/dev/ordalia-no-such-port"),
                 qPrintable(text));
    }
};

QTEST_MAIN(WindowE2ETest)
#include "window_e2e_test.moc"
