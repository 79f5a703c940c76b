// The program's own operations and link against the virtual printer over a
// real pseudo-terminal, through the machine's serial port code.

#include "link/port_names.h"
#include "link/system_ports.h"
#include "support/harness.h"
#include "testprint/test_pages.h"
#include "virtual_printer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace ordalia {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;
using namespace ordalia::testing;
using vprinter::ExchangeEnd;
using vprinter::PrinterMode;
using vprinter::VirtualPrinter;
using vprinter::VirtualPrinterOptions;

const std::vector<std::uint8_t> kProgramSignature = {'K', 'O', 'V', 'I', 'R',
                                                     'K', 'O', 'V', 'I', 'R'};

std::vector<std::uint8_t> everyByteValue(std::size_t n) {
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(i);
    return out;
}

VirtualPrinterOptions optionsFor(const TempFolder& program) {
    VirtualPrinterOptions options;
    options.printer.nvFolder = program.path() / "nv";
    options.printer.programmingTime = 300ms;
    options.captureFile = program.path() / "capture.bin";
    return options;
}

class VirtualPrinterE2E : public ::testing::Test {
protected:
    void SetUp() override {
        printer.start();
        ASSERT_TRUE(setMappedPortDevice(1, printer.slavePath(), program.path() / "ports"));
    }
    Services services() {
        return Services{*serial, parallel, systemClock(), events, dialogs, gate, program.path()};
    }
    void sendRequest(PrinterLink& link, std::uint8_t op) {
        link.SendSerialByte(0x1C);
        link.SendSerialByte(op);
        for (const std::uint8_t b : kProgramSignature)
            link.SendSerialByte(b);
    }
    // Waits a little for a reply that must not come.
    int repliesAfterAShortWait(PrinterLink& link) {
        std::this_thread::sleep_for(300ms);
        return link.inputQueueCount();
    }

    TempFolder program;
    std::unique_ptr<SerialPort> serial = createSystemSerialPort();
    FakeParallelPort parallel;
    CountingEventPump events;
    RecordingDialogs dialogs;
    TransferGate gate;
    LinkChoice choice; // COM 1 at 115200,n,8,1
    VirtualPrinter printer{optionsFor(program)};
};

TEST_F(VirtualPrinterE2E, TestPageArrivesByteForByteAndIsCaptured) {
    const auto page = everyByteValue(20 * 256); // every value, CR, LF, XON and XOFF included
    program.write("testpage/rec1.p", page);
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/rec1.p"), Outcome::Done);
    ASSERT_TRUE(printer.waitForBytes(page.size(), 5s));
    EXPECT_TRUE(printer.waitForQuiet(100ms, 2s));
    EXPECT_EQ(printer.received(), page);
    EXPECT_EQ(program.read("capture.bin"), page);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(VirtualPrinterE2E, SelfTestRequestIsEsc88AndRecognised) {
    EXPECT_EQ(SendSelfTestRequest(services(), choice), Outcome::Done);
    ASSERT_TRUE(printer.waitUntil([&] { return printer.selfTests() == 1; }, 5s));
    EXPECT_THAT(printer.received(), ElementsAre(0x1B /*ESC*/, 0x88 /*self-test*/));
    // The port closed and opened again between two operations: the line stays.
    EXPECT_EQ(SendSelfTestRequest(services(), choice), Outcome::Done);
    EXPECT_TRUE(printer.waitUntil([&] { return printer.selfTests() == 2; }, 5s));
}

// The source pictures of two logos, '#' printed.
const std::vector<std::string> kArrow = {
    "...##...", "..####..", ".######.", "########", "...##...", "...##...",
    "...##...", "...##...", "...##...", "...##...", "...##...", "...##...",
};
const std::vector<std::string> kBar = {
    "#...............#",
    "#################",
    "#...............#",
};

// The FS q block of one picture: its size bytes and column data, padded to
// whole bytes and bands.
std::vector<std::uint8_t> logoBlock(const std::vector<std::string>& picture) {
    const int w = static_cast<int>(picture[0].size());
    const int h = static_cast<int>(picture.size());
    const int x = (w + 7) / 8;
    const int y = (h + 7) / 8;
    std::vector<std::uint8_t> out = {static_cast<std::uint8_t>(x), 0, static_cast<std::uint8_t>(y),
                                     0};
    for (int c = 0; c < 8 * x; ++c) {
        for (int b = 0; b < y; ++b) {
            std::uint8_t v = 0;
            for (int r = 0; r < 8; ++r) {
                const int row = 8 * b + r;
                if (row < h && c < w && picture[row][c] == '#')
                    v |= static_cast<std::uint8_t>(0x80 >> r);
            }
            out.push_back(v);
        }
    }
    return out;
}

void expectSameDots(const std::vector<std::vector<bool>>& dots,
                    const std::vector<std::string>& picture) {
    for (std::size_t r = 0; r < dots.size(); ++r)
        for (std::size_t c = 0; c < dots[r].size(); ++c) {
            const bool source = r < picture.size() && c < picture[r].size() && picture[r][c] == '#';
            ASSERT_EQ(dots[r][c], source) << "row " << r << ", column " << c;
        }
}

TEST_F(VirtualPrinterE2E, LogoDefinitionIsStoredDotForDot) {
    std::vector<std::uint8_t> stream = {0x1C /*FS*/, 0x71 /*q*/, 2 /*images*/};
    for (const auto* picture : {&kArrow, &kBar}) {
        const auto block = logoBlock(*picture);
        stream.insert(stream.end(), block.begin(), block.end());
    }
    stream.insert(stream.end(), {0x00, 0x00, 0x00});
    stream.insert(stream.end(), {0x1C, 0x70, 0x02, 0x00, 0x1D, 0x56, 0x42, 0x00}); // FS p 2, cut
    program.write("testpage/logo.p", stream);
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/logo.p"), Outcome::Done);
    ASSERT_TRUE(printer.waitUntil([&] { return printer.cuts().size() == 1; }, 5s));

    const auto logos = printer.logos();
    ASSERT_EQ(logos.size(), 2u);
    EXPECT_EQ(logos[0].widthDots(), 8);
    EXPECT_EQ(logos[0].heightDots(), 16);
    EXPECT_EQ(logos[1].widthDots(), 24);
    EXPECT_EQ(logos[1].heightDots(), 8);
    expectSameDots(*printer.logoRows(1), kArrow);
    expectSameDots(*printer.logoRows(2), kBar);
    EXPECT_FALSE(printer.logoRows(3));
    ASSERT_EQ(printer.logoPrints().size(), 1u);
    EXPECT_EQ(printer.logoPrints()[0].number, 2);
    EXPECT_TRUE(printer.logoPrints()[0].defined);
    EXPECT_TRUE(printer.cuts()[0].partial);
    EXPECT_TRUE(std::filesystem::exists(printer.nvFolder() / "logos.bin"));
}

TEST_F(VirtualPrinterE2E, SettingsExchangeAnswersAtItsFourteenPoints) {
    const std::vector<std::uint8_t> data = {0x12, 0x34,                            // flash3
                                            1,    3,    1, 1, 1, 0, 0, 0, 3, 1, 2, // record 1 to 11
                                            0x00, 0x02};                           // record 12, 13
    PrinterLink link(services(), choice);
    link.OpenSerialPort();
    sendRequest(link, 0xC6 /*settings*/);
    EXPECT_EQ(link.RS_ACK(), kReplyAccepted);
    for (std::size_t i = 0; i < data.size(); ++i) {
        link.SendSerialByte(data[i]);
        if (i < 13) {
            ASSERT_EQ(link.RS_ACK(), kReplyAccepted) << "data byte " << i;
        }
    }
    link.CloseSerialPort();

    ASSERT_TRUE(printer.waitUntil([&] { return printer.settings().has_value(); }, 5s));
    EXPECT_THAT(printer.settings()->flash3, ElementsAre(0x12, 0x34));
    EXPECT_THAT(printer.settings()->record,
                ElementsAre(0, 1, 3, 1, 1, 1, 0, 0, 0, 3, 1, 2, 0x00, 0x02));
    EXPECT_EQ(printer.sent(), std::vector<std::uint8_t>(14, 0xAA));
    EXPECT_EQ(program.read("nv/settings.bin").size(), 14u);
}

TEST_F(VirtualPrinterE2E, WrongReplyAtPointKIsRefusedThere) {
    for (int k = 0; k < vprinter::kSettingsReplyPoints; ++k) {
        SCOPED_TRACE(k);
        printer.setWrongReply(vprinter::WrongReply{k, 0x00});
        PrinterLink link(services(), choice);
        link.OpenSerialPort();
        sendRequest(link, 0xC6);
        std::uint8_t reply = link.RS_ACK();
        for (int point = 1; point <= k; ++point) {
            ASSERT_EQ(reply, kReplyAccepted) << "point " << point - 1;
            link.SendSerialByte(static_cast<std::uint8_t>(point));
            reply = link.RS_ACK();
        }
        EXPECT_EQ(reply, kReplyRefused);
        link.CloseSerialPort();
        ASSERT_TRUE(printer.waitForMode(PrinterMode::EscPos, 2s));
        EXPECT_EQ(printer.exchanges().back().end, ExchangeEnd::Refused);
    }
    EXPECT_FALSE(printer.settings());
}

TEST_F(VirtualPrinterE2E, SilentPrinterNeverAnswers) {
    printer.setSilent(true);
    PrinterLink link(services(), choice);
    link.OpenSerialPort();
    sendRequest(link, 0xC8 /*firmware*/);
    EXPECT_EQ(repliesAfterAShortWait(link), 0);
    EXPECT_TRUE(printer.exchanges().empty());
    EXPECT_THAT(printer.log(), Contains(HasSubstr("silent")));
    EXPECT_TRUE(printer.sent().empty());
}

TEST_F(VirtualPrinterE2E, CompoundBlocksAreAnsweredAndStored) {
    PrinterLink link(services(), choice);
    link.OpenSerialPort();
    for (const std::uint8_t b : {0x1C /*FS*/, 0xC9 /*compound*/, 0x00, 0x00 /*no language*/})
        link.SendSerialByte(b);
    EXPECT_NE(link.RS_ACK(), kReplyNone);
    const auto block = everyByteValue(256);
    link.SendSerialBlock(block);
    EXPECT_NE(link.RS_ACK(), kReplyNone);
    link.CloseSerialPort();
    ASSERT_TRUE(printer.waitForMode(PrinterMode::EscPos, 2s));
    EXPECT_EQ(printer.compoundImage(0), block);
    EXPECT_EQ(program.read("nv/compound-0.bin"), block);
}

TEST_F(VirtualPrinterE2E, CompoundPrinterThatStopsAnsweringAtABlock) {
    printer.setStopAnsweringAtBlock(3);
    printer.setWrongReply(vprinter::WrongReply{1, 0x00});
    PrinterLink link(services(), choice);
    link.OpenSerialPort();
    for (const std::uint8_t b : {0x1C, 0xC9, 0x00, 0x01 /*Simplified Chinese*/})
        link.SendSerialByte(b);
    EXPECT_EQ(link.RS_ACK(), kReplyAccepted);
    const auto block = everyByteValue(256);
    link.SendSerialBlock(block);
    EXPECT_EQ(link.RS_ACK(), kReplyRefused); // 0x00: the sender goes on all the same
    for (int b = 1; b < 3; ++b) {
        link.SendSerialBlock(block);
        EXPECT_EQ(link.RS_ACK(), kReplyAccepted);
    }
    link.SendSerialBlock(block); // block 3
    EXPECT_EQ(repliesAfterAShortWait(link), 0);
    EXPECT_TRUE(printer.waitForBytes(4 + 4 * 256, 2s));
    EXPECT_EQ(printer.mode(), PrinterMode::CompoundData);
}

TEST_F(VirtualPrinterE2E, FontImageThenProgrammingThenTheIdQueryIsAnsweredAgain) {
    std::vector<std::uint8_t> image(65536);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    PrinterLink link(services(), choice);
    link.OpenSerialPort();
    sendRequest(link, 0xC7 /*font*/);
    ASSERT_EQ(link.RS_ACK(), kReplyAccepted);
    for (std::size_t b = 0; b < 100; ++b)
        link.SendSerialBlock(std::span(image).subspan(b * 655, 655));
    for (std::size_t i = 65500; i < 65536; ++i)
        link.SendSerialByte(image[i]);
    link.CloseSerialPort();
    ASSERT_TRUE(printer.waitForMode(PrinterMode::Programming, 5s));

    // While it programs, the printer answers nothing.
    link.OpenSerialPort();
    for (const std::uint8_t b : {0x1D /*GS*/, 0x49 /*I*/, 0x01})
        link.SendSerialByte(b);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(link.inputQueueCount(), 0);
    link.CloseSerialPort();

    ASSERT_TRUE(printer.waitForMode(PrinterMode::EscPos, 5s));
    link.OpenSerialPort();
    for (const std::uint8_t b : {0x1D, 0x49, 0x01})
        link.SendSerialByte(b);
    EXPECT_EQ(link.RS_ACK(), kReplyRefused); // any byte will do: the model ID
    link.SendSerialByte(0x1B);
    link.SendSerialByte(0x88);
    link.CloseSerialPort();
    EXPECT_TRUE(printer.waitUntil([&] { return printer.selfTests() == 1; }, 5s));
    EXPECT_EQ(printer.fontImage(), image);
    EXPECT_EQ(program.read("nv/font.bin"), image);
}

TEST_F(VirtualPrinterE2E, FirmwareWithoutARequest) {
    printer.setExpectRawFirmware(true);
    std::vector<std::uint8_t> image(196608);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 31 + 1);
    PrinterLink link(services(), choice);
    link.OpenSerialPort();
    for (std::size_t b = 0; b < 192; ++b)
        link.SendSerialBlock(std::span(image).subspan(b * 1024, 1024));
    link.CloseSerialPort();
    ASSERT_TRUE(printer.waitUntil([&] { return printer.firmwareImage().has_value(); }, 10s));
    EXPECT_EQ(printer.firmwareImage(), image);
    EXPECT_EQ(printer.exchanges().back().kind, vprinter::ExchangeKind::RawFirmware);
}

TEST_F(VirtualPrinterE2E, DisconnectMidTransferFailsTheSend) {
    printer.setDisconnectAfterBytes(1000);
    program.write("testpage/bmp1.p", everyByteValue(600000));
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/bmp1.p"), Outcome::Failed);
    EXPECT_TRUE(printer.disconnected());
    EXPECT_EQ(printer.receivedCount(), 1000u);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_THAT(dialogs.messages[0].text, HasSubstr(printer.slavePath()));
    EXPECT_FALSE(serial->isOpen());
}

TEST_F(VirtualPrinterE2E, DeadPrinterStopsTakingBytesAndTheSendGivesUp) {
    printer.setDieAfterBytes(500);
    program.write("testpage/bmp1.p", everyByteValue(600000));
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/bmp1.p"), Outcome::Failed);
    EXPECT_TRUE(printer.dead());
    EXPECT_EQ(printer.receivedCount(), 500u);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_THAT(dialogs.messages[0].text, HasSubstr("took no more bytes"));
}

TEST_F(VirtualPrinterE2E, PacedPrinterReadsNoFasterThanTheLine) {
    printer.setPaced(true, 115200);
    const auto page = everyByteValue(11520); // one second at 115200 bit/s
    program.write("testpage/rec2.p", page);
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/rec2.p"), Outcome::Done);
    ASSERT_TRUE(printer.waitForBytes(page.size(), 20s));
    const auto took = *printer.arrivalOf(page.size() - 1) - *printer.arrivalOf(0);
    EXPECT_GE(took, 900ms);
    EXPECT_EQ(printer.received(), page);
}

} // namespace
} // namespace ordalia
