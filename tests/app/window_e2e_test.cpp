// The window against the virtual printer over a real pseudo-terminal: a click
// puts exactly the test page's bytes on the printer's line.

#include "app/main_window.h"
#include "support/printer_on_pty.h"

#include <QApplication>
#include <QPushButton>

namespace ordalia {
namespace {

using namespace std::chrono_literals;
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

TEST_F(PrinterNeedingCare, PrinterInfoShowsWhatThePrinterAnswered) {
    static int argc = 1;
    static char* argv[] = {const_cast<char*>("window_e2e_test"), nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    app::MainWindow window({program.path(), serial.get(), &parallel, nullptr, &dialogs});
    window.findChild<QPushButton*>("PrinterInfo")->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const std::string& text = dialogs.messages[0].text;
    for (const char* line : {"Model name: VIRTUAL-80\n", "Printer: off line\n", "Cover: open\n",
                             "Paper: near end\n", "Off line: cover open\n", "Error: none"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " not in\n" << text;
}

} // namespace
} // namespace ordalia
