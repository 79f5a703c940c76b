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

// The eleven queries in the order they go out, three bytes each.
const Bytes kWire = {0x1D /*GS*/, 'I',  1,  0x1D,         'I',          2,  0x1D, 'I',  3,
                     0x1D,        'I',  65, 0x1D,         'I',          66, 0x1D, 'I',  67,
                     0x1D,        'I',  68, 0x10 /*DLE*/, 0x04 /*EOT*/, 1,  0x10, 0x04, 2,
                     0x10,        0x04, 3,  0x10,         0x04,         4};

struct Reply {
    Bytes bytes; // empty: no answer
    std::uint64_t afterMs = 0;
};
using Replies = std::map<std::size_t, Reply>; // by the query's place in kWire / 3

Bytes text(std::string_view s) {
    Bytes out(s.size() + 2, 0x00); // 0x5F, the text, NUL
    out[0] = 0x5F;
    std::copy(s.begin(), s.end(), out.begin() + 1);
    return out;
}

// On line, with paper, answering at once; a text in two pieces 30 ms apart.
void answer(Harness& h, const Replies& changes) {
    Replies replies = {{0, {{0x20}}},           {1, {{0x02}}},        {2, {{0x10}}},
                       {3, {text("1.00")}},     {4, {text("KOVIR")}}, {5, {text("VIRTUAL-80")}},
                       {6, {text("00000001")}}, {7, {{0x12}}},        {8, {{0x12}}},
                       {9, {{0x12}}},           {10, {{0x12}}}};
    for (const auto& [query, reply] : changes)
        replies[query] = reply;
    h.serial.onWrite = [&h, replies](const Bytes&) {
        const Reply& r = replies.at(h.serial.written.size() / 3 - 1);
        const bool split = r.bytes.size() > 2 && r.afterMs == 0;
        const auto middle = r.bytes.begin() + (split ? 2 : 0);
        if (split)
            h.serial.reply({r.bytes.begin(), middle});
        if (!r.bytes.empty())
            h.serial.reply({middle, r.bytes.end()}, split ? 30 : r.afterMs);
    };
}

TEST(PrinterInfo, EachQueryInTurnWaitedForAtMost500Ms) {
    Harness h;
    bool closedAtMessage = false;
    h.dialogs.onMessage = [&](const Shown&) { closedAtMessage = !h.serial.isOpen(); };
    EXPECT_EQ(askPrinterInfo(h.services(), h.choice).outcome, Outcome::Failed);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(HasSubstr("did not answer")));
    EXPECT_TRUE(closedAtMessage);
    EXPECT_EQ(h.serial.written, kWire);
    std::vector<std::uint64_t> sentAtUs;
    for (const auto& e : h.serial.events)
        if (e.kind == FakeSerialPort::Event::Write)
            sentAtUs.push_back(e.atUs);
    ASSERT_EQ(sentAtUs.size(), 11u); // one query a write
    for (std::size_t i = 1; i < sentAtUs.size(); ++i) {
        EXPECT_GE(sentAtUs[i] - sentAtUs[i - 1], 500'000u);
        EXPECT_LE(sentAtUs[i] - sentAtUs[i - 1], 503'000u);
    }
    // The window kept its events through eleven silent half-seconds.
    EXPECT_GE(h.events.count, static_cast<int>(11 * (500 / kPumpIntervalMs - 1)));
}

TEST(PrinterInfo, AnswersInWords) {
    struct Case {
        const char* name;
        Replies changes;
        std::vector<std::string> lines; // among the lines
    } const kCases[] = {
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
        {"not answered",
         {{0, {}}, {1, {}}, {5, {}}, {7, {}}, {8, {}}, {9, {}}, {10, {}}},
         {"model name: no answer", "model: no answer", "type: no answer", "printer: no answer",
          "cover: no answer", "paper: no answer", "off line: no answer", "error: no answer"}},
        {"every type bit, and none; an empty text",
         {{1, {{0x07}}}, {0, {{0x00}}}, {6, {{0x5F, 0}}}},
         {"type: two-byte characters, auto-cutter, display (0x07)", "model: 0x00",
          "serial number: "}},
        {"texts: no header, no end, control bytes, too long",
         {{3, {{'1', '.', 0}}},
          {4, {{0x5F, 'K', 'O'}}},
          {5, {{0x5F, 'A', 0x1B, 0xE9, 0}}},
          {6, {text(std::string(81, 'x'))}}},
         {"firmware: unreadable answer", "maker: unreadable answer", "model name: A??",
          "serial number: unreadable answer", "printer: on line"}},
        {"an answer in the last millisecond counts, one after does not",
         {{0, {{0x21}, 499}}, {6, {text("7"), 502}}},
         {"model: 0x21", "serial number: no answer"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        answer(h, c.changes);
        const auto result = askPrinterInfo(h.services(), h.choice);
        EXPECT_EQ(result.outcome, Outcome::Done);
        EXPECT_TRUE(h.dialogs.messages.empty());
        EXPECT_FALSE(h.serial.isOpen());
        for (const std::string& line : c.lines)
            EXPECT_THAT(printerInfoLines(result.info), ::testing::Contains(line));
    }
}

TEST(PrinterInfo, RefusalsAndPortFailures) {
    struct Case {
        const char* name;
        std::function<void(Harness&)> setUp;
        Outcome outcome;
        std::string message;
        std::size_t sent;
    } const kCases[] = {
        {"no port chosen", [](Harness& h) { h.choice.portIndex = 0; }, Outcome::Refused,
         "Choose the printer's port", 0},
        {"parallel link", [](Harness& h) { h.choice.serialSelected = false; }, Outcome::Refused,
         "serial link", 0},
        {"another transfer running", [](Harness&) {}, Outcome::Refused, "Another transfer", 0},
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
        std::optional<TransferLock> running;
        if (c.message == "Another transfer")
            running.emplace(h.gate);
        bool closedAtMessage = false;
        h.dialogs.onMessage = [&](const Shown&) { closedAtMessage = !h.serial.isOpen(); };
        EXPECT_EQ(askPrinterInfo(h.services(), h.choice).outcome, c.outcome);
        EXPECT_THAT(h.dialogs.texts(), ElementsAre(HasSubstr(c.message)));
        EXPECT_TRUE(closedAtMessage);
        EXPECT_EQ(h.serial.written.size(), c.sent);
    }
}

} // namespace
} // namespace ordalia
