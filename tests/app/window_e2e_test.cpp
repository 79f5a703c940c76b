// The window against the virtual printer over a real pseudo-terminal: a click
// puts exactly the test page's bytes on the printer's line.

#include "app/fleet_dialog.h"
#include "app/main_window.h"
#include "ports/system_ports.h"
#include "support/bytes.h"
#include "support/loopback_listener.h"
#include "support/printer_on_pty.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <netdb.h>
#include <stdlib.h>
#include <thread>

namespace ordalia {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::PrinterOnPty;

TEST_F(PrinterOnPty, ReceiptOneFromTheWindowReachesThePrinterByteForByte) {
    static int argc = 1;
    static char* argv[] = {const_cast<char*>("window_e2e_test"), nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::filesystem::create_directories(program.path() / "testpage");
    std::filesystem::copy_file(std::filesystem::path(ORDALIA_SHIPPED_TESTPAGES) / "rec1.p",
                               program.path() / "testpage" / "rec1.p");
    const auto page = program.read("testpage/rec1.p");
    app::MainWindow window({program.path(), serial.get(), &parallel, nullptr, &dialogs});
    window.findChild<QPushButton*>("test_rec1")->click();
    EXPECT_TRUE(printer->waitForBytes(page.size(), 10s) && printer->waitForQuiet(100ms, 2s));
    EXPECT_EQ(printer->received(), page);
    EXPECT_TRUE(dialogs.messages.empty());
}

// A printer near the end of its paper with its cover open.
struct PrinterNeedingCare : PrinterOnPty {
    PrinterNeedingCare()
        : PrinterOnPty([](auto& o) {
              o.printer.state.paper = vprinter::PaperState::NearEnd;
              o.printer.state.coverOpen = true;
          }) {}
};

// Off line, the printer answers only the real-time statuses and keeps the
// rest in its buffer: Printer Info says why at once and asks nothing more,
// so nothing is left waiting for the next operation, which goes through
// once the cover is closed.
TEST_F(PrinterNeedingCare, PrinterInfoSaysWhyItIsOffLineAndLeavesNothingBehind) {
    static int argc = 1;
    static char* argv[] = {const_cast<char*>("window_e2e_test"), nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::filesystem::create_directories(program.path() / "testpage");
    std::filesystem::copy_file(std::filesystem::path(ORDALIA_SHIPPED_TESTPAGES) / "rec1.p",
                               program.path() / "testpage" / "rec1.p");
    app::MainWindow window({program.path(), serial.get(), &parallel, nullptr, &dialogs});
    window.findChild<QPushButton*>("PrinterInfo")->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const std::string& text = dialogs.messages[0].text;
    for (const char* line :
         {"Model name: not asked (the printer is off line)\n", "Printer: off line\n",
          "Cover: open\n", "Paper: near end\n", "Off line: cover open\n", "Error: none"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " not in\n" << text;
    EXPECT_EQ(printer->received(), (std::vector<std::uint8_t>{0x10, 0x04, 1, 0x10, 0x04, 2, 0x10,
                                                              0x04, 3, 0x10, 0x04, 4}));

    printer->withModel([](vprinter::PrinterModel& model) { model.state().coverOpen = false; });
    const std::size_t before = printer->received().size();
    window.findChild<QPushButton*>("test_rec1")->click();
    const auto page = program.read("testpage/rec1.p");
    EXPECT_TRUE(printer->waitForBytes(before + page.size(), 10s) &&
                printer->waitForQuiet(100ms, 2s));
    auto received = printer->received();
    received.erase(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(received, page);
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

// A resolver that answers long after the lookup has been given up.
int answersTooLate(const char*, const char*, const addrinfo*, addrinfo**) {
    std::this_thread::sleep_for(8s);
    return EAI_AGAIN;
}

// Every wait on a link that does not answer (a name no resolver answers, a
// connection never accepted, a printer that stops reading, a USB printer that
// takes nothing) lets the window repaint until it ends with a message. The
// longest gap between two passes of a 5 ms timer is measured over the click;
// a call that blocks would show a gap of seconds.
TEST(WindowWaits, EveryLinkThatDoesNotAnswerKeepsTheWindowRepainting) {
    static int argc = 1;
    static char* argv[] = {const_cast<char*>("window_e2e_test"), nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::LoopbackListener neverAccepts, stopsReading;
    neverAccepts.fillBacklog();
    // The printer's end of a pseudo-terminal that is never read.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ::grantpt(master);
    ::unlockpt(master);
    const std::string slave = ::ptsname(master);
    const struct Case {
        const char* name;
        std::function<std::unique_ptr<SerialPort>()> port;
        std::string host; // empty: COM 1
        const char* said;
    } kCases[] = {
        {"a name no resolver answers", [] { return createNetworkPort(answersTooLate); },
         "printer.local", "no name server answered"},
        {"a printer that accepts no connection", [] { return createNetworkPort(); },
         neverAccepts.where.substr(6), "tcp://"},
        {"a printer that stops reading", [] { return createNetworkPort(); },
         stopsReading.where.substr(6), "tcp://"},
        {"a USB printer that takes nothing", [] { return createUsbPrinterPort(); }, "", "COM 1"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        testing::TempFolder program;
        testing::RecordingDialogs dialogs;
        testing::FakeParallelPort parallel;
        program.write("testpage/rec1.p", testing::pseudoRandomBytes(256 * 1024, 7));
        ASSERT_TRUE(setMappedPortDevice(1, slave, program.path() / "ports"));
        const auto port = c.port();
        app::MainWindow window({program.path(), port.get(), &parallel, nullptr, &dialogs});
        if (!c.host.empty()) {
            window.findChild<QRadioButton*>("PortSelect_Network")->click();
            window.findChild<QLineEdit*>("NetHost")->setText(QString::fromStdString(c.host));
        }
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        int passes = 0;
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
            ++passes;
        });
        ticks.start(5);
        clock.start();
        window.findChild<QPushButton*>("test_rec1")->click();
        longest = std::max(longest, clock.elapsed() - last);
        ticks.stop();
        EXPECT_THAT(dialogs.texts(), ElementsAre(HasSubstr(c.said)));
        EXPECT_FALSE(port->isOpen());
        EXPECT_GT(passes, 20);
        // 50 ms slices; a loaded machine may stretch one, never to seconds.
        EXPECT_LT(longest, 500) << c.name;
        std::cout << c.name << ": " << clock.elapsed() << " ms, longest gap " << longest
                  << " ms over " << passes << " passes\n";
    }
    ::close(master);
}

// "Many Printers…" runs the example profile on two network printers while
// the window's own pages are refused, and shows each printer's row and the
// report.
TEST(FleetFromTheWindow, TheExampleProfileOnTwoNetworkPrinters) {
    static int argc = 1;
    static char* argv[] = {const_cast<char*>("window_e2e_test"), nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::TempFolder program;
    testing::RecordingDialogs dialogs;
    testing::FakeParallelPort parallel;
    const auto port = createSystemSerialPort();
    std::vector<std::unique_ptr<vprinter::VirtualPrinter>> printers;
    QString hosts;
    for (const char* serial : {"SHOP-1", "SHOP-2"}) {
        vprinter::VirtualPrinterOptions o;
        o.tcpPort = 0;
        o.printer.identity.serialNumber = serial;
        printers.push_back(std::make_unique<vprinter::VirtualPrinter>(o));
        printers.back()->start();
        hosts += QString::fromStdString(printers.back()->slavePath()) + " ";
    }
    app::MainWindow window({program.path(), port.get(), &parallel, nullptr, &dialogs});
    window.findChild<QPushButton*>("ManyPrinters")->click();
    auto* fleet = window.findChild<app::FleetDialog*>("FleetDialog");
    ASSERT_TRUE(fleet && fleet->isVisible());
    fleet->findChild<QLineEdit*>("FleetProfile")->setText(ORDALIA_EXAMPLE_PROFILE);
    fleet->findChild<QLineEdit*>("FleetHosts")->setText(hosts);
    fleet->findChild<QPushButton*>("FleetStart")->click();
    ASSERT_TRUE(fleet->running()) << (dialogs.messages.empty() ? "" : dialogs.texts()[0]);
    window.findChild<QPushButton*>("test_rec1")->click();
    EXPECT_THAT(dialogs.texts(), ElementsAre(HasSubstr("Another transfer")));
    QElapsedTimer waited;
    waited.start();
    while (fleet->reportPage().empty() && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_FALSE(fleet->reportPage().empty());
    EXPECT_TRUE(std::filesystem::exists(fleet->reportPage()));
    const auto* rows = fleet->findChild<QTableWidget*>("FleetRows");
    ASSERT_EQ(rows->rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(rows->item(row, 4)->text(), "ok");
        EXPECT_EQ(rows->item(row, 1)->text().toStdString(),
                  "VIRTUAL-80 SHOP-" + std::to_string(row + 1));
        EXPECT_GT(printers[static_cast<std::size_t>(row)]->received().size(), 1000u);
    }
    EXPECT_FALSE(window.services().gate.busy());
}

} // namespace
} // namespace ordalia
