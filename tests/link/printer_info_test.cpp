#include "link/link_timing.h"
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

// The eleven queries in the order they go out, three bytes each: the four
// real-time statuses, then the identity.
const Bytes kWire = {0x10 /*DLE*/, 0x04 /*EOT*/, 1,  0x10, 0x04, 2,  0x10, 0x04, 3, 0x10, 0x04, 4,
                     0x1D /*GS*/,  'I',          1,  0x1D, 'I',  2,  0x1D, 'I',  3, 0x1D, 'I',  65,
                     0x1D,         'I',          66, 0x1D, 'I',  67, 0x1D, 'I',  68};
constexpr std::size_t kStatusBytes = 12;

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

// On line, with paper; every answer past its second byte comes 30 ms later,
// so that a text is gathered over several reads.
void answer(Harness& h, const Replies& changes) {
    Replies replies = {{0, {{0x12}}},           {1, {{0x12}}},
                       {2, {{0x12}}},           {3, {{0x12}}},
                       {4, {{0x20}}},           {5, {{0x02}}},
                       {6, {{0x10}}},           {7, {text("1.00")}},
                       {8, {text("KOVIR")}},    {9, {text("VIRTUAL-80")}},
                       {10, {text("00000001")}}};
    for (const auto& [query, reply] : changes)
        replies[query] = reply;
    h.serial.onWrite = [&h, replies](const Bytes&) {
        const Reply& r = replies.at(h.serial.written.size() / 3 - 1);
        const auto middle = r.bytes.begin() + std::min<std::ptrdiff_t>(2, std::ssize(r.bytes));
        h.serial.reply({r.bytes.begin(), middle}, r.afterMs);
        h.serial.reply({middle, r.bytes.end()}, r.afterMs + 30);
    };
}

// Every row starts from the printer answer() makes.
TEST(PrinterInfo, AnswersInWordsRefusalsAndFailures) {
    using SetUp = std::function<void(Harness&)>;
    const SetUp silent = [](Harness& h) { h.serial.onWrite = nullptr; };
    const SetUp answersAt9600 = [](Harness& h) {
        h.serial.onWrite = [&h](auto&) {
            if (h.serial.settings().baud == 9600)
                h.serial.reply({0x12});
        };
    };
    const SetUp noPort = [](Harness& h) { h.choice.portIndex = 0; };
    const SetUp parallel = [](Harness& h) { h.choice.serialSelected = false; };
    const SetUp inUse = [](Harness& h) { h.serial.openError = {"busy"}; };
    const SetUp hangUp = [](Harness& h) {
        h.serial.onWrite = [&h](auto&) { h.serial.disconnected = h.serial.written.size() >= 9; };
    };
    struct Case {
        const char* name;
        Replies changes;
        std::vector<std::string> lines; // among the lines
        SetUp setUp = nullptr;
        Outcome outcome = Outcome::Done;
        std::string message{};           // none when the printer answered
        std::size_t sent = kWire.size(); // the first bytes of kWire
        int silentWaits = 0;
        int speedsTried = 0; // the other speeds of the list asked DLE EOT 1
    } const kCases[] = {
        {"healthy",
         {},
         {"model name: VIRTUAL-80", "firmware: 1.00", "maker: KOVIR", "serial number: 00000001",
          "model: 0x20", "type: auto-cutter (0x02)", "ROM version: 0x10", "printer: on line",
          "cover: closed", "paper: ok", "off line: none", "error: none"}},
        {"off line, every status bit: the identity is not asked",
         {{0, {{0x1A}}}, {1, {{0x7E}}}, {2, {{0x7A}}}, {3, {{0x7E}}}},
         {"printer: off line", "cover: open", "paper: end",
          "off line: paper end, cover open, feed button, error",
          "error: auto-cutter, unrecoverable, auto-recoverable",
          "model name: not asked (the printer is off line)",
          "type: not asked (the printer is off line)"},
         nullptr,
         Outcome::Done,
         {},
         kStatusBytes},
        {"every type bit, a zero byte",
         {{5, {{0x07}}}, {4, {{0}}}},
         {"type: two-byte characters, auto-cutter, display (0x07)", "model: 0x00"}},
        {"fixed bits wrong: bit 0, bit 7, bit 1 clear, bit 4 clear; an empty text",
         {{0, {{0x13}}}, {1, {{0x92}}}, {2, {{0x10}}}, {3, {{0x02}}}, {10, {{0x5F, 0}}}},
         {"printer: not a status answer (0x13)", "cover: not a status answer (0x92)",
          "error: not a status answer (0x10)", "paper: not a status answer (0x02)",
          "serial number: "}},
        {"texts: no header, no end, control bytes, too long",
         {{7, {{'1', '.', 0}}},
          {8, {{0x5F, 'K', 'O'}}},
          {9, {{0x5F, 'A', 0x1B, 0xE9, 0}}},
          {10, {text(std::string(81, 'x'))}}},
         {"firmware: unreadable answer", "maker: unreadable answer", "model name: A??",
          "serial number: unreadable answer", "printer: on line"}},
        {"no answer; one paper sensor bit; 500 ms: an answer in the last one counts, not after",
         {{4, {{0x21}, 499}}, {5, {}}, {9, {}}, {6, {{0x10}, 502}}, {2, {}}, {3, {{0x16}}}},
         {"paper: near end", "model: 0x21", "type: no answer", "model name: no answer",
          "ROM version: no answer", "error: no answer"}},
        // Silent to the statuses: the identity is not asked either, and the
        // other speeds of the list get DLE EOT 1 alone (after kWire's part).
        {"silent printer",
         {},
         {},
         silent,
         Outcome::Failed,
         "did not answer at 115200,n,8,1. Check that it is switched on",
         kStatusBytes,
         7,
         3},
        {"silent at the speed chosen, answering at 9600",
         {},
         {},
         answersAt9600,
         Outcome::Failed,
         "did not answer at 115200,n,8,1. It answers at 9600,n,8,1: choose that speed.",
         kStatusBytes,
         6,
         3},
        {"no port chosen", {}, {}, noPort, Outcome::Refused, "Choose the printer's port", 0},
        {"parallel link", {}, {}, parallel, Outcome::Refused, "serial link", 0},
        {"another transfer running", {}, {}, nullptr, Outcome::Refused, "Another transfer", 0},
        {"port does not open", {}, {}, inUse, Outcome::Failed, "busy", 0},
        {"port gone at the third query", {}, {}, hangUp, Outcome::Failed, "stopped answering", 9},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        answer(h, c.changes);
        if (c.setUp)
            c.setUp(h);
        TransferGate unused; // held on the harness's gate only when another transfer runs
        const TransferLock running(c.message == "Another transfer" ? h.gate : unused);
        bool closedAtMessage = true;
        h.dialogs.onMessage = [&](const Shown&) { closedAtMessage = !h.serial.isOpen(); };
        const auto result = askPrinterInfo(h.services(), h.choice);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.answersAt, c.speedsTried && c.silentWaits < 7 ? "9600,n,8,1" : "");
        EXPECT_EQ(h.dialogs.texts().size(), c.message.empty() ? 0u : 1u);
        EXPECT_THAT(h.dialogs.texts(), ::testing::Each(::testing::HasSubstr(c.message)));
        EXPECT_TRUE(closedAtMessage);
        EXPECT_FALSE(h.serial.isOpen());
        const Bytes query = {0x10, 0x04, 1}; // DLE EOT 1 at each other speed tried
        Bytes wire(kWire.begin(), kWire.begin() + c.sent);
        for (int i = 0; i < c.speedsTried; ++i)
            wire.insert(wire.end(), query.begin(), query.end());
        EXPECT_EQ(h.serial.written, wire);
        // The window kept its events through each silent half-second.
        EXPECT_GE(h.events.count, c.silentWaits * static_cast<int>(500 / kPumpIntervalMs - 1));
        for (const std::string& line : c.lines)
            EXPECT_THAT(printerInfoLines(result.info), ::testing::Contains(line));
    }
}

// The speed search alone sends DLE EOT 1 at the chosen speed, then the others
// fastest first, and stops at the first status byte.
TEST(PrinterInfo, TheSpeedSearchAsksOnlyTheStatus) {
    struct Case {
        const char* name;
        std::uint32_t answersAtBaud; // 0: silent everywhere
        bool network = false;
        Outcome outcome;
        const char* message;
        std::vector<std::uint32_t> asked; // the speeds DLE EOT 1 went out at
    } const kCases[] = {
        {"at the chosen", 19200, false, Outcome::Done, "answers at 19200,n,8,1.", {19200}},
        {"at the slowest",
         9600,
         false,
         Outcome::Done,
         "answers at 9600,n,8,1.",
         {19200, 115200, 38400, 9600}},
        {"nowhere",
         0,
         false,
         Outcome::Failed,
         "answered at none of 115200,n,8,1, 38400,n,8,1, 19200,n,8,1, 9600,n,8,1.",
         {19200, 115200, 38400, 9600}},
        {"a network printer has no speed", 9600, true, Outcome::Refused, "has no line speed", {}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.choice.settings = "19200,n,8,1";
        h.choice.networkSelected = c.network;
        h.choice.host = "192.168.1.50";
        std::vector<std::uint32_t> asked;
        h.serial.onWrite = [&](const Bytes& bytes) {
            EXPECT_EQ(bytes, (Bytes{0x10, 0x04, 1}));
            asked.push_back(h.serial.settings().baud);
            if (h.serial.settings().baud == c.answersAtBaud)
                h.serial.reply({0x16});
        };
        const auto result = findPrinterSpeed(h.services(), h.choice);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(asked, c.asked);
        EXPECT_THAT(h.dialogs.texts(), ElementsAre(HasSubstr(c.message)));
        EXPECT_FALSE(h.serial.isOpen());
    }
}

} // namespace
} // namespace ordalia
