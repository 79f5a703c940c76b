// The receive stream's state machine: lengths of the commands that carry
// data, split arrival, and what happens to bytes it does not know.

#include "escpos_parser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia::vprinter {
namespace {

using ::testing::ElementsAre;

struct Seen {
    std::string name;
    std::vector<std::uint8_t> raw;
    bool malformed;
    bool operator==(const Seen&) const = default;
};

class Recorder final : public EscPosSink {
public:
    void onPrintData(std::uint8_t byte) override { text.push_back(byte); }
    void onCommand(const EscPosCommand& command) override {
        seen.push_back({std::string(command.name()),
                        {command.raw.begin(), command.raw.end()},
                        command.malformed});
    }
    std::vector<std::uint8_t> text;
    std::vector<Seen> seen;
};

class EscPosParserTest : public ::testing::Test {
protected:
    void feed(std::vector<std::uint8_t> bytes) { parser.feed(bytes); }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& s : recorder.seen)
            out.push_back(s.name);
        return out;
    }
    Recorder recorder;
    EscPosParser parser{recorder};
};

TEST_F(EscPosParserTest, TextAndCommandsInterleave) {
    feed({'H', 'i', 0x0A /*LF*/, 0x1B, 0x21, 0x30 /*ESC ! 48*/, 'A', 0x1B, 0x88 /*self-test*/});
    EXPECT_THAT(recorder.text, ElementsAre('H', 'i', 'A'));
    EXPECT_THAT(names(), ElementsAre("LF", "ESC !", "ESC 0x88"));
    EXPECT_THAT(recorder.seen[1].raw, ElementsAre(0x1B, 0x21, 0x30));
}

TEST_F(EscPosParserTest, ParameterBytesAreNeverTakenForCommands) {
    // The 0x1D and 0x0A inside ESC p and ESC * are parameters and data.
    feed({0x1B, 'p', 0x1D, 0x0A, 0x0A, 0x1B, '*', 0x00, 0x02, 0x00, 0x1D, 0x0A, 'Z'});
    EXPECT_THAT(names(), ElementsAre("ESC p", "ESC *"));
    EXPECT_THAT(recorder.seen[1].raw, ElementsAre(0x1B, '*', 0x00, 0x02, 0x00, 0x1D, 0x0A));
    EXPECT_THAT(recorder.text, ElementsAre('Z'));
}

TEST_F(EscPosParserTest, EveryFormOfTheCut) {
    feed({0x1D, 'V', 0,    0x1D, 'V', 1, 0x1D, 'V', 48, 0x1D,
          'V',  49,  0x1D, 'V',  65,  3, 0x1D, 'V', 66, 0});
    ASSERT_EQ(recorder.seen.size(), 6u);
    EXPECT_EQ(recorder.seen[3].raw.size(), 3u);
    EXPECT_THAT(recorder.seen[4].raw, ElementsAre(0x1D, 'V', 65, 3));
    EXPECT_THAT(recorder.seen[5].raw, ElementsAre(0x1D, 'V', 66, 0));
    EXPECT_TRUE(recorder.text.empty());
}

TEST_F(EscPosParserTest, NvImageDefinitionIsTakenWholeAcrossImages) {
    // FS q 2: a 1 x 1 image (8 bytes) and a 2 x 1 image (16 bytes).
    std::vector<std::uint8_t> stream{0x1C, 'q', 2, 1, 0, 1, 0};
    stream.insert(stream.end(), 8, 0x1B); // data that looks like ESC
    stream.insert(stream.end(), {2, 0, 1, 0});
    stream.insert(stream.end(), 16, 0x0A); // data that looks like LF
    stream.push_back('x');
    // One byte at a time, as a slow line delivers it.
    for (const std::uint8_t b : stream)
        parser.feed(b);
    ASSERT_THAT(names(), ElementsAre("FS q"));
    EXPECT_EQ(recorder.seen[0].raw.size(), stream.size() - 1);
    EXPECT_THAT(recorder.text, ElementsAre('x'));
}

TEST_F(EscPosParserTest, RasterAndBarCodeLengths) {
    // GS v 0: x = 2 bytes, y = 3 rows: 6 data bytes.
    feed({0x1D, 'v', '0', 0, 2, 0, 3, 0, 1, 2, 3, 4, 5, 6});
    // GS k m=4: NUL-terminated; GS k m=73: counted.
    feed({0x1D, 'k', 4, '1', '2', 0x00, 0x1D, 'k', 73, 2, 0x00, 0x1B});
    // GS ( k: pL pH count.
    feed({0x1D, '(', 'k', 3, 0, 49, 67, 5});
    EXPECT_THAT(names(), ElementsAre("GS v", "GS k", "GS k", "GS ("));
    EXPECT_EQ(recorder.seen[0].raw.size(), 14u);
    EXPECT_THAT(recorder.seen[2].raw, ElementsAre(0x1D, 'k', 73, 2, 0x00, 0x1B));
    EXPECT_TRUE(recorder.text.empty());
}

TEST_F(EscPosParserTest, ProgrammingAndCompoundRequestsAreCommands) {
    feed({0x1C, 0xC6, 'K', 'O', 'V', 'I', 'R', 'K', 'O', 'V', 'I', 'R', 0x1C, 0xC9, 0x00, 0x04});
    EXPECT_THAT(names(), ElementsAre("FS 0xC6", "FS 0xC9"));
    EXPECT_EQ(recorder.seen[0].raw.size(), 12u);
}

TEST_F(EscPosParserTest, UnknownSequencesAreReportedAndTheStreamGoesOn) {
    feed({0x1B, 0x99, 'A', 0x1D, 0x01, 'B'});
    EXPECT_THAT(names(), ElementsAre("unknown", "unknown"));
    EXPECT_THAT(recorder.seen[0].raw, ElementsAre(0x1B, 0x99));
    EXPECT_THAT(recorder.text, ElementsAre('A', 'B'));
}

TEST_F(EscPosParserTest, LengthOutOfRangeIsDroppedAsMalformed) {
    feed({0x1D, 'V', 7, 'A'});       // no such cut
    feed({0x1B, '*', 5, 1, 0, 'B'}); // no such bit-image mode
    ASSERT_EQ(recorder.seen.size(), 2u);
    EXPECT_TRUE(recorder.seen[0].malformed);
    EXPECT_THAT(recorder.seen[0].raw, ElementsAre(0x1D, 'V', 7));
    EXPECT_TRUE(recorder.seen[1].malformed);
    EXPECT_THAT(recorder.text, ElementsAre('A', 'B'));
}

TEST_F(EscPosParserTest, ResetForgetsAHalfCommand) {
    feed({0x1B, 'p', 0});
    EXPECT_TRUE(parser.inCommand());
    parser.reset();
    EXPECT_FALSE(parser.inCommand());
    feed({'A'});
    EXPECT_TRUE(recorder.seen.empty());
    EXPECT_THAT(recorder.text, ElementsAre('A'));
}

TEST(EscPosCommandTable, EveryEntryIsFoundByItsBytesAndHasALength) {
    for (const auto& form : commandTable()) {
        EXPECT_EQ(findCommand(form.lead, form.second), &form) << form.name;
        EXPECT_TRUE(form.fixedLength > 0 || form.length != nullptr) << form.name;
    }
}

} // namespace
} // namespace ordalia::vprinter
