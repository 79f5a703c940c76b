#include "link/link_timing.h"
#include "link/printer_link.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;

TEST(PrinterLinkTest, OpensTheEntryTheListNamesWithTheSettingsAsTyped) {
    struct Case {
        const char* name;
        int port;
        const char* settings = "9600,n,8,1";
        bool deviceRefuses = false;
        const char* says = ""; // "": it opens
    };
    const Case kCases[] = {
        {.name = "a mapped entry", .port = 2, .settings = "9600,e,7,2"},
        {.name = "the blank entry", .port = 0, .says = "blank"},
        {.name = "typed text that is no entry", .port = -1, .says = "none of its"},
        {.name = "settings the port cannot take",
         .port = 1,
         .settings = "9600.n.8,1",
         .says = "9600.n.8,1"},
        {.name = "a device that refuses",
         .port = 2,
         .deviceRefuses = true,
         .says = "COM 2 (/dev/ttyUSB7)"},
        // How many were found is this machine's.
        {.name = "an entry past the ports found", .port = 200, .says = "Cannot open COM 200: "},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.folder.write("ports", "# test mapping\nCOM 2=/dev/ttyUSB7\r\n");
        if (c.deviceRefuses)
            h.serial.openError = PortError{"permission denied."};
        h.choice.portIndex = c.port;
        h.choice.settings = c.settings;
        PrinterLink link(h.services(), h.choice);
        EXPECT_EQ(link.IsSerialPortChosen(), c.port != 0); // typed text (-1) counts as chosen
        try {
            link.OpenSerialPort();
            EXPECT_STREQ(c.says, "");
            EXPECT_THAT(h.serial.openedDevices, ElementsAre("/dev/ttyUSB7"));
            const SerialSettings& s = h.serial.settings();
            EXPECT_EQ(std::tie(s.baud, s.parity, s.dataBits, s.stopBits),
                      std::make_tuple(9600u, 'e', 7, 2));
        } catch (const LinkError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.says));
            EXPECT_EQ(h.serial.openedDevices.size(), c.deviceRefuses ? 1u : 0u);
        }
    }
}

TEST(PrinterLinkTest, ReplyOutcomes) {
    struct Case {
        const char* name;
        Bytes reply; // arrives once the clock reads afterMs
        std::uint64_t afterMs = 0;
        std::uint8_t expected;
        std::uint64_t fromUs; // RS_ACK returns no sooner
        std::uint32_t startTick = 1000;
    };
    const Case kCases[] = {
        {.name = "0xAA and more: accepted",
         .reply = {0xAA, 1, 2},
         .afterMs = 30,
         .expected = kReplyAccepted,
         .fromUs = 30000},
        {.name = "0x00 is a reply, not silence",
         .reply = {0x00},
         .expected = kReplyRefused,
         .fromUs = 0},
        {.name = "only the first byte counts",
         .reply = {0x55, 0xAA},
         .expected = kReplyRefused,
         .fromUs = 0},
        {.name = "just before the limit",
         .reply = {0xAA},
         .afterMs = 9999,
         .expected = kReplyAccepted,
         .fromUs = 9999000},
        // The last poll saw nothing; the count after the loop sees it.
        {.name = "after the last poll, before the count",
         .reply = {0xAA},
         .afterMs = 10001,
         .expected = kReplyAccepted,
         .fromUs = 10001000},
        {.name = "silence", .reply = {}, .expected = kReplyNone, .fromUs = 10001000},
        {.name = "too late",
         .reply = {0xAA},
         .afterMs = 10050,
         .expected = kReplyNone,
         .fromUs = 10001000},
        {.name = "silence across the counter's wrap",
         .reply = {},
         .expected = kReplyNone,
         .fromUs = 10001000,
         .startTick = 0xFFFFFFFFu - 5000},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.clock = FakeClock(c.startTick);
        PrinterLink link(h.services(), h.choice);
        link.OpenSerialPort();
        Bytes reply = c.reply;
        h.clock.onTick = [&](std::uint64_t nowUs) { // arrives as the clock is read
            if (!reply.empty() && nowUs >= c.afterMs * 1000)
                h.serial.reply(std::exchange(reply, {}));
        };
        EXPECT_EQ(link.RS_ACK(), c.expected);
        EXPECT_GE(h.clock.nowUs(), c.fromUs);
        // Seen within a poll of arriving; silence ends within 2 ms of the limit.
        EXPECT_LE(h.clock.nowUs(), c.fromUs + (c.fromUs < 10000000 ? 2 * kReplyPollUs : 2000));
        EXPECT_EQ(h.serial.inputQueueCount(), 0); // what came is consumed
    }
}

// A write returns when the line has sent all but what the UART's FIFO holds:
// the time gone and the bytes left add up to the line time of all bytes. Byte
// times are whole microseconds at 100,000 bit/s, so the link and the model agree.
void expectLineTime(Harness& h, std::size_t bytes, std::uint64_t slackUs) {
    const std::uint64_t doneUs = h.clock.nowUs() + h.serial.queued() * 100;
    EXPECT_GE(doneUs, bytes * 100);
    EXPECT_LE(doneUs, bytes * 100 + slackUs);
    EXPECT_EQ(h.serial.written.size(), bytes); // the pumps sent nothing
}

// The window repaints and shows progress only when the link pumps its events;
// no wait may go 100 ms of the clock without. Faults end the wait and the
// link closes the port as it goes.
TEST(PrinterLinkTest, EveryWaitPumpsTheWindowAtLeastEvery100Ms) {
    struct Case {
        const char* name;
        std::function<void(Harness&, PrinterLink&)> wait;
    };
    const Case kCases[] = {
        {"a silent reply wait", [](Harness&, PrinterLink& l) { EXPECT_EQ(l.RS_ACK(), 0); }},
        {"20,000 bytes into a FIFO: the line never idle",
         [](Harness& h, PrinterLink& l) {
             for (int i = 0; i < 20000; ++i)
                 l.SendSerialByte(static_cast<std::uint8_t>(i));
             l.flush();
             expectLineTime(h, 20000, 100);
             EXPECT_EQ(h.serial.events.size(), 1 + 20000 / 50u); // runs of 5 ms at 100 us a byte
             EXPECT_LE(h.serial.outputPolls, 8 * 20000 / 50u);   // a look a USB frame
         }},
        {"20,000 bytes through a USB adapter, waking late: the line never idle",
         [](Harness& h, PrinterLink& l) {
             h.serial.usbLatencyUs = 1000; // a frame to reach the chip
             h.serial.fifoSize = 128;      // the chip's buffer
             h.clock.oversleepUs = 500;
             for (int i = 0; i < 20000; ++i)
                 l.SendSerialByte(static_cast<std::uint8_t>(i));
             l.flush();
             expectLineTime(h, 20000, 1100); // the first run's frame
         }},
        {"200 bytes without a FIFO: one byte time each",
         [](Harness& h, PrinterLink& l) {
             h.serial.fifoSize = 0;
             for (int i = 0; i < 200; ++i)
                 l.SendSerialByte(0x55);
             l.flush();
             expectLineTime(h, 200, 200 * 20);
         }},
        {"a 4,096-byte block in one write",
         [](Harness& h, PrinterLink& l) {
             l.SendSerialBlock(Bytes(4096, 0x5A));
             EXPECT_EQ(h.serial.events.size(), 2u); // open, write
             expectLineTime(h, 4096, 1000);
         }},
        {"a queue that never empties, a write that fails",
         [](Harness& h, PrinterLink& l) {
             h.serial.stuck = true;
             l.SendSerialByte(0);
             EXPECT_THROW(l.RS_ACK(), LinkError);
             EXPECT_GE(h.clock.nowMs(), 2000u); // 2 s plus three line times
             EXPECT_LT(h.clock.nowMs(), 2100u);
             h.serial.writeError = PortError{"gone away."};
             l.SendSerialByte(1);
             EXPECT_THROW(l.CloseSerialPort(), LinkError);
             EXPECT_EQ(h.serial.written.size(), 1u);
         }},
        {"a parallel byte on LPT2, none outside the table, a printer never ready",
         [](Harness& h, PrinterLink&) {
             h.choice.parallelIndex = 1;
             h.parallel.busyReads = 3;
             PrinterLink(h.services(), h.choice).SendParallelByte(0x41);
             EXPECT_THAT(h.parallel.reads, ElementsAre(0x279, 0x279, 0x279, 0x279));
             using W = std::pair<std::uint16_t, std::uint8_t>;
             const auto strobed = ElementsAre(W{0x278, 0x41}, W{0x27A, 9}, W{0x27A, 8});
             EXPECT_THAT(h.parallel.writes, strobed);
             h.choice.parallelIndex = 2;
             PrinterLink(h.services(), h.choice).SendParallelByte(0x42);
             h.parallel.neverReady = true;
             h.choice.parallelIndex = 1;
             EXPECT_THROW(PrinterLink(h.services(), h.choice).SendParallelByte(0x43), LinkError);
             EXPECT_THAT(h.parallel.writes, strobed);
             EXPECT_GE(h.clock.nowMs(), kParallelReadyLimitMs);
         }},
        {"DelayMs: once for 0, every pass, and again from a counter that wrapped",
         [](Harness& h, PrinterLink& l) {
             l.DelayMs(0);
             EXPECT_EQ(h.events.count, 1);
             l.DelayMs(5000);
             EXPECT_EQ(h.clock.nowMs(), 5000u);
             EXPECT_GE(h.events.count, 5000);
             h.clock = FakeClock(0xFFFFFFFFu - 100);
             l.DelayMs(1000);
             // The counter went "backwards" after 101 ms; the wait starts again there.
             EXPECT_EQ(h.clock.nowMs(), 1101u);
         }},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.choice.settings = "100000,n,8,1";
        std::vector<std::uint64_t> pumps{h.clock.nowUs()};
        h.events.onPump = [&] { pumps.push_back(h.clock.nowUs()); };
        {
            PrinterLink link(h.services(), h.choice);
            link.OpenSerialPort();
            c.wait(h, link);
        }
        EXPECT_FALSE(h.serial.isOpen());
        pumps.push_back(h.clock.nowUs());
        for (std::size_t i = 1; i < pumps.size(); ++i)
            EXPECT_LE(std::int64_t(pumps[i] - pumps[i - 1]), 100000); // a new clock restarts at 0
    }
}

// Bytes handed over one at a time go out in runs, and what is held is written
// and drained before anything that needs the printer to have it.
TEST(PrinterLinkTest, HeldBytesGoOutBeforeWhatDependsOnThem) {
    struct Case {
        const char* name;
        std::function<void(Harness&, PrinterLink&)> then;
        const char* trace; // the port's events, @ms; consecutive reads as one
    };
    const Case kCases[] = {
        {"a reply wait", [](Harness&, PrinterLink& l) { l.RS_ACK(); },
         "open@0 w3@0 read@0 close@3"},
        {"a wait", [](Harness&, PrinterLink& l) { l.DelayMs(10); }, "open@0 w3@0 close@10"},
        {"a block",
         [](Harness&, PrinterLink& l) {
             l.SendSerialBlock(Bytes{4, 5});
         },
         "open@0 w3@0 w2@0 close@0"},
        {"a look at the input queue", [](Harness&, PrinterLink& l) { l.inputQueueCount(); },
         "open@0 w3@0 read@0 close@0"},
        {"reopening", [](Harness&, PrinterLink& l) { l.OpenSerialPort(); },
         "open@0 w3@0 close@0 open@0 close@0"},
        {"a close", [](Harness&, PrinterLink& l) { l.CloseSerialPort(); }, "open@0 w3@0 close@0"},
        {"the operation's end", [](Harness&, PrinterLink&) {}, "open@0 w3@0 close@0"},
        {"a run whose write fails is not sent again",
         [](Harness& h, PrinterLink& l) {
             h.serial.writeError = PortError{"gone away."};
             EXPECT_THROW(l.RS_ACK(), LinkError);
             l.CloseSerialPort();
         },
         "open@0 close@0"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.serial.logReads = true;
        {
            PrinterLink link(h.services(), h.choice);
            link.OpenSerialPort();
            for (const std::uint8_t b : {1, 2, 3})
                link.SendSerialByte(b);
            h.serial.reply({0xAA}, 3);
            c.then(h, link);
        }
        std::string trace;
        const char* kNames[] = {"open", "close", "w", "read"};
        for (std::size_t i = 0; i < h.serial.events.size(); ++i) {
            const auto& e = h.serial.events[i];
            if (e.kind == FakeSerialPort::Event::Read && i > 0 &&
                h.serial.events[i - 1].kind == e.kind)
                continue;
            trace += (trace.empty() ? "" : " ") + std::string(kNames[e.kind]) +
                     (e.bytes.empty() ? "" : std::to_string(e.bytes.size())) + "@" +
                     std::to_string(e.atUs / 1000);
        }
        EXPECT_EQ(trace, c.trace);
    }
}

// A run holds at most 5 ms of line time and 256 bytes, and no byte waits
// longer than that for a caller that hands them over slowly. A device with no
// line runs full whatever the speed set.
TEST(PrinterLinkTest, RunsStayWithinTheirLimit) {
    struct Case {
        const char* settings;
        std::uint64_t gapUs; // between the bytes handed over
        std::size_t run;
        const char* device = "";
    };
    const Case kCases[] = {
        {"9600,n,8,1", 0, 4}, // 1,041 us a byte
        {"115200,n,8,1", 0, 58},
        {"38400,e,8,2", 0, 16}, // 11 bits
        {"921600,n,8,1", 0, 256},
        {"115200,n,8,1", 100, 50},
        {"9600,n,8,1", 0, 256, "/dev/ttyACM0"},
        {"9600,n,8,1", 0, 256, "/dev/usb/lp0"},
        {"9600,n,8,1", 0, 4, "/dev/ttyUSB0"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.settings + std::string(" ") + std::to_string(c.gapUs) + " " + c.device);
        Harness h;
        h.choice.settings = c.settings;
        h.choice.device = c.device;
        PrinterLink link(h.services(), h.choice);
        link.OpenSerialPort();
        for (int i = 0; i < 1000; ++i) {
            link.SendSerialByte(static_cast<std::uint8_t>(i));
            h.clock.advanceUs(c.gapUs);
        }
        link.CloseSerialPort();
        ASSERT_EQ(h.serial.written.size(), 1000u);
        for (std::size_t i = 0; i < h.serial.written.size(); ++i)
            ASSERT_EQ(h.serial.written[i], static_cast<std::uint8_t>(i));
        const std::size_t writes = h.serial.events.size() - 2;
        EXPECT_EQ(writes, (1000 + c.run - 1) / c.run);
        for (std::size_t i = 1; i + 1 < h.serial.events.size(); ++i)
            EXPECT_LE(h.serial.events[i].bytes.size(), c.run);
    }
}

// A network printer is reached at the typed host whatever the port list shows,
// and has no line: runs are full and the drain gives up when the count has
// not fallen for two seconds, at any speed.
TEST(PrinterLinkTest, ANetworkChoiceOpensTheHostAndReckonsNoLine) {
    struct Case {
        const char* name;
        const char* host;
        const char* settings;
        const char* opens; // nullptr: refused before anything is opened
        int page = 0;      // bytes sent one by one; a multiple of 256 leaves none held
    };
    const Case kCases[] = {
        {"an address, 4 bytes a run on a line", "192.168.1.50", "9600,n,8,1", "tcp://192.168.1.50",
         1000},
        {"a name and port, a speed text no line takes", "printer.local:9101", "9600.n.8,1",
         "tcp://printer.local:9101", 1024},
        {"nothing typed", "", "9600,n,8,1", nullptr},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.choice.portIndex = 0; // the blank entry does not count
        h.choice.networkSelected = true;
        h.choice.host = c.host;
        h.choice.settings = c.settings;
        PrinterLink link(h.services(), h.choice);
        EXPECT_EQ(link.IsSerialPortChosen(), c.opens != nullptr);
        if (!c.opens) {
            try {
                link.OpenSerialPort();
                ADD_FAILURE() << "opened";
            } catch (const LinkError& e) {
                EXPECT_THAT(e.what(), HasSubstr("No network printer is given"));
            }
            EXPECT_TRUE(h.serial.openedDevices.empty());
            continue;
        }
        link.OpenSerialPort();
        EXPECT_THAT(h.serial.openedDevices, ElementsAre(c.opens));
        // No acknowledgement comes: runs still go out while no more than
        // kNoLineRunWindow bytes wait; closing drains to empty and gives up.
        h.serial.stuck = true;
        const std::uint64_t start = h.clock.nowMs();
        for (int i = 0; i < c.page; ++i)
            link.SendSerialByte(static_cast<std::uint8_t>(i));
        ASSERT_EQ(h.serial.events.size(), 1u + c.page / 256); // open and whole runs of 256
        EXPECT_EQ(h.serial.events[1].bytes.size(), kRunMaxBytes);
        EXPECT_LT(h.clock.nowMs() - start, 10u);
        try {
            link.CloseSerialPort();
            ADD_FAILURE() << "drained";
        } catch (const LinkError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.opens));
        }
        EXPECT_GE(h.clock.nowMs() - start, 2000u); // not 2 s and three times 9600 bit/s
        EXPECT_LT(h.clock.nowMs() - start, 2010u);
        EXPECT_FALSE(h.serial.isOpen());
    }
}

// Where the port's count does not show what the printer has taken, a
// transfer ends only on the printer's answer to DLE EOT 1 sent after its last
// byte; an operation that read the printer's answers itself asks nothing more.
TEST(PrinterLinkTest, WithoutADeliveryCountTheCloseAsksThePrinter) {
    struct Case {
        const char* name;
        bool counted;                // the port's count shows delivery
        bool readsReply;             // the operation waited for a reply after its bytes
        Bytes answer;                // to the status query, after 300 ms
        const char* error = nullptr; // nullptr: closes cleanly
        std::uint64_t endsMs = 0;    // when the close returns or fails
    };
    const Bytes query = {0x10, 0x04, 0x01};
    const Case kCases[] = {
        {"answered", false, false, {0x16}, nullptr, 300},
        {"answered after noise", false, false, {0xAA, 0x1E}, nullptr, 300},
        {"noise alone",
         false,
         false,
         {0xAA},
         "did not answer a status query sent after them",
         10000},
        {"silent", false, false, {}, "did not answer a status query sent after them", 10000},
        {"a reply read", false, true, {}, nullptr, 0},
        {"a counting port", true, false, {}, nullptr, 0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.choice.networkSelected = true;
        h.choice.host = "192.168.1.50";
        h.serial.deliveryCounted = c.counted;
        h.serial.onWrite = [&](const Bytes& bytes) {
            if (bytes == query && !c.answer.empty())
                h.serial.reply(c.answer, 300);
        };
        PrinterLink link(h.services(), h.choice);
        link.OpenSerialPort();
        h.serial.reply({0x55}); // left from before: not the answer
        for (int i = 0; i < 300; ++i)
            link.SendSerialByte(0x41);
        if (c.readsReply)
            link.readInput();
        const std::uint64_t start = h.clock.nowMs();
        try {
            link.CloseSerialPort();
            EXPECT_EQ(c.error, nullptr);
        } catch (const LinkError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.error ? c.error : "nothing"));
            EXPECT_THAT(e.what(), HasSubstr("tcp://192.168.1.50"));
        }
        const bool asks = !c.counted && !c.readsReply;
        EXPECT_EQ(h.serial.written.size(), 300u + (asks ? 3 : 0));
        if (asks) {
            EXPECT_EQ(Bytes(h.serial.written.end() - 3, h.serial.written.end()), query);
        }
        EXPECT_GE(h.clock.nowMs() - start, c.endsMs);
        EXPECT_LT(h.clock.nowMs() - start, c.endsMs + 60);
        EXPECT_FALSE(h.serial.isOpen());
    }
}

} // namespace
} // namespace ordalia
