// The printer's logic without a line: replies and their points, the data of
// each exchange, NV files, and the faults, on made-up times.

#include "printer_model.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia::vprinter {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

const Bytes kSettingsRequest = {
    0x1C /*FS*/, 0xC6 /*settings*/, 'K', 'O', 'V', 'I', 'R', 'K', 'O', 'V', 'I', 'R'};

Bytes request(std::uint8_t op) {
    Bytes out = kSettingsRequest;
    out[1] = op;
    return out;
}

Bytes pattern(std::size_t n, unsigned seed = 7) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(i * seed + (i >> 8));
    return out;
}

class PrinterModelTest : public ::testing::Test {
protected:
    PrinterOptions options() {
        PrinterOptions o;
        o.nvFolder = folder.path();
        o.programmingTime = 3000ms;
        return o;
    }
    // Feeds `bytes` at the current time and returns the replies due at once.
    Bytes send(PrinterModel& model, const Bytes& bytes) {
        model.receive(bytes, now);
        return model.takeDueReplies(now);
    }
    // One byte, then what it was answered with.
    Bytes sendEach(PrinterModel& model, const Bytes& bytes) {
        Bytes replies;
        for (const std::uint8_t b : bytes) {
            const Bytes r = send(model, {b});
            replies.insert(replies.end(), r.begin(), r.end());
        }
        return replies;
    }
    testing::TempFolder folder;
    TimePoint now = TimePoint{} + 1h;
};

TEST_F(PrinterModelTest, PrinterIdQueriesAreAnswered) {
    PrinterModel model(options());
    EXPECT_THAT(send(model, {0x1D /*GS*/, 'I', 1}), ElementsAre(0x20 /*model ID*/));
    EXPECT_THAT(send(model, {0x1D, 'I', 2}), ElementsAre(0x02 /*type: autocutter*/));
    EXPECT_THAT(send(model, {0x1D, 'I', 3}), ElementsAre(0x10 /*ROM version*/));
    EXPECT_THAT(send(model, {0x1D, 'I', 49}), ElementsAre(0x20));
    EXPECT_THAT(send(model, {0x1D, 'I', 0x42}),
                ElementsAre(0x5F /*header*/, 'K', 'O', 'V', 'I', 'R', 0x00 /*NUL*/));
    EXPECT_EQ(send(model, {0x1D, 'I', 0x41}), (Bytes{0x5F, '1', '.', '0', '0', 0x00}));
    EXPECT_EQ(send(model, {0x1D, 'I', 0x45}), (Bytes{0x5F, 'A', 'N', 'K', 0x00}));
    EXPECT_TRUE(send(model, {0x1D, 'I', 0x7F}).empty());
}

TEST_F(PrinterModelTest, RecognisedCommandsAreCountedWithTheirOffsets) {
    PrinterModel model(options());
    send(model, {'A', 0x1B /*ESC*/, 0x88 /*self-test*/, 0x1D, 'V', 66, 5, 0x1B, 'p', 1, 25, 250,
                 0x1D, 'V', 0});
    EXPECT_EQ(model.selfTests(), 1);
    ASSERT_EQ(model.cuts().size(), 2u);
    EXPECT_TRUE(model.cuts()[0].partial);
    EXPECT_EQ(model.cuts()[0].feed, 5);
    EXPECT_FALSE(model.cuts()[1].partial);
    EXPECT_EQ(model.cuts()[1].feed, -1);
    ASSERT_EQ(model.drawerKicks().size(), 1u);
    EXPECT_EQ(model.drawerKicks()[0].pin, 5);
    ASSERT_EQ(model.commands().size(), 4u);
    EXPECT_EQ(model.commands()[0].offset, 1u);
    EXPECT_EQ(model.commands()[1].offset, 3u);
    EXPECT_EQ(model.commands()[3].offset, 12u);
    EXPECT_THAT(model.printData(), ElementsAre('A'));
}

TEST_F(PrinterModelTest, SettingsExchangeAnswersFourteenPointsAndStoresTheRecord) {
    PrinterModel model(options());
    Bytes replies = sendEach(model, kSettingsRequest);
    EXPECT_THAT(replies, ElementsAre(0xAA));
    EXPECT_EQ(model.mode(), PrinterMode::SettingsData);

    const Bytes flash3 = {0x5A, 0xA5};
    const Bytes record = {3, 3, 1, 1, 1, 0, 0, 2, 0, 1, 1, 0x77, 0xFE}; // bytes 1 to 13
    Bytes data = flash3;
    data.insert(data.end(), record.begin(), record.end());
    // Answered after each byte up to record byte 11; bytes 12 and 13 are not.
    for (std::size_t i = 0; i < data.size(); ++i) {
        const Bytes r = send(model, {data[i]});
        if (i < 13)
            EXPECT_THAT(r, ElementsAre(0xAA)) << "data byte " << i;
        else
            EXPECT_TRUE(r.empty()) << "data byte " << i;
    }
    EXPECT_EQ(model.mode(), PrinterMode::EscPos);
    ASSERT_TRUE(model.settings());
    EXPECT_THAT(model.settings()->flash3, ElementsAre(0x5A, 0xA5));
    EXPECT_THAT(model.settings()->record,
                ElementsAre(0 /*never sent*/, 3, 3, 1, 1, 1, 0, 0, 2, 0, 1, 1, 0x77, 0xFE));
    EXPECT_THAT(folder.read("flash3.bin"), ElementsAre(0x5A, 0xA5));
    EXPECT_THAT(folder.read("settings.bin"),
                ElementsAre(0, 3, 3, 1, 1, 1, 0, 0, 2, 0, 1, 1, 0x77, 0xFE));
    ASSERT_EQ(model.exchanges().size(), 1u);
    EXPECT_EQ(model.exchanges()[0].end, ExchangeEnd::Completed);
    EXPECT_EQ(model.exchanges()[0].replies.size(), 14u);
    // Back in the ESC/POS stream.
    EXPECT_THAT(send(model, {0x1D, 'I', 1}), ElementsAre(0x20));
}

TEST_F(PrinterModelTest, WrongReplyAtEachPointEndsTheSettingsExchangeThere) {
    for (int k = 0; k < kSettingsReplyPoints; ++k) {
        SCOPED_TRACE(k);
        PrinterOptions o = options();
        o.faults.wrongReply = WrongReply{k, 0x00};
        PrinterModel model(o);
        Bytes all = kSettingsRequest;
        const Bytes data = pattern(kSettingsDataBytes);
        all.insert(all.end(), data.begin(), data.begin() + k);
        Bytes replies = sendEach(model, all);
        ASSERT_EQ(replies.size(), static_cast<std::size_t>(k) + 1);
        EXPECT_EQ(replies.back(), 0x00);
        EXPECT_EQ(std::count(replies.begin(), replies.end(), 0xAA), k);
        EXPECT_EQ(model.exchanges().back().end, ExchangeEnd::Refused);
        EXPECT_EQ(model.mode(), PrinterMode::EscPos);
        EXPECT_FALSE(model.settings());
        EXPECT_FALSE(std::filesystem::exists(folder.path() / "settings.bin"));
    }
}

TEST_F(PrinterModelTest, RequestWithAWrongSignatureIsIgnored) {
    PrinterModel model(options());
    Bytes bad = kSettingsRequest;
    bad[11] = 'X';
    EXPECT_TRUE(sendEach(model, bad).empty());
    EXPECT_EQ(model.mode(), PrinterMode::EscPos);
    EXPECT_TRUE(model.exchanges().empty());
    EXPECT_THAT(model.log().back(), HasSubstr("wrong signature"));
}

TEST_F(PrinterModelTest, FontImageThenProgrammingSilenceThenIdAgain) {
    PrinterModel model(options());
    EXPECT_THAT(send(model, request(0xC7 /*font*/)), ElementsAre(0xAA));
    const Bytes image = pattern(kFontImageBytes);
    EXPECT_TRUE(send(model, image).empty()); // no acks in the data
    EXPECT_EQ(model.mode(), PrinterMode::Programming);
    EXPECT_EQ(model.fontImage(), image);
    EXPECT_EQ(folder.read("font.bin"), image);

    now += 2999ms;
    EXPECT_TRUE(send(model, {0x1D, 'I', 1}).empty()); // still programming: ignored
    now += 1ms;
    model.advance(now);
    EXPECT_EQ(model.mode(), PrinterMode::EscPos);
    EXPECT_THAT(send(model, {0x1D, 'I', 1}), ElementsAre(0x20));
    EXPECT_THAT(send(model, {0x1B, 0x88}), ::testing::IsEmpty());
    EXPECT_EQ(model.selfTests(), 1);
}

TEST_F(PrinterModelTest, FirmwareWithAndWithoutRequest) {
    PrinterOptions o = options();
    o.programmingTime = 0ms;
    PrinterModel model(o);
    EXPECT_THAT(send(model, request(0xC8 /*firmware*/)), ElementsAre(0xAA));
    const Bytes image = pattern(kFirmwareImageBytes, 13);
    send(model, image);
    EXPECT_EQ(model.firmwareImage(), image);
    EXPECT_EQ(model.exchanges().back().kind, ExchangeKind::Firmware);

    // "Ignore printer's malfunction": the image comes with no request, and
    // begins with bytes that would otherwise be a command.
    model.setExpectRawFirmware(true);
    Bytes raw = pattern(kFirmwareImageBytes, 3);
    raw[0] = 0x1D;
    raw[1] = 'I';
    raw[2] = 1;
    EXPECT_TRUE(send(model, raw).empty());
    EXPECT_EQ(model.firmwareImage(), raw);
    EXPECT_EQ(model.exchanges().back().kind, ExchangeKind::RawFirmware);
    EXPECT_EQ(folder.read("firmware.bin"), raw);
    EXPECT_FALSE(model.expectingRawFirmware()); // once only
    now += 1ms;
    EXPECT_THAT(send(model, {0x1D, 'I', 1}), ElementsAre(0x20));
}

TEST_F(PrinterModelTest, CompoundBlocksAreAnsweredOneByOne) {
    PrinterModel model(options());
    EXPECT_THAT(send(model, {0x1C, 0xC9 /*compound*/, 0x00, 0x04 /*Korean*/}), ElementsAre(0xAA));
    ASSERT_EQ(compoundBlockCount(4), 2433u);
    const Bytes data = pattern(2433 * 256);
    std::size_t answered = 0;
    for (std::size_t b = 0; b < 2433; ++b) {
        const Bytes block(data.begin() + static_cast<long>(b * 256),
                          data.begin() + static_cast<long>(b * 256 + 255));
        ASSERT_TRUE(send(model, block).empty()); // nothing before the block is whole
        answered += send(model, {data[b * 256 + 255]}).size();
    }
    EXPECT_EQ(answered, 2433u);
    EXPECT_EQ(model.mode(), PrinterMode::EscPos);
    EXPECT_EQ(model.compoundImage(4), data);
    EXPECT_EQ(folder.read("compound-4.bin"), data);
    EXPECT_EQ(model.exchanges().back().replies.size(), 2434u);
}

TEST_F(PrinterModelTest, UnknownLanguageTakesOneBlock) {
    PrinterModel model(options());
    EXPECT_THAT(send(model, {0x1C, 0xC9, 0x00, 0x00}), ElementsAre(0xAA));
    EXPECT_THAT(send(model, pattern(256)), ElementsAre(0xAA));
    EXPECT_EQ(folder.read("compound-0.bin"), pattern(256));
}

TEST_F(PrinterModelTest, CompoundFaults) {
    PrinterOptions o = options();
    o.faults.stopAnsweringAtBlock = 2;
    o.faults.wrongReply = WrongReply{1, 0x55};
    o.transferTimeout = 20000ms;
    PrinterModel model(o);
    send(model, {0x1C, 0xC9, 0x00, 0x01});
    // A wrong reply does not end the compound exchange: its value means nothing.
    EXPECT_THAT(send(model, pattern(256)), ElementsAre(0x55));
    EXPECT_THAT(send(model, pattern(256)), ElementsAre(0xAA));
    EXPECT_TRUE(send(model, pattern(256)).empty()); // block 2
    EXPECT_TRUE(send(model, pattern(256)).empty());
    EXPECT_EQ(model.mode(), PrinterMode::CompoundData);
    // The sender gives up; so does the printer, once the line has been quiet.
    now += 20001ms;
    model.advance(now);
    EXPECT_EQ(model.mode(), PrinterMode::EscPos);
    EXPECT_EQ(model.exchanges().back().end, ExchangeEnd::Abandoned);
    EXPECT_EQ(model.exchanges().back().receivedBytes, 4u * 256);
    EXPECT_FALSE(model.compoundImage(1));
}

TEST_F(PrinterModelTest, SilentPrinterAnswersNothingAndStartsNoExchange) {
    PrinterOptions o = options();
    o.faults.silent = true;
    PrinterModel model(o);
    EXPECT_TRUE(send(model, {0x1D, 'I', 1}).empty());
    EXPECT_TRUE(send(model, kSettingsRequest).empty());
    EXPECT_EQ(model.mode(), PrinterMode::EscPos);
    EXPECT_TRUE(model.exchanges().empty());
    EXPECT_TRUE(model.queuedReplies().empty());
}

TEST_F(PrinterModelTest, RepliesLeaveAfterTheDelayInOrder) {
    PrinterOptions o = options();
    o.replyDelay = 300ms;
    PrinterModel model(o);
    model.receive(Bytes{0x1D, 'I', 1, 0x1D, 'I', 2}, now);
    EXPECT_TRUE(model.takeDueReplies(now + 299ms).empty());
    EXPECT_EQ(model.nextDeadline(), now + 300ms);
    EXPECT_THAT(model.takeDueReplies(now + 300ms), ElementsAre(0x20, 0x02));
    EXPECT_FALSE(model.nextDeadline());
}

TEST_F(PrinterModelTest, LogoDefinitionIsStoredDotForDotAndSurvivesARestart) {
    // Logo 1: 8 x 8 dots, the top row and the left column set. Logo 2:
    // 16 x 16 dots, only dot column 9 of the second band's bottom row.
    Bytes stream{0x1C, 'q', 2, 1, 0, 1, 0, 0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
    stream.insert(stream.end(), {2, 0, 2, 0});
    Bytes second(32, 0x00);
    second[9 * 2 + 1] = 0x01; // column 9, band 1, bit 0: row 15
    stream.insert(stream.end(), second.begin(), second.end());
    stream.insert(stream.end(), {0x00, 0x00, 0x00}); // the zeros the sender adds
    {
        PrinterModel model(options());
        send(model, stream);
        ASSERT_EQ(model.logos().size(), 2u);
        EXPECT_THAT(model.logos()[0].picture(),
                    ElementsAre("########", "#.......", "#.......", "#.......", "#.......",
                                "#.......", "#.......", "#......."));
        const NvLogo& logo = model.logos()[1];
        EXPECT_EQ(logo.widthDots(), 16);
        EXPECT_EQ(logo.heightDots(), 16);
        const auto rows = logo.rows();
        for (int r = 0; r < 16; ++r)
            for (int c = 0; c < 16; ++c)
                EXPECT_EQ(rows[r][c], r == 15 && c == 9) << r << "," << c;
        send(model, {0x1C, 'p', 2, 0, 0x1C, 'p', 3, 0});
        ASSERT_EQ(model.logoPrints().size(), 2u);
        EXPECT_TRUE(model.logoPrints()[0].defined);
        EXPECT_FALSE(model.logoPrints()[1].defined);
    }
    Bytes stored(stream.begin() + 2, stream.end() - 3);
    EXPECT_EQ(folder.read("logos.bin"), stored);
    const Bytes pbm = folder.read("logos/logo-1.pbm");
    EXPECT_EQ(std::string(pbm.begin(), pbm.begin() + 7), "P4\n8 8\n");
    EXPECT_THAT(Bytes(pbm.begin() + 7, pbm.end()),
                ElementsAre(0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80));

    PrinterModel restarted(options());
    ASSERT_EQ(restarted.logos().size(), 2u);
    EXPECT_EQ(restarted.logos()[1].columns, second);
    // A new definition replaces every logo, and their pictures.
    send(restarted, {0x1C, 'q', 1, 1, 0, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(restarted.logos().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "logos/logo-2.pbm"));
}

TEST_F(PrinterModelTest, HandlersSeeTheRawBytesAfterThePrintersOwnHandling) {
    PrinterModel model(options());
    std::vector<Bytes> cuts;
    std::vector<std::string> all;
    Bytes text;
    model.onCommand(CommandId::GsV, [&](const EscPosCommand& c) {
        cuts.emplace_back(c.raw.begin(), c.raw.end());
        EXPECT_EQ(model.cuts().size(), cuts.size());
    });
    model.onAnyCommand([&](const EscPosCommand& c) { all.emplace_back(c.name()); });
    model.onPrintData([&](std::uint8_t b) { text.push_back(b); });
    send(model, {'o', 'k', 0x0A, 0x1D, 'V', 65, 3});
    EXPECT_THAT(cuts, ElementsAre(Bytes{0x1D, 'V', 65, 3}));
    EXPECT_THAT(all, ElementsAre("LF", "GS V"));
    EXPECT_THAT(text, ElementsAre('o', 'k'));
    EXPECT_THAT(model.log(), ::testing::Contains("text: \"ok\""));
}

TEST_F(PrinterModelTest, WithoutAnNvFolderNothingIsWritten) {
    PrinterModel model(PrinterOptions{});
    send(model, request(0xC6));
    send(model, pattern(kSettingsDataBytes));
    EXPECT_TRUE(model.settings());
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

} // namespace
} // namespace ordalia::vprinter
