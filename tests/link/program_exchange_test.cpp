#include "link/program_exchange.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <utility>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;

// The longest stretch of virtual time with no pump from `fromUs` to now.
std::uint64_t longestGapUs(Harness& h, std::uint64_t fromUs,
                           const std::vector<std::uint64_t>& atUs) {
    std::uint64_t longest = 0;
    for (const std::uint64_t at : atUs)
        longest = std::max(longest, at - std::exchange(fromUs, at));
    return std::max(longest, h.clock.nowUs() - fromUs);
}

TEST(ProgramExchange, RequestThenReplyAndThePortClosedBeforeEachMessage) {
    struct Case {
        const char* name;
        std::uint8_t op, wire;
        Bytes reply; // none: silence
        std::uint64_t afterMs;
        std::vector<std::string> messages; // none: accepted
    };
    const Case kCases[] = {
        {"0xAA and more: accepted, the rest consumed", OpSettings, 0xC6, {0xAA, 0x55}, 30, {}},
        {"0xAA in the last millisecond", OpFont, 0xC7, {0xAA}, 9999, {}},
        {"0x00 is a refusal", OpFirmware, 0xC8, {0x00}, 5, {"IRC_CHECK Error !!"}},
        {"silence for 10 s", OpFirmware, 0xC8, {}, 10000, {"Connecting Error !!"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        PrinterLink link(h.services(), h.choice);
        link.OpenSerialPort();
        SendProgramRequest(link, c.op);
        if (!c.reply.empty())
            h.serial.reply(c.reply, c.afterMs);
        std::vector<std::string> untitledWithPortClosed;
        h.dialogs.onMessage = [&](const Shown& m) {
            if (!h.serial.isOpen() && m.title.empty())
                untitledWithPortClosed.push_back(m.text);
        };
        EXPECT_EQ(ExpectAck(link, h.dialogs), c.messages.empty());
        EXPECT_THAT(h.serial.written, ElementsAre(0x1C /*FS*/, c.wire, 'K', 'O', 'V', 'I', 'R', 'K',
                                                  'O', 'V', 'I', 'R'));
        EXPECT_EQ(h.serial.events[1].bytes.size(), 12u); // one write, before the reply wait
        EXPECT_EQ(h.serial.inputQueueCount(), 0);
        EXPECT_EQ(h.serial.isOpen(), c.messages.empty());
        EXPECT_EQ(h.dialogs.texts(), c.messages);
        EXPECT_EQ(untitledWithPortClosed, c.messages);
    }
}

TEST(ProgramExchange, ProgrammingWaitShowsEachCaptionASecondAndPumpsMeanwhile) {
    Harness h;
    RecordingLabel label;
    RecordingProgressBar bar;
    bar.setValue(98);
    std::vector<std::uint64_t> pumpsUs;
    std::vector<std::string> shown; // caption@ms:bar at each caption's first pump
    h.events.onPump = [&] {
        pumpsUs.push_back(h.clock.nowUs());
        if (label.captions.size() > shown.size())
            shown.push_back(label.caption() + "@" + std::to_string(h.clock.nowMs()) + ":" +
                            std::to_string(bar.value()));
    };
    ShowProgrammingWait(label, std::vector<std::string_view>{"1", "2", "3"}, 3, &bar, h.clock,
                        h.events);
    // The third caption of each cycle steps the bar, never past 100.
    EXPECT_THAT(shown, ElementsAre("1@0:98", "2@1000:98", "3@2000:99", "1@3000:99", "2@4000:99",
                                   "3@5000:100", "1@6000:100", "2@7000:100", "3@8000:100"));
    EXPECT_EQ(h.clock.nowMs(), 9000u);
    EXPECT_LE(longestGapUs(h, 0, pumpsUs), 100'000u);
}

TEST(ProgramExchange, RestartCheckAsksAgainOnTheOperationsPort) {
    const Bytes kAsked = {0x1D /*GS*/, 0x49 /*I*/, 0x01};
    const Bytes kAnswered = {0x1D, 0x49, 0x01, 0x1B /*ESC*/, 0x88 /*test page*/};
    enum Printer { Answers, AnswersAsTheLoopEnds, HeldElsewhere, GoesAway };
    struct Case {
        const char* name;
        RestartPoll poll;
        std::int32_t timeoutMs;
        Printer printer;
        std::uint64_t answerMs;          // after the ID query
        Bytes wire;                      // kAnswered: answered
        std::uint64_t tookMs;            // to within 10 ms
        const char* portFault = nullptr; // part of the reason, when the port failed
    };
    const Case kCases[] = {
        {"font: answer at 4 s", RestartPoll::Sleep1Ms, 5000, Answers, 4000, kAnswered, 4000},
        {"font: none in 5 s", RestartPoll::Sleep1Ms, 5000, Answers, 5100, kAsked, 5001},
        {"firmware: answer at 1.5 s", RestartPoll::Spin, 2000, Answers, 1500, kAnswered, 1500},
        {"firmware: after the final count", RestartPoll::Spin, 2000, Answers, 2005, kAsked, 2001},
        {"after the last poll, before the final count", RestartPoll::Sleep1Ms, 0,
         AnswersAsTheLoopEnds, 0, kAnswered, 1},
        {"cannot be reopened", RestartPoll::Spin, 2000, HeldElsewhere, 0, {}, 0, "held elsewhere"},
        {"the port goes away", RestartPoll::Sleep1Ms, 5000, GoesAway, 0, kAsked, 0, "COM 1"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.clock = FakeClock(0xFFFFFFFFu - 1000); // the tick counter wraps a second in
        // Polls that do not sleep still see time go by.
        h.clock.onTick = [&h](std::uint64_t) { h.clock.advanceUs(100); };
        h.serial.onWrite = [&](const Bytes&) {
            if (c.printer == Answers && h.serial.written == kAsked)
                h.serial.reply({0x37, 0x38}, c.answerMs);
            h.serial.disconnected = c.printer == GoesAway;
        };
        if (c.printer == AnswersAsTheLoopEnds) // at the clock read after the loop's last count
            h.clock.onTick = [&h](std::uint64_t nowUs) {
                if (h.serial.written.size() == 3 && nowUs >= h.serial.events.back().atUs + 1000)
                    h.serial.reply({0x01});
            };
        if (c.printer == HeldElsewhere)
            h.serial.openError = PortError{"held elsewhere"};
        PrinterLink link(h.services(), h.choice);
        std::vector<std::uint64_t> pumpsUs;
        h.events.onPump = [&] { pumpsUs.push_back(h.clock.nowUs()); };

        const RestartCheck check = ConfirmRestart(link, c.timeoutMs, c.poll);
        EXPECT_EQ(check.answered, c.wire == kAnswered);
        EXPECT_EQ(h.serial.written, c.wire);
        EXPECT_NEAR(h.clock.nowMs(), c.tookMs + 5, 5);
        // Not sleeping between polls shows as many clock reads a millisecond.
        EXPECT_TRUE(c.poll == RestartPoll::Sleep1Ms || h.clock.reads() > 5 * c.tookMs);
        EXPECT_LE(longestGapUs(h, 0, pumpsUs), 100'000u);
        EXPECT_FALSE(h.serial.isOpen());
        EXPECT_THAT(check.portFault.value_or("(none)"),
                    ::testing::HasSubstr(c.portFault ? c.portFault : "(none)"));
    }
}

} // namespace
} // namespace ordalia
