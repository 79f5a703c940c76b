#include "link/printer_link.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace ordalia::testing;

class PrinterLinkTest : public ::testing::Test {
protected:
    Harness h;
};

TEST_F(PrinterLinkTest, PortChoiceFollowsTheListIndex) {
    h.choice.portIndex = 0;
    EXPECT_FALSE(PrinterLink(h.services(), h.choice).IsSerialPortChosen());
    h.choice.portIndex = 3;
    EXPECT_TRUE(PrinterLink(h.services(), h.choice).IsSerialPortChosen());
    // Text typed into the list selects no entry (-1): "chosen", but unopenable.
    h.choice.portIndex = -1;
    PrinterLink typed(h.services(), h.choice);
    EXPECT_TRUE(typed.IsSerialPortChosen());
    EXPECT_THROW(typed.OpenSerialPort(), LinkError);
    EXPECT_TRUE(h.serial.openedDevices.empty());
}

TEST_F(PrinterLinkTest, OpenUsesTheMappedDeviceAndTheSettingsString) {
    h.folder.write("ports", "# test mapping\nCOM 2=/dev/ttyUSB7\r\n");
    h.choice.portIndex = 2;
    h.choice.settings = "9600,e,7,2";
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    EXPECT_THAT(h.serial.openedDevices, ElementsAre("/dev/ttyUSB7"));
    EXPECT_EQ(h.serial.settings().baud, 9600u);
    EXPECT_EQ(h.serial.settings().parity, 'e');
    EXPECT_EQ(h.serial.settings().dataBits, 7);
    EXPECT_EQ(h.serial.settings().stopBits, 2);
    EXPECT_EQ(link.portDescription(), "COM 2 (/dev/ttyUSB7)");
}

TEST_F(PrinterLinkTest, BadSettingsStringIsRefusedBeforeTheDeviceIsTouched) {
    h.choice.settings = "9600.n.8,1";
    PrinterLink link(h.services(), h.choice);
    try {
        link.OpenSerialPort();
        FAIL() << "opened with a bad settings string";
    } catch (const LinkError& e) {
        EXPECT_EQ(e.kind(), PortErrorKind::BadSettings);
        EXPECT_THAT(e.what(), HasSubstr("9600.n.8,1"));
    }
    EXPECT_TRUE(h.serial.openedDevices.empty());
}

TEST_F(PrinterLinkTest, OpenFailureNamesEntryDeviceAndReason) {
    h.serial.openError = PortError{PortErrorKind::AccessDenied, "permission denied on /dev/ttyS0."};
    PrinterLink link(h.services(), h.choice);
    try {
        link.OpenSerialPort();
        FAIL();
    } catch (const LinkError& e) {
        EXPECT_EQ(e.kind(), PortErrorKind::AccessDenied);
        EXPECT_THAT(e.what(), HasSubstr("COM 1 (/dev/ttyS0)"));
        EXPECT_THAT(e.what(), HasSubstr("permission denied"));
    }
    EXPECT_FALSE(h.serial.isOpen());
}

TEST_F(PrinterLinkTest, EachByteWaitsUntilTheUartHasSentIt) {
    h.choice.settings = "9600,n,8,1"; // 1,041 us a byte
    h.serial.fifoSize = 0;
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    const auto start = h.clock.nowUs();
    link.SendSerialByte(0x41);
    EXPECT_EQ(h.serial.queued(), 0u);
    EXPECT_GE(h.clock.nowUs() - start, 1041u);
    // Not slept coarsely past the line time either.
    EXPECT_LT(h.clock.nowUs() - start, 1041u + 1000u);
    link.SendSerialByte(0x42);
    EXPECT_THAT(h.serial.written, ElementsAre(0x41, 0x42));
}

TEST_F(PrinterLinkTest, BlockGoesInOneWriteAndIsDrained) {
    h.serial.fifoSize = 16;
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    std::vector<std::uint8_t> block(1024, 0x5A);
    link.SendSerialBlock(block);
    ASSERT_EQ(h.serial.events.size(), 2u); // open, one write
    EXPECT_EQ(h.serial.events[1].bytes.size(), 1024u);
    // What the count shows has left; at most the FIFO's 16 bytes remain.
    EXPECT_LE(h.serial.queued(), 16u);
    // 1,008 bytes at 115200 8N1 take 87.5 ms; the drain waited about that long.
    EXPECT_GE(h.clock.nowUs(), 86000u);
    EXPECT_LT(h.clock.nowUs(), 90000u);
}

// 100000 bit/s at 10 bits a byte: 100 us a byte, so the model's line time and
// the link's own reckoning agree to the microsecond.
TEST_F(PrinterLinkTest, ByteAtATimeWakesOnceForAFifoOfBytesAndKeepsTheLineBusy) {
    h.choice.settings = "100000,n,8,1";
    h.serial.fifoSize = 16;
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    constexpr std::size_t kBytes = 2000;
    const auto start = h.clock.nowUs();
    for (std::size_t i = 0; i < kBytes; ++i)
        link.SendSerialByte(static_cast<std::uint8_t>(i));
    EXPECT_EQ(h.serial.written.size(), kBytes);
    // The line never stood idle: the time gone and the bytes still in the
    // FIFO add up to the line time of all bytes, no more.
    const std::size_t inFifo = h.serial.queued();
    EXPECT_GT(inFifo, 0u);
    EXPECT_LE(h.clock.nowUs() - start + inFifo * 100, kBytes * 100 + 100);
    // Most bytes went straight into the FIFO: one count each, and one sleep
    // for every dozen or so bytes, not one a byte.
    EXPECT_LT(h.serial.outputPolls, kBytes * 12 / 10);
}

TEST_F(PrinterLinkTest, ByteAtATimeWithoutAFifoWaitsOneByteTimeEach) {
    h.choice.settings = "100000,n,8,1";
    h.serial.fifoSize = 0;
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    const auto start = h.clock.nowUs();
    for (int i = 0; i < 200; ++i)
        link.SendSerialByte(0x55);
    // Nothing hidden to sleep on: each byte returns as soon as it has gone.
    EXPECT_GE(h.clock.nowUs() - start, 200u * 100);
    EXPECT_LE(h.clock.nowUs() - start, 200u * 100 + 200 * 20);
}

TEST_F(PrinterLinkTest, DrainThatNeverEndsIsReportedAfterItsLimit) {
    h.serial.stuck = true;
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    try {
        link.SendSerialByte(0x00);
        FAIL();
    } catch (const LinkError& e) {
        EXPECT_EQ(e.kind(), PortErrorKind::Timeout);
    }
    // One byte at 115200: the limit is 2 s plus three line times.
    EXPECT_GE(h.clock.nowMs(), 2000u);
    EXPECT_LT(h.clock.nowMs(), 2100u);
}

TEST_F(PrinterLinkTest, WriteFailureBecomesALinkError) {
    h.serial.writeError = PortError{PortErrorKind::Disconnected, "/dev/ttyUSB0 has gone away."};
    h.serial.failAfterBytes = 3;
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    link.SendSerialByte(1);
    link.SendSerialByte(2);
    link.SendSerialByte(3);
    EXPECT_THROW(link.SendSerialByte(4), LinkError);
    EXPECT_THAT(h.serial.written, ElementsAre(1, 2, 3));
}

TEST_F(PrinterLinkTest, LinkClosesThePortWhenItGoesOutOfScope) {
    {
        PrinterLink link(h.services(), h.choice);
        link.OpenSerialPort();
        EXPECT_TRUE(h.serial.isOpen());
    }
    EXPECT_FALSE(h.serial.isOpen());
}

// --- RS_ACK ---

TEST_F(PrinterLinkTest, ReplyOutcomes) {
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();

    h.serial.reply({0xAA, 0x01, 0x02}, 30);
    EXPECT_EQ(link.RS_ACK(), kReplyAccepted);
    // The trailing bytes were consumed with the first.
    EXPECT_EQ(h.serial.inputQueueCount(), 0);

    h.serial.reply({0x00});
    EXPECT_EQ(link.RS_ACK(), kReplyRefused); // 0x00 is a reply, not silence

    h.serial.reply({0x55, 0xAA});
    EXPECT_EQ(link.RS_ACK(), kReplyRefused); // only the first byte counts
}

TEST_F(PrinterLinkTest, SilenceGivesNoneAfterTenSeconds) {
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    const auto start = h.clock.nowMs();
    EXPECT_EQ(link.RS_ACK(), kReplyNone);
    EXPECT_GT(h.clock.nowMs() - start, 10000u);
    EXPECT_LE(h.clock.nowMs() - start, 10002u);
}

TEST_F(PrinterLinkTest, ReplyJustBeforeTheLimitCounts) {
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    h.serial.reply({0xAA}, 9999);
    EXPECT_EQ(link.RS_ACK(), kReplyAccepted);
    h.serial.reply({0xAA}, 10050);
    EXPECT_EQ(link.RS_ACK(), kReplyNone);
}

TEST_F(PrinterLinkTest, ReplyArrivingBetweenLastPollAndFinalCountStillCounts) {
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    // Deliver the reply while the loop reads the clock for the last time:
    // the poll before it saw nothing, the final count sees the reply.
    h.clock.onTick = [&](std::uint64_t nowUs) {
        if (nowUs > 10000000 && h.serial.inputQueueCount() == 0)
            h.serial.reply({0xAA});
    };
    EXPECT_EQ(link.RS_ACK(), kReplyAccepted);
}

TEST_F(PrinterLinkTest, ReplyWaitSurvivesTheTickCounterWrapping) {
    Harness wrap;
    wrap.clock = FakeClock(0xFFFFFFFFu - 5000);
    PrinterLink link(wrap.services(), wrap.choice);
    link.OpenSerialPort();
    const auto start = wrap.clock.nowMs();
    EXPECT_EQ(link.RS_ACK(), kReplyNone);
    EXPECT_GT(wrap.clock.nowMs() - start, 10000u);
    EXPECT_LE(wrap.clock.nowMs() - start, 10002u);
}

TEST_F(PrinterLinkTest, ReplyIsSeenWithinOnePollOfArriving) {
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    h.serial.reply({0xAA}, 5);
    EXPECT_EQ(link.RS_ACK(), kReplyAccepted);
    EXPECT_GE(h.clock.nowUs(), 5000u);
    EXPECT_LE(h.clock.nowUs(), 5000u + kReplyPollUs);
}

// --- DelayMs ---

TEST_F(PrinterLinkTest, DelayPumpsEventsForTheWholeWait) {
    PrinterLink link(h.services(), h.choice);
    link.DelayMs(0);
    EXPECT_EQ(h.events.count, 1);
    EXPECT_EQ(h.clock.nowMs(), 0u);

    link.DelayMs(5000);
    EXPECT_GE(h.clock.nowMs(), 5000u);
    EXPECT_LE(h.clock.nowMs(), 5001u);
    EXPECT_GE(h.events.count, 5000);
}

TEST_F(PrinterLinkTest, DelayAcrossTheWrapRestartsFromTheNewCount) {
    Harness wrap;
    wrap.clock = FakeClock(0xFFFFFFFFu - 100);
    PrinterLink link(wrap.services(), wrap.choice);
    link.DelayMs(1000);
    // The counter went "backwards" after 101 ms; the wait starts again there.
    EXPECT_GE(wrap.clock.nowMs(), 1101u);
    EXPECT_LE(wrap.clock.nowMs(), 1103u);
}

// --- parallel ---

TEST_F(PrinterLinkTest, ParallelByteWaitsForReadyThenStrobes) {
    h.choice.serialSelected = false;
    h.choice.parallelIndex = 1;
    h.parallel.busyReads = 3;
    PrinterLink link(h.services(), h.choice);
    link.SendParallelByte(0x41);
    EXPECT_THAT(h.parallel.reads, ElementsAre(0x279, 0x279, 0x279, 0x279));
    using W = std::pair<std::uint16_t, std::uint8_t>;
    EXPECT_THAT(h.parallel.writes, ElementsAre(W{0x278, 0x41}, W{0x27A, 9}, W{0x27A, 8}));
}

TEST_F(PrinterLinkTest, ParallelIndexOutsideTheTableWritesNothing) {
    h.choice.parallelIndex = 2;
    PrinterLink link(h.services(), h.choice);
    link.SendParallelByte(0x41);
    EXPECT_TRUE(h.parallel.reads.empty());
    EXPECT_TRUE(h.parallel.writes.empty());
}

TEST_F(PrinterLinkTest, ParallelPrinterNeverReadyIsReported) {
    h.parallel.neverReady = true;
    PrinterLink link(h.services(), h.choice);
    EXPECT_THROW(link.SendParallelByte(0x41), LinkError);
    EXPECT_TRUE(h.parallel.writes.empty());
    EXPECT_GE(h.clock.nowMs(), kParallelReadyLimitMs);
}

} // namespace
} // namespace ordalia
