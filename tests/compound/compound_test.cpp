#include "compound/burn_file.h"
#include "compound/compound_download.h"
#include "compound/compound_file.h"
#include "compound/compound_font.h"
#include "link/transfer_gate.h"
#include "support/bytes.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>

namespace ordalia {
namespace {

using ::testing::AllOf;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::MatchesRegex;
using namespace ordalia::testing;

TEST(CompoundFontTableTest, WhatThePageShowsBesideTheChosenName) {
    const std::string notKnown = "not a known compound font name: it will be sent as language 0, "
                                 "one block holding only the file's first byte";
    const std::string caseOnly =
        "not a known compound font name (letter case counts: ex_Korean.code is known): it will "
        "be sent as language 0, one block holding only the file's first byte";
    const std::pair<const char*, std::string> cases[] = {
        {"ex_SimplifiedChinese.code", "Simplified Chinese (GB2312), 2,344 blocks"},
        {"ex_TraditionalChinese.code", "Traditional Chinese (Big5), 3,930 blocks"},
        {"ex_JISx0208.code", "Japanese (JIS X 0208), 2,196 blocks"},
        {"ex_Korean.code", "Korean, 2,433 blocks"},
        {"my_font.code", notKnown},
        {"ex_Korean.code ", notKnown},
        {"ex_korean.code", caseOnly},
        {"EX_KOREAN.CODE", caseOnly},
    };
    for (const auto& [title, shown] : cases)
        EXPECT_EQ(describeCompoundFile(title), shown) << title;
}

const std::vector<std::uint8_t> kOlderRecord(20000, 0xEE);

// One download against a printer that answers the request after replyAfterMs
// and each block before silentFrom (-1: not even the request).
struct Download {
    Download() {
        h.serial.fifoSize = std::size_t{1} << 30; // the pace is the printer's replies
        h.folder.write("Codepage Table/123.bin", kOlderRecord);
        h.serial.onWrite = [this](const std::vector<std::uint8_t>& bytes) {
            if ((bytes.size() == 1 && ++requestBytes == 4 && silentFrom >= 0) ||
                (bytes.size() == 256 && blocks++ < silentFrom))
                h.serial.reply({replyByte}, bytes.size() == 1 ? replyAfterMs : 0);
        };
        h.dialogs.onMessage = [this](const Shown&) {
            messageAtUs = h.clock.nowUs();
            openAtMessage = h.serial.isOpen();
            labelShownAtMessage = label.visible;
        };
    }

    Harness h;
    RecordingLabel label;
    RecordingProgressBar bar;
    CompoundState state;
    std::optional<TransferLock> otherTransfer;
    std::uint8_t replyByte = 0xAA;
    std::uint64_t replyAfterMs = 0, messageAtUs = 0;
    long silentFrom = 1L << 30, blocks = 0;
    int requestBytes = 0;
    bool openAtMessage = false, labelShownAtMessage = false;
};

struct Font {
    const char* title;
    std::uint8_t code;
    std::uint32_t s;
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
        std::uint64_t waitMs; // Done: request to block 0; else last write to the message
    };
    const Font gb2312{"ex_SimplifiedChinese.code", 1, 600048};
    const Font big5{"ex_TraditionalChinese.code", 2, 1006056};
    const Font jis{"ex_JISx0208.code", 3, 562032};
    const Font korean{"ex_Korean.code", 4, 622656};
    const Font unknown{"ex_Korean.CODE", 0, 0};
    const char* finish = "Undata Finish !!!!";
    const Case cases[] = {
        {"GB2312", gb2312, nullptr, Outcome::Done, finish, 2344, 2344, 100, 5000},
        {"Big5, 0x00 replies, answered in the pause", big5,
         [](Download& d) { d.replyByte = 0x00, d.replyAfterMs = 2000; }, Outcome::Done, finish,
         3930, 3930, 99, 5000},
        {"JIS, answered 9 s after the pause", jis,
         [](Download& d) { d.replyByte = 0x15, d.replyAfterMs = 14000; }, Outcome::Done, finish,
         2196, 2196, 100, 14000},
        {"Korean, 0xFF replies", korean, [](Download& d) { d.replyByte = 0xFF; }, Outcome::Done,
         finish, 2433, 2433, 100, 5000},
        {"unknown name: the first byte", unknown, nullptr, Outcome::Done, finish, 1, 1, 1, 5000},
        {"blank port entry", korean, [](Download& d) { d.h.choice.portIndex = 0; },
         Outcome::Refused, "Please select port !!", -1, 0, -1, 0},
        {"Cancel on Load File: no file chosen", korean,
         [](Download& d) { d.h.dialogs.answers = {false}; }, Outcome::Nothing, "", -1, 0, -1, 0},
        {"file gone", korean,
         [](Download& d) { std::filesystem::remove(d.h.dialogs.files.front()->fullPath); },
         Outcome::Refused, ".*ex_Korean.code no longer exists.*", -1, 0, -1, 0},
        {"parallel link", korean, [](Download& d) { d.h.choice.serialSelected = false; },
         Outcome::Refused, ".*serial.*", -1, 0, -1, 0},
        {"another transfer running", korean, [](Download& d) { d.otherTransfer.emplace(d.h.gate); },
         Outcome::Refused, "Another transfer .*", -1, 0, -1, 0},
        {"port in use", korean,
         [](Download& d) {
             d.h.serial.openError = PortError{PortErrorKind::InUse, "in use."};
         },
         Outcome::Failed, ".*COM 1.*in use.*", -1, 0, 0, 0},
        {"silent after the request", korean, [](Download& d) { d.silentFrom = -1; },
         Outcome::Failed, "Connecting Error !!", 0, 0, 0, 15000},
        {"silent after block 57", korean, [](Download& d) { d.silentFrom = 57; }, Outcome::Failed,
         "Connecting Error !!", 58, 58, 2, 10000},
        {"port gone at block 3: recorded, not sent", korean,
         [](Download& d) {
             d.h.serial.writeError = PortError{PortErrorKind::Disconnected, "It has gone away."};
             d.h.serial.failAfterBytes = 4 + 3 * 256;
         },
         Outcome::Failed, ".*gone away.*", 3, 4, 0, 0},
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
        const bool chosen = !d.state.com_FileTitle.empty();
        EXPECT_EQ(choice.com_Text, chosen ? path.string() : "");
        EXPECT_EQ(choice.com_Language, chosen ? describeCompoundFile(c.font.title) : "");
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
        std::vector<std::uint64_t> at; // each write: the request byte by byte, a block in one
        for (const auto& event : d.h.serial.events)
            if (event.kind == FakeSerialPort::Event::Write)
                at.push_back(event.atUs);
        EXPECT_EQ(at.size(), c.sent < 0 ? 0 : 4 + c.sent);
        EXPECT_EQ(d.h.serial.inputQueueCount(), 0); // every reply awaited
        std::vector<std::uint8_t> record(stream.begin(), stream.begin() + c.recorded * 256);
        if (record.size() < kOlderRecord.size()) // 123.bin is never shortened
            record.insert(record.end(), kOlderRecord.begin() + record.size(), kOlderRecord.end());
        EXPECT_TRUE(d.h.folder.read("Codepage Table/123.bin") == record);

        if (c.waitMs != 0) {
            const bool done = c.outcome == Outcome::Done;
            const std::uint64_t from = done ? at[3] : at.back(), to = done ? at[4] : d.messageAtUs;
            EXPECT_GE(to - from, c.waitMs * 1000);
            EXPECT_LE(to - from, c.waitMs * 1000 + 10000);
        }
        EXPECT_FALSE(d.openAtMessage || d.h.serial.isOpen()); // closed before the message
        EXPECT_EQ(d.labelShownAtMessage, c.steps >= 0);       // hidden once it is closed
        EXPECT_FALSE(d.label.visible || d.bar.visible);
        std::vector<std::string> captions;
        std::vector<int> values;
        for (int i = -1; i < c.steps; ++i) {
            captions.push_back(i < 0 ? "Try to Connecting..."
                                     : "Status : Programming    " + std::to_string(i) + "%");
            values.push_back(i + 1);
        }
        if (c.outcome == Outcome::Done)
            captions.push_back("Status : Updata   100%");
        EXPECT_EQ(d.label.captions, captions);
        EXPECT_EQ(d.bar.values, values);
    }
}

TEST(BurnFileTest, FirmwareThenCodePageImageOrARefusalThatLeavesTheOlderFile) {
    struct Case {
        const char* name;
        const char* source_Text;
        long size; // of the source; -1: gone
        bool checkPasses;
        Outcome outcome;
        const char* message; // the whole text, as a regular expression; "": none
    };
    const Case cases[] = {
        {"196,608 bytes, no message", "main.firm", 196608, true, Outcome::Done, ""},
        {"a byte short", "main.firm", 196607, true, Outcome::Refused, "front file error"},
        {"a byte long", "main.firm", 196609, true, Outcome::Refused, "front file error"},
        {"source gone", "main.firm", -1, true, Outcome::Refused, ".*main.firm.*"},
        {"code page check fails: it showed its own", "main.firm", 5, false, Outcome::Refused, ""},
        {"no source name", "", 196608, true, Outcome::Nothing, ""},
    };
    const auto codePage = pseudoRandomBytes(kBurnCodePageImageSize, 7);
    const std::vector<std::uint8_t> older(300000, 0xEE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.folder.write("Codepage Table/output.a79", older);
        auto firmware = pseudoRandomBytes(std::max(c.size, 0L), 12);
        const auto source = h.folder.write("firmware/main.firm", firmware);
        if (c.size < 0)
            std::filesystem::remove(source);
        int builds = 0;
        const auto checkAndBuild = [&]() -> std::optional<BurnCodePageImage> {
            BurnCodePageImage image{};
            std::copy(codePage.begin(), codePage.end(), image.begin());
            return ++builds, c.checkPasses ? std::optional(image) : std::nullopt;
        };
        const BurnFileRequest request{c.source_Text, source};
        EXPECT_EQ(makeBurnFile(h.services(), request, checkAndBuild), c.outcome);
        EXPECT_EQ(h.dialogs.messages.size(), *c.message ? 1u : 0u);
        EXPECT_THAT(h.dialogs.messages, Each(AllOf(Field(&Shown::text, MatchesRegex(c.message)),
                                                   Field(&Shown::title, ""))));
        EXPECT_EQ(builds, *c.source_Text ? 1 : 0); // the code page check comes first
        firmware.insert(firmware.end(), codePage.begin(), codePage.end());
        const auto written = h.folder.read("Codepage Table/output.a79");
        EXPECT_TRUE(written == (c.outcome == Outcome::Done ? firmware : older));
    }
}

TEST(BurnFileTest, OpenSourceAsksFirstAndOnlyOkChooses) {
    Harness h;
    h.dialogs.files = {FileChoice{"/a/v2.firm", "v2.firm"}, std::nullopt,
                       FileChoice{"/b/v3.firm", "v3.firm"}};
    h.dialogs.answers = {false};
    EXPECT_EQ(chooseBurnSource(h.services()).outcome, Outcome::Nothing); // Cancel
    EXPECT_EQ(chooseBurnSource(h.services()).outcome, Outcome::Nothing); // no file
    const BurnSourceChoice choice = chooseBurnSource(h.services());
    EXPECT_EQ(choice.source_Text, "v3.firm");
    EXPECT_EQ(choice.fullPath, std::filesystem::path("/b/v3.firm"));
    const Shown load{"Are you sure to Load ?", "Load File"};
    EXPECT_THAT(h.dialogs.questions, ElementsAre(load, load));
    EXPECT_THAT(h.dialogs.fileRequests,
                Each(AllOf(Field(&FileDialogRequest::dialog, FileDialogId::CommonDialog),
                           Field(&FileDialogRequest::filter, "source code Files(*.firm) | *.firm"),
                           Field(&FileDialogRequest::initialFolder, ""))));
    EXPECT_EQ(h.dialogs.fileRequests.size(), 3u);
}

} // namespace
} // namespace ordalia
