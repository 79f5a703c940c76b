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

} // namespace
} // namespace ordalia
