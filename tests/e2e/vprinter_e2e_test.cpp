// The virtual printer on a real pseudo-terminal, reached through the
// machine's serial port code: what only a real line shows. Every byte value
// crosses it unchanged, replies come back in time, and a printer that hangs
// up, stops reading or answers nothing is seen as such by the program.

#include "support/printer_on_pty.h"
#include "testprint/test_pages.h"

#include <gmock/gmock.h>
#include <thread>

namespace ordalia {
namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;
using vprinter::PrinterMode;

class VirtualPrinterOnPty : public testing::PrinterOnPty {
protected:
    VirtualPrinterOnPty()
        : PrinterOnPty([](vprinter::VirtualPrinterOptions& options) {
              options.captureFile = options.printer.nvFolder.parent_path() / "capture.bin";
          }) {}

    // Every byte value in turn, CR, LF, XON and XOFF among them.
    static std::vector<std::uint8_t> everyByteValue(std::size_t n) {
        std::vector<std::uint8_t> out(n);
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<std::uint8_t>(i);
        return out;
    }
    // Opens the port and sends the settings request.
    void sendSettingsRequest(PrinterLink& link) {
        link.OpenSerialPort();
        for (const std::uint8_t b : std::string_view("\x1C\xC6KOVIRKOVIR")) // FS, settings
            link.SendSerialByte(b);
    }
};

TEST_F(VirtualPrinterOnPty, TestPageAndPageArriveWholeAndAreCaptured) {
    const auto page = everyByteValue(20 * 256);
    program.write("testpage/rec1.p", page);
    EXPECT_EQ(SendSelfTestRequest(services(), choice), Outcome::Done);
    ASSERT_TRUE(printer->waitUntil([&] { return printer->selfTests() == 1; }, 5s));
    // The port was closed and opened again in between: the line stays up.
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/rec1.p"), Outcome::Done);
    ASSERT_TRUE(printer->waitForBytes(2 + page.size(), 5s));
    std::vector<std::uint8_t> expected = {0x1B /*ESC*/, 0x88 /*own test page*/};
    expected.insert(expected.end(), page.begin(), page.end());
    EXPECT_TRUE(printer->waitForQuiet(100ms, 2s));
    EXPECT_EQ(printer->received(), expected);
    EXPECT_EQ(program.read("capture.bin"), expected);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(VirtualPrinterOnPty, SettingsExchangeIsAnsweredAtItsFourteenPoints) {
    PrinterLink link(services(), choice);
    sendSettingsRequest(link);
    EXPECT_EQ(link.RS_ACK(), kReplyAccepted);
    const std::vector<std::uint8_t> data = {0x12, 0x34, 1, 3, 1, 1, 1, 0, 0, 0, 3, 1, 2, 0, 2};
    for (std::size_t i = 0; i < data.size(); ++i) {
        link.SendSerialByte(data[i]);
        if (i < 13)
            ASSERT_EQ(link.RS_ACK(), kReplyAccepted) << "data byte " << i;
    }
    link.CloseSerialPort();
    ASSERT_TRUE(printer->waitUntil([&] { return printer->settings().has_value(); }, 5s));
    EXPECT_EQ(printer->sent(), std::vector<std::uint8_t>(14, 0xAA));
    EXPECT_EQ(program.read("nv/settings.bin"),
              (std::vector<std::uint8_t>{0, 1, 3, 1, 1, 1, 0, 0, 0, 3, 1, 2, 0, 2}));
}

TEST_F(VirtualPrinterOnPty, WrongReplyIsRefusedAndASilentPrinterIsNoneAtAll) {
    printer->setWrongReply(vprinter::WrongReply{3, 0x00});
    PrinterLink link(services(), choice);
    sendSettingsRequest(link);
    for (std::uint8_t b = 1; b <= 3; ++b) {
        ASSERT_EQ(link.RS_ACK(), kReplyAccepted);
        link.SendSerialByte(b);
    }
    EXPECT_EQ(link.RS_ACK(), kReplyRefused);
    link.CloseSerialPort();
    ASSERT_TRUE(printer->waitForMode(PrinterMode::EscPos, 2s));

    printer->setSilent(true);
    sendSettingsRequest(link);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(link.inputQueueCount(), 0);
    link.CloseSerialPort();
    EXPECT_EQ(printer->sent(), (std::vector<std::uint8_t>{0xAA, 0xAA, 0xAA, 0x00}));
    EXPECT_FALSE(printer->settings());
}

TEST_F(VirtualPrinterOnPty, PrinterThatHangsUpFailsTheSend) {
    program.write("testpage/bmp1.p", everyByteValue(600000));
    printer->setDisconnectAfterBytes(1000);
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/bmp1.p"), Outcome::Failed);
    EXPECT_TRUE(printer->disconnected());
    EXPECT_EQ(printer->receivedCount(), 1000u);
    EXPECT_FALSE(serial->isOpen());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_THAT(dialogs.messages[0].text, HasSubstr(printer->slavePath()));
}

TEST_F(VirtualPrinterOnPty, PrinterThatStopsReadingFailsTheSend) {
    program.write("testpage/bmp1.p", everyByteValue(600000));
    printer->setDieAfterBytes(500);
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/bmp1.p"), Outcome::Failed);
    EXPECT_TRUE(printer->dead());
    EXPECT_EQ(printer->receivedCount(), 500u);
    EXPECT_FALSE(serial->isOpen());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_THAT(dialogs.messages[0].text, HasSubstr("took no more bytes"));
}

// What the transfer benchmarks rely on: a paced printer takes bytes no faster
// than the line would carry them.
TEST_F(VirtualPrinterOnPty, PacedPrinterReadsNoFasterThanTheLine) {
    printer->setPaced(true, 115200);
    const auto page = everyByteValue(11520); // one second at 115,200 bit/s
    program.write("testpage/rec2.p", page);
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/rec2.p"), Outcome::Done);
    ASSERT_TRUE(printer->waitForBytes(page.size(), 20s));
    EXPECT_GE(*printer->arrivalOf(page.size() - 1) - *printer->arrivalOf(0), 900ms);
    EXPECT_EQ(printer->received(), page);
}

} // namespace
} // namespace ordalia
