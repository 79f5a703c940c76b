#include "link/program_exchange.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace ordalia::testing;
using Kind = FakeSerialPort::Event::Kind;

class ProgramExchangeTest : public ::testing::Test {
protected:
    PrinterLink& openLink() {
        m_link.emplace(h.services(), h.choice);
        m_link->OpenSerialPort();
        return *m_link;
    }
    // Answers the printer-ID query `afterMs` after its last byte went out.
    void answerIdQueryAfter(std::uint64_t afterMs, std::vector<std::uint8_t> answer = {0x01}) {
        h.serial.onWrite = [this, afterMs, answer](const std::vector<std::uint8_t>& bytes) {
            if (bytes == std::vector<std::uint8_t>{0x01} && h.serial.written.size() >= 3 &&
                h.serial.written[h.serial.written.size() - 2] == 0x49)
                h.serial.reply(answer, afterMs);
        };
    }
    std::vector<Kind> eventKinds() const {
        std::vector<Kind> kinds;
        for (const auto& e : h.serial.events)
            kinds.push_back(e.kind);
        return kinds;
    }
    Harness h;
    std::optional<PrinterLink> m_link;
};

TEST_F(ProgramExchangeTest, RequestNamesTheOperationAndGoesOutByteByByte) {
    EXPECT_THAT(ProgramRequest(OpSettings), ElementsAre(0x1C /*FS*/, 0xC6 /*settings*/, 'K', 'O',
                                                        'V', 'I', 'R', 'K', 'O', 'V', 'I', 'R'));
    EXPECT_EQ(ProgramRequest(OpFont)[1], 0xC7);
    EXPECT_EQ(ProgramRequest(OpFirmware)[1], 0xC8);

    PrinterLink& link = openLink();
    SendProgramRequest(link, OpFirmware);
    const auto request = ProgramRequest(OpFirmware);
    EXPECT_EQ(h.serial.written, std::vector<std::uint8_t>(request.begin(), request.end()));
    // One write per byte: no length, checksum or terminator, nothing batched.
    EXPECT_EQ(h.serial.events.size(), 1u + kProgramRequestSize);
}

TEST_F(ProgramExchangeTest, AcceptanceConsumesEverythingWaiting) {
    PrinterLink& link = openLink();
    h.serial.reply({0xAA, 0x55, 0x00}, 30);
    EXPECT_TRUE(ExpectAck(link, h.dialogs));
    EXPECT_EQ(h.serial.inputQueueCount(), 0);
    EXPECT_TRUE(h.serial.isOpen());
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(ProgramExchangeTest, RefusalAndSilenceCloseThePortWithTheirMessages) {
    {
        PrinterLink& link = openLink();
        h.serial.reply({0x00}, 5);
        EXPECT_FALSE(ExpectAck(link, h.dialogs));
        EXPECT_FALSE(h.serial.isOpen());
        EXPECT_THAT(h.dialogs.texts(), ElementsAre("IRC_CHECK Error !!"));
    }
    h.dialogs.messages.clear();
    {
        PrinterLink& link = openLink();
        const std::uint64_t start = h.clock.nowMs();
        EXPECT_FALSE(ExpectAck(link, h.dialogs));
        EXPECT_GE(h.clock.nowMs() - start, 10000u);
        EXPECT_LT(h.clock.nowMs() - start, 10010u);
        EXPECT_FALSE(h.serial.isOpen());
        EXPECT_THAT(h.dialogs.texts(), ElementsAre("Connecting Error !!"));
    }
}

TEST_F(ProgramExchangeTest, ProgrammingWaitShowsEachCaptionForOneSecond) {
    RecordingLabel label;
    const std::array<std::string_view, 2> captions = {"A", "B"};
    std::vector<std::uint64_t> pumpedAtMs;
    h.events.onPump = [&] { pumpedAtMs.push_back(h.clock.nowMs()); };
    ShowProgrammingWait(label, captions, 3, nullptr, h.clock, h.events);
    EXPECT_THAT(label.captions, ElementsAre("A", "B", "A", "B", "A", "B"));
    EXPECT_THAT(pumpedAtMs, ElementsAre(0, 1000, 2000, 3000, 4000, 5000));
    EXPECT_EQ(h.clock.nowMs(), 6000u);
}

TEST_F(ProgramExchangeTest, ProgrammingWaitStepsTheBarAfterEachCycleBeforeThePump) {
    RecordingLabel label;
    RecordingProgressBar bar;
    bar.setValue(98);
    const std::array<std::string_view, 3> captions = {"1", "2", "3"};
    std::vector<int> valueAtPump;
    h.events.onPump = [&] { valueAtPump.push_back(bar.value()); };
    ShowProgrammingWait(label, captions, 3, &bar, h.clock, h.events);
    // 98 -> 99 -> 100, and never past 100.
    EXPECT_THAT(valueAtPump, ElementsAre(98, 98, 99, 99, 99, 100, 100, 100, 100));
    EXPECT_EQ(bar.value(), 100);
    EXPECT_EQ(h.clock.nowMs(), 9000u);
}

TEST_F(ProgramExchangeTest, RestartConfirmedByAnyAnswerThenTheTestPageFollows) {
    PrinterLink link(h.services(), h.choice);
    answerIdQueryAfter(4000, {0x37, 0x38});
    EXPECT_TRUE(ConfirmRestart(link, 5000, RestartPoll::Sleep1Ms));
    EXPECT_THAT(h.serial.written, ElementsAre(0x1D /*GS*/, 0x49 /*I*/, 0x01, 0x1B /*ESC*/, 0x88));
    EXPECT_EQ(h.serial.inputQueueCount(), 0);
    EXPECT_EQ(eventKinds().front(), Kind::Open);
    EXPECT_EQ(eventKinds().back(), Kind::Close);
    EXPECT_FALSE(h.serial.isOpen());
}

TEST_F(ProgramExchangeTest, NoAnswerWithinTheLimitClosesThePortAndSendsNothingMore) {
    PrinterLink link(h.services(), h.choice);
    answerIdQueryAfter(5100);
    const std::uint64_t start = h.clock.nowMs();
    EXPECT_FALSE(ConfirmRestart(link, 5000, RestartPoll::Sleep1Ms));
    EXPECT_GT(h.clock.nowMs() - start, 5000u);
    EXPECT_LT(h.clock.nowMs() - start, 5010u);
    EXPECT_THAT(h.serial.written, ElementsAre(0x1D, 0x49, 0x01));
    EXPECT_FALSE(h.serial.isOpen());
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(ProgramExchangeTest, FirmwarePollDoesNotSleepAndUsesItsOwnLimit) {
    PrinterLink link(h.services(), h.choice);
    // Time moves only as the tick counter is read: the poll itself never sleeps.
    h.clock.onTick = [this](std::uint64_t) { h.clock.advanceUs(100); };
    answerIdQueryAfter(2100);
    const std::uint64_t start = h.clock.nowMs();
    EXPECT_FALSE(ConfirmRestart(link, 2000, RestartPoll::Spin));
    EXPECT_GT(h.clock.nowMs() - start, 2000u);
    EXPECT_LT(h.clock.nowMs() - start, 2010u);

    h.serial.events.clear();
    h.serial.written.clear();
    answerIdQueryAfter(1500);
    EXPECT_TRUE(ConfirmRestart(link, 2000, RestartPoll::Spin));
    EXPECT_THAT(h.serial.written, ElementsAre(0x1D, 0x49, 0x01, 0x1B, 0x88));
}

TEST_F(ProgramExchangeTest, AnswerJustAfterTheLastPollStillCounts) {
    PrinterLink link(h.services(), h.choice);
    // The loop reads the count, then the clock; the answer lands between the
    // read that ends the loop and the final count.
    int ticksAfterQuery = -1;
    h.serial.onWrite = [&](const std::vector<std::uint8_t>& bytes) {
        if (bytes == std::vector<std::uint8_t>{0x01})
            ticksAfterQuery = 0;
    };
    h.clock.onTick = [&](std::uint64_t) {
        if (ticksAfterQuery < 0)
            return;
        // The first read is the start; the limit of 0 ends the loop as soon as
        // one millisecond has gone by.
        if (++ticksAfterQuery == 2)
            h.serial.reply({0x01}, 0);
    };
    EXPECT_TRUE(ConfirmRestart(link, 0, RestartPoll::Sleep1Ms));
    EXPECT_THAT(h.serial.written, ElementsAre(0x1D, 0x49, 0x01, 0x1B, 0x88));
}

TEST_F(ProgramExchangeTest, ReplyAtTheLastMillisecondOfTheWaitIsAccepted) {
    PrinterLink& link = openLink();
    h.serial.reply({0xAA}, 9999);
    EXPECT_TRUE(ExpectAck(link, h.dialogs));
    EXPECT_TRUE(h.serial.isOpen());
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(ProgramExchangeTest, ProgrammingWaitWithoutCyclesShowsNothingAndTakesNoTime) {
    RecordingLabel label;
    RecordingProgressBar bar;
    const std::array<std::string_view, 3> captions = {"1", "2", "3"};
    ShowProgrammingWait(label, captions, 0, &bar, h.clock, h.events);
    EXPECT_THAT(label.captions, IsEmpty());
    EXPECT_THAT(bar.values, IsEmpty());
    EXPECT_EQ(h.events.count, 0);
    EXPECT_EQ(h.clock.nowMs(), 0u);
}

TEST_F(ProgramExchangeTest, RestartCheckReopensWithTheOperationsPortAndSettings) {
    h.folder.write("ports", "COM 4=/dev/ttyUSB3\n");
    h.choice.portIndex = 4;
    h.choice.settings = "19200,n,8,1";
    PrinterLink link(h.services(), h.choice);
    link.OpenSerialPort();
    link.CloseSerialPort();
    answerIdQueryAfter(10);
    EXPECT_TRUE(ConfirmRestart(link, 5000, RestartPoll::Sleep1Ms));
    EXPECT_THAT(h.serial.openedDevices, ElementsAre("/dev/ttyUSB3", "/dev/ttyUSB3"));
    EXPECT_EQ(h.serial.settings().baud, 19200u);
    EXPECT_THAT(eventKinds(),
                ElementsAre(Kind::Open, Kind::Close, Kind::Open, Kind::Write, Kind::Write,
                            Kind::Write, Kind::Write, Kind::Write, Kind::Close));
}

TEST_F(ProgramExchangeTest, AnswerAfterTheFinalCountCountsAsNone) {
    PrinterLink link(h.services(), h.choice);
    // The loop ends on the read after 2,000 ms; 2,005 ms is too late.
    h.clock.onTick = [this](std::uint64_t) { h.clock.advanceUs(100); };
    answerIdQueryAfter(2005);
    EXPECT_FALSE(ConfirmRestart(link, 2000, RestartPoll::Spin));
    EXPECT_THAT(h.serial.written, ElementsAre(0x1D, 0x49, 0x01));
    EXPECT_FALSE(h.serial.isOpen());
}

TEST_F(ProgramExchangeTest, TickCounterWrapDuringTheRestartCheckDoesNotEndItEarly) {
    // A clock of its own, a second before the 32-bit counter wraps.
    FakeClock clock(0xFFFFFFFFu - 1000);
    FakeSerialPort serial(clock);
    Services services{serial, h.parallel, clock, h.events, h.dialogs, h.gate, h.folder.path()};
    PrinterLink link(services, h.choice);
    serial.onWrite = [&](const std::vector<std::uint8_t>& bytes) {
        if (bytes == std::vector<std::uint8_t>{0x01})
            serial.reply({0x20}, 4500);
    };
    EXPECT_TRUE(ConfirmRestart(link, 5000, RestartPoll::Sleep1Ms));
    EXPECT_GE(clock.nowMs(), 4500u);
    EXPECT_THAT(serial.written, ElementsAre(0x1D, 0x49, 0x01, 0x1B, 0x88));
}

TEST_F(ProgramExchangeTest, RestartCheckOnAPortThatCannotBeReopenedIsALinkError) {
    h.serial.openError = PortError{PortErrorKind::InUse, "in use by another program"};
    PrinterLink link(h.services(), h.choice);
    EXPECT_THROW(ConfirmRestart(link, 2000, RestartPoll::Spin), LinkError);
    EXPECT_THAT(h.serial.written, IsEmpty());
}

TEST_F(ProgramExchangeTest, PortThatGoesAwayDuringTheRestartCheckIsALinkError) {
    PrinterLink link(h.services(), h.choice);
    h.serial.onWrite = [&](const std::vector<std::uint8_t>& bytes) {
        if (bytes == std::vector<std::uint8_t>{0x01})
            h.serial.disconnected = true;
    };
    EXPECT_THROW(ConfirmRestart(link, 5000, RestartPoll::Sleep1Ms), LinkError);
}

} // namespace
} // namespace ordalia
