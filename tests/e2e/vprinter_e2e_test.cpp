// The virtual printer on a real pseudo-terminal, reached through the
// machine's serial port code: what only a real line shows. Replies come back
// in time, and a printer that hangs up, stops reading or answers nothing is
// seen as such by the program. Then the command ordalia-vprinter as a script
// runs it: every byte value crosses the line unchanged.

#include "support/page_png.h"
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
    // Opens the port and sends the settings request.
    void sendSettingsRequest(PrinterLink& link) {
        link.OpenSerialPort();
        for (const std::uint8_t b : std::string_view("\x1C\xC6KOVIRKOVIR")) // FS, settings
            link.SendSerialByte(b);
    }
};

// Replies come back in time for the reply wait, a wrong one is refused, and
// a silent printer leaves the input empty.
TEST_F(VirtualPrinterOnPty, RepliesWrongRepliesAndSilence) {
    printer->setWrongReply(vprinter::WrongReply{3, 0x00});
    PrinterLink link(services(), choice);
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
    EXPECT_EQ(printer->sent(), (Bytes{0xAA, 0xAA, 0xAA, 0x00}));
}

// A printer that hangs up, and one that stops reading, after 1,000 bytes.
class PrinterFault : public VirtualPrinterOnPty, public ::testing::WithParamInterface<bool> {};

TEST_P(PrinterFault, FailsTheSendAndClosesThePort) {
    const bool hangUp = GetParam();
    program.write("testpage/rec1.p", Bytes(600000, 'x'));
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
         "--capture", (folder / "capture.bin").string(), "--render", (folder / "paper").string(),
         "--program", ORDALIA_PROGRAM_FOLDER, "--exit-after-idle", "1500"},
        folder / "output.txt");
    ASSERT_GT(pid, 0);
    for (int i = 0;
         i < 200 && testing::readText(folder / "ports").find("COM 3=") == std::string::npos; ++i)
        std::this_thread::sleep_for(10ms);

    // A 16 x 8 logo, a frame with a dot in the middle, printed and cut off;
    // then every byte value, CR, LF, XON and XOFF among them, as a picture.
    Bytes page = testpages::assemble("FS \"q\" 1 2 0 1 0 0xFF .repeat 7 0x81\n0x91 .repeat 6 0x81\n"
                                     "0xFF FS \"p\" 1 0 GS \"V\" 66 0 GS \"v0\" 0 32 0 8 0")
                     .bytes;
    page.resize(page.size() + 256);
    std::iota(page.end() - 256, page.end(), std::uint8_t{0});
    program.write("testpage/logo.p", page);
    choice.portIndex = 3;
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/logo.p"), Outcome::Done);
    EXPECT_EQ(SendSelfTestRequest(services(), choice), Outcome::Done);
    EXPECT_EQ(testing::waitForExit(pid, 15s), 0);

    page.insert(page.end(), {0x1B, 0x88});
    EXPECT_EQ(program.read("capture.bin"), page);
    EXPECT_THAT(
        testing::readText(folder / "output.txt"),
        ::testing::ContainsRegex("printer on /dev/.*COM 3=/dev/.*drawing the paper to .*"
                                 "self-test page \\(ESC 0x88\\).* 297 byte\\(s\\) received"));
    const auto logo = testing::readPage(program.read("paper/page-0001.png"));
    ASSERT_TRUE(logo.ok && logo.width == 576);
    EXPECT_TRUE(logo.dot(0, 0) && logo.dot(15, 7) && logo.dot(8, 3));
    EXPECT_FALSE(logo.dot(8, 2) || logo.dot(16, 0) || logo.dot(1, 1));
    EXPECT_TRUE(
        testing::readPage(program.read("paper/page-0002.png")).ok); // the picture, the test page
    EXPECT_FALSE(std::filesystem::exists(folder / "paper/page-0003.png"));
}

// --input draws a captured stream with no line and ends; --strict makes a
// command the printer did not understand end it with status 1.
TEST(VirtualPrinterRender, AStreamDrawnWithoutALine) {
    const struct Case {
        std::string stream;
        bool strict;
        int status;
        const char* logged;
    } kCases[] = {
        {"Hello\n\x1D\x56\x42\x01", true, 0, "partial cut (GS V 66 1)"},
        {"Hello\n\x1B\xFE", true, 1, "unknown sequence 1B FE"},
        {"Hello\n\x1B\xFE", false, 0, "unknown sequence 1B FE"},
    };
    for (const Case& c : kCases) {
        testing::TempFolder folder;
        folder.write("stream.bin", c.stream);
        std::vector<std::string> args = {ORDALIA_VPRINTER_COMMAND,
                                         "--render",
                                         (folder.path() / "paper").string(),
                                         "--input",
                                         (folder.path() / "stream.bin").string(),
                                         "--program",
                                         ORDALIA_PROGRAM_FOLDER};
        if (c.strict)
            args.push_back("--strict");
        args.insert(args.end(), {"--html", (folder.path() / "index.html").string()});
        const pid_t pid = testing::spawnCommand(args, folder.path() / "log.txt");
        EXPECT_EQ(testing::waitForExit(pid, 30s), c.status) << c.stream;
        EXPECT_THAT(testing::readText(folder.path() / "log.txt"), HasSubstr(c.logged));
        const auto page = testing::readPage(folder.read("paper/page-0001.png"));
        EXPECT_TRUE(page.ok && page.width == 576);
        // The page beside the log.
        EXPECT_THAT(testing::readText(folder.path() / "index.html"),
                    ::testing::ContainsRegex("<img src=\"paper/page-0001.png\".*<pre>text: "
                                             "\"Hello\"\n"));
    }
}

} // namespace
} // namespace ordalia
