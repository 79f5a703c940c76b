#include "link/printer_info.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;

// The queries in the order they go out.
const Bytes kQueries[] = {
    {0x1D /*GS*/, 'I', 1},           {0x1D /*GS*/, 'I', 2},
    {0x1D /*GS*/, 'I', 3},           {0x1D /*GS*/, 'I', 65},
    {0x1D /*GS*/, 'I', 66},          {0x1D /*GS*/, 'I', 67},
    {0x1D /*GS*/, 'I', 68},          {0x10 /*DLE*/, 0x04 /*EOT*/, 1},
    {0x10 /*DLE*/, 0x04 /*EOT*/, 2}, {0x10 /*DLE*/, 0x04 /*EOT*/, 3},
    {0x10 /*DLE*/, 0x04 /*EOT*/, 4},
};

struct Reply {
    Bytes bytes;
    std::uint64_t afterMs = 0;
};

Bytes text(std::string_view s) {
    Bytes out(s.size() + 2, 0x00); // 0x5F, the text, NUL
    out[0] = 0x5F;
    std::copy(s.begin(), s.end(), out.begin() + 1);
    return out;
}

// A printer on line with paper, answering every query at once.
std::map<std::size_t, Reply> healthyPrinter() {
    return {{0, {{0x20}}},           {1, {{0x02}}},        {2, {{0x10}}},
            {3, {text("1.00")}},     {4, {text("KOVIR")}}, {5, {text("VIRTUAL-80")}},
            {6, {text("00000001")}}, {7, {{0x12}}},        {8, {{0x12}}},
            {9, {{0x12}}},           {10, {{0x12}}}};
}

// Answers each query written to the fake port from `replies` (by its place in
// kQueries); queries not in it get no answer.
void answer(Harness& h, const std::map<std::size_t, Reply>& replies) {
    h.serial.onWrite = [&h, replies](const Bytes& written) {
        for (std::size_t i = 0; i < std::size(kQueries); ++i)
            if (written == kQueries[i] && replies.contains(i)) {
                const Reply& r = replies.at(i);
                // Split in two: a text answer may come in pieces.
                if (r.bytes.size() > 2 && r.afterMs == 0) {
                    h.serial.reply({r.bytes.begin(), r.bytes.begin() + 2});
                    h.serial.reply({r.bytes.begin() + 2, r.bytes.end()}, 30);
                } else {
                    h.serial.reply(r.bytes, r.afterMs);
                }
            }
    };
}

TEST(PrinterInfo, EachQueryInTurnWaitedForAtMost500Ms) {
    Harness h;
    bool closedAtMessage = false;
    h.dialogs.onMessage = [&](const Shown&) { closedAtMessage = !h.serial.isOpen(); };
    const auto result = askPrinterInfo(h.services(), h.choice);

    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(HasSubstr("did not answer")));
    EXPECT_TRUE(closedAtMessage);
    std::vector<std::uint64_t> sentAtUs;
    Bytes wire;
    for (const auto& e : h.serial.events)
        if (e.kind == FakeSerialPort::Event::Write) {
            sentAtUs.push_back(e.atUs);
            EXPECT_EQ(e.bytes.size(), 3u); // one query a write, waited for before the next
        }
    for (const Bytes& q : kQueries)
        wire.insert(wire.end(), q.begin(), q.end());
    EXPECT_EQ(h.serial.written, wire);
    ASSERT_EQ(sentAtUs.size(), std::size(kQueries));
    for (std::size_t i = 1; i < sentAtUs.size(); ++i) {
        EXPECT_GE(sentAtUs[i] - sentAtUs[i - 1], 500'000u);
        EXPECT_LE(sentAtUs[i] - sentAtUs[i - 1], 503'000u);
    }
    // The window kept its events through 11 silent half-seconds.
    EXPECT_GE(h.events.count, static_cast<int>(11 * (500 / kPumpIntervalMs - 1)));
}

TEST(PrinterInfo, AnswersInWords) {
    struct Case {
        const char* name;
        std::map<std::size_t, Reply> changes; // over a healthy printer; empty bytes: silent
        std::vector<std::string> lines;       // among the lines
    };
    const Case kCases[] = {
        {"healthy",
         {},
         {"model name: VIRTUAL-80", "firmware: 1.00", "maker: KOVIR", "serial number: 00000001",
          "model: 0x20", "type: auto-cutter (0x02)", "ROM version: 0x10", "printer: on line",
          "cover: closed", "paper: ok", "off line: none", "error: none"}},
        {"paper near end, both sensor bits", {{10, {{0x1E}}}}, {"paper: near end"}},
        {"paper near end, one sensor bit", {{10, {{0x16}}}}, {"paper: near end"}},
        {"paper end stops the printer",
         {{7, {{0x1A}}}, {8, {{0x32}}}, {10, {{0x7E}}}},
         {"printer: off line", "off line: paper end", "paper: end"}},
        {"cover open, paper fed by the button",
         {{8, {{0x1E}}}},
         {"cover: open", "off line: cover open, feed button"}},
        {"every error",
         {{8, {{0x52}}}, {9, {{0x7A}}}},
         {"off line: error", "error: auto-cutter, unrecoverable, auto-recoverable"}},
        {"fixed bits wrong: bit 0, bit 7, bit 1 clear, bit 4 clear",
         {{7, {{0x13}}}, {8, {{0x92}}}, {9, {{0x10}}}, {10, {{0x02}}}},
         {"printer: not a status answer (0x13)", "cover: not a status answer (0x92)",
          "off line: not a status answer (0x92)", "error: not a status answer (0x10)",
          "paper: not a status answer (0x02)"}},
        {"status not answered",
         {{7, {}}, {8, {}}, {9, {}}, {10, {}}},
         {"printer: no answer", "cover: no answer", "paper: no answer", "off line: no answer",
          "error: no answer"}},
        {"identity not answered",
         {{0, {}}, {1, {}}, {3, {}}, {5, {}}},
         {"model name: no answer", "firmware: no answer", "model: no answer", "type: no answer"}},
        {"every type bit, and none",
         {{1, {{0x07}}}, {0, {{0x00}}}},
         {"type: two-byte characters, auto-cutter, display (0x07)", "model: 0x00"}},
        {"texts: no header, no end, control bytes, empty",
         {{3, {{'1', '.', 0}}},
          {4, {{0x5F, 'K', 'O'}}},
          {5, {{0x5F, 'A', 0x1B, 0xE9, 0}}},
          {6, {{0x5F, 0}}}},
         {"firmware: unreadable answer", "maker: unreadable answer", "model name: A??",
          "serial number: "}},
        {"a text longer than 80 bytes",
         {{5, {text(std::string(81, 'x'))}}},
         {"model name: unreadable answer"}},
        {"an answer in the last millisecond counts, one after does not",
         {{0, {{0x21}, 499}}, {6, {text("7"), 502}}},
         {"model: 0x21", "serial number: no answer"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        auto replies = healthyPrinter();
        for (const auto& [query, reply] : c.changes)
            if (reply.bytes.empty())
                replies.erase(query);
            else
                replies[query] = reply;
        answer(h, replies);
        const auto result = askPrinterInfo(h.services(), h.choice);
        EXPECT_EQ(result.outcome, Outcome::Done);
        EXPECT_TRUE(h.dialogs.messages.empty());
        EXPECT_FALSE(h.serial.isOpen());
        const auto lines = printerInfoLines(result.info);
        for (const std::string& line : c.lines)
            EXPECT_THAT(lines, ::testing::Contains(line));
    }
}

TEST(PrinterInfo, TheMessageBoxTextBeginsEachLineWithACapital) {
    PrinterInfo info;
    info.paper = {AnswerState::Ok, 0x1E};
    info.offLine = {AnswerState::Ok, 0x36};
    EXPECT_EQ(printerInfoMessage(info),
              "Model name: no answer\nFirmware: no answer\nMaker: no answer\nSerial number: no "
              "answer\nModel: no answer\nType: no answer\nROM version: no answer\nPrinter: no "
              "answer\nCover: open\nPaper: near end\nOff line: paper end, cover open\nError: no "
              "answer");
}

TEST(PrinterInfo, RefusalsAndPortFailures) {
    struct Case {
        const char* name;
        std::function<void(Harness&)> setUp;
        Outcome outcome;
        std::string message;
        std::size_t sent;
    };
    const Case kCases[] = {
        {"no port chosen", [](Harness& h) { h.choice.portIndex = 0; }, Outcome::Refused,
         "Choose the printer's port", 0},
        {"parallel link", [](Harness& h) { h.choice.serialSelected = false; }, Outcome::Refused,
         "serial link", 0},
        {"port does not open",
         [](Harness& h) {
             h.serial.openError = PortError{PortErrorKind::InUse, "busy"};
         },
         Outcome::Failed, "busy", 0},
        {"port goes away after the third query",
         [](Harness& h) {
             h.serial.onWrite = [&h](const Bytes&) {
                 h.serial.disconnected = h.serial.written.size() >= 9;
             };
         },
         Outcome::Failed, "stopped answering", 9},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        c.setUp(h);
        bool closedAtMessage = false;
        h.dialogs.onMessage = [&](const Shown&) { closedAtMessage = !h.serial.isOpen(); };
        EXPECT_EQ(askPrinterInfo(h.services(), h.choice).outcome, c.outcome);
        EXPECT_THAT(h.dialogs.texts(), ElementsAre(HasSubstr(c.message)));
        EXPECT_TRUE(closedAtMessage);
        EXPECT_EQ(h.serial.written.size(), c.sent);
    }
}

TEST(PrinterInfo, ASecondStartWhileOneRunsIsRefused) {
    Harness h;
    std::optional<PrinterInfoResult> second;
    h.serial.onWrite = [&](const Bytes&) {
        if (!second)
            second = askPrinterInfo(h.services(), h.choice);
    };
    askPrinterInfo(h.services(), h.choice);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->outcome, Outcome::Refused);
    EXPECT_EQ(h.serial.written.size(), 33u);
}

} // namespace
} // namespace ordalia
