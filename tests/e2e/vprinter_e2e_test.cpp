// The virtual printer on a real pseudo-terminal, reached through the
// machine's serial port code: what only a real line shows. Every byte value
// crosses it unchanged, replies come back in time, and a printer that hangs
// up, stops reading or answers nothing is seen as such by the program. Then
// the command ordalia-vprinter as a script runs it.

#include "png.h"
#include "support/printer_on_pty.h"
#include "support/process.h"
#include "testpage_source.h"
#include "testprint/test_pages.h"

#include <gmock/gmock.h>
#include <numeric>
#include <thread>

namespace ordalia {
namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

class VirtualPrinterOnPty : public testing::PrinterOnPty {
protected:
    VirtualPrinterOnPty()
        : PrinterOnPty([](vprinter::VirtualPrinterOptions& options) {
              options.captureFile = options.printer.nvFolder.parent_path() / "capture.bin";
          }) {}

    // A test page of every byte value in turn, CR, LF, XON and XOFF among them.
    Bytes writePage(std::size_t size) {
        Bytes page(size);
        std::iota(page.begin(), page.end(), std::uint8_t{0});
        program.write("testpage/rec1.p", page);
        return page;
    }
    // Opens the port and sends the settings request.
    void sendSettingsRequest(PrinterLink& link) {
        link.OpenSerialPort();
        for (const std::uint8_t b : std::string_view("\x1C\xC6KOVIRKOVIR")) // FS, settings
            link.SendSerialByte(b);
    }
};

TEST_F(VirtualPrinterOnPty, TestPageAndPageArriveWholeAndAreCaptured) {
    const Bytes page = writePage(20 * 256);
    EXPECT_EQ(SendSelfTestRequest(services(), choice), Outcome::Done);
    ASSERT_TRUE(printer->waitUntil([&] { return printer->selfTests() == 1; }, 5s));
    // The port was closed and opened again in between: the line stays up.
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/rec1.p"), Outcome::Done);
    Bytes expected = {0x1B /*ESC*/, 0x88 /*own test page*/};
    expected.insert(expected.end(), page.begin(), page.end());
    ASSERT_TRUE(printer->waitForBytes(expected.size(), 5s));
    EXPECT_TRUE(printer->waitForQuiet(100ms, 2s));
    EXPECT_EQ(printer->received(), expected);
    EXPECT_EQ(program.read("capture.bin"), expected);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(VirtualPrinterOnPty, RepliesWrongRepliesAndSilenceReachTheProgramInTime) {
    PrinterLink link(services(), choice);
    sendSettingsRequest(link);
    const Bytes data = {0x12, 0x34, 1, 3, 1, 1, 1, 0,
                        0,    0,    3, 1, 2, 0, 2}; // flash3, record 1 to 13
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i < 14) // the request and flash3 and record bytes 1 to 11 are answered
            ASSERT_EQ(link.RS_ACK(), kReplyAccepted) << "reply point " << i;
        link.SendSerialByte(data[i]);
    }
    link.CloseSerialPort();
    ASSERT_TRUE(printer->waitUntil([&] { return printer->settings().has_value(); }, 5s));
    EXPECT_EQ(program.read("nv/settings.bin"), (Bytes{0, 1, 3, 1, 1, 1, 0, 0, 0, 3, 1, 2, 0, 2}));

    printer->setWrongReply(vprinter::WrongReply{3, 0x00});
    sendSettingsRequest(link);
    for (std::uint8_t b = 1; b <= 3; ++b) {
        ASSERT_EQ(link.RS_ACK(), kReplyAccepted);
        link.SendSerialByte(b);
    }
    EXPECT_EQ(link.RS_ACK(), kReplyRefused);
    link.CloseSerialPort();
    ASSERT_TRUE(printer->waitForMode(vprinter::PrinterMode::EscPos, 2s));
    printer->setSilent(true);
    sendSettingsRequest(link);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(link.inputQueueCount(), 0);
    link.CloseSerialPort();
    Bytes sent(17, 0xAA);
    sent.push_back(0x00);
    EXPECT_EQ(printer->sent(), sent);
}

// A printer that hangs up, and one that stops reading, after 1,000 bytes.
class PrinterFault : public VirtualPrinterOnPty, public ::testing::WithParamInterface<bool> {};

TEST_P(PrinterFault, FailsTheSendAndClosesThePort) {
    const bool hangUp = GetParam();
    writePage(600000);
    hangUp ? printer->setDisconnectAfterBytes(1000) : printer->setDieAfterBytes(1000);
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/rec1.p"), Outcome::Failed);
    EXPECT_TRUE(hangUp ? printer->disconnected() : printer->dead());
    EXPECT_EQ(printer->receivedCount(), 1000u);
    EXPECT_FALSE(serial->isOpen());
    EXPECT_THAT(dialogs.texts(), ::testing::ElementsAre(HasSubstr(hangUp ? printer->slavePath()
                                                                         : "took no more bytes")));
}

INSTANTIATE_TEST_SUITE_P(HangUpOrStopReading, PrinterFault, ::testing::Bool());

// The command maps its port as "COM 3" in the program's "ports" file,
// captures and draws what arrives, and ends once idle.
TEST_F(VirtualPrinterOnPty, CommandCapturesDrawsAndEndsWhenIdle) {
    const auto folder = program.path();
    const pid_t pid = testing::spawnCommand(
        {ORDALIA_VPRINTER_COMMAND, "--ports", (folder / "ports").string(), "--com", "3",
         "--capture", (folder / "vcapture.bin").string(), "--render", (folder / "paper").string(),
         "--program", ORDALIA_PROGRAM_FOLDER, "--exit-after-idle", "1500"},
        folder / "output.txt");
    ASSERT_GT(pid, 0);
    for (int i = 0;
         i < 200 && testing::readText(folder / "ports").find("COM 3=") == std::string::npos; ++i)
        std::this_thread::sleep_for(10ms);

    // A 16 x 8 logo, a frame with a dot in the middle, printed and cut off.
    Bytes page = testpages::assemble(
                     R"(FS "q" 1 2 0 1 0 0xFF .repeat 7 0x81
           0x91 .repeat 6 0x81
           0xFF FS "p" 1 0 GS "V" 66 0)")
                     .bytes;
    program.write("testpage/logo.p", page);
    choice.portIndex = 3;
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/logo.p"), Outcome::Done);
    EXPECT_EQ(SendSelfTestRequest(services(), choice), Outcome::Done);
    EXPECT_EQ(testing::waitForExit(pid, 15s), 0);

    page.insert(page.end(), {0x1B, 0x88});
    EXPECT_EQ(program.read("vcapture.bin"), page);
    EXPECT_THAT(
        testing::readText(folder / "output.txt"),
        ::testing::ContainsRegex("printer on /dev/.*COM 3=/dev/.*drawing the paper to .*"
                                 "self-test page \\(ESC 0x88\\).* 33 byte\\(s\\) received"));
    const auto logo = vprinter::decodePng(program.read("paper/page-0001.png"));
    ASSERT_TRUE(logo.ok && logo.image.width == 576) << logo.problem;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 17; ++x) {
            const bool frame = x < 16 && (x == 0 || x == 15 || y == 0 || y == 7);
            EXPECT_EQ(logo.image.dot(x, y), frame || (x == 8 && y == 3)) << x << "," << y;
        }
    EXPECT_TRUE(vprinter::decodePng(program.read("paper/page-0002.png")).ok); // the test page
    EXPECT_FALSE(std::filesystem::exists(folder / "paper/page-0003.png"));
}

} // namespace
} // namespace ordalia
