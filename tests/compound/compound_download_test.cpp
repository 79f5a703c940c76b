#include "compound/compound_download.h"
#include "compound/compound_font.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace ordalia::testing;

// The printer's side of the compound protocol: one reply to the four request
// bytes, one reply to every block, until it is told to fall silent.
struct ScriptedPrinter {
    bool answerRequest = true;
    std::uint64_t requestReplyAfterMs = 0;
    std::optional<std::size_t> silentFromBlock;
    std::uint8_t replyByte = 0xAA;
    int requestBytes = 0;
    std::size_t blocks = 0;
    std::size_t replies = 0;
    std::uint64_t requestAtUs = 0;

    void attach(FakeSerialPort& serial, FakeClock& clock) {
        serial.onWrite = [this, &serial, &clock](const std::vector<std::uint8_t>& bytes) {
            if (bytes.size() == 1 && ++requestBytes == 4) {
                requestAtUs = clock.nowUs();
                if (answerRequest) {
                    serial.reply({replyByte}, requestReplyAfterMs);
                    ++replies;
                }
            }
            if (bytes.size() == 256) {
                const std::size_t k = blocks++;
                if (!silentFromBlock || k < *silentFromBlock) {
                    serial.reply({replyByte});
                    ++replies;
                }
            }
        };
    }
};

// Distinct in every position, so a misplaced byte shows.
std::vector<std::uint8_t> fontBytes(std::size_t size) {
    std::vector<std::uint8_t> out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 11) | 1;
    return out;
}

// The stream the printer should get, worked out from the file.
std::vector<std::uint8_t> expectedStream(const std::vector<std::uint8_t>& file, std::uint32_t s) {
    std::vector<std::uint8_t> out;
    for (std::size_t start = 0; start <= s; start += 256)
        for (std::size_t g = 0; g < 16; ++g)
            for (std::size_t j = 0; j < 16; ++j) {
                const std::size_t from = start + 16 * g + CompoundShuffleOrder[j];
                out.push_back(from <= s && from < file.size() ? file[from] : 0);
            }
    return out;
}

std::vector<std::string> progressCaptions(const RecordingLabel& label) {
    std::vector<std::string> out;
    for (const auto& c : label.captions)
        if (c.starts_with("Status : Programming"))
            out.push_back(c);
    return out;
}

class CompoundDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The queue empties at once: the pace here is the printer's replies.
        h.serial.fifoSize = std::size_t{1} << 30;
        printer.attach(h.serial, h.clock);
    }

    // A compound file outside the program's folder, chosen as the page does.
    CompoundState choose(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const auto path = h.folder.write("fonts/" + name, bytes);
        return CompoundState{path, name};
    }
    Outcome run(const CompoundState& state) {
        return downloadCompound(h.services(), h.choice, state, label, bar);
    }
    std::vector<std::uint8_t> record() const { return h.folder.read("Codepage Table/123.bin"); }
    bool recordExists() const {
        return std::filesystem::exists(h.folder.path() / "Codepage Table" / "123.bin");
    }
    std::uint64_t firstBlockAtUs() const {
        for (const auto& e : h.serial.events)
            if (e.kind == FakeSerialPort::Event::Write && e.bytes.size() == 256)
                return e.atUs;
        return 0;
    }

    Harness h;
    ScriptedPrinter printer;
    RecordingLabel label;
    RecordingProgressBar bar;
};

struct LanguageCase {
    const char* name;
    std::uint8_t code;
    std::uint32_t s;
    std::size_t blocks;
    std::size_t progressSteps;
    const char* lastProgress;
};

class CompoundLanguageTest : public CompoundDownloadTest,
                             public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(CompoundLanguageTest, WholeStreamRecordAndProgress) {
    const LanguageCase c = GetParam();
    // Longer than S, so the bytes after S must be left out.
    const auto file = fontBytes(std::size_t{c.s} + 3000);
    ASSERT_EQ(run(choose(c.name, file)), Outcome::Done);

    ASSERT_EQ(h.serial.written.size(), 4 + c.blocks * 256);
    EXPECT_THAT(std::vector<std::uint8_t>(h.serial.written.begin(), h.serial.written.begin() + 4),
                ElementsAre(0x1C /*FS*/, 0xC9 /*OpCompound*/, 0x00, c.code /*language*/));
    const std::vector<std::uint8_t> blocks(h.serial.written.begin() + 4, h.serial.written.end());
    EXPECT_TRUE(blocks == expectedStream(file, c.s));
    EXPECT_EQ(printer.blocks, c.blocks);
    EXPECT_EQ(printer.replies, c.blocks + 1); // the request's and one per block, all awaited
    EXPECT_EQ(h.serial.inputQueueCount(), 0);
    EXPECT_TRUE(record() == blocks);

    const auto progress = progressCaptions(label);
    EXPECT_EQ(progress.size(), c.progressSteps);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), "Status : Programming    0%");
    EXPECT_EQ(progress.back(), c.lastProgress);
    EXPECT_EQ(bar.value(), static_cast<int>(c.progressSteps));
    EXPECT_EQ(label.captions.front(), "Try to Connecting...");
    EXPECT_EQ(label.captions.back(), "Status : Updata   100%");
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Undata Finish !!!!"));
    EXPECT_TRUE(h.dialogs.messages[0].title.empty());
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
    EXPECT_FALSE(h.serial.isOpen());
    EXPECT_EQ(h.serial.events.back().kind, FakeSerialPort::Event::Close);
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, CompoundLanguageTest,
                         ::testing::Values(LanguageCase{"ex_SimplifiedChinese.code", 1, 600048,
                                                        2344, 100, "Status : Programming    99%"},
                                           LanguageCase{"ex_TraditionalChinese.code", 2, 1006056,
                                                        3930, 99, "Status : Programming    98%"},
                                           LanguageCase{"ex_JISx0208.code", 3, 562032, 2196, 100,
                                                        "Status : Programming    99%"},
                                           LanguageCase{"ex_Korean.code", 4, 622656, 2433, 100,
                                                        "Status : Programming    99%"},
                                           LanguageCase{"ex_Korean.CODE", 0, 0, 1, 1,
                                                        "Status : Programming    0%"}));

TEST_F(CompoundDownloadTest, UnknownNameSendsOneBlockWithTheFirstByteInItsShuffledPlace) {
    auto file = std::vector<std::uint8_t>(5000, 0x77);
    file[0] = 0x5A;
    ASSERT_EQ(run(choose("my_font.code", file)), Outcome::Done);
    std::vector<std::uint8_t> block(256, 0);
    const auto j = std::find(CompoundShuffleOrder.begin(), CompoundShuffleOrder.end(), 0) -
                   CompoundShuffleOrder.begin();
    block[static_cast<std::size_t>(j)] = 0x5A;
    std::vector<std::uint8_t> expected = {0x1C /*FS*/, 0xC9 /*OpCompound*/, 0x00, 0x00 /*none*/};
    expected.insert(expected.end(), block.begin(), block.end());
    EXPECT_EQ(h.serial.written, expected);
    EXPECT_THAT(label.captions, ElementsAre("Try to Connecting...", "Status : Programming    0%",
                                            "Status : Updata   100%"));
    EXPECT_THAT(bar.values, ElementsAre(0, 1));
    EXPECT_THAT(label.visibility, ElementsAre(true, false));
    EXPECT_THAT(bar.visibility, ElementsAre(true, false));
}

TEST_F(CompoundDownloadTest, RequestBytesGoOutOneByOneAndTheBlockInOneWrite) {
    ASSERT_EQ(run(choose("ex_Korean.code", fontBytes(300))), Outcome::Done);
    ASSERT_GE(h.serial.events.size(), 7u);
    EXPECT_EQ(h.serial.events[0].kind, FakeSerialPort::Event::Open);
    EXPECT_THAT(h.serial.events[1].bytes, ElementsAre(0x1C /*FS*/));
    EXPECT_THAT(h.serial.events[2].bytes, ElementsAre(0xC9 /*OpCompound*/));
    EXPECT_THAT(h.serial.events[3].bytes, ElementsAre(0x00));
    EXPECT_THAT(h.serial.events[4].bytes, ElementsAre(0x04 /*Korean*/));
    for (std::size_t i = 5; i + 1 < h.serial.events.size(); ++i)
        ASSERT_EQ(h.serial.events[i].bytes.size(), 256u);
    EXPECT_EQ(h.serial.events.size(), 5 + 2433 + 1u);
}

TEST_F(CompoundDownloadTest, AReplyDuringThePauseIsTakenWhenThePauseEnds) {
    printer.requestReplyAfterMs = 2000;
    std::uint64_t lastPumpUs = 0;
    h.events.onPump = [&] {
        if (printer.blocks == 0)
            lastPumpUs = h.clock.nowUs();
    };
    ASSERT_EQ(run(choose("x.code", fontBytes(10))), Outcome::Done);
    const std::uint64_t pauseEnd = printer.requestAtUs + 5000 * 1000;
    EXPECT_GE(firstBlockAtUs(), pauseEnd);
    EXPECT_LE(firstBlockAtUs(), pauseEnd + 5 * 1000);
    // The window was kept alive to the end of the pause.
    EXPECT_GE(lastPumpUs, pauseEnd);
}

TEST_F(CompoundDownloadTest, AReplyNineSecondsAfterThePauseIsStillAccepted) {
    printer.requestReplyAfterMs = 14000;
    ASSERT_EQ(run(choose("x.code", fontBytes(10))), Outcome::Done);
    EXPECT_GE(firstBlockAtUs(), printer.requestAtUs + 14000 * 1000);
}

TEST_F(CompoundDownloadTest, SilenceAfterTheRequestFailsAfterFifteenSecondsAndLeavesTheRecord) {
    printer.answerRequest = false;
    const std::vector<std::uint8_t> older(700, 0xEE);
    h.folder.write("Codepage Table/123.bin", older);
    std::uint64_t messageAtUs = 0;
    bool openAtMessage = true;
    h.dialogs.onMessage = [&](const Shown&) {
        messageAtUs = h.clock.nowUs();
        openAtMessage = h.serial.isOpen();
        EXPECT_TRUE(label.visible); // hidden only after the message is closed
    };
    EXPECT_EQ(run(choose("ex_Korean.code", fontBytes(1000))), Outcome::Failed);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Connecting Error !!"));
    EXPECT_FALSE(openAtMessage);
    EXPECT_GE(messageAtUs, printer.requestAtUs + 15000 * 1000);
    EXPECT_LE(messageAtUs, printer.requestAtUs + 15010 * 1000);
    EXPECT_EQ(h.serial.written.size(), 4u);
    EXPECT_EQ(record(), older);
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
    EXPECT_EQ(label.caption(), "Try to Connecting...");
}

TEST_F(CompoundDownloadTest, APrinterThatStopsAnsweringAfterBlockKLeavesKPlusOneBlocks) {
    const std::size_t k = 57;
    printer.silentFromBlock = k; // blocks 0 to k-1 answered, block k not
    std::uint64_t messageAtUs = 0;
    h.dialogs.onMessage = [&](const Shown&) { messageAtUs = h.clock.nowUs(); };
    EXPECT_EQ(run(choose("ex_Korean.code", fontBytes(622657))), Outcome::Failed);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Connecting Error !!"));
    EXPECT_EQ(printer.blocks, k + 1);
    const auto rec = record();
    ASSERT_EQ(rec.size(), (k + 1) * 256);
    EXPECT_TRUE(std::equal(rec.begin(), rec.end(), h.serial.written.begin() + 4));
    EXPECT_GE(messageAtUs, h.serial.events[h.serial.events.size() - 2].atUs + 10000 * 1000);
    EXPECT_FALSE(h.serial.isOpen());
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
    EXPECT_GT(bar.value(), 0); // kept until the next download sets it to 0
}

TEST_F(CompoundDownloadTest, ALongerOlderRecordKeepsItsTail) {
    const std::vector<std::uint8_t> older(5000, 0xEE);
    h.folder.write("Codepage Table/123.bin", older);
    ASSERT_EQ(run(choose("x.code", fontBytes(10))), Outcome::Done);
    const auto rec = record();
    ASSERT_EQ(rec.size(), 5000u);
    EXPECT_TRUE(std::equal(rec.begin(), rec.begin() + 256, h.serial.written.begin() + 4));
    EXPECT_TRUE(std::all_of(rec.begin() + 256, rec.end(), [](auto b) { return b == 0xEE; }));
}

TEST_F(CompoundDownloadTest, ReplyValuesOtherThanAckGoOn) {
    for (const std::uint8_t reply : {0x00, 0x15, 0xFF}) {
        printer = ScriptedPrinter{};
        printer.replyByte = reply;
        printer.attach(h.serial, h.clock);
        h.dialogs.messages.clear();
        EXPECT_EQ(run(choose("ex_JISx0208.code", fontBytes(2000))), Outcome::Done) << int(reply);
        EXPECT_EQ(printer.blocks, 2196u);
        EXPECT_THAT(h.dialogs.texts(), ElementsAre("Undata Finish !!!!"));
    }
}

TEST_F(CompoundDownloadTest, EachBlockReachesTheRecordBeforeThePort) {
    std::vector<std::size_t> recordedAtSend;
    h.serial.onWrite = [&](const std::vector<std::uint8_t>& bytes) {
        if (bytes.size() == 1 && ++printer.requestBytes == 4)
            h.serial.reply({0xAA});
        if (bytes.size() == 256) {
            recordedAtSend.push_back(
                std::filesystem::file_size(h.folder.path() / "Codepage Table" / "123.bin"));
            h.serial.reply({0xAA});
        }
    };
    ASSERT_EQ(run(choose("ex_Korean.code", fontBytes(1000))), Outcome::Done);
    ASSERT_EQ(recordedAtSend.size(), 2433u);
    for (std::size_t k = 0; k < 5; ++k)
        EXPECT_EQ(recordedAtSend[k], (k + 1) * 256);
}

TEST_F(CompoundDownloadTest, EventsArePumpedBeforeTheProgressCaptionChanges) {
    std::vector<std::string> captionAtPump;
    h.events.onPump = [&] {
        if (printer.blocks > 0)
            captionAtPump.push_back(label.caption());
    };
    ASSERT_EQ(run(choose("x.code", fontBytes(10))), Outcome::Done);
    EXPECT_THAT(captionAtPump, ElementsAre("Try to Connecting..."));
}

TEST_F(CompoundDownloadTest, BlankPortEntryOnlyShowsItsMessage) {
    h.choice.portIndex = 0;
    EXPECT_EQ(run(CompoundState{h.folder.path() / "missing.code", "missing.code"}),
              Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Please select port !!"));
    EXPECT_TRUE(h.dialogs.messages[0].title.empty());
    EXPECT_TRUE(label.captions.empty());
    EXPECT_TRUE(label.visibility.empty());
    EXPECT_TRUE(bar.values.empty());
    EXPECT_TRUE(h.serial.openedDevices.empty());
}

TEST_F(CompoundDownloadTest, NoFileChosenDoesNothing) {
    EXPECT_EQ(run(CompoundState{}), Outcome::Nothing);
    EXPECT_TRUE(h.dialogs.messages.empty());
    EXPECT_TRUE(label.captions.empty());
    EXPECT_TRUE(h.serial.openedDevices.empty());
}

TEST_F(CompoundDownloadTest, AFileGoneSinceItWasChosenIsNamedAndNothingIsSent) {
    const CompoundState state = choose("ex_Korean.code", fontBytes(100));
    std::filesystem::remove(state.com_FilePath);
    EXPECT_EQ(run(state), Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr(state.com_FilePath.string()));
    EXPECT_TRUE(h.serial.openedDevices.empty());
    EXPECT_TRUE(label.captions.empty());
    EXPECT_FALSE(recordExists());
}

TEST_F(CompoundDownloadTest, ParallelLinkIsRefusedWithoutSendingAnything) {
    h.choice.serialSelected = false;
    h.choice.portIndex = 0;
    EXPECT_EQ(run(choose("ex_Korean.code", fontBytes(100))), Outcome::Refused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("serial"));
    EXPECT_TRUE(h.parallel.writes.empty());
    EXPECT_TRUE(h.serial.openedDevices.empty());
    EXPECT_TRUE(label.captions.empty());
}

TEST_F(CompoundDownloadTest, UnopenablePortIsReportedAndTheDisplayRestored) {
    h.serial.openError = PortError{PortErrorKind::InUse, "the port is in use."};
    EXPECT_EQ(run(choose("x.code", fontBytes(10))), Outcome::Failed);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("COM 1"));
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("in use"));
    EXPECT_TRUE(h.serial.written.empty());
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
    EXPECT_FALSE(recordExists());
}

TEST_F(CompoundDownloadTest, PortThatDiesMidStreamClosesPortAndRecord) {
    h.serial.writeError = PortError{PortErrorKind::Disconnected, "/dev/ttyS0 has gone away."};
    h.serial.failAfterBytes = 4 + 3 * 256;
    EXPECT_EQ(run(choose("ex_Korean.code", fontBytes(5000))), Outcome::Failed);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("gone away"));
    EXPECT_FALSE(h.serial.isOpen());
    // Three blocks went out; the fourth was recorded before its send failed.
    const auto rec = record();
    ASSERT_EQ(rec.size(), 4 * 256u);
    EXPECT_TRUE(std::equal(rec.begin(), rec.begin() + 3 * 256, h.serial.written.begin() + 4));
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
}

TEST_F(CompoundDownloadTest, ASecondStartWhileOneRunsIsRefused) {
    const CompoundState state = choose("x.code", fontBytes(10));
    std::optional<Outcome> second;
    RecordingLabel otherLabel;
    RecordingProgressBar otherBar;
    h.events.onPump = [&] {
        if (!second)
            second = downloadCompound(h.services(), h.choice, state, otherLabel, otherBar);
    };
    EXPECT_EQ(run(state), Outcome::Done);
    EXPECT_EQ(second, Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre(kTransferBusyMessage, "Undata Finish !!!!"));
    EXPECT_TRUE(otherLabel.captions.empty());
    EXPECT_EQ(h.serial.openedDevices.size(), 1u);
    EXPECT_EQ(h.serial.written.size(), 4 + 256u);
}

} // namespace
} // namespace ordalia
