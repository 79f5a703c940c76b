#include "compound/burn_file.h"
#include "compound/compound_download.h"
#include "compound/compound_file.h"
#include "compound/compound_font.h"
#include "link/transfer_gate.h"
#include "support/bytes.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>
#include <optional>

namespace ordalia {
namespace {

using ::testing::AllOf;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::MatchesRegex;
using namespace ordalia::testing;

const std::vector<std::uint8_t> kOlderRecord(20000, 0xEE);

// One download against a printer that answers the request after replyAfterMs
// and each block before silentFrom (-1: not even the request).
struct Download {
    Download() {
        h.serial.fifoSize = std::size_t{1} << 30; // the pace is the printer's replies
        h.folder.write("Codepage Table/123.bin", kOlderRecord);
        h.serial.onWrite = [this](const std::vector<std::uint8_t>& bytes) {
            lastWriteAtMs = h.clock.nowMs();
            if (bytes.size() == 4)
                requestAtMs = lastWriteAtMs;
            else if (blocks == 0)
                firstBlockAtMs = lastWriteAtMs;
            if ((h.serial.written.size() == 4 && silentFrom >= 0) ||
                (bytes.size() == 256 && blocks++ < silentFrom))
                h.serial.reply({replyByte}, bytes.size() == 4 ? replyAfterMs : 0);
        };
        h.dialogs.onMessage = [this](const Shown&) {
            openAtMessage = h.serial.isOpen();
            messageAtMs = h.clock.nowMs();
            labelShownAtMessage = label.visible;
        };
    }

    Harness h;
    RecordingLabel label;
    RecordingProgressBar bar;
    CompoundState state;
    std::optional<TransferLock> otherTransfer;
    std::uint8_t replyByte = 0xAA;
    std::uint64_t replyAfterMs = 0;
    long silentFrom = 1L << 30, blocks = 0;
    bool openAtMessage = false, labelShownAtMessage = false;
    std::uint64_t requestAtMs = 0, firstBlockAtMs = 0, lastWriteAtMs = 0, messageAtMs = 0;
};

struct Font {
    const char* title;
    std::uint8_t code;
    std::uint32_t s;
    std::string shown; // beside com_Text once chosen
};

TEST(CompoundDownloadTest, WhatGoesOutWhat123BinHoldsAndWhatThePageShows) {
    struct Case {
        const char* name;
        Font font;
        std::function<void(Download&)> setUp;
        Outcome outcome;
        const char* message;  // the whole text, as a regular expression; "": none
        long sent;            // blocks after the request; -1: nothing written
        std::size_t recorded; // blocks written over the older 123.bin
        int steps;            // progress steps; -1: nothing shown
    };
    const std::string unknown = "not a known compound font name: it will be sent as language 0, "
                                "one block holding only the file's first byte";
    const Font gb2312{"ex_SimplifiedChinese.code", 1, 600048,
                      "Simplified Chinese (GB2312), 2,344 blocks"};
    const Font big5{"ex_TraditionalChinese.code", 2, 1006056,
                    "Traditional Chinese (Big5), 3,930 blocks"};
    const Font jis{"ex_JISx0208.code", 3, 562032, "Japanese (JIS X 0208), 2,196 blocks"};
    const Font korean{"ex_Korean.code", 4, 622656, "Korean, 2,433 blocks"};
    const Font otherCase{"ex_korean.code", 0, 0, unknown}; // letter case counts
    const char* finish = "Undata Finish !!!!";
    const Case cases[] = {
        {"GB2312", gb2312, nullptr, Outcome::Done, finish, 2344, 2344, 100},
        {"Big5, 0x00 replies, answered in the pause", big5,
         [](Download& d) { d.replyByte = 0x00, d.replyAfterMs = 2000; }, Outcome::Done, finish,
         3930, 3930, 99},
        {"JIS, answered 9 s after the pause", jis,
         [](Download& d) { d.replyByte = 0x15, d.replyAfterMs = 14000; }, Outcome::Done, finish,
         2196, 2196, 100},
        {"Korean, 0xFF replies", korean, [](Download& d) { d.replyByte = 0xFF; }, Outcome::Done,
         finish, 2433, 2433, 100},
        {"unknown name: the first byte", otherCase, nullptr, Outcome::Done, finish, 1, 1, 1},
        {"blank port entry", korean, [](Download& d) { d.h.choice.portIndex = 0; },
         Outcome::Refused, "Please select port !!", -1, 0, -1},
        {"Cancel on Load File: no file chosen", korean,
         [](Download& d) { d.h.dialogs.answers = {false}; }, Outcome::Nothing, "", -1, 0, -1},
        {"file gone", korean,
         [](Download& d) { std::filesystem::remove(d.h.dialogs.files.front()->fullPath); },
         Outcome::Refused, ".*ex_Korean.code no longer exists.*", -1, 0, -1},
        {"parallel link", korean, [](Download& d) { d.h.choice.serialSelected = false; },
         Outcome::Refused, ".*serial.*", -1, 0, -1},
        {"another transfer running", korean, [](Download& d) { d.otherTransfer.emplace(d.h.gate); },
         Outcome::Refused, "Another transfer .*", -1, 0, -1},
        {"silent after the request", korean, [](Download& d) { d.silentFrom = -1; },
         Outcome::Failed, "Connecting Error !!", 0, 0, 0},
        {"silent after block 57", korean, [](Download& d) { d.silentFrom = 57; }, Outcome::Failed,
         "Connecting Error !!", 58, 58, 2},
        {"port gone at block 3: recorded, not sent", korean,
         [](Download& d) {
             d.h.serial.writeError = PortError{"It has gone away."};
             d.h.serial.failAfterBytes = 4 + 3 * 256;
         },
         Outcome::Failed, ".*gone away.*", 3, 4, 0},
    };
    // The printer's loader takes each 16-byte group in this order.
    const std::uint8_t order[16] = {8, 0, 9, 1, 10, 2, 11, 3, 12, 4, 13, 5, 14, 6, 15, 7};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Download d;
        // Longer than S: the bytes after position S must stay behind. Chosen
        // from a folder of its own, as "Open Compound File" allows.
        const auto file = pseudoRandomBytes(std::size_t{c.font.s} + 3000, c.font.s);
        const auto path = d.h.folder.write(std::string("fonts/") + c.font.title, file);
        d.h.dialogs.files.push_back(FileChoice{path, c.font.title});
        if (c.setUp)
            c.setUp(d);
        const CompoundFileChoice choice = openCompoundFile(d.h.services(), d.state);
        EXPECT_EQ(choice.com_Language, c.outcome == Outcome::Nothing ? "" : c.font.shown);
        ASSERT_EQ(d.h.dialogs.fileRequests.size(), 1u);
        EXPECT_EQ(d.h.dialogs.fileRequests[0].dialog, FileDialogId::CommonDialog1);
        EXPECT_EQ(d.h.dialogs.fileRequests[0].filter, "Compound Files(*.code) | *.code");
        EXPECT_EQ(d.h.dialogs.fileRequests[0].initialFolder, d.h.folder.path() / "Codepage Table");
        EXPECT_THAT(d.h.dialogs.questions,
                    ElementsAre(Shown{"Are you sure to Load ?", "Load File"}));

        EXPECT_EQ(downloadCompound(d.h.services(), d.h.choice, d.state, d.label, d.bar), c.outcome);
        EXPECT_EQ(d.h.dialogs.messages.size(), *c.message ? 1u : 0u);
        EXPECT_THAT(d.h.dialogs.messages, Each(AllOf(Field(&Shown::text, MatchesRegex(c.message)),
                                                     Field(&Shown::title, "")))); // OK only

        std::vector<std::uint8_t> stream; // each group of each block in the loader's order
        for (std::size_t i = 0; i < std::size_t(std::max<long>(c.sent, c.recorded)) * 256; ++i) {
            const std::size_t from = i / 16 * 16 + order[i % 16];
            stream.push_back(from <= c.font.s ? file[from] : 0);
        }
        std::vector<std::uint8_t> wire = {0x1C /*FS*/, 0xC9 /*OpCompound*/, 0x00, c.font.code};
        wire.insert(wire.end(), stream.begin(), stream.begin() + std::max(0L, c.sent) * 256);
        EXPECT_TRUE(d.h.serial.written == (c.sent < 0 ? std::vector<std::uint8_t>{} : wire));
        long writes = 0; // the request in one run, then each block in one write
        for (const auto& event : d.h.serial.events)
            writes += event.kind == FakeSerialPort::Event::Write;
        EXPECT_EQ(writes, c.sent < 0 ? 0 : 1 + c.sent);
        EXPECT_EQ(d.h.serial.inputQueueCount(), 0); // every reply awaited
        std::vector<std::uint8_t> record(stream.begin(), stream.begin() + c.recorded * 256);
        if (record.size() < kOlderRecord.size()) // 123.bin is never shortened
            record.insert(record.end(), kOlderRecord.begin() + record.size(), kOlderRecord.end());
        EXPECT_TRUE(d.h.folder.read("Codepage Table/123.bin") == record);

        // The 5 s pause after the request, however soon the printer answers;
        // silence is given up 10 s after the pause, or after a block.
        if (c.sent > 0) {
            EXPECT_NEAR(double(d.firstBlockAtMs - d.requestAtMs),
                        double(std::max<std::uint64_t>(5000, d.replyAfterMs)), 50);
        }
        if (std::string_view(c.message) == "Connecting Error !!") {
            EXPECT_NEAR(double(d.messageAtMs - d.lastWriteAtMs), d.silentFrom < 0 ? 15000 : 10000,
                        50);
        }
        EXPECT_FALSE(d.openAtMessage || d.h.serial.isOpen()); // closed before the message
        EXPECT_EQ(d.labelShownAtMessage, c.steps >= 0);       // hidden once it is closed
        EXPECT_FALSE(d.label.visible || d.bar.visible);
        std::vector<std::string> captions;
        for (int i = -1; i < c.steps; ++i)
            captions.push_back(i < 0 ? std::string("Try to Connecting...")
                                     : "Status : Programming    " + std::to_string(i) + "%");
        if (c.outcome == Outcome::Done)
            captions.push_back("Status : Updata   100%");
        std::vector<int> values(c.steps + 1); // 0 to steps
        std::iota(values.begin(), values.end(), 0);
        EXPECT_EQ(d.label.captions, captions);
        EXPECT_EQ(d.bar.values, values);
    }
}

TEST(BurnFileTest, OpenSourceThenFirmwareAndCodePageImageOrARefusalLeavingTheOlderFile) {
    struct Case {
        const char* name;
        bool ok;   // on "Are you sure to Load ?"
        long size; // of the source; -1: gone
        bool checkPasses;
        Outcome outcome;
        const char* message; // the whole text, as a regular expression; "": none
    };
    const Case cases[] = {
        {"196,608 bytes, no message", true, 196608, true, Outcome::Done, ""},
        {"a byte short", true, 196607, true, Outcome::Refused, "front file error"},
        {"a byte long", true, 196609, true, Outcome::Refused, "front file error"},
        {"source gone", true, -1, true, Outcome::Refused, ".*main.firm.*"},
        {"code page check fails: it showed its own", true, 5, false, Outcome::Refused, ""},
        {"Cancel: no source name", false, 196608, true, Outcome::Nothing, ""},
    };
    BurnCodePageImage codePage{};
    for (std::size_t i = 0; i < codePage.size(); ++i)
        codePage[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    const std::vector<std::uint8_t> older(300000, 0xEE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.folder.write("Codepage Table/output.a79", older);
        auto firmware = pseudoRandomBytes(std::max(c.size, 0L), 12);
        const auto source = h.folder.write("firmware/main.firm", firmware);
        if (c.size < 0)
            std::filesystem::remove(source);
        h.dialogs.files.push_back(FileChoice{source, "main.firm"});
        h.dialogs.answers.push_back(c.ok);
        const BurnSourceChoice choice = chooseBurnSource(h.services());
        EXPECT_EQ(choice.source_Text, c.ok ? "main.firm" : "");
        // CommonDialog, which the firmware and logo pages share, where it was last.
        ASSERT_EQ(h.dialogs.fileRequests.size(), 1u);
        EXPECT_EQ(h.dialogs.fileRequests[0].dialog, FileDialogId::CommonDialog);
        EXPECT_EQ(h.dialogs.fileRequests[0].filter, "source code Files(*.firm) | *.firm");
        EXPECT_TRUE(h.dialogs.fileRequests[0].initialFolder.empty());
        EXPECT_THAT(h.dialogs.questions, ElementsAre(Shown{"Are you sure to Load ?", "Load File"}));

        int builds = 0;
        const auto checkAndBuild = [&]() -> std::optional<BurnCodePageImage> {
            return ++builds, c.checkPasses ? std::optional(codePage) : std::nullopt;
        };
        const BurnFileRequest request{choice.source_Text, choice.fullPath};
        EXPECT_EQ(makeBurnFile(h.services(), request, checkAndBuild), c.outcome);
        EXPECT_EQ(h.dialogs.messages.size(), *c.message ? 1u : 0u);
        EXPECT_THAT(h.dialogs.messages, Each(AllOf(Field(&Shown::text, MatchesRegex(c.message)),
                                                   Field(&Shown::title, ""))));
        EXPECT_EQ(builds, c.ok ? 1 : 0); // the code page check comes first
        firmware.insert(firmware.end(), codePage.begin(), codePage.end());
        const auto written = h.folder.read("Codepage Table/output.a79");
        EXPECT_TRUE(written == (c.outcome == Outcome::Done ? firmware : older));
    }
}

} // namespace
} // namespace ordalia
